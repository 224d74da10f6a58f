#pragma once
// What a one-dimensional rocking-curve scan outputs and plots at each point,
// apart from the window that runs it.
#include <QString>

#include <array>

namespace RockingCurvePlan {

constexpr int CHANNELS = 4;

// The two picoammeter channels facing the scanned direction and the names of
// the three graphs: left/right for X, top/bottom for Y.
struct Pair
{
    int first = 0;   // channel index 0..3 of graph 0
    int second = 0;  // of graph 1
    QString firstName;
    QString secondName;
    QString sumName;
};
Pair facingPair(bool scanY, int top, int right, int bottom, int left);

bool validChannel(int index);

// Point i of n from start towards stop; the stop voltage itself is never reached.
double rampVoltage(int i, int n, double start, double stop);

// The first and the last voltage of a ramp of n points (the same one for n = 1;
// both `start` for n < 1, when nothing is put out).
struct RampEnds
{
    double first = 0.0;
    double last = 0.0;
};
RampEnds rampEnds(int n, double start, double stop);

// Output channels 1..4: the ramp on the scanned axis' channel, the held level
// on the other one, 0 elsewhere. Channels must be valid.
std::array<double, CHANNELS> outputs(double ramp, double held, bool scanY, int dacX, int dacY);

// Percent done after point i of n, in integer arithmetic.
int progressAfter(int i, int n);

}  // namespace RockingCurvePlan
