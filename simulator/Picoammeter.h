#pragma once
// One four-channel picoammeter: range (clipping and quantisation) and the bias
// high voltage, which ramps towards its target.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "PlantConstants.h"

class Picoammeter
{
public:
    enum HvStatus : int32_t { HvOff = 0, HvOn = 1, HvRising = 3, HvFalling = 5 };

    void reset(double now);

    bool present() const { return m_present; }
    void setPresent(bool present) { m_present = present; }

    int range() const { return m_range; }
    bool setRange(int range);  // 0, 1 or auto; false for anything else

    // What the converter reports for an input current, amperes: clipped to the
    // range's full scale and quantised to its counts.
    double convert(double amperes) const
    {
        using namespace PlantConstants;
        int range = m_range;
        if (range == RANGE_AUTO)
            range = std::fabs(amperes) <= RANGE_FULL_SCALE_A[0] ? 0 : 1;
        const double fullScale = RANGE_FULL_SCALE_A[range];
        const double clipped = std::clamp(amperes, -fullScale, fullScale);
        const double lsb = fullScale / ADC_COUNTS_PER_FULL_SCALE;
        return std::nearbyint(clipped / lsb) * lsb;
    }

    // High voltage; advanceTo() moves the ramp to time `now`.
    bool setHvVoltage(float volts);
    void setHvEnabled(bool on) { m_hvEnabled = on; }
    void advanceTo(double now);
    float hvSetVoltage() const { return m_hvSet; }
    bool hvEnabled() const { return m_hvEnabled; }
    float hvVoltage() const { return float(m_hvActual); }
    float hvCurrentMicroamps() const;
    int32_t hvStatus() const;

private:
    double hvTarget() const { return m_hvEnabled ? double(m_hvSet) : 0.0; }

    bool m_present = true;
    int m_range = 2;
    float m_hvSet = 0.0f;
    bool m_hvEnabled = false;
    double m_hvActual = 0.0;
    double m_lastTime = 0.0;
};
