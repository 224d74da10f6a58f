#pragma once
// The program's front end to the controller's hardware library: a poller on a
// thread of its own, and thin logged wrappers called on the caller's thread.
#include <array>

#include <QMutex>
#include <QObject>
#include <QString>

#include "Globals.h"
#include "VornRecords.h"

#include <optional>

class MeasurementClock;
class QThread;
class QTimer;

// The feedback status as the poller last read it.
struct PidStatusReading
{
    // The last status a poll read; PID_STATUS_OFF before any.
    PID_Status_Type status = PID_STATUS_OFF;
    // Some poll has read it.
    bool read = false;
    // The last poll could not read it: `status`, if read at all, is an older one.
    bool failing = false;

    bool current() const { return read && !failing; }
};

class MailboxComm : public QObject
{
    Q_OBJECT

public:
    explicit MailboxComm(QObject* parent = nullptr);

    void attachThread(QThread* thread);

    // Caches written by the device thread. Each getter hands out a copy taken
    // under the lock, so a reader never sees a half-written table.
    std::array<SfpInfo, 4> sfpInfo() const;
    int zentrimMask() const;
    BpmStats bpmStats() const;
    // True while the last poll could not read the statistics: the block is an older one.
    bool bpmStatsFailed() const;
    // The status for a caller that acts on it: PID_STATUS_UNKNOWN while the last
    // poll failed, so that no failure passes for "off". Before the first poll
    // it is PID_STATUS_OFF, the start value.
    PID_Status_Type pidStatus() const;
    // What the poller holds: the last status read, kept through failed polls.
    PidStatusReading pidStatusReading() const;
    // The output multiplexer as the last poll read it (0 the program drives the
    // outputs, 1 the feedback); -1 when that poll could not read it.
    int outputMuxPolled() const;

    // Times the display-rate changes below: real time unless a test steps it.
    void setClock(MeasurementClock& clock);
    // Microseconds since the display rate last changed through this link (or may
    // have: a failed set, a read that found another rate); none before any
    // change. Records older than that were taken at another rate.
    std::optional<long long> microsecondsSinceRateChange() const;

    void announceZentrims();

    // Wrappers: each calls its library function once and logs a failure at Warn level.
    int setCtrlReset();
    int setPIDconf(int8_t code);
    // The library's result goes to `result` when given.
    RegulationCode getPIDconf(int* result = nullptr);
    int setFBenable(uint8_t on);
    int setWindAvg(int channel, int divider);
    int setPIDparams(int8_t channel, double kp, double ki, double kd, double emin, double imax, double omin,
                     double omax, double ogain);
    int setOffset(double x, double y, double i0);
    int setSetpointX(double x);
    int setSetpointY(double y);
    int setSetpointXY(double x, double y);
    int setSetpoint(double x, double y, double i0);
    int getSetpoint(double* x, double* y, double* i0);
    int setROClimits(int index, double low, double high);
    int setROCenable(uint8_t bpm1X, uint8_t bpm1Y, uint8_t bpm1BeamOff, uint8_t bpm2X, uint8_t bpm2Y,
                     uint8_t bpm2BeamOff);
    int getROCenable(uint8_t* bpm1X, uint8_t* bpm1Y, uint8_t* bpm1BeamOff, uint8_t* bpm2X, uint8_t* bpm2Y,
                     uint8_t* bpm2BeamOff);
    int setBPMscale(int bpm, double x, double y);
    int setBPMoffset(int bpm, double x, double y);
    int setBPMorient(uint8_t orient, uint8_t bpm);
    int setCrossBar(uint8_t top, uint8_t right, uint8_t bottom, uint8_t left, uint8_t bpm);
    int getBPMselector(int* x, int* y, int* i0);
    int setBPMselector(int x, int y, int i0);
    int setPIDoutSel(uint8_t x, uint8_t y, uint8_t i0);
    int getPIDoutSel(uint8_t* x, uint8_t* y, uint8_t* i0);
    int setDisplayFreq(uint8_t filter);
    // `ok`, when given, tells whether the read succeeded: the rate and filter are then defined.
    // A read that finds another rate than the link last knew counts as a change.
    double getDisplayFreq(bool* filter, bool* ok = nullptr);
    int setOutputMux(uint8_t value);
    // `ok`, when given, tells whether the read succeeded: the byte is then defined.
    uint8_t getOutputMux(bool* ok = nullptr);
    int zentrimSetRange(int range, uint8_t device);
    int zentrimHVSetVoltage(uint8_t device, float volts);
    int zentrimHVenable(int on, uint8_t device);
    // The library's result. A failed read leaves every string it was given
    // empty: there is no version to show or to compare.
    int getSystemVersion(QString* hw, QString* sw, QString* pid);

    // "1.0.02" from the bytes 1, 0, 0, 2 (least significant first).
    static QString formatVersion(uint32_t word);

signals:
    void finished();
    void nrZentrimsChanged(int mask);

public slots:
    void doSetupOnNewThread();
    void refreshData();

private:
    void refreshSFPinfo();
    // Runs on the device thread as it finishes: its timer goes with it, and the
    // link itself passes to the GUI thread, which may go on calling the wrappers
    // and deletes it at exit.
    void stopPolling();
    // Under m_cacheLock: the rate may have changed now; `knownHz` is the rate the
    // controller runs at from here on, -1 when that is not known.
    void noteRateLocked(int knownHz, bool changed);

    mutable QMutex m_cacheLock;
    SfpInfo m_sfp[4];
    int m_zentrimMask = 0;
    int m_kelpoPresent = 0;
    BpmStats m_stats;
    bool m_statsFailed = false;
    PID_Status_Type m_pidStatus = PID_STATUS_OFF;
    bool m_pidStatusRead = false;
    bool m_pidStatusFailing = false;
    int m_outputMux = -1;
    bool m_outputMuxFailing = false;
    MeasurementClock* m_clock = nullptr;
    int m_knownRate = -1;
    std::optional<long long> m_rateChangedAt;
    QThread* m_thread = nullptr;
    QTimer* m_pollTimer = nullptr;
};
