#pragma once
// Fast reproducible noise: xoshiro256** with Marsaglia's polar method for normals.
#include <cstdint>

class NoiseSource
{
public:
    explicit NoiseSource(uint64_t seed = 1) { seed_(seed); }

    void seed(uint64_t value) { seed_(value); }

    // Uniform in [0, 1).
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }

    // Standard normal.
    double normal();

private:
    void seed_(uint64_t value);
    uint64_t next();

    uint64_t m_s[4] = {};
    bool m_hasSpare = false;
    double m_spare = 0.0;
};
