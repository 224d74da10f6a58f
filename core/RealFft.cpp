#include "RealFft.h"

#include <cmath>

namespace {
constexpr float TWO_PI = 6.2831854f;
constexpr float PI = TWO_PI / 2.0f;

bool isPowerOfTwo(int n)
{
    return n >= 2 && (n & (n - 1)) == 0;
}
}  // namespace

RealFft::RealFft(int n)
{
    if (!isPowerOfTwo(n))
        return;
    m_n = n;
    int log2n = 0;
    while ((1 << log2n) < n)
        ++log2n;
    m_stages = log2n - 1;
    m_re.assign(size_t(n), 0.0f);
    m_im.assign(size_t(n), 0.0f);
}

void RealFft::load(const float* pairs)
{
    if (!pairs)
        return;
    for (int i = 0; i < m_n; ++i) {
        m_re[size_t(i)] = pairs[2 * i];
        m_im[size_t(i)] = pairs[2 * i + 1];
    }
}

void RealFft::removeMean()
{
    if (m_n == 0)
        return;
    float sumRe = 0.0f;
    float sumIm = 0.0f;
    for (int i = 0; i < m_n; ++i) {
        sumRe += m_re[size_t(i)];
        sumIm += m_im[size_t(i)];
    }
    const float meanRe = sumRe / float(m_n);
    const float meanIm = sumIm / float(m_n);
    for (int i = 0; i < m_n; ++i) {
        m_re[size_t(i)] -= meanRe;
        m_im[size_t(i)] -= meanIm;
    }
}

int RealFft::bitReverse(int index) const
{
    int reversed = 0;
    for (int bit = 0; bit <= m_stages; ++bit) {
        reversed = (reversed << 1) | (index & 1);
        index >>= 1;
    }
    return reversed;
}

void RealFft::transform()
{
    if (m_n == 0)
        return;
    removeMean();

    // First stage straight from the bit-reversed order, out of place.
    const std::vector<float> re = m_re;
    const std::vector<float> im = m_im;
    for (int k = 0; k < m_n / 2; ++k) {
        const size_t a = size_t(bitReverse(2 * k));
        const size_t b = size_t(bitReverse(2 * k + 1));
        m_re[size_t(2 * k)] = re[a] + re[b];
        m_im[size_t(2 * k)] = im[a] + im[b];
        m_re[size_t(2 * k + 1)] = re[a] - re[b];
        m_im[size_t(2 * k + 1)] = im[a] - im[b];
    }

    for (int span = 2; span <= m_n / 2; span *= 2) {
        for (int block = 0; block < m_n; block += 2 * span) {
            for (int j = 0; j < span; ++j) {
                const float angle = TWO_PI * float(j) / float(2 * span);
                const float c = std::cos(angle);
                const float s = -std::sin(angle);
                const size_t lower = size_t(block + j);
                const size_t upper = lower + size_t(span);
                const float upRe = m_re[upper] * c - m_im[upper] * s;
                const float upIm = m_re[upper] * s + m_im[upper] * c;
                m_re[upper] = m_re[lower] - upRe;
                m_im[upper] = m_im[lower] - upIm;
                m_re[lower] += upRe;
                m_im[lower] += upIm;
            }
        }
    }
}

float RealFft::magnitude(int k) const
{
    if (k < 1 || k >= m_n)
        return 0.0f;
    const float angle = PI * float(k) / float(m_n);
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    // Split of the packed transform into the real signal's bin k.
    const float a = 0.5f - 0.5f * s;
    const float b = 0.5f + 0.5f * s;
    const size_t i = size_t(k);
    const size_t m = size_t(m_n - k);
    const float re = m_re[i] * a + 0.5f * c * m_im[i] + b * m_re[m] + 0.5f * c * m_im[m];
    const float im = m_im[i] * a - 0.5f * c * m_re[i] + 0.5f * c * m_re[m] - b * m_im[m];
    return std::sqrt(re * re + im * im);
}
