#include "StepResponseAnalysis.h"

#include <algorithm>
#include <cstddef>
#include <numeric>

namespace {

// Index of the last sample before the first one from `from` on that lies above
// `level`; last index when none does.
int lastBeforeAbove(const std::vector<double>& values, int from, double level)
{
    const int count = int(values.size());
    for (int k = std::max(0, from); k < count; ++k)
        if (values[size_t(k)] > level)
            return k - 1;
    return count - 1;
}

double mean(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
}

}  // namespace

bool stepResponseInverted(const std::vector<double>& stimulus, const std::vector<double>& response)
{
    // Means removed: raw products would follow the operating point, not the step.
    const size_t count = std::min(stimulus.size(), response.size());
    const double ms = mean(stimulus), mr = mean(response);
    double covariance = 0.0;
    for (size_t k = 0; k < count; ++k)
        covariance += (stimulus[k] - ms) * (response[k] - mr);
    return covariance < 0.0;
}

StepResponseResult analyseStepResponse(const std::vector<double>& stimulus, const std::vector<double>& response,
                                       double bias, double step, double sampleRate)
{
    StepResponseResult r;
    const int count = int(std::min(stimulus.size(), response.size()));
    r.du = step;
    if (count < 10 || sampleRate <= 0.0)
        return r;

    r.inverted = stepResponseInverted(stimulus, response);
    std::vector<double> y(response.begin(), response.begin() + count);
    if (r.inverted)
        for (double& v : y)
            v = -v;

    // Levels from the lowest and the highest tenth of the samples, each the
    // mean of the samples it takes.
    std::vector<double> sorted(y);
    std::sort(sorted.begin(), sorted.end());
    const int lowCount = count / 10;
    const int highFrom = 9 * count / 10;
    r.lo = std::accumulate(sorted.begin(), sorted.begin() + lowCount, 0.0) / lowCount;
    r.hi = std::accumulate(sorted.begin() + highFrom, sorted.end(), 0.0) / (count - highFrom);
    r.dy = r.hi - r.lo;
    const double mid = (r.lo + r.hi) / 2.0;
    r.level10 = mid - 0.4 * r.dy;
    r.level90 = mid + 0.4 * r.dy;
    r.gain = step != 0.0 ? r.dy / step : 0.0;

    std::vector<double> u(stimulus.begin(), stimulus.begin() + count);
    r.edgeIndex = lastBeforeAbove(u, 0, bias + step / 2.0);
    // From the edge on: noise before the step would cross the 10 % level too.
    r.index10 = lastBeforeAbove(y, std::max(1, r.edgeIndex + 1), r.level10);
    // From the first sample past the 10 % level, so that 90 % never comes before 10 %.
    r.index90 = lastBeforeAbove(y, r.index10 + 1, r.level90);

    r.edgeTime = r.edgeIndex / sampleRate;
    r.time10 = r.index10 / sampleRate;
    r.time90 = r.index90 / sampleRate;
    r.deadTime = r.time10 - r.edgeTime;
    r.settlingTime = r.time90 - r.time10;
    return r;
}
