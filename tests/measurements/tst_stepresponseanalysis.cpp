// The step analysis on synthetic records: levels, gain, crossings and the
// inversion test, where the true answer is known exactly.
#include <QtTest>

#include <cmath>
#include <vector>

#include "StepResponseAnalysis.h"

namespace {

constexpr double RATE = 50000.0;
constexpr int COUNT = 14335;

struct Synthetic
{
    std::vector<double> stimulus;
    std::vector<double> response;
};

// Low from the first sample, high from `edge` to `fall`, low again after: a
// first-order response of time constant tau (in samples) after `delay`
// samples, starting at `offset` and moving by `gain * step`.
Synthetic firstOrderStep(double bias, double step, double offset, double gain, int edge = 3000, int fall = 8000,
                         int delay = 50, double tau = 265.0)
{
    Synthetic s;
    s.stimulus.resize(COUNT);
    s.response.resize(COUNT);
    double y = 0.0;
    const double a = std::exp(-1.0 / tau);
    for (int k = 0; k < COUNT; ++k) {
        const bool high = k >= edge && k < fall;
        s.stimulus[size_t(k)] = bias + (high ? step : 0.0);
        const int source = k - delay;
        const bool drivenHigh = source >= edge && source < fall;
        y = a * y + (1.0 - a) * (drivenHigh ? 1.0 : 0.0);
        s.response[size_t(k)] = offset + gain * step * y;
    }
    return s;
}

// The first sample of the ideal response above a fraction of its step: sample
// edge + delay + j holds 1 - a^(j + 1).
int firstAbove(double fraction, int edge, int delay, double tau)
{
    int m = 1;
    while (1.0 - std::exp(-double(m) / tau) <= fraction)
        ++m;
    return edge + delay + m - 1;
}

}  // namespace

class TestStepResponseAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void cleanStep_data()
    {
        QTest::addColumn<double>("bias");
        QTest::addColumn<double>("step");
        QTest::addColumn<double>("offset");
        QTest::addColumn<double>("gain");

        QTest::newRow("centred beam") << 5.0 << 0.1 << 0.0 << 0.04;
        // Far from the centre the raw position sits well below 0: the gain must not follow the offset.
        QTest::newRow("bias 1 V, beam far below") << 1.0 << 0.1 << -0.16 << 0.04;
        QTest::newRow("intensity on a large pedestal") << 2.0 << 0.5 << 9.7e-5 << 4e-6;
        QTest::newRow("large step") << 0.0 << 10.0 << 0.3 << 0.06;
    }

    void cleanStep()
    {
        QFETCH(double, bias);
        QFETCH(double, step);
        QFETCH(double, offset);
        QFETCH(double, gain);
        const int edge = 3000, delay = 50;
        const double tau = 265.0;
        const Synthetic s = firstOrderStep(bias, step, offset, gain, edge, 8000, delay, tau);

        const StepResponseResult r = analyseStepResponse(s.stimulus, s.response, bias, step, RATE);

        QVERIFY(!r.inverted);
        QCOMPARE(r.du, step);
        QVERIFY(qAbs(r.gain - gain) <= 1e-6 * gain);
        QVERIFY(qAbs(r.lo - offset) <= 1e-9 * qMax(1.0, qAbs(offset)));
        QCOMPARE(r.edgeIndex, edge - 1);
        // The levels lie within 1e-6 of the true 10 % and 90 %, far closer than two
        // neighbouring samples: the crossings fall on the samples of the ideal curve.
        QCOMPARE(r.index10, firstAbove(0.1, edge, delay, tau) - 1);
        QCOMPARE(r.index90, firstAbove(0.9, edge, delay, tau) - 1);
        QCOMPARE(r.deadTime, (r.index10 - r.edgeIndex) / RATE);
        QCOMPARE(r.settlingTime, (r.index90 - r.index10) / RATE);
        // Against the continuous answer: delay + tau ln(10/9) and tau ln 9, within a sample or two.
        QVERIFY(qAbs(r.deadTime - (delay + tau * std::log(10.0 / 9.0)) / RATE) <= 1.5 / RATE);
        QVERIFY(qAbs(r.settlingTime - tau * std::log(9.0) / RATE) <= 1.5 / RATE);
    }

    void fallingResponseIsInverted_data()
    {
        QTest::addColumn<double>("offset");
        QTest::newRow("around 0") << 0.0;
        QTest::newRow("above 0") << 0.2;
        QTest::newRow("below 0") << -0.2;
    }

    void fallingResponseIsInverted()
    {
        QFETCH(double, offset);
        const Synthetic s = firstOrderStep(5.0, 0.1, offset, -0.04);
        const StepResponseResult r = analyseStepResponse(s.stimulus, s.response, 5.0, 0.1, RATE);
        QVERIFY(r.inverted);
        // Analysed as the negated response: a positive gain and the usual crossings.
        QVERIFY(qAbs(r.gain - 0.04) <= 1e-6 * 0.04);
        QVERIFY(qAbs(r.lo + offset) <= 1e-9);
        QVERIFY(r.deadTime > 0.0);
        QVERIFY(r.settlingTime > 0.0);
    }

    void stimulusOffAtTheStartWithNegativeResponse()
    {
        // 0 V during the first 100 records, the response negative wherever the stimulus is positive.
        std::vector<double> stimulus(COUNT, 0.0), response(COUNT, 0.0);
        for (int k = 100; k < COUNT; ++k) {
            stimulus[size_t(k)] = 1.0;
            response[size_t(k)] = -0.5;
        }
        QVERIFY(stepResponseInverted(stimulus, response));
        QVERIFY(!stepResponseInverted(stimulus, std::vector<double>(COUNT, 0.3)));
    }

    void stimulusHighFromTheFirstRecord()
    {
        Synthetic s = firstOrderStep(1.0, 0.5, 0.0, 0.04, 0);
        const StepResponseResult r = analyseStepResponse(s.stimulus, s.response, 1.0, 0.5, RATE);
        QCOMPARE(r.edgeIndex, -1);
        QVERIFY(r.index10 >= 0);
        QVERIFY(r.deadTime > 0.0);
    }

    void recordStartingInsideTheHighPhase()
    {
        // Only the fall is recorded: the analysis still gives no negative time.
        std::vector<double> stimulus(COUNT), response(COUNT);
        for (int k = 0; k < COUNT; ++k) {
            stimulus[size_t(k)] = k < 2000 ? 6.0 : 5.0;
            response[size_t(k)] = k < 2050 ? 0.04 : 0.04 * std::exp(-(k - 2050) / 265.0);
        }
        const StepResponseResult r = analyseStepResponse(stimulus, response, 5.0, 1.0, RATE);
        QCOMPARE(r.edgeIndex, -1);
        QVERIFY(r.deadTime >= 0.0);
        QVERIFY(r.settlingTime >= 0.0);
        QVERIFY(r.index90 >= r.index10);
    }

    void noEdgeGivesTheLastSample()
    {
        // Never above half the step: the edge and the crossings fall on the last sample.
        std::vector<double> stimulus(COUNT, 1.0), response(COUNT, 0.0);
        const StepResponseResult r = analyseStepResponse(stimulus, response, 1.0, 0.1, RATE);
        QCOMPARE(r.edgeIndex, COUNT - 1);
        QCOMPARE(r.index10, COUNT - 1);
        QCOMPARE(r.deadTime, 0.0);
        QCOMPARE(r.settlingTime, 0.0);
    }

    void noiseBeforeTheEdgeDoesNotMakeTheDeadTimeNegative()
    {
        // Spikes above the 10 % level long before the step.
        Synthetic s = firstOrderStep(5.0, 0.1, 0.0, 0.04);
        for (int k = 200; k < 2000; k += 97)
            s.response[size_t(k)] += 0.002;
        const StepResponseResult r = analyseStepResponse(s.stimulus, s.response, 5.0, 0.1, RATE);
        QVERIFY(r.index10 >= r.edgeIndex);
        QVERIFY(r.deadTime > 0.9e-3);
    }

    void responseAboveTenPercentAtTheEdge()
    {
        // Already past the 10 % level when the stimulus rises: dead time 0, never below.
        Synthetic s = firstOrderStep(5.0, 0.1, 0.0, 0.04, 3000, 8000, 0, 1.0);
        for (int k = 2990; k < 3005; ++k)
            s.response[size_t(k)] = 0.004;
        const StepResponseResult r = analyseStepResponse(s.stimulus, s.response, 5.0, 0.1, RATE);
        QCOMPARE(r.index10, r.edgeIndex);
        QCOMPARE(r.deadTime, 0.0);
    }
};

QTEST_GUILESS_MAIN(TestStepResponseAnalysis)
#include "tst_stepresponseanalysis.moc"
