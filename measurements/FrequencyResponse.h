#pragma once
// The frequency sweep's computations, free of any window or thread: the
// frequency list and its refusals, the display rate and wait per frequency,
// and the lock-in demodulation of the display records against the generator's
// reference words.
#include <QString>
#include <QVector>

#include <armadillo>

struct DisplayRecord;

namespace FrequencyResponse {

constexpr int RECORD_BYTES = 256;
// Demodulated per frequency: the newest records of each read.
constexpr int RECORDS_PER_STEP = 3583;
// One read of the display device: 14336 records.
constexpr int READ_BYTES = 3670016;
constexpr int RECORDS_PER_READ = READ_BYTES / RECORD_BYTES;
// The first demodulated record follows the generator's start by at least this.
constexpr int WAIT_MARGIN_MS = 250;

// ---- the list ----------------------------------------------------------------
enum class Refusal { None, Start, Stop, StartNotBelowStop, Length };
// Checked in this order; anything that is not a finite number in range is refused.
Refusal checkSettings(double start, double stop, int length);

// Which of the three fields hold a value the sweep refuses: each one out of its
// range or not a number, and both frequencies when start is not below stop.
struct RefusedFields
{
    bool start = false;
    bool stop = false;
    bool length = false;

    bool any() const { return start || stop || length; }
};
RefusedFields refusedFields(const QString& start, const QString& stop, const QString& length);

// `length` points from start to stop, evenly spaced on a log scale, or on a
// linear one when `linear`; the last point is set from stop exactly.
QVector<double> frequencyList(double start, double stop, int length, bool linear);

// ---- channels -----------------------------------------------------------------------
// The display record word of output channel c (0 to 3), or -1 for any other channel.
int outputWord(int channel);
// The record word of the measured position: X or Y of the BPM that the loop's
// selector names (0 BPM1, anything else BPM2).
int inputWord(bool xAxis, int bpmSelector);

// ---- rate and wait -------------------------------------------------------------
struct RateChoice
{
    int rateHz;    // display sample rate
    int periods;   // generator periods to wait
    int settleMs;  // extra settling time
};
RateChoice chooseRate(float f);
// periods / f plus the settling time, in milliseconds.
int tableWaitMs(float f);
// How long the demodulated records last at this rate, rounded up.
int spanMs(int rateHz);
// The wait of one step: the table's, but never so short that the demodulated
// records could predate the generator's start or the rate change.
int stepWaitMs(float f);
// How many of a step's newest records were all taken after the generator
// started and settled: the records a wait of `waitMs` at `rateHz` leaves clean.
int settledRecords(int waitMs, int rateHz);

// ---- the longer record ----------------------------------------------------------
// A point that a disturbance line near its frequency makes uncertain is measured
// again over one whole read, at a lower rate so that the read lasts longer:
// the lowest of 1, 2, 5 and 10 kHz giving ten samples a period, never above
// the point's own rate.
int longRecordRate(float f);
double longRecordSeconds(float f);
// Long enough for the whole read to follow the generator's start.
int longRecordWaitMs(float f);

// ---- demodulation ------------------------------------------------------------------
// Fills the three vectors (`count` each) from the newest records of a read of
// `wholeRecords` records, oldest first. `scale` multiplies the signal.
// Returns false when the read holds fewer than `count` records.
bool extractNewest(const DisplayRecord* records, int wholeRecords, int inputWord, double scale,
                   arma::vec& signal, arma::vec& refA, arma::vec& refB, int count = RECORDS_PER_STEP);

// Amplitudes of the signal's parts in phase with reference A (the generator's
// sine) and with reference B (its cosine).
struct Phasor
{
    double inPhase = 0.0;
    double quadrature = 0.0;
};
// Removes each vector's mean (in place), then solves the signal as a sum of the
// two references. Over whole periods this is twice the mean of the products;
// over a window that ends inside a period it keeps the leakage between the
// references out of the result.
Phasor demodulate(arma::vec& signal, arma::vec& refA, arma::vec& refB);

// Response amplitude per generator amplitude (the value sent, half the peak-to-peak).
double magnitude(const Phasor& p, float amplitudeSent);
// Degrees, -180 to 180.
double phaseDegrees(const Phasor& p);
// The phase placed within 180 degrees of the previous (unwrapped) one; one
// correction of 360 degrees at most.
double unwrap(double previous, double phase);

}  // namespace FrequencyResponse
