#pragma once
// A low-high-low step record as the step test reads it, made from a known
// model: the response is a first-order rise after a dead time, on the plant's
// own disturbances (white noise, the 50 Hz line and the wandering drift, at the
// simulator's levels from PlantConstants.h), with an optional steady drift on
// top. Plain C++, so that tests and benchmarks share it.
#include <cmath>
#include <random>
#include <vector>

#include "PlantConstants.h"

struct SyntheticStepRecord
{
    // The record as the window takes it: 14335 samples at 50000 per second,
    // the rise 97 ms in, 100 ms high.
    double sampleRate = 50000.0;
    int count = 14335;
    int rise = 4850;  // first sample past the rising edge: the edge lies half a sample before it
    int fall = 9850;
    double bias = 5.0, step = 0.1;  // volts

    // The model: raw response units per volt, seconds.
    double gain = PlantConstants::GAIN_UM_PER_V[0] / PlantConstants::BPM_PHYSICAL_SCALE_UM;
    double deadTime = PlantConstants::DEAD_TIME_S;
    double timeConstant = PlantConstants::TIME_CONSTANT_S;
    double offset = 0.0;

    // Disturbances referred to the steering input, as the plant has them, seen
    // through `disturbanceGain` (the plant's, also when the response does not answer).
    bool disturbances = true;
    double disturbanceGain = PlantConstants::GAIN_UM_PER_V[0] / PlantConstants::BPM_PHYSICAL_SCALE_UM;
    // A steady drift over the whole record, as a fraction of the response's step.
    double steadyDrift = 0.0;
    unsigned long long seed = 1;

    double riseAt() const { return rise - 0.5; }
    double fallAt() const { return fall - 0.5; }
    double trueDeadTime() const { return deadTime + timeConstant * std::log(10.0 / 9.0); }
    double trueSettlingTime() const { return timeConstant * std::log(9.0); }
    double trueGain() const { return std::fabs(gain); }

    std::vector<double> stimulus() const
    {
        std::vector<double> u(static_cast<size_t>(count));
        for (int k = 0; k < count; ++k)
            u[size_t(k)] = bias + (k >= rise && k < fall ? step : 0.0);
        return u;
    }

    std::vector<double> response() const
    {
        using namespace PlantConstants;
        std::mt19937_64 random(seed);
        std::normal_distribution<double> normal;
        std::uniform_real_distribution<double> uniform;
        const double delay = deadTime * sampleRate, tau = timeConstant * sampleRate;
        auto g = [tau](double s) { return s > 0.0 ? 1.0 - std::exp(-s / tau) : 0.0; };

        const double whiteRms = POSITION_NOISE_UM / BPM_PHYSICAL_SCALE_UM;
        const double lineAmplitude = LINE_AMPLITUDE_V[0] * disturbanceGain;
        const double linePhase = 2.0 * PI * uniform(random);
        // The drift wanders as the plant's does: an Ornstein-Uhlenbeck process updated in steps.
        const double keep = std::exp(-DRIFT_UPDATE_S / DRIFT_TIME_CONSTANT_S);
        const double kick = DRIFT_RMS_V * std::sqrt(1.0 - keep * keep) * disturbanceGain;
        const int updateSamples = std::max(1, int(std::lround(DRIFT_UPDATE_S * sampleRate)));
        int untilUpdate = 1 + int(uniform(random) * updateSamples);
        double drift = DRIFT_RMS_V * disturbanceGain * normal(random);

        std::vector<double> y(static_cast<size_t>(count));
        for (int k = 0; k < count; ++k) {
            const double shape = g(k - riseAt() - delay) - g(k - fallAt() - delay);
            double v = offset + gain * step * shape + steadyDrift * std::fabs(gain) * step * double(k) / count;
            if (disturbances) {
                if (--untilUpdate <= 0) {
                    untilUpdate = updateSamples;
                    drift = keep * drift + kick * normal(random);
                }
                v += lineAmplitude * std::sin(2.0 * PI * LINE_HZ * k / sampleRate + linePhase) +
                     whiteRms * normal(random) + drift;
            }
            y[size_t(k)] = v;
        }
        return y;
    }
};
