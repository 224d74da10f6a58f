#pragma once
// The program's front end to the controller's hardware library: a poller on a
// thread of its own, and thin logged wrappers called on the caller's thread.
#include <array>

#include <QMutex>
#include <QObject>
#include <QString>

#include "Globals.h"
#include "VornRecords.h"

class QThread;
class QTimer;

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
    PID_Status_Type pidStatus() const;

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
    double getDisplayFreq(bool* filter, bool* ok = nullptr);
    int setOutputMux(uint8_t value);
    // `ok`, when given, tells whether the read succeeded: the byte is then defined.
    uint8_t getOutputMux(bool* ok = nullptr);
    int zentrimSetRange(int range, uint8_t device);
    int zentrimHVSetVoltage(uint8_t device, float volts);
    int zentrimHVenable(int on, uint8_t device);
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

    mutable QMutex m_cacheLock;
    SfpInfo m_sfp[4];
    int m_zentrimMask = 0;
    int m_kelpoPresent = 0;
    BpmStats m_stats;
    bool m_statsFailed = false;
    PID_Status_Type m_pidStatus = PID_STATUS_OFF;
    QThread* m_thread = nullptr;
    QTimer* m_pollTimer = nullptr;
};
