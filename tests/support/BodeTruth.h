#pragma once
// The simulated plant's true frequency response, from its constants, and the
// deviations a measured Bode point is held to.
#include <cmath>
#include <complex>

#include "PlantConstants.h"

namespace BodeTruth {

// Beam position at monitor `bpm` per volt on its steering output (micrometres
// per volt): the gain over a first-order low-pass, delayed by the dead time
// and the simulator's hold of half a step.
inline std::complex<double> response(int bpm, double hz)
{
    using namespace PlantConstants;
    const std::complex<double> j(0.0, 1.0);
    const double delay = DEAD_TIME_S + HOLD_DELAY_S;
    return GAIN_UM_PER_V[bpm] / (1.0 + j * (hz / CORNER_HZ)) * std::exp(-j * (2.0 * PI * hz * delay));
}

inline double phaseDegrees(std::complex<double> z) { return std::arg(z) * 180.0 / PlantConstants::PI; }

// Within -180 to 180: the sweep's first phase is not anchored to the truth's branch.
inline double wrappedDegrees(double d)
{
    d = std::fmod(d, 360.0);
    if (d > 180.0)
        d -= 360.0;
    else if (d <= -180.0)
        d += 360.0;
    return d;
}

inline double decibels(double measured, double truth) { return 20.0 * std::log10(measured / truth); }

}  // namespace BodeTruth
