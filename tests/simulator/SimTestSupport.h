#pragma once
// Small helpers shared by the simulator's tests.
#include <fcntl.h>

#include <cmath>
#include <vector>

#include "DeviceIo.h"
#include "PlantConstants.h"
#include "SimControl.h"
#include "VornLibrary.h"
#include "VornRecords.h"

namespace SimTest {

// Stepped clock, start state, and optionally a quiet beam.
inline void start(bool disturbances = false)
{
    SimControl::useSteppedClock();
    SimControl::reset();
    SimControl::setDisturbances(disturbances);
}

inline std::vector<DisplayRecord> newest(int records)
{
    std::vector<DisplayRecord> r(static_cast<size_t>(records));
    const int got = getBuffer(reinterpret_cast<double*>(r.data()), records);
    r.resize(size_t(got > 0 ? got : 0));
    return r;
}

// Writes the four outputs to the output device, as the program's windows do.
inline int writeOutputs(double ch1, double ch2, double ch3, double ch4)
{
    const int fd = DeviceIo::open(DEVICE_ORVANE, O_RDWR | O_SYNC);
    if (fd < 0)
        return -1;
    DacOutputs o{ch1, ch2, ch3, ch4, 1};
    const int result = DeviceIo::ioctl(fd, IOCTL_DAC_WRITE, &o);
    DeviceIo::close(fd);
    return result;
}

inline double mean(const std::vector<DisplayRecord>& records, int word)
{
    double sum = 0.0;
    for (const DisplayRecord& r : records)
        sum += r.word[word];
    return records.empty() ? 0.0 : sum / double(records.size());
}

// Raw position of a true position in micrometres.
inline double raw(double micrometres) { return micrometres / PlantConstants::BPM_PHYSICAL_SCALE_UM; }

}  // namespace SimTest
