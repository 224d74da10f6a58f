#include "DacOutputsWriter.h"

#include "DeviceIo.h"
#include "VornRecords.h"

bool writeDacOutputs(int fd, double ch1, double ch2, double ch3, double ch4)
{
    if (fd < 0)
        return false;
    DacOutputs record{};
    record.ch1 = ch1;
    record.ch2 = ch2;
    record.ch3 = ch3;
    record.ch4 = ch4;
    record.flag = 1;
    return DeviceIo::ioctl(fd, IOCTL_DAC_WRITE, &record) >= 0;
}
