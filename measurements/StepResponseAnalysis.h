#pragma once
// Gain, dead time and 10-90 % settling time of a recorded step response.
#include <vector>

struct StepResponseResult
{
    bool inverted = false;  // the response falls when the stimulus rises; levels use its negation
    double lo = 0.0;        // level before the step (mean of the lowest tenth)
    double hi = 0.0;        // level after it (mean of the highest tenth)
    double dy = 0.0;        // hi - lo
    double level10 = 0.0;
    double level90 = 0.0;
    double du = 0.0;        // the step height
    double gain = 0.0;      // dy / du
    // Last samples before the stimulus passes half its step and before the
    // response passes its 10 % and 90 % levels; count - 1 when one never does.
    int edgeIndex = 0;
    int index10 = 0;
    int index90 = 0;
    double edgeTime = 0.0;  // seconds from the first sample
    double time10 = 0.0;
    double time90 = 0.0;
    double deadTime = 0.0;      // time10 - edgeTime
    double settlingTime = 0.0;  // time90 - time10
};

// stimulus and response hold one sample each per 1/sampleRate seconds;
// bias and step are those of the stimulus. Both arrays have the same length,
// at least 10 samples; du must not be 0.
StepResponseResult analyseStepResponse(const std::vector<double>& stimulus, const std::vector<double>& response,
                                       double bias, double step, double sampleRate);

// True when the response moves against the stimulus (their covariance is negative).
bool stepResponseInverted(const std::vector<double>& stimulus, const std::vector<double>& response);
