// The sweep's least-squares demodulation on records made here: the response
// recovered beside disturbance lines, drift and noise; lines it cannot tell
// from the response named; its own errors held against the scatter they
// claim; a change across the record seen; records it cannot use refused.
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "LockInFit.h"

namespace {

constexpr double PI = 3.14159265358979323846;

struct Disturbance
{
    double hz;
    double amplitude;
    double phase;
};

// One record as the display delivers it: the position's response to the
// generator (amplitude, phase against its sine), lines, a drift and noise, with
// the generator's sine and cosine as single-precision reference words.
struct Record
{
    double rate = 10000.0;
    int count = 3583;
    double excitationHz = 40.0;
    double amplitude = 1.0;
    double phaseDeg = -35.0;
    double noise = 0.2;
    std::vector<Disturbance> lines;
    double ramp = 0.0;  // change over the record
    double bend = 0.0;  // quadratic, at the ends
    uint64_t seed = 1;

    arma::vec signal, refA, refB;

    Record& make()
    {
        std::mt19937_64 random(seed);
        std::normal_distribution<double> normal;
        std::uniform_real_distribution<double> uniform(0.0, 2.0 * PI);
        const double start = uniform(random);
        signal.set_size(arma::uword(count));
        refA.set_size(arma::uword(count));
        refB.set_size(arma::uword(count));
        const double phase = phaseDeg * PI / 180.0;
        for (int k = 0; k < count; ++k) {
            const double t = k / rate;
            const double theta = start + 2.0 * PI * excitationHz * t;
            const double tau = 2.0 * k / (count - 1) - 1.0;
            double y = amplitude * std::sin(theta + phase) + noise * normal(random) + 0.5 * ramp * tau + bend * tau * tau;
            for (const Disturbance& d : lines)
                y += d.amplitude * std::sin(2.0 * PI * d.hz * t + d.phase);
            signal[arma::uword(k)] = y;
            refA[arma::uword(k)] = double(float(std::sin(theta)));
            refB[arma::uword(k)] = double(float(std::cos(theta)));
        }
        return *this;
    }

    double seconds() const { return count / rate; }
    double trueInPhase() const { return amplitude * std::cos(phaseDeg * PI / 180.0); }
    double trueQuadrature() const { return amplitude * std::sin(phaseDeg * PI / 180.0); }

    LockInFit::Fit fit(LockInFit::Settings settings = LockInFit::Settings()) const
    {
        settings.excitationHz = excitationHz;
        return LockInFit::fit(signal, &refA, &refB, rate, settings);
    }
};

// How many of its own standard errors the fit is from the truth, the worse of the two parts.
double worstZ(const Record& r, const LockInFit::Fit& f)
{
    return qMax(qAbs(f.inPhase - r.trueInPhase()) / std::sqrt(f.varInPhase),
                qAbs(f.quadrature - r.trueQuadrature()) / std::sqrt(f.varQuadrature));
}

}  // namespace

class TestLockInFit : public QObject
{
    Q_OBJECT

private slots:
    // The response beside what real records hold besides it; a line the record
    // resolves is fitted with it, and found without being told.
    void responseBesideDisturbances_data()
    {
        QTest::addColumn<double>("excitationHz");
        QTest::addColumn<double>("lineHz");       // 0: none
        QTest::addColumn<double>("lineAmplitude");
        QTest::addColumn<double>("ramp");
        QTest::addColumn<double>("bend");
        const double resolution = 10000.0 / 3583.0;
        QTest::newRow("response alone") << 40.0 << 0.0 << 0.0 << 0.0 << 0.0;
        QTest::newRow("line 3.7 resolutions away (39.8 Hz beside 50 Hz)") << 39.81 << 50.0 << 0.4 << 0.0 << 0.0;
        QTest::newRow("line 1.5 resolutions away") << 50.0 - 1.5 * resolution << 50.0 << 0.4 << 0.0 << 0.0;
        QTest::newRow("strong line 20 resolutions away") << 44.0 << 44.0 + 20 * resolution << 2.0 << 0.0 << 0.0;
        QTest::newRow("drift ten times the response") << 12.6 << 0.0 << 0.0 << 10.0 << 3.0;
        QTest::newRow("drift and a line") << 25.1 << 50.0 << 0.4 << 5.0 << -2.0;
    }
    void responseBesideDisturbances()
    {
        QFETCH(double, excitationHz);
        QFETCH(double, lineHz);
        QFETCH(double, lineAmplitude);
        QFETCH(double, ramp);
        QFETCH(double, bend);
        for (uint64_t seed = 1; seed <= 20; ++seed) {
            Record r;
            r.excitationHz = excitationHz;
            r.seed = seed;
            r.ramp = ramp;
            r.bend = bend;
            if (lineHz > 0.0)
                r.lines.push_back({lineHz, lineAmplitude, 0.3 * double(seed)});
            const LockInFit::Fit f = r.make().fit();
            QVERIFY(f.ok);
            QVERIFY2(worstZ(r, f) < 4.5, qPrintable(QString("seed %1: %2 standard errors off").arg(seed).arg(worstZ(r, f))));
            // Within a fifth of a percent: the noise of 0.2 over 3583 samples.
            QVERIFY(qAbs(f.responseAmplitude() - r.amplitude) < 0.02);
            QVERIFY(f.unresolved.empty());
            if (lineHz > 0.0) {
                QVERIFY(!f.lines.empty());
                QVERIFY2(qAbs(f.lines.front().hz - lineHz) < 0.1, qPrintable(QString::number(f.lines.front().hz)));
                QVERIFY(qAbs(f.lines.front().amplitude - lineAmplitude) < 0.1 * lineAmplitude);
            }
        }
    }

    // Magnitude and phase against the generator's sine, over whole periods and
    // over windows that end inside one: in phase reads 0 degrees, a response in
    // quadrature with Q > 0 reads +90.
    void phaseAgainstTheGeneratorsSine_data()
    {
        QTest::addColumn<double>("excitationHz");
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("phaseDeg");
        QTest::newRow("in phase, whole periods") << 10000.0 / 3583.0 * 10.0 << 10000.0 << 0.0;
        QTest::newRow("quadrature, whole periods") << 10000.0 / 3583.0 * 10.0 << 10000.0 << 90.0;
        QTest::newRow("lag, 1.79 periods (1 Hz at 2 kHz)") << 1.0 << 2000.0 << -35.0;
        QTest::newRow("lag, 3.58 periods (10 Hz at 10 kHz)") << 10.0 << 10000.0 << -22.2;
        QTest::newRow("deep lag, 3.72 periods") << 10.4 << 10000.0 << -160.0;
        QTest::newRow("358 periods (1 kHz)") << 1000.0 << 10000.0 << 117.0;
    }
    void phaseAgainstTheGeneratorsSine()
    {
        QFETCH(double, excitationHz);
        QFETCH(double, rate);
        QFETCH(double, phaseDeg);
        Record r;
        r.rate = rate;
        r.excitationHz = excitationHz;
        r.phaseDeg = phaseDeg;
        r.amplitude = 0.3;
        r.noise = 0.0;
        r.ramp = 4.7;
        const LockInFit::Fit f = r.make().fit();
        QVERIFY(f.ok);
        QVERIFY2(qAbs(f.responseAmplitude() - 0.3) < 1e-5, qPrintable(QString::number(f.responseAmplitude(), 'g', 10)));
        const double phase = std::atan2(f.quadrature, f.inPhase) * 180.0 / PI;
        QVERIFY2(qAbs(phase - phaseDeg) < 0.01, qPrintable(QString::number(phase, 'g', 10)));
    }

    // The errors the fit states are the scatter its results have.
    void errorsMatchTheScatter_data()
    {
        QTest::addColumn<double>("excitationHz");
        QTest::addColumn<double>("rate");
        QTest::newRow("40 Hz at 10 kHz") << 40.0 << 10000.0;
        QTest::newRow("63 Hz beside a line") << 63.1 << 10000.0;
        QTest::newRow("3 Hz at 2 kHz") << 3.0 << 2000.0;
    }
    void errorsMatchTheScatter()
    {
        QFETCH(double, excitationHz);
        QFETCH(double, rate);
        const int runs = 200;
        double sumSquares = 0.0;
        int beyond3 = 0;
        for (int seed = 1; seed <= runs; ++seed) {
            Record r;
            r.rate = rate;
            r.excitationHz = excitationHz;
            r.seed = uint64_t(seed) + 1000;
            r.lines.push_back({50.0, 0.4, 0.01 * seed});
            const LockInFit::Fit f = r.make().fit();
            QVERIFY(f.ok);
            const double z = (f.inPhase - r.trueInPhase()) / std::sqrt(f.varInPhase);
            sumSquares += z * z;
            beyond3 += qAbs(z) > 3.0 ? 1 : 0;
        }
        const double spread = std::sqrt(sumSquares / runs);
        QVERIFY2(spread > 0.8 && spread < 1.25, qPrintable(QString("scatter %1 of the stated error").arg(spread)));
        QVERIFY2(beyond3 <= runs / 50, qPrintable(QString("%1 of %2 beyond three errors").arg(beyond3).arg(runs)));
    }

    // Known lines the record cannot tell from the response are named, not fitted.
    void knownLinesTooClose_data()
    {
        QTest::addColumn<double>("distanceHz");
        QTest::addColumn<bool>("resolved");
        QTest::newRow("on the excitation") << 0.0 << false;
        QTest::newRow("a third of a resolution away") << 0.93 << false;
        QTest::newRow("1.2 resolutions away") << 3.35 << true;
    }
    void knownLinesTooClose()
    {
        QFETCH(double, distanceHz);
        QFETCH(bool, resolved);
        Record r;
        r.excitationHz = 50.0 + distanceHz;
        r.lines.push_back({50.0, 0.4, 1.0});
        r.make();
        LockInFit::Settings settings;
        settings.knownLines.push_back({50.0, 0.4, 0.001, true});
        const LockInFit::Fit f = r.fit(settings);
        QVERIFY(f.ok);
        QCOMPARE(f.unresolved.size(), size_t(resolved ? 0 : 1));
        if (!resolved) {
            QCOMPARE(f.unresolved.front().hz, 50.0);
            QVERIFY(std::none_of(f.lines.begin(), f.lines.end(), [](const LockInFit::Line& l) {
                return qAbs(l.hz - 50.0) < 1.0;
            }));
        } else {
            QVERIFY(worstZ(r, f) < 4.5);
        }
    }

    // A line just beside the excitation turns against the response across the
    // record: the response seems to change. A steady record shows no change.
    void changeAcrossTheRecord()
    {
        int falseAlarms = 0;
        for (uint64_t seed = 1; seed <= 200; ++seed) {
            Record steady;
            steady.count = 9000;
            steady.excitationHz = 50.12;
            steady.seed = seed;
            steady.ramp = 2.0;
            LockInFit::Settings settings;
            settings.modulation = true;
            const LockInFit::Fit f = steady.make().fit(settings);
            QVERIFY(f.ok);
            falseAlarms += f.modulationChi2 > 36.0 ? 1 : 0;
        }
        QCOMPARE(falseAlarms, 0);

        for (double distanceHz : {0.12, 0.05, -0.3}) {
            Record beat;
            beat.count = 9000;
            beat.excitationHz = 50.0 + distanceHz;
            beat.lines.push_back({50.0, 0.4, 0.7});
            LockInFit::Settings settings;
            settings.modulation = true;
            const LockInFit::Fit f = beat.make().fit(settings);
            QVERIFY(f.ok);
            QVERIFY2(f.modulationChi2 > 36.0 && f.modulationRelative > 1e-3,
                     qPrintable(QString("%1 Hz away: chi-square %2").arg(distanceHz).arg(f.modulationChi2)));
        }
    }

    // A record without the generator: the lines it holds, their frequencies as
    // precise as its length allows.
    void linesOfARecordWithoutExcitation()
    {
        Record r;
        r.rate = 1000.0;
        r.count = 14336;
        r.amplitude = 0.0;
        r.lines = {{50.0, 0.4, 0.2}, {137.3, 0.1, 2.0}};
        r.ramp = 3.0;
        r.make();
        const LockInFit::Fit f = LockInFit::fit(r.signal, nullptr, nullptr, r.rate, LockInFit::Settings());
        QCOMPARE(f.lines.size(), size_t(2));
        for (const Disturbance& d : r.lines) {
            const auto line = std::find_if(f.lines.begin(), f.lines.end(),
                                           [&](const LockInFit::Line& l) { return qAbs(l.hz - d.hz) < 0.01; });
            QVERIFY2(line != f.lines.end(), qPrintable(QString::number(d.hz)));
            QVERIFY(qAbs(line->amplitude - d.amplitude) < 0.05 * d.amplitude);
            QVERIFY(line->hzError > 0.0 && line->hzError < 0.005);
        }
        // Noise alone holds no line.
        Record noise = r;
        noise.lines.clear();
        noise.make();
        QVERIFY(LockInFit::fit(noise.signal, nullptr, nullptr, noise.rate, LockInFit::Settings()).lines.empty());
    }

    void recordsItCannotUse()
    {
        Record r;
        r.make();
        // No generator: silent references.
        arma::vec silent(r.refA.n_elem, arma::fill::zeros);
        LockInFit::Settings settings;
        settings.excitationHz = r.excitationHz;
        QVERIFY(!LockInFit::fit(r.signal, &silent, &silent, r.rate, settings).ok);
        // A sample that is not a number.
        arma::vec broken = r.signal;
        broken[100] = std::nan("");
        QVERIFY(!LockInFit::fit(broken, &r.refA, &r.refB, r.rate, settings).ok);
        broken[100] = HUGE_VAL;
        QVERIFY(!LockInFit::fit(broken, &r.refA, &r.refB, r.rate, settings).ok);
        // References missing, too short, or of another length.
        QVERIFY(!LockInFit::fit(r.signal, nullptr, nullptr, r.rate, settings).ok);
        const arma::vec few = r.signal.head(10);
        QVERIFY(!LockInFit::fit(few, &r.refA, &r.refB, r.rate, settings).ok);
        QVERIFY(!LockInFit::fit(r.signal, &r.refA, &r.refB, 0.0, settings).ok);
        // Without noise the errors are small, not zero or undefined.
        Record quiet;
        quiet.noise = 0.0;
        const LockInFit::Fit f = quiet.make().fit();
        QVERIFY(f.ok);
        QVERIFY(qAbs(f.responseAmplitude() - 1.0) < 1e-5);
        QVERIFY(std::isfinite(f.magnitudeErrorDb()) && f.magnitudeErrorDb() < 1e-3);
    }
};

QTEST_GUILESS_MAIN(TestLockInFit)
#include "tst_lockinfit.moc"
