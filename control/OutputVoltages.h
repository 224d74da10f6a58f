#pragma once
// The four voltages the output unit puts out now. The unit's device only takes
// records, so they are read back from the newest record of the display stream,
// whose output words carry what the unit puts out.
#include <QString>

#include <array>

class DisplayReader;

struct OutputVoltages
{
    std::array<double, 4> volts{};  // index 0 is Ch1
    QString error;                  // empty when all four were read and lie within the output range

    bool valid() const { return error.isEmpty(); }
};

// Opens the display device for the one record.
OutputVoltages readOutputVoltages();
// From a display device already open for a run.
OutputVoltages readOutputVoltages(DisplayReader& display);
