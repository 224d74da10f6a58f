#pragma once
// Least-squares demodulation of one display record: the response to the
// generator (its two reference words), a slow baseline, and the disturbance
// lines the record holds (mains and the like), fitted together so that a line
// near the excitation does not pass for response. The fit also says how well
// the record determines the response, and which lines it cannot tell apart
// from it.
#include <vector>

#include <armadillo>

namespace LockInFit {

// A sinusoidal disturbance of the measured position.
struct Line
{
    double hz = 0.0;
    double amplitude = 0.0;       // peak, in the signal's units
    double hzError = 0.0;         // standard error of hz
    bool amplitudeKnown = true;   // false when seen through a filter, or only in part
};

struct Settings
{
    // The generator's frequency; 0 for a record without excitation (no references).
    double excitationHz = 0.0;
    // Lines seen before: fitted wherever this record resolves them from the excitation.
    std::vector<Line> knownLines;
    // Look for further lines in what the fit leaves.
    bool searchLines = true;
    // Also fit a response that changes linearly across the record: a line too
    // close to the excitation to be resolved still shows as such a change.
    bool modulation = false;
};

struct Fit
{
    bool ok = false;            // the record determines the response (references present, not degenerate)
    double inPhase = 0.0;       // the signal's part along reference A (the generator's sine)
    double quadrature = 0.0;    // along reference B (its cosine)
    double varInPhase = 0.0;    // their covariance, from the residual
    double varQuadrature = 0.0;
    double covariance = 0.0;
    double durationS = 0.0;
    double residualRms = 0.0;
    std::vector<Line> lines;       // fitted with the response
    std::vector<Line> unresolved;  // closer to the excitation than the record resolves: not fitted
    // With `modulation`: how far the change across the record stands out of the
    // noise (chi-square, two degrees of freedom), and its size per response.
    double modulationChi2 = 0.0;
    double modulationRelative = 0.0;

    // How much more noise the record holds around the excitation than on
    // average, by which the errors above are widened.
    double noiseFactor = 1.0;

    double responseAmplitude() const;
    // Standard errors of the response's magnitude (in dB) and phase (in degrees).
    double magnitudeErrorDb() const;
    double phaseErrorDegrees() const;
};

// `refA` and `refB` may be null when `settings.excitationHz` is 0.
Fit fit(const arma::vec& signal, const arma::vec* refA, const arma::vec* refB, double rateHz,
        const Settings& settings);

// The frequency resolution of a record of `seconds`: lines closer than this
// to the excitation cannot be told from the response.
inline double resolutionHz(double seconds) { return seconds > 0.0 ? 1.0 / seconds : 0.0; }

}  // namespace LockInFit
