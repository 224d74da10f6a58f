#include "FunctionGenerator.h"

#include "PlantConstants.h"

void FunctionGenerator::reset() { *this = FunctionGenerator(); }

void FunctionGenerator::configure(const float amplitude[4], const float offset[4], float hz)
{
    for (int c = 0; c < 4; ++c) {
        m_amplitude[c] = amplitude[c];
        m_offset[c] = offset[c];
    }
    m_hz = hz;
    updateStep();
}

void FunctionGenerator::setEnabled(bool on)
{
    if (on && !m_enabled) {
        m_sin = 0.0;
        m_cos = 1.0;
    }
    m_enabled = on;
}

void FunctionGenerator::setStepRate(int internalHz)
{
    m_internalHz = internalHz;
    updateStep();
}

void FunctionGenerator::updateStep()
{
    const double step = 2.0 * PlantConstants::PI * double(m_hz) / m_internalHz;
    m_sinStep = std::sin(step);
    m_cosStep = std::cos(step);
}

void FunctionGenerator::skip(long long steps)
{
    if (!m_enabled)
        return;
    const double turns = double(m_hz) * double(steps) / m_internalHz;
    const double angle = 2.0 * PlantConstants::PI * (turns - std::floor(turns));
    const double s = m_sin * std::cos(angle) + m_cos * std::sin(angle);
    const double c = m_cos * std::cos(angle) - m_sin * std::sin(angle);
    m_sin = s;
    m_cos = c;
}
