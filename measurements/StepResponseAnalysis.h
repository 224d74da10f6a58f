#pragma once
// Gain, dead time and 10-90 % settling time of a recorded low-high-low step.
//
// The beam carries white noise, the 50 Hz mains line and a slow drift, each of
// them a good part of a small step. Raw levels and raw crossings follow them, so
// each edge (the rise and the fall) is fitted on its own short stretch with a
// first-order response after a dead time, on a level of its own (which follows
// the drift), plus the mains line:
//     y(t) = level + amplitude * g(t) + a sin(2 pi 50 t) + b cos(2 pi 50 t),
//     g(t) = 0 before t0, 1 - exp(-(t - t0) / tau) after it.
// The stretch starts one whole line period before the edge and ends five time
// constants after t0. The two edges' answers are averaged.
#include <vector>

struct StepResponseResult
{
    // Why a record gives no result; None when it does.
    enum class Fault {
        None,
        BadInput,          // a step not above 0, no sample rate, or too few samples
        StartsHigh,        // the record begins after the rise: it was read late
        NoCleanEdge,       // the output does not rise once and fall back once
        OutputOffLevel,    // the recorded output is not at the bias and bias + step
        TooLittleBefore,   // less than one line period recorded before the rise
        NotSettled,        // the response has not settled before the fall or the record's end
        NoResponse,        // the step does not stand out of the noise, or rise and fall disagree
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
};

// Mains line frequency that the fit removes.
inline constexpr double STEP_LINE_HZ = 50.0;

// stimulus and response hold one sample each per 1/sampleRate seconds (the
// shorter one sets the count); bias and step (above 0) are those of the stimulus.
StepResponseResult analyseStepResponse(const std::vector<double>& stimulus, const std::vector<double>& response,
                                       double bias, double step, double sampleRate);
