#include "MailboxComm.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstring>

#include "MeasurementClock.h"
#include "QsLog.h"
#include "VornLibrary.h"

namespace {
// The failure test every wrapper shares.
int checked(int result, const char* failureText)
{
    if (result < 0)
        QLOG_WARN() << failureText;
    return result;
}
}  // namespace

MailboxComm::MailboxComm(QObject* parent)
    : QObject(parent)
    , m_clock(&MeasurementClock::system())
{
    std::memset(m_sfp, 0, sizeof m_sfp);
    std::memset(&m_stats, 0, sizeof m_stats);
}

void MailboxComm::attachThread(QThread* thread)
{
    m_thread = thread;
    connect(thread, &QThread::started, this, &MailboxComm::refreshData);
    connect(this, &MailboxComm::finished, thread, &QThread::quit);
    connect(this, &MailboxComm::finished, this, &MailboxComm::deleteLater);
    // Direct: finished is emitted on the device thread itself, the only thread
    // that may stop the poll timer.
    connect(thread, &QThread::finished, this, &MailboxComm::stopPolling, Qt::DirectConnection);
}

void MailboxComm::doSetupOnNewThread()
{
    m_pollTimer = new QTimer(this);
    connect(m_pollTimer, &QTimer::timeout, this, &MailboxComm::refreshData);
    m_pollTimer->start(1000);
    refreshSFPinfo();
}

void MailboxComm::stopPolling()
{
    if (thread() != QThread::currentThread())
        return;
    delete m_pollTimer;
    m_pollTimer = nullptr;
    if (QCoreApplication* app = QCoreApplication::instance())
        moveToThread(app->thread());
}

void MailboxComm::refreshData()
{
    refreshSFPinfo();

    BpmStats stats;
    std::memset(&stats, 0, sizeof stats);
    {
        // The library writes into the cache itself; a failed call leaves what it wrote.
        QMutexLocker lock(&m_cacheLock);
        stats = m_stats;
    }
    const bool statsFailed = getBPMStats(stats.value) < 0;
    const PID_Status_Type status = getPIDstatus();
    uint8_t mux = 0;
    const bool muxRead = ::getOutputMux(&mux) >= 0;

    QMutexLocker lock(&m_cacheLock);
    // Each failure is told once for a run of failed polls, not every second.
    if (statsFailed && !m_statsFailed)
        QLOG_WARN() << "getBPMStats() failed: the statistics are not shown until a poll reads them";
    m_stats = stats;
    m_statsFailed = statsFailed;

    // A failed poll is no status: the one read before stays, marked as not current.
    if (status < 0) {
        if (!m_pidStatusFailing)
            QLOG_WARN() << "getPIDstatus() failed: the feedback status shown is the last one read, until a poll "
                           "reads it again";
        m_pidStatusFailing = true;
    } else {
        if (m_pidStatusFailing)
            QLOG_INFO() << "getPIDstatus() answers again: the feedback status is current";
        m_pidStatusFailing = false;
        m_pidStatus = status;
        m_pidStatusRead = true;
    }

    if (!muxRead) {
        if (!m_outputMuxFailing)
            QLOG_WARN() << "getOutputMux() failed: whether the feedback drives the outputs is not known until a "
                           "poll reads it";
        m_outputMuxFailing = true;
        m_outputMux = -1;
    } else {
        m_outputMuxFailing = false;
        m_outputMux = mux;
    }
}

void MailboxComm::refreshSFPinfo()
{
    SfpInfo table[4];
    std::memset(table, 0, sizeof table);

    for (int port = 0; port < 4; ++port) {
        uint16_t id = 0;
        uint32_t hwVersion = 0, version = 0, serial = 0;
        if (getSFPinfo(port, &id, &hwVersion, &version, &serial) >= 0) {
            table[port].id = id;
            table[port].hwVersion = hwVersion;
            table[port].version = version;
            table[port].serial = serial;
        } else {
            QLOG_WARN() << "getSFPinfo(" << port << ") failed";
        }
    }

    bool boxPresent = false;
    for (const SfpInfo& entry : table) {
        if (sfpDeviceType(entry.id) == SFP_TYPE_KELPO)
            boxPresent = true;
    }
    const uint8_t acquisitionType = boxPresent ? SFP_TYPE_KELPO : SFP_TYPE_ZENTRIM;
    const int newMask = (sfpDeviceType(table[0].id) == acquisitionType ? 1 : 0) +
                        (sfpDeviceType(table[1].id) == acquisitionType ? 2 : 0);

    int oldMask;
    int oldBox;
    {
        QMutexLocker lock(&m_cacheLock);
        std::memcpy(m_sfp, table, sizeof table);
        oldMask = m_zentrimMask;
        oldBox = m_kelpoPresent;
    }

    if (int(boxPresent) != oldBox) {
        QLOG_DEBUG() << "Kelpo change detected";
        emit nrZentrimsChanged(newMask);
        {
            QMutexLocker lock(&m_cacheLock);
            m_kelpoPresent = boxPresent ? 1 : 0;
        }
        PID_BASE_FREQ = 5000;
    }

    if (newMask != oldMask) {
        QLOG_DEBUG() << "Number of acquisition devices changed";
        int x = BPM_SEL_X, y = BPM_SEL_Y, i0 = BPM_SEL_I0;
        getBPMselector(&x, &y, &i0);
        BPM_SEL_X = x;
        BPM_SEL_Y = y;
        BPM_SEL_I0 = i0;
        emit nrZentrimsChanged(newMask);
    }

    QMutexLocker lock(&m_cacheLock);
    m_zentrimMask = newMask;
}

std::array<SfpInfo, 4> MailboxComm::sfpInfo() const
{
    QMutexLocker lock(&m_cacheLock);
    std::array<SfpInfo, 4> copy;
    std::memcpy(copy.data(), m_sfp, sizeof m_sfp);
    return copy;
}

int MailboxComm::zentrimMask() const
{
    QMutexLocker lock(&m_cacheLock);
    return m_zentrimMask;
}

BpmStats MailboxComm::bpmStats() const
{
    QMutexLocker lock(&m_cacheLock);
    return m_stats;
}

bool MailboxComm::bpmStatsFailed() const
{
    QMutexLocker lock(&m_cacheLock);
    return m_statsFailed;
}

PID_Status_Type MailboxComm::pidStatus() const
{
    QMutexLocker lock(&m_cacheLock);
    return m_pidStatusFailing ? PID_STATUS_UNKNOWN : m_pidStatus;
}

PidStatusReading MailboxComm::pidStatusReading() const
{
    QMutexLocker lock(&m_cacheLock);
    PidStatusReading reading;
    reading.status = m_pidStatus;
    reading.read = m_pidStatusRead;
    reading.failing = m_pidStatusFailing;
    return reading;
}

int MailboxComm::outputMuxPolled() const
{
    QMutexLocker lock(&m_cacheLock);
    return m_outputMux;
}

void MailboxComm::setClock(MeasurementClock& clock)
{
    QMutexLocker lock(&m_cacheLock);
    m_clock = &clock;
}

std::optional<long long> MailboxComm::microsecondsSinceRateChange() const
{
    QMutexLocker lock(&m_cacheLock);
    if (!m_rateChangedAt)
        return std::nullopt;
    return std::max(0LL, m_clock->nowMicroseconds() - *m_rateChangedAt);
}

void MailboxComm::noteRateLocked(int knownHz, bool changed)
{
    if (changed)
        m_rateChangedAt = m_clock->nowMicroseconds();
    m_knownRate = knownHz;
}

void MailboxComm::announceZentrims()
{
    emit nrZentrimsChanged(zentrimMask());
}

int MailboxComm::setCtrlReset() { return checked(::setCtrlReset(), "setCtrlReset() failed"); }

int MailboxComm::setPIDconf(int8_t code) { return checked(::setPIDconf(code), "setPIDconf() failed"); }

RegulationCode MailboxComm::getPIDconf(int* result)
{
    uint8_t code = 0;
    const int called = checked(::getPIDconf(&code), "getPIDconf() failed");
    if (result)
        *result = called;
    return static_cast<RegulationCode>(code);
}

int MailboxComm::setFBenable(uint8_t on) { return checked(::setFBenable(on), "setFBenable() failed"); }

int MailboxComm::setWindAvg(int channel, int divider)
{
    return checked(::setWindAvg(channel, divider), "setWindAvg() failed");
}

int MailboxComm::setPIDparams(int8_t channel, double kp, double ki, double kd, double emin, double imax,
                              double omin, double omax, double ogain)
{
    return checked(::setPIDparams(channel, kp, ki, kd, emin, imax, omin, omax, ogain), "setPIDparams() failed");
}

int MailboxComm::setOffset(double x, double y, double i0)
{
    return checked(::setOffset(x, y, i0), "setOffset() failed");
}

int MailboxComm::setSetpointX(double x) { return checked(::setSetpoint2(0, x), "setSetpoint(X) failed"); }

int MailboxComm::setSetpointY(double y) { return checked(::setSetpoint2(1, y), "setSetpoint(Y) failed"); }

int MailboxComm::setSetpointXY(double x, double y)
{
    const int result = setSetpointX(x);
    if (result < 0)
        return result;
    return setSetpointY(y);
}

int MailboxComm::setSetpoint(double x, double y, double i0)
{
    const int result = setSetpointXY(x, y);
    if (result < 0)
        return result;
    return checked(::setSetpoint2(2, i0), "setSetpoint(i0) failed");
}

int MailboxComm::getSetpoint(double* x, double* y, double* i0)
{
    // A null destination is skipped: the scatter asks for X and Y only.
    struct Axis { double* value; const char* failure; };
    const Axis axes[3] = {{x, "getSetpoint(X) failed"}, {y, "getSetpoint(Y) failed"}, {i0, "getSetpoint(i0) failed"}};
    for (int axis = 0; axis < 3; ++axis) {
        if (!axes[axis].value)
            continue;
        const int result = checked(::getSetpoint2(axis, axes[axis].value), axes[axis].failure);
        if (result < 0)
            return result;
    }
    return 0;
}

int MailboxComm::setROClimits(int index, double low, double high)
{
    return checked(::setROClimits(index, low, high), "setROClimits() failed");
}

int MailboxComm::setROCenable(uint8_t bpm1X, uint8_t bpm1Y, uint8_t bpm1BeamOff, uint8_t bpm2X, uint8_t bpm2Y,
                              uint8_t bpm2BeamOff)
{
    return checked(::setROCenable(bpm1X, bpm1Y, bpm1BeamOff, bpm2X, bpm2Y, bpm2BeamOff), "setROCenable() failed");
}

int MailboxComm::getROCenable(uint8_t* bpm1X, uint8_t* bpm1Y, uint8_t* bpm1BeamOff, uint8_t* bpm2X,
                              uint8_t* bpm2Y, uint8_t* bpm2BeamOff)
{
    return checked(::getROCenable(bpm1X, bpm1Y, bpm1BeamOff, bpm2X, bpm2Y, bpm2BeamOff), "getROCenable() failed");
}

int MailboxComm::setBPMscale(int bpm, double x, double y)
{
    return checked(::setBPMscale(bpm, x, y), "setBPMscale() failed");
}

int MailboxComm::setBPMoffset(int bpm, double x, double y)
{
    return checked(::setBPMoffset(bpm, x, y), "setBPMoffset() failed");
}

int MailboxComm::setBPMorient(uint8_t orient, uint8_t bpm)
{
    return checked(::setBPMorient(bpm, orient), "setBPMorient() failed");
}

int MailboxComm::setCrossBar(uint8_t top, uint8_t right, uint8_t bottom, uint8_t left, uint8_t bpm)
{
    return checked(::setCrossBar(bpm, top, right, bottom, left), "setCrossBar() failed");
}

int MailboxComm::getBPMselector(int* x, int* y, int* i0)
{
    return checked(::getBPMselector(x, y, i0), "getBPMselector() failed");
}

int MailboxComm::setBPMselector(int x, int y, int i0)
{
    return checked(::setBPMselector(x, y, i0), "setBPMselector() failed");
}

int MailboxComm::setPIDoutSel(uint8_t x, uint8_t y, uint8_t i0)
{
    return checked(::setPIDoutSel(x, y, i0), "setPIDoutSel() failed");
}

int MailboxComm::getPIDoutSel(uint8_t* x, uint8_t* y, uint8_t* i0)
{
    return checked(::getPIDoutSel(x, y, i0), "getPIDoutSel() failed");
}

int MailboxComm::setDisplayFreq(uint8_t filter)
{
    const int hz = loadSampFreq();
    const int result = checked(::setDisplayFreq(hz, filter), "setDisplayFreq() failed");
    // Timed once the call is back: the records counted as new are then never
    // older than the change. A failed call may have changed the rate all the same.
    QMutexLocker lock(&m_cacheLock);
    if (result < 0)
        noteRateLocked(-1, true);
    else
        noteRateLocked(hz, hz != m_knownRate);
    return result;
}

double MailboxComm::getDisplayFreq(bool* filter, bool* ok)
{
    int hz = 0;
    uint8_t filterByte = 0;
    const int called = checked(::getDisplayFreq(&hz, &filterByte), "getDisplayFreq() failed");
    if (ok)
        *ok = called >= 0;
    if (filter)
        *filter = filterByte != 0;
    if (called >= 0) {
        // Another rate than the one last known: changed behind the link's back,
        // at some time before now.
        QMutexLocker lock(&m_cacheLock);
        noteRateLocked(hz, m_knownRate >= 0 && hz != m_knownRate);
    }
    return hz;
}

int MailboxComm::setOutputMux(uint8_t value)
{
    const int result = ::setOutputMux(value);
    if (result < 0)
        QLOG_WARN() << "setOutputMux(" << int(value) << ") failed";
    return result;
}

uint8_t MailboxComm::getOutputMux(bool* ok)
{
    uint8_t value = 0;
    const int result = checked(::getOutputMux(&value), "getOutputMux() failed");
    if (ok)
        *ok = result >= 0;
    return value;
}

int MailboxComm::zentrimSetRange(int range, uint8_t device)
{
    return checked(::zentrimSetRange(range, device), "zentrimSetRange() failed");
}

int MailboxComm::zentrimHVSetVoltage(uint8_t device, float volts)
{
    return checked(::zentrimHVSetVoltage(device, volts), "zentrimHVSetVoltage() failed");
}

int MailboxComm::zentrimHVenable(int on, uint8_t device)
{
    return checked(::zentrimHVenable(on, device), "zentrimHVenable() failed");
}

int MailboxComm::getSystemVersion(QString* hw, QString* sw, QString* pid)
{
    uint32_t timestamp = 0, swWord = 0, pidWord = 0;
    const int result = checked(::getSystemVersion(&timestamp, &swWord, &pidWord), "getSystemVersion() failed");
    const bool read = result >= 0;
    if (hw)
        *hw = read ? QString::number(timestamp) : QString();
    if (sw)
        *sw = read ? formatVersion(swWord) : QString();
    if (pid)
        *pid = read ? formatVersion(pidWord) : QString();
    return result;
}

QString MailboxComm::formatVersion(uint32_t word)
{
    const unsigned b0 = word & 0xff, b1 = (word >> 8) & 0xff, b2 = (word >> 16) & 0xff, b3 = word >> 24;
    return QStringLiteral("%1.%2.%3%4").arg(b0).arg(b1).arg(b2).arg(b3);
}
