#pragma once
// Measurement clock for tests: every sleep and wait steps the simulated
// controller's clock instead of passing real time, so runs are deterministic.
// A wait until a deadline (waitUntil) is made of such sleeps, in slices.
#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <cmath>
#include <functional>

#include "MeasurementClock.h"
#include "SimControl.h"

class SteppedMeasurementClock final : public MeasurementClock
{
public:
    // Called before each sleep or wait, with the number of waits so far (from 0);
    // a test can stop a run from here.
    std::function<void(int)> beforeEach;

    void sleepMicroseconds(long microseconds) override
    {
        tick();
        if (microseconds > 0)
            SimControl::step(double(microseconds) * 1e-6);
        sleptUs += microseconds;
    }

    // The simulated controller's time: calls between the sleeps take none of it.
    long long nowMicroseconds() const override { return std::llround(SimControl::now() * 1e6); }

    void waitOn(QWaitCondition&, QMutex& mutex, int ms) override
    {
        // The caller holds the mutex; a stop requested from beforeEach needs it.
        mutex.unlock();
        tick();
        if (ms > 0)
            SimControl::step(double(ms) * 1e-3);
        waitedMs += ms;
        mutex.lock();
    }

    // How many sleeps a wait until a deadline `us` ahead takes.
    static constexpr int slicesOf(long long us) { return int((us + SLICE_US - 1) / SLICE_US); }

    std::atomic<long long> sleptUs{0};
    std::atomic<long long> waitedMs{0};
    std::atomic<int> calls{0};

private:
    void tick()
    {
        const int n = calls++;
        if (beforeEach)
            beforeEach(n);
    }
};
