#pragma once
// The beam: steering outputs -> pure dead time -> first-order low-pass -> beam angle,
// plus a 50 Hz line and a slow drift. Angles are in steering volts from the centre;
// each monitor sees them through its own gain.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "NoiseSource.h"
#include "PlantConstants.h"

class BeamModel
{
public:
    using Outputs = std::array<double, 4>;

    void reset(int internalHz, const Outputs& applied);
    // New step rate; the filter state is kept and the delay line resampled.
    void changeRate(int internalHz);
    void setDisturbances(bool on) { m_disturbances = on; }
    bool disturbances() const { return m_disturbances; }

    // One internal step: integrate over the step that ends now with the outputs
    // that were applied one dead time earlier (held over the step).
    void advance(uint8_t channelX, uint8_t channelY, NoiseSource& noise)
    {
        const Outputs& in = m_delay[m_pos];
        m_filtered[0] = m_a * m_filtered[0] + m_b * (in[channelX] - PlantConstants::CENTRE_OUTPUT_V);
        m_filtered[1] = m_a * m_filtered[1] + m_b * (in[channelY] - PlantConstants::CENTRE_OUTPUT_V);
        if (--m_driftCountdown <= 0)
            updateDrift(noise);
    }
    // The outputs applied from now on enter the dead time.
    void push(const Outputs& applied)
    {
        m_delay[m_pos] = applied;
        if (++m_pos == m_delay.size())
            m_pos = 0;
    }

    // Beam angle of both axes at time t, disturbances included.
    void angles(double t, double out[2]) const;
    double positionUm(int bpm, int axis, double t) const;
    // Intensity without noise; factor 0 is a lost beam.
    double intensityA(int bpm, double t, double factor) const;

    int deadSteps() const { return int(m_delay.size()) - 1; }

private:
    void updateDrift(NoiseSource& noise);
    void setCoefficients(int internalHz);

    std::vector<Outputs> m_delay;  // dead time + one step of applied outputs
    size_t m_pos = 0;              // oldest entry, consumed by the next advance()
    double m_filtered[2] = {0.0, 0.0};
    double m_drift[2] = {0.0, 0.0};
    double m_a = 0.0, m_b = 0.0;
    int m_driftSteps = 1;
    int m_driftCountdown = 1;
    int m_internalHz = PlantConstants::INTERNAL_MIN_HZ;
    bool m_disturbances = true;
};
