#include "MeasurementClock.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <algorithm>
#include <chrono>

namespace {

class SystemClock final : public MeasurementClock
{
public:
    void sleepMicroseconds(long microseconds) override
    {
        if (microseconds > 0)
            QThread::usleep(static_cast<unsigned long>(microseconds));
    }

    void waitOn(QWaitCondition& condition, QMutex& mutex, int ms) override
    {
        condition.wait(&mutex, ms > 0 ? static_cast<unsigned long>(ms) : 0UL);
    }
};

}  // namespace

long long MeasurementClock::nowMicroseconds() const
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

bool MeasurementClock::waitUntil(long long deadline, const std::function<bool()>& stopRequested)
{
    for (;;) {
        if (stopRequested && stopRequested())
            return false;
        const long long left = deadline - nowMicroseconds();
        if (left <= 0)
            return true;
        sleepMicroseconds(long(std::min<long long>(left, SLICE_US)));
        if (left > SLICE_US)
            QCoreApplication::processEvents();
    }
}

MeasurementClock& MeasurementClock::system()
{
    static SystemClock clock;
    return clock;
}
