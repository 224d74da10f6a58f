#include "SimClock.h"

SimClock::SimClock() : m_origin(Clock::now()) {}

void SimClock::useStepped()
{
    if (m_stepped)
        return;
    m_steppedNow = now();
    m_stepped = true;
}

void SimClock::useWall()
{
    if (!m_stepped)
        return;
    // Continue from the stepped time, so simulated time never runs backwards.
    m_origin = Clock::now() - std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(m_steppedNow));
    m_stepped = false;
}

void SimClock::step(double seconds)
{
    if (m_stepped && seconds > 0.0)
        m_steppedNow += seconds;
}

double SimClock::now() const
{
    if (m_stepped)
        return m_steppedNow;
    return std::chrono::duration<double>(Clock::now() - m_origin).count();
}

void SimClock::restart()
{
    m_steppedNow = 0.0;
    m_origin = Clock::now();
}
