#pragma once
// The one place that writes an output record to the output unit's device: the
// manual output dialog, the scans and the step-response test all go through here.

// The output unit's range, volts (the manual output dialog's limits).
inline constexpr double DAC_OUTPUT_MIN_V = -12.0;
inline constexpr double DAC_OUTPUT_MAX_V = 12.0;

// Writes ch1..ch4 (volts) with the flag set to 1 on an open output device.
// Returns true when the driver took the record.
bool writeDacOutputs(int fd, double ch1, double ch2, double ch3, double ch4);
