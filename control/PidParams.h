#pragma once
// One PID loop's parameters as the operator edits and stores them, and the
// loop rate the controller derives from the requested frequency.
#include <QString>

// The controller's loops: 0 regulates X, 1 Y and 2 the intensity I0.
enum PidChannel { PID_CHANNEL_X = 0, PID_CHANNEL_Y = 1, PID_CHANNEL_I0 = 2, PID_CHANNEL_COUNT = 3 };

struct PidParams
{
    double Freq = 0.0;  // requested loop rate, Hz
    double Kp = 0.0;
    double Ki = 0.0;
    double Kd = 0.0;
    double emin = 0.0;
    double Imax = 0.0;
    double Omin = 0.0;  // output limits, V
    double Omax = 0.0;
    double Ogain = 0.0;
    double Offset = 0.0;  // output offset, V
};

namespace PidRate {

// The integer nearest to baseFreq / freq (halves away from zero), never below 1.
int divider(int baseFreq, double freq);

// The rate the loop really runs at, in single precision as the controller computes it.
float realFreq(int baseFreq, int divider);

// "300.30 Hz"
QString realFreqText(float realFreq);

}  // namespace PidRate
