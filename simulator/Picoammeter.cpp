#include "Picoammeter.h"

#include <algorithm>
#include <cmath>

#include "PlantConstants.h"

using namespace PlantConstants;

void Picoammeter::reset(double now)
{
    *this = Picoammeter();
    m_range = RANGE_AUTO;
    m_lastTime = now;
}

bool Picoammeter::setRange(int range)
{
    if (range < 0 || range > RANGE_AUTO)
        return false;
    m_range = range;
    return true;
}

bool Picoammeter::setHvVoltage(float volts)
{
    if (!std::isfinite(volts) || std::fabs(volts) > HV_MAX_V)
        return false;
    m_hvSet = volts;
    return true;
}

void Picoammeter::advanceTo(double now)
{
    const double dt = now - m_lastTime;
    if (dt <= 0.0)
        return;
    m_lastTime = now;
    const double target = hvTarget();
    const double maxMove = HV_RAMP_V_PER_S * dt;
    if (std::fabs(target - m_hvActual) <= maxMove)
        m_hvActual = target;
    else
        m_hvActual += target > m_hvActual ? maxMove : -maxMove;
}

float Picoammeter::hvCurrentMicroamps() const { return float(m_hvActual * HV_LEAKAGE_UA_PER_V); }

int32_t Picoammeter::hvStatus() const
{
    const double target = hvTarget();
    if (m_hvActual == target)
        return m_hvEnabled ? HvOn : HvOff;
    // Rising while the magnitude grows towards the target, falling otherwise.
    const bool growing = std::fabs(target) > std::fabs(m_hvActual) && target * m_hvActual >= 0.0;
    return growing ? HvRising : HvFalling;
}
