#pragma once
// Single-precision in-place radix-2 transform of N complex samples, with the
// magnitude of a real signal of 2N samples packed as N complex ones.
#include <vector>

class RealFft
{
public:
    // n must be a power of two of at least 2; any other n gives an empty
    // transform (size 0) on which every call does nothing.
    explicit RealFft(int n);

    int size() const { return m_n; }
    int stages() const { return m_stages; }

    // n pairs (real, imaginary).
    void load(const float* pairs);
    // Subtracts from each part its own mean.
    void removeMean();
    // Index with its stages + 1 low bits reversed.
    int bitReverse(int index) const;
    // Removes the means, then transforms in place.
    void transform();
    // Magnitude of bin k (1 to size() - 1) of the real 2N-sample signal whose
    // even samples were loaded as real parts and odd ones as imaginary parts;
    // 0 for any other k.
    float magnitude(int k) const;

    const std::vector<float>& real() const { return m_re; }
    const std::vector<float>& imag() const { return m_im; }

private:
    std::vector<float> m_re;
    std::vector<float> m_im;
    int m_n = 0;
    int m_stages = 0;
};
