#include "ScanSession.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "DacOutputsWriter.h"
#include "DeviceIo.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "MeasurementClock.h"
#include "OutputOwner.h"
#include "Prompts.h"
#include "QsLog.h"
#include "VornLibrary.h"
#include "VornRecords.h"

namespace {

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

ScanSession::ScanSession(QWidget* window, const QString& tool, OutputOwner& outputs, MeasurementClock& clock)
    : m_window(window)
    , m_tool(tool)
    , m_outputs(outputs)
    , m_clock(clock)
{
}

ScanSession::~ScanSession()
{
    end();
}

bool ScanSession::begin()
{
    m_lease = m_outputs.takeOrExplain(m_window, m_tool, [this] { requestStop(); });
    if (!m_lease)
        return false;

    QString refusal;
    for (const char* path : {DEVICE_ZENTRIM0, DEVICE_ORVANE}) {
        const int fd = DeviceIo::open(path, O_RDWR | O_SYNC);
        if (fd < 0) {
            refusal = QObject::tr("%1 could not be opened: %2.").arg(QLatin1String(path), errnoText(errno));
            break;
        }
        (path == DEVICE_ZENTRIM0 ? m_picoammeter : m_outputDevice) = fd;
    }
    if (refusal.isEmpty())
        refusal = switchFeedbackOff();
    if (refusal.isEmpty() && MAILBOX_COMM->setOutputMux(0) < 0)
        refusal = QObject::tr("The outputs could not be taken from the feedback loop (setOutputMux failed).");
    if (!refusal.isEmpty()) {
        QLOG_WARN() << QStringLiteral("%1 refused: %2").arg(m_tool, refusal);
        for (int* fd : {&m_picoammeter, &m_outputDevice})
            if (*fd >= 0) {
                DeviceIo::close(*fd);
                *fd = -1;
            }
        m_lease.reset();
        Prompts::warning(m_window, m_tool, QObject::tr("The scan cannot start:\n%1").arg(refusal));
        return false;
    }
    m_begun = true;
    m_due = m_clock.nowMicroseconds();
    return true;
}

QString ScanSession::switchFeedbackOff()
{
    // A scan against a live loop measures the loop, and the loop fights the scan.
    if (MAILBOX_COMM->setFBenable(0) < 0)
        return QObject::tr("The feedback could not be switched off (setFBenable(0) failed).\n"
                           "The feedback loop keeps the outputs.");
    // Any status but off means the loop still runs (a fault or beam-off status too).
    const int status = ::getPIDstatus();
    if (status < 0) {
        QLOG_WARN() << "getPIDstatus() failed";
        return QObject::tr("The feedback status could not be read (getPIDstatus failed), so the feedback is not "
                           "known to be off.");
    }
    if (status != PID_STATUS_OFF)
        return QObject::tr("The controller still reports the feedback on (status %1) after it was asked to switch "
                           "it off.\nThe feedback loop keeps the outputs.")
            .arg(status);
    return QString();
}

bool ScanSession::write(const std::array<double, 4>& volts)
{
    // Nothing outside the unit's range reaches it; the run ends at such a point.
    std::array<double, 4> exact = volts;
    for (size_t c = 0; c < exact.size(); ++c) {
        if (!isOutputVoltage(exact[c])) {
            m_rangeError = outsideOutputRangeText(QObject::tr("Output channel %1").arg(c + 1), exact[c]);
            return false;
        }
        exact[c] = exactOutputVoltage(exact[c]);
    }
    if (writeDacOutputs(m_outputDevice, exact[0], exact[1], exact[2], exact[3]))
        return true;
    m_writeError = QObject::tr("%1, %2, %3, %4 V (%5)")
                       .arg(volts[0])
                       .arg(volts[1])
                       .arg(volts[2])
                       .arg(volts[3])
                       .arg(errnoText(errno));
    return false;
}

bool ScanSession::read(ZentrimCurrentSample& sample)
{
    ++m_readings;
    if (DeviceIo::ioctl(m_picoammeter, IOCTL_ZENTRIM_CURRENTS, &sample) >= 0)
        return true;
    if (m_failedReadings++ == 0)
        m_readError = errnoText(errno);
    return false;
}

bool ScanSession::wait(long long us)
{
    const long long now = m_clock.nowMicroseconds();
    return waitOnSchedule(us, now + us, now);
}

bool ScanSession::pause(long long us)
{
    const long long now = m_clock.nowMicroseconds();
    return waitOnSchedule(us, now, now);
}

bool ScanSession::waitOnSchedule(long long us, long long earliest, long long now)
{
    m_due = std::max(m_due, now - MAX_CATCH_UP_US) + us;
    return m_clock.waitUntil(std::max(m_due, earliest), [this] { return m_stop; });
}

bool ScanSession::drawDue()
{
    const long long now = m_clock.nowMicroseconds();
    if (m_drawn && now - m_lastDraw < DRAW_INTERVAL_US)
        return false;
    m_drawn = true;
    m_lastDraw = now;
    return true;
}

void ScanSession::end()
{
    if (!m_begun)
        return;
    m_begun = false;
    m_handBackFailed = MAILBOX_COMM->setOutputMux(1) < 0;
    for (int* fd : {&m_picoammeter, &m_outputDevice}) {
        DeviceIo::close(*fd);
        *fd = -1;
    }
    const bool programEnding = m_lease->stopRequested();
    m_lease.reset();

    const QString failure = failureText();
    if (failure.isEmpty())
        return;
    QLOG_WARN() << QStringLiteral("%1: %2").arg(m_tool, QString(failure).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    // Exit does not wait for the operator to read a message.
    if (!programEnding)
        Prompts::warning(m_window, m_tool, failure);
}

QString ScanSession::failureText() const
{
    QStringList parts;
    if (!m_rangeError.isEmpty())
        parts << QObject::tr("%1\nNothing outside the range was written; the scan was ended there.").arg(m_rangeError);
    if (!m_writeError.isEmpty())
        parts << QObject::tr("The output unit did not take the voltages %1.\nThe scan was ended there.")
                     .arg(m_writeError);
    if (m_failedReadings > 0)
        parts << QObject::tr("%1 of %2 picoammeter readings failed (%3).\nTheir points are left out.")
                     .arg(m_failedReadings)
                     .arg(m_readings)
                     .arg(m_readError);
    if (m_handBackFailed)
        parts << QObject::tr("The outputs could not be given back to the feedback loop (setOutputMux failed).");
    return parts.join(QLatin1String("\n\n"));
}
