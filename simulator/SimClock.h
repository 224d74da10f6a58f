#pragma once
// Simulated time: the steady wall clock in the running program, explicit steps in tests.
#include <chrono>

class SimClock
{
public:
    SimClock();

    void useStepped();
    void useWall();
    bool isStepped() const { return m_stepped; }

    void step(double seconds);  // stepped mode only
    double now() const;         // seconds since start
    void restart();             // now() becomes 0, the mode is kept

private:
    using Clock = std::chrono::steady_clock;
    bool m_stepped = false;
    double m_steppedNow = 0.0;
    Clock::time_point m_origin;
};
