#pragma once
// Gain, dead time and 10-90 % settling time of a recorded low-high-low step.
//
// The beam carries white noise, the 50 Hz mains line and a slow drift, each of
// them a good part of a small step. Raw levels and raw crossings follow them, so
// the whole record is fitted at once (StepRecordFit): a sloped baseline for the
// drift, the mains line, and each edge (the rise and the fall) as a first-order
// response after a dead time of its own:
//     y(t) = level + slope t + a sin(2 pi 50 t) + b cos(2 pi 50 t) + A g(t - t0),
//     g = 0 before t0, 1 - exp(-(t - t0) / tau) after it.
// A result is shown only when the record supports it: each edge stands well out
// of the noise, the fit resolves its time constant, the rise and the fall agree
// within what the noise allows, and the noise leaves K, Tdead and Tset within the
// tolerances below. The two edges' answers are then averaged.
#include <vector>

struct StepResponseResult
{
    // Why a record gives no result; None when it does.
    enum class Fault {
        None,
        BadInput,          // a step not above 0, a sample rate it cannot use, or too few samples
        NotFinite,         // a sample or the bias is not a finite number
        StartsHigh,        // the record begins after the rise: it was read late
        NoCleanEdge,       // the output does not rise once and fall back once
        OutputOffLevel,    // the recorded output is not at the bias and bias + step
        TooLittleBefore,   // less than one line period recorded before the rise
        NotSettled,        // the response has not settled before the fall or the record's end
        NoResponse,        // the step does not stand out of the noise, or an edge moves the wrong way
        TooFast,           // the fitted time constant is below one sample: nothing resolves it
        EdgesDisagree,     // rise and fall differ by more than the noise allows
        Imprecise,         // the noise leaves K, Tdead or Tset uncertain beyond the tolerances
    };

    Fault fault = Fault::BadInput;
    bool valid() const { return fault == Fault::None; }

    bool inverted = false;  // the response falls when the output rises; the values are of its negation
    double lo = 0.0;        // level before the rise
    double dy = 0.0;        // the response's step
    double hi = 0.0;        // lo + dy
    double du = 0.0;        // the output's step
    double gain = 0.0;      // dy / du

    // Seconds from the first sample.
    double edgeTime = 0.0;  // the output passes half its rise
    double fallTime = 0.0;  // the output passes half its fall
    double time10 = 0.0;    // edgeTime + deadTime: the response passes 10 %
    double time90 = 0.0;    // time10 + settlingTime: the response passes 90 %
    double deadTime = 0.0;      // from the output's edge to 10 %
    double settlingTime = 0.0;  // from 10 % to 90 %

    // The fitted response: pure delay after the edge and time constant, seconds.
    double delay = 0.0;
    double timeConstant = 0.0;

    // Standard errors under the record's own noise (white and wandering), in
    // the units of the figures; set whenever the fit got that far.
    double gainError = 0.0;
    double deadTimeError = 0.0;
    double settlingTimeError = 0.0;
};

// Mains line frequency that the fit removes.
inline constexpr double STEP_LINE_HZ = 50.0;

// What a shown figure is held to: K within 5 %, Tdead within 0.3 ms and Tset
// within 1.5 ms of the plant's, at STEP_CONFIDENCE standard errors.
inline constexpr double STEP_GAIN_TOLERANCE = 0.05;
inline constexpr double STEP_DEAD_TIME_TOLERANCE_S = 0.3e-3;
inline constexpr double STEP_SETTLING_TOLERANCE_S = 1.5e-3;
inline constexpr double STEP_CONFIDENCE = 3.0;

// stimulus and response hold one sample each per 1/sampleRate seconds (the
// shorter one sets the count); bias and step (above 0) are those of the stimulus.
// Any input it cannot use gives a fault, never a figure.
StepResponseResult analyseStepResponse(const std::vector<double>& stimulus, const std::vector<double>& response,
                                       double bias, double step, double sampleRate);
