#include "FftCalculator.h"

#include <cmath>

double fftw_abs(double* c)
{
    return std::sqrt(c[0] * c[0] + c[1] * c[1]);
}

FftCalculator::~FftCalculator()
{
    release();
}

int FftCalculator::column(int sourceColumn, int bpm)
{
    return sourceColumn + BPM2_COLUMN_OFFSET * bpm;
}

double FftCalculator::scaleFactor(int column, const double scaleX[2], const double scaleY[2])
{
    switch (column) {
    case DisplayRecord::BPM1_X:
        return scaleX[0];
    case DisplayRecord::BPM1_Y:
        return scaleY[0];
    case DisplayRecord::BPM2_X:
        return scaleX[1];
    case DisplayRecord::BPM2_Y:
        return scaleY[1];
    default:
        return 1.0;
    }
}

namespace {
double frequency(int bin, double sampFreq, int length)
{
    return bin * sampFreq / length;
}
}  // namespace

void FftCalculator::release()
{
    if (m_plan)
        fftw_destroy_plan(m_plan);
    fftw_free(m_input);
    fftw_free(m_output);
    m_plan = nullptr;
    m_input = nullptr;
    m_output = nullptr;
    m_length = 0;
}

bool FftCalculator::prepare(int length)
{
    if (length == m_length && m_plan)
        return true;
    release();
    // Planned once per length and kept: the tick reuses it every second.
    m_input = static_cast<double*>(fftw_malloc(sizeof(double) * size_t(length)));
    m_output = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * size_t(length / 2 + 1)));
    if (m_input && m_output)
        m_plan = fftw_plan_dft_r2c_1d(length, m_input, m_output, FFTW_ESTIMATE);
    if (!m_plan) {
        release();
        return false;
    }
    m_length = length;
    return true;
}

void FftCalculator::compute(const DisplayRecord* records, int count, int bpm,
                                 const FftSettings& settings, double sampFreq,
                                 const double scaleX[2], const double scaleY[2],
                                 QCPGraphDataContainer& out)
{
    out.clear();

    const int word = column(settings.sourceColumn, bpm);
    if (!records || count < 1 || settings.length < 1 || word < 0 || word >= RECORD_WORDS)
        return;
    // Frequencies would all collapse to 0 or turn negative.
    if (!(sampFreq > 0.0) || !std::isfinite(sampFreq))
        return;

    // A length above the records read gives the spectrum of all of them.
    const int length = qMin(settings.length, count);
    if (!prepare(length))
        return;

    const double scale = scaleFactor(word, scaleX, scaleY);
    const DisplayRecord* first = records + (count - length);
    for (int k = 0; k < length; ++k)
        m_input[k] = scale * first[k].word[word];

    if (settings.removeMean) {
        double sum = 0.0;
        for (int k = 0; k < length; ++k)
            sum += m_input[k];
        const double mean = sum / length;
        for (int k = 0; k < length; ++k)
            m_input[k] -= mean;
    }

    fftw_execute(m_plan);

    const int half = length / 2;
    if (!settings.cumulative) {
        for (int k = 0; k <= half; ++k)
            out.add(QCPGraphData(frequency(k, sampFreq, length), 2.0 * fftw_abs(m_output[k]) / length));
    } else {
        if (length <= 1)
            return;
        double power = 0.0;
        for (int k = 1; k <= half; ++k) {
            const double amplitude = 2.0 * fftw_abs(m_output[k]) / length;
            power += 0.5 * amplitude * amplitude;
            out.add(QCPGraphData(frequency(k, sampFreq, length), std::sqrt(power)));
        }
    }
}
