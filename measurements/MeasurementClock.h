#pragma once
// Every wait and sleep of the measurement tools goes through here, so that a test
// can replace real time by stepping the simulated controller's clock.
class QMutex;
class QWaitCondition;

class MeasurementClock
{
public:
    virtual ~MeasurementClock() = default;

    // Blocks the calling thread (the scans and the step-response test, on the GUI thread).
    virtual void sleepMicroseconds(long microseconds) = 0;

    // This clock's time, from a fixed start: lets a run keep to a schedule
    // when the calls between its sleeps take time. Real time unless replaced.
    virtual long long nowMicroseconds() const;

    // Waits on `condition` for at most `ms`; `mutex` is locked by the caller and
    // locked again on return. Returns early when the condition is woken.
    virtual void waitOn(QWaitCondition& condition, QMutex& mutex, int ms) = 0;

    // Real time: what the program uses.
    static MeasurementClock& system();
};
