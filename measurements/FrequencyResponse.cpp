#include "FrequencyResponse.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "VornRecords.h"

namespace FrequencyResponse {

namespace {
constexpr double PI = 3.141592653589793;

// Whole milliseconds of a float time, kept within int.
int truncatedMs(float ms)
{
    if (!(ms > 0.0f))
        return 0;
    if (ms >= float(INT_MAX))
        return INT_MAX;
    return int(ms);
}
}  // namespace

Refusal checkSettings(double start, double stop, int length)
{
    // Written so that a NaN fails each range.
    if (!(start >= 0.1 && start <= 500.0))
        return Refusal::Start;
    if (!(stop >= 1.0 && stop <= 1000.0))
        return Refusal::Stop;
    if (start >= stop)
        return Refusal::StartNotBelowStop;
    if (length < 2 || length > 1001)
        return Refusal::Length;
    return Refusal::None;
}

RefusedFields refusedFields(const QString& start, const QString& stop, const QString& length)
{
    bool startRead = false, stopRead = false, lengthRead = false;
    const double from = start.toDouble(&startRead);
    const double to = stop.toDouble(&stopRead);
    const int points = length.toInt(&lengthRead);
    RefusedFields refused;
    refused.start = !startRead || checkSettings(from, 1000.0, 2) == Refusal::Start;
    refused.stop = !stopRead || checkSettings(0.1, to, 2) == Refusal::Stop;
    refused.length = !lengthRead || checkSettings(0.1, 1000.0, points) == Refusal::Length;
    if (!refused.start && !refused.stop && from >= to)
        refused.start = refused.stop = true;
    return refused;
}

QVector<double> frequencyList(double start, double stop, int length, bool linear)
{
    QVector<double> list;
    if (length < 2)
        return list;
    const double a = linear ? start : std::log10(start);
    const double b = linear ? stop : std::log10(stop);
    list.resize(length);
    for (int i = 0; i < length - 1; ++i)
        list[i] = a + i * (b - a) / (length - 1);
    list[length - 1] = b;
    if (!linear)
        for (double& f : list)
            f = std::pow(10.0, f);
    return list;
}

int outputWord(int channel)
{
    return channel >= 0 && channel <= 3 ? DisplayRecord::OUTPUT0 + channel : -1;
}

int inputWord(bool xAxis, int bpmSelector)
{
    return (xAxis ? DisplayRecord::BPM1_X : DisplayRecord::BPM1_Y) + (bpmSelector == 0 ? 0 : 4);
}

RateChoice chooseRate(float f)
{
    if (f >= 10.0f)
        return {10000, 8, 1000};
    if (f >= 1.0f)
        return {2000, 8, truncatedMs(8000.0f / (2.0f * f))};
    if (f >= 0.5f)
        return {500, 10, truncatedMs(10000.0f / f)};
    if (f >= 0.25f)
        return {200, 10, truncatedMs(10000.0f / f)};
    return {100, 10, truncatedMs(10000.0f / f)};
}

int tableWaitMs(float f)
{
    const RateChoice choice = chooseRate(f);
    const double periodsMs = double(float(choice.periods) / f) * 1000.0;
    if (!(periodsMs > 0.0))
        return choice.settleMs;
    return int(std::min(periodsMs + choice.settleMs, double(INT_MAX)));
}

int spanMs(int rateHz)
{
    if (rateHz <= 0)
        return 0;
    return int((RECORDS_PER_STEP * 1000LL + rateHz - 1) / rateHz);
}

int stepWaitMs(float f)
{
    return std::max(tableWaitMs(f), spanMs(chooseRate(f).rateHz) + WAIT_MARGIN_MS);
}

int settledRecords(int waitMs, int rateHz)
{
    if (waitMs <= WAIT_MARGIN_MS || rateHz <= 0)
        return 0;
    return int(std::min<long long>(RECORDS_PER_READ, (long long)(waitMs - WAIT_MARGIN_MS) * rateHz / 1000));
}

int longRecordRate(float f)
{
    const int standard = chooseRate(f).rateHz;
    for (int rate : {1000, 2000, 5000, 10000})
        if (rate >= 10.0f * f)
            return std::min(rate, standard);
    return standard;
}

double longRecordSeconds(float f)
{
    return double(RECORDS_PER_READ) / longRecordRate(f);
}

int longRecordWaitMs(float f)
{
    const int span = int((RECORDS_PER_READ * 1000LL + longRecordRate(f) - 1) / longRecordRate(f));
    return std::max(tableWaitMs(f), span + WAIT_MARGIN_MS);
}

bool extractNewest(const DisplayRecord* records, int wholeRecords, int inputWord, double scale,
                   arma::vec& signal, arma::vec& refA, arma::vec& refB, int count)
{
    if (count < 1 || wholeRecords < count || inputWord < 0 || inputWord >= 32)
        return false;
    signal.set_size(arma::uword(count));
    refA.set_size(arma::uword(count));
    refB.set_size(arma::uword(count));
    // The device hands out the newest records, oldest first: the last ones are
    // those taken after the wait, whatever came before them.
    const DisplayRecord* first = records + (wholeRecords - count);
    for (int k = 0; k < count; ++k) {
        const DisplayRecord& r = first[k];
        signal[arma::uword(k)] = r.word[inputWord] * scale;
        refA[arma::uword(k)] = double(r.inPhaseReference());
        refB[arma::uword(k)] = double(r.quadratureReference());
    }
    return true;
}

Phasor demodulate(arma::vec& signal, arma::vec& refA, arma::vec& refB)
{
    signal -= arma::mean(signal);
    refA -= arma::mean(refA);
    refB -= arma::mean(refB);

    const double sa = arma::mean(signal % refA);
    const double sb = arma::mean(signal % refB);
    const double aa = arma::mean(refA % refA);
    const double bb = arma::mean(refB % refB);
    const double ab = arma::mean(refA % refB);
    const double det = aa * bb - ab * ab;
    // Silent or degenerate references: the plain lock-in, which reads them as no response.
    if (!(aa > 0.0 && bb > 0.0 && det > 1e-9 * aa * bb))
        return {2.0 * sa, 2.0 * sb};
    return {(bb * sa - ab * sb) / det, (aa * sb - ab * sa) / det};
}

double magnitude(const Phasor& p, float amplitudeSent)
{
    return std::hypot(p.inPhase, p.quadrature) / double(amplitudeSent);
}

double phaseDegrees(const Phasor& p)
{
    return std::atan2(p.quadrature, p.inPhase) * 180.0 / PI;
}

double unwrap(double previous, double phase)
{
    double d = phase - previous;
    if (d > 180.0)
        d -= 360.0;
    else if (d < -180.0)
        d += 360.0;
    return previous + d;
}

}  // namespace FrequencyResponse
