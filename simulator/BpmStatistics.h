#pragma once
// The statistics block of the newest records: per monitor the mean, standard
// deviation and low-pass filtered standard deviation of X and Y (raw), and the
// mean and deviation of the intensity.
#include <cstddef>

class DisplayRing;

class BpmStatistics
{
public:
    // block: 19 doubles in the BpmStats layout; indices 0, 9 and 18 become 0.
    static void compute(const DisplayRing& ring, size_t records, double displayHz, double* block);
};
