#pragma once
// Amplitude spectrum of one column of the newest display records, plain or
// cumulative, through FFTW's real-to-complex transform.
#include <QtGlobal>

#include <fftw3.h>
#include <qcustomplot.h>

#include "VornRecords.h"

// What the display tick uses for the spectra; the Updater keeps the values.
struct FftSettings
{
    int length = 8192;       // N
    int sourceColumn = 1;    // BPM1's word; BPM2 reads the word four higher
    bool removeMean = false;
    bool cumulative = false; // false: plain amplitude spectrum
};

// Magnitude of one complex value held as (real, imaginary).
double fftw_abs(double* c);

class FftCalculator
{
public:
    static constexpr int BPM2_COLUMN_OFFSET = 4;
    static constexpr int RECORD_WORDS = 32;

    FftCalculator() = default;
    ~FftCalculator();
    FftCalculator(const FftCalculator&) = delete;
    FftCalculator& operator=(const FftCalculator&) = delete;

    // Record word the spectrum of this BPM (0 or 1) reads.
    static int column(int sourceColumn, int bpm);
    // Position columns carry their BPM's scale; every other column 1.0.
    static double scaleFactor(int column, const double scaleX[2], const double scaleY[2]);

    // Clears out and fills it with the spectrum of the newest min(length, count)
    // records. Left empty when nothing sound can be computed: no records, a
    // length below 1, a column outside the record or a sample rate not above 0.
    // Not thread-safe (FFTW's planner is not): one thread, the GUI thread.
    void compute(const DisplayRecord* records, int count, int bpm, const FftSettings& settings,
                 double sampFreq, const double scaleX[2], const double scaleY[2],
                 QCPGraphDataContainer& out);

    // Length of the plan currently held, 0 for none.
    int plannedLength() const { return m_length; }

private:
    bool prepare(int length);
    void release();

    int m_length = 0;
    double* m_input = nullptr;
    fftw_complex* m_output = nullptr;
    fftw_plan m_plan = nullptr;
};
