#include "RockingCurvePlan.h"

#include <algorithm>

namespace RockingCurvePlan {

namespace {
QString named(const char* side, int channel)
{
    return QStringLiteral("%1 (ch %2)").arg(QLatin1String(side)).arg(channel + 1);
}
}  // namespace

Pair facingPair(bool scanY, int top, int right, int bottom, int left)
{
    Pair p;
    if (!scanY) {
        p.first = left;
        p.second = right;
        p.firstName = named("left", left);
        p.secondName = named("right", right);
        p.sumName = QStringLiteral("sum (left+right)");
    } else {
        p.first = top;
        p.second = bottom;
        p.firstName = named("top", top);
        p.secondName = named("bottom", bottom);
        p.sumName = QStringLiteral("sum (top+bottom)");
    }
    return p;
}

bool validChannel(int index)
{
    return index >= 0 && index < CHANNELS;
}

double rampVoltage(int i, int n, double start, double stop)
{
    return (double(i) / double(n)) * (stop - start) + start;
}

RampEnds rampEnds(int n, double start, double stop)
{
    // The ramp is linear in i, so its two ends bound every point.
    return {rampVoltage(0, std::max(n, 1), start, stop), rampVoltage(std::max(n - 1, 0), std::max(n, 1), start, stop)};
}

std::array<double, CHANNELS> outputs(double ramp, double held, bool scanY, int dacX, int dacY)
{
    std::array<double, CHANNELS> out{};
    if (!scanY) {
        out[size_t(dacX)] = ramp;
        out[size_t(dacY)] = held;
    } else {
        out[size_t(dacX)] = held;
        out[size_t(dacY)] = ramp;
    }
    return out;
}

int progressAfter(int i, int n)
{
    return n > 0 ? 100 * (i + 1) / n : 0;
}

}  // namespace RockingCurvePlan
