#pragma once
// Every wait and sleep of the measurement tools goes through here, so that a test
// can replace real time by stepping the simulated controller's clock.
#include <functional>

class QMutex;
class QWaitCondition;

class MeasurementClock
{
public:
    // The longest a scan's wait sleeps without looking at its stop flag and the
    // window's events: the window stays responsive and a stop is seen at once.
    static constexpr long SLICE_US = 20000;

    virtual ~MeasurementClock() = default;

    // Blocks the calling thread (the scans and the step-response test, on the GUI thread).
    virtual void sleepMicroseconds(long microseconds) = 0;

    // This clock's time, from a fixed start: lets a run keep to a schedule
    // when the calls between its sleeps take time. Real time unless replaced.
    virtual long long nowMicroseconds() const;

    // Waits on `condition` for at most `ms`; `mutex` is locked by the caller and
    // locked again on return. Returns early when the condition is woken.
    virtual void waitOn(QWaitCondition& condition, QMutex& mutex, int ms) = 0;

    // Sleeps until nowMicroseconds() reaches `deadline`, in slices of at most
    // SLICE_US with the thread's pending events processed between them. Returns
    // false, at once, when `stopRequested` says so (also before the first slice).
    bool waitUntil(long long deadline, const std::function<bool()>& stopRequested);

    // Real time: what the program uses.
    static MeasurementClock& system();
};
