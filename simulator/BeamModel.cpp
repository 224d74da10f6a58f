#include "BeamModel.h"

#include <algorithm>
#include <cmath>

using namespace PlantConstants;

namespace {
int deadStepsAt(int internalHz) { return std::max(0, int(std::lround(DEAD_TIME_S * internalHz))); }
}  // namespace

void BeamModel::setCoefficients(int internalHz)
{
    m_internalHz = internalHz;
    // Exact for an input held over the step.
    m_a = std::exp(-1.0 / (TIME_CONSTANT_S * internalHz));
    m_b = 1.0 - m_a;
    m_driftSteps = std::max(1, int(std::lround(DRIFT_UPDATE_S * internalHz)));
    m_driftCountdown = m_driftSteps;
}

void BeamModel::reset(int internalHz, const Outputs& applied)
{
    setCoefficients(internalHz);
    m_delay.assign(size_t(deadStepsAt(internalHz) + 1), applied);
    m_pos = 0;
    for (int axis = 0; axis < 2; ++axis) {
        m_filtered[axis] = 0.0;
        m_drift[axis] = 0.0;
    }
}

void BeamModel::changeRate(int internalHz)
{
    const int oldHz = m_internalHz;
    const size_t oldLength = m_delay.size();
    // By age: age 0 is the newest applied output.
    std::vector<Outputs> byAge(oldLength);
    for (size_t age = 0; age < oldLength; ++age)
        byAge[age] = m_delay[(m_pos + oldLength - 1 - age) % oldLength];

    setCoefficients(internalHz);
    const size_t length = size_t(deadStepsAt(internalHz) + 1);
    m_delay.assign(length, byAge.front());
    for (size_t age = 0; age < length; ++age) {
        const size_t oldAge = std::min(oldLength - 1, size_t(std::lround(double(age) * oldHz / internalHz)));
        m_delay[length - 1 - age] = byAge[oldAge];
    }
    m_pos = 0;
}

void BeamModel::updateDrift(NoiseSource& noise)
{
    m_driftCountdown = m_driftSteps;
    if (!m_disturbances)
        return;
    // Ornstein-Uhlenbeck: bounded, slow wandering of the beam.
    const double dt = double(m_driftSteps) / m_internalHz;
    const double keep = std::exp(-dt / DRIFT_TIME_CONSTANT_S);
    const double kick = DRIFT_RMS_V * std::sqrt(1.0 - keep * keep);
    for (double& d : m_drift)
        d = keep * d + kick * noise.normal();
}

void BeamModel::angles(double t, double out[2]) const
{
    out[0] = m_filtered[0];
    out[1] = m_filtered[1];
    if (m_disturbances) {
        const double line = std::sin(2.0 * PI * LINE_HZ * t);
        for (int axis = 0; axis < 2; ++axis)
            out[axis] += LINE_AMPLITUDE_V[axis] * line + m_drift[axis];
    }
}

double BeamModel::positionUm(int bpm, int axis, double t) const
{
    double a[2];
    angles(t, a);
    return GAIN_UM_PER_V[bpm] * a[axis];
}

double BeamModel::intensityA(int bpm, double t, double factor) const
{
    double a[2];
    angles(t, a);
    const double r2 = a[0] * a[0] + a[1] * a[1];
    return INTENSITY_PEAK_A * TRANSMISSION[bpm] * factor *
           std::exp(-r2 / (2.0 * INTENSITY_SIGMA_V * INTENSITY_SIGMA_V));
}
