#include "DacOutputsWriter.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "DeviceIo.h"
#include "VornRecords.h"

bool isOutputVoltage(double volts)
{
    return std::isfinite(volts) && volts >= DAC_OUTPUT_MIN_V - DAC_OUTPUT_ROUNDING_V &&
           volts <= DAC_OUTPUT_MAX_V + DAC_OUTPUT_ROUNDING_V;
}

double exactOutputVoltage(double volts)
{
    return std::clamp(volts, DAC_OUTPUT_MIN_V, DAC_OUTPUT_MAX_V);
}

QString outsideOutputRangeText(const QString& what, double volts)
{
    return QCoreApplication::translate("DacOutputs", "%1 is %2 V, outside the output range of %3 to %4 V.")
        .arg(what)
        .arg(volts)
        .arg(DAC_OUTPUT_MIN_V)
        .arg(DAC_OUTPUT_MAX_V);
}

bool writeDacOutputs(int fd, double ch1, double ch2, double ch3, double ch4)
{
    if (fd < 0)
        return false;
    // The last guard: every caller checks its own values first and says why.
    if (!isOutputVoltage(ch1) || !isOutputVoltage(ch2) || !isOutputVoltage(ch3) || !isOutputVoltage(ch4)) {
        errno = ERANGE;
        return false;
    }
    DacOutputs record{};
    record.ch1 = ch1;
    record.ch2 = ch2;
    record.ch3 = ch3;
    record.ch4 = ch4;
    record.flag = 1;
    return DeviceIo::ioctl(fd, IOCTL_DAC_WRITE, &record) >= 0;
}
