#include "PidLoop.h"

#include <algorithm>
#include <cmath>

#include "PlantConstants.h"

using namespace PlantConstants;

void PidLoop::reset(const PidLoopParams& params, int divider, double offset)
{
    m_params = params;
    m_divider = divider;
    m_offset = offset;
    m_phase = 0.0;
    clearState();
}

void PidLoop::clearState()
{
    m_integral = 0.0;
    m_previousError = 0.0;
    m_hasPrevious = false;
}

double PidLoop::update(double measured, double setpoint)
{
    double e = measured - setpoint;
    if (std::fabs(e) < m_params.emin)
        e = 0.0;
    const double imax = std::max(0.0, m_params.imax);
    m_integral = std::clamp(m_integral + m_params.ki * e, -imax, imax);
    // No derivative kick on the first tick after a start or reset.
    const double d = m_hasPrevious ? m_params.kd * (e - m_previousError) : 0.0;
    m_previousError = e;
    m_hasPrevious = true;

    double out = m_offset + m_params.ogain * (m_params.kp * e + m_integral + d);
    if (m_params.omin < m_params.omax)
        out = std::clamp(out, m_params.omin, m_params.omax);
    return std::clamp(out, OUTPUT_MIN_V, OUTPUT_MAX_V);
}
