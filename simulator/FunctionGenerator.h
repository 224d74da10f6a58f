#pragma once
// The controller's sine generator: output c = offset[c] + amplitude[c] * sin(phase).
// The phase turns by a fixed rotation per internal step; sine and cosine are the
// reference words of the display records.
#include <cmath>

class FunctionGenerator
{
public:
    void reset();

    void configure(const float amplitude[4], const float offset[4], float hz);
    void setEnabled(bool on);  // on starts at phase 0
    bool enabled() const { return m_enabled; }
    void setStepRate(int internalHz);
    // Jump over `steps` internal steps at once.
    void skip(long long steps);

    void advance()
    {
        const double s = m_sin * m_cosStep + m_cos * m_sinStep;
        const double c = m_cos * m_cosStep - m_sin * m_sinStep;
        // Keep the phasor on the unit circle.
        const double norm = 1.5 - 0.5 * (s * s + c * c);
        m_sin = s * norm;
        m_cos = c * norm;
    }
    double sine() const { return m_sin; }
    double cosine() const { return m_cos; }
    double output(int channel) const { return double(m_offset[channel]) + double(m_amplitude[channel]) * m_sin; }

    const float* amplitude() const { return m_amplitude; }
    const float* offset() const { return m_offset; }
    float hz() const { return m_hz; }

private:
    void updateStep();

    float m_amplitude[4] = {0, 0, 0, 0};
    float m_offset[4] = {0, 0, 0, 0};
    float m_hz = 0.0f;
    bool m_enabled = false;
    int m_internalHz = 10000;
    double m_sin = 0.0, m_cos = 1.0;
    double m_sinStep = 0.0, m_cosStep = 1.0;
};
