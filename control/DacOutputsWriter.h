#pragma once
// The one place that writes an output record to the output unit's device: the
// manual output dialog, the scans and the step-response test all go through here.
#include <QString>

// The output unit's range, volts (the manual output dialog's limits).
inline constexpr double DAC_OUTPUT_MIN_V = -12.0;
inline constexpr double DAC_OUTPUT_MAX_V = 12.0;
// What a voltage computed from box values (a ramp, a sum) may stray past a limit
// by rounding alone.
inline constexpr double DAC_OUTPUT_ROUNDING_V = 1e-9;

// A voltage the output unit can put out: finite and within its range, give or
// take the rounding.
bool isOutputVoltage(double volts);
// An output voltage brought exactly into the range (it strays only by rounding).
double exactOutputVoltage(double volts);

// "<what> is <volts> V, outside the output range of -12 to 12 V.", for a
// refusal; `what` names the box, key or point.
QString outsideOutputRangeText(const QString& what, double volts);

// Writes ch1..ch4 (volts) with the flag set to 1 on an open output device.
// Returns true when the driver took the record. A channel that is not an
// output voltage is never sent: false, errno ERANGE.
bool writeDacOutputs(int fd, double ch1, double ch2, double ch3, double ch4);
