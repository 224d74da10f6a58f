#include "BpmStatistics.h"

#include <algorithm>
#include <cmath>

#include "DisplayRing.h"
#include "PlantConstants.h"

namespace {

struct Moments
{
    double mean = 0.0, std = 0.0;
};

template <typename Value>
Moments moments(size_t n, Value value)
{
    Moments m;
    if (n == 0)
        return m;
    for (size_t i = 0; i < n; ++i)
        m.mean += value(i);
    m.mean /= double(n);
    double sq = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double d = value(i) - m.mean;
        sq += d * d;
    }
    m.std = std::sqrt(sq / double(n));
    return m;
}

}  // namespace

void BpmStatistics::compute(const DisplayRing& ring, size_t records, double displayHz, double* block)
{
    std::fill(block, block + 19, 0.0);
    const size_t n = std::min(records, ring.capacity());
    if (n == 0)
        return;
    // Oldest first, so the filter runs forward in time.
    auto word = [&](size_t i, int w) { return ring.newest(n - 1 - i).word[w]; };
    const double alpha =
        1.0 - std::exp(-2.0 * PlantConstants::PI * PlantConstants::STATS_FILTER_HZ / std::max(1.0, displayHz));

    for (int bpm = 0; bpm < 2; ++bpm) {
        double* out = block + 9 * bpm;
        for (int axis = 0; axis < 2; ++axis) {
            const int w = 4 * bpm + axis;
            const Moments plain = moments(n, [&](size_t i) { return word(i, w); });
            // First-order low-pass started at the mean, so it needs no settling;
            // sums relative to the mean keep the variance well conditioned.
            double state = plain.mean;
            double sum = 0.0, sq = 0.0;
            for (size_t i = 0; i < n; ++i) {
                state += alpha * (word(i, w) - state);
                const double d = state - plain.mean;
                sum += d;
                sq += d * d;
            }
            const double fMean = sum / double(n);
            const double fVar = std::max(0.0, sq / double(n) - fMean * fMean);
            out[1 + 3 * axis] = plain.mean;
            out[2 + 3 * axis] = plain.std;
            out[3 + 3 * axis] = std::sqrt(fVar);
        }
        const Moments i0 = moments(n, [&](size_t i) { return word(i, 4 * bpm + 2); });
        out[7] = i0.mean;
        out[8] = i0.std;
    }
}
