// The step analysis on synthetic records whose true answer is known exactly:
// clean steps, the mains line, white noise and drift on top, inverted
// responses, and the records it must refuse; then many seeds of each kind of
// record with the plant's own disturbances, each measured within the
// tolerances or refused, and inputs it cannot handle.
#include <QElapsedTimer>
#include <QtTest>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "StepResponseAnalysis.h"
#include "support/StepAnalysisCases.h"

namespace {

using Fault = StepResponseResult::Fault;

constexpr double RATE = 50000.0;
constexpr int COUNT = 14335;
constexpr double PI = 3.14159265358979323846;
// Seeds of each kind of record in a test run; more offline (VORN_STEP_SEEDS).
constexpr int SEEDS_PER_CASE = 30;

// A low-high-low record as the run takes it: the output rises at sample `rise`
// and falls at `fall` (each the first sample past the edge, so the edge lies
// half a sample before it); the response starts `delay` samples after each edge
// and follows a first-order rise of `tau` samples, moving by gain * step.
struct Synthetic
{
    double bias = 5.0, step = 0.1, offset = 0.0, gain = 0.04;
    int rise = 3300, fall = 8300;
    double delay = 50.5, tau = 265.25;
    // Disturbances, in response units: mains line amplitude, white noise rms,
    // drift over the whole record.
    double line = 0.0, noise = 0.0, drift = 0.0;
    unsigned seed = 1;

    double riseAt() const { return rise - 0.5; }
    double fallAt() const { return fall - 0.5; }
    double deadTime() const { return (delay + tau * std::log(10.0 / 9.0)) / RATE; }
    double settlingTime() const { return tau * std::log(9.0) / RATE; }

    std::vector<double> stimulus() const
    {
        std::vector<double> u(COUNT);
        for (int k = 0; k < COUNT; ++k)
            u[size_t(k)] = bias + (k >= rise && k < fall ? step : 0.0);
        return u;
    }

    std::vector<double> response() const
    {
        auto g = [this](double s) { return s > 0.0 ? 1.0 - std::exp(-s / tau) : 0.0; };
        std::mt19937 random(seed);
        std::normal_distribution<double> normal;
        std::vector<double> y(COUNT);
        for (int k = 0; k < COUNT; ++k) {
            const double shape = g(k - riseAt() - delay) - g(k - fallAt() - delay);
            y[size_t(k)] = offset + gain * step * shape + line * std::sin(2.0 * PI * 50.0 * k / RATE + 0.7) +
                           noise * normal(random) + drift * double(k) / COUNT;
        }
        return y;
    }

    StepResponseResult analyse() const { return analyseStepResponse(stimulus(), response(), bias, step, RATE); }
};

}  // namespace

Q_DECLARE_METATYPE(Fault)

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
        QTest::addColumn<double>("delay");
        QTest::addColumn<double>("tau");

        QTest::newRow("centred beam") << 5.0 << 0.1 << 0.0 << 0.04 << 50.5 << 265.25;
        // Far from the centre the raw position sits well below 0: the gain must not follow the offset.
        QTest::newRow("bias 1 V, beam far below") << 1.0 << 0.1 << -0.16 << 0.04 << 50.5 << 265.25;
        QTest::newRow("intensity on a large pedestal") << 2.0 << 0.5 << 9.7e-5 << 4e-6 << 50.5 << 265.25;
        QTest::newRow("large step") << 0.0 << 10.0 << 0.3 << 0.06 << 50.5 << 265.25;
        QTest::newRow("fast plant, fractional delay") << 5.0 << 0.1 << 0.0 << 0.04 << 12.3 << 40.7;
        QTest::newRow("no dead time") << 5.0 << 0.1 << 0.0 << 0.04 << 0.0 << 120.0;
        QTest::newRow("slow plant") << 5.0 << 0.1 << 0.0 << 0.04 << 100.0 << 600.0;
    }

    void cleanStep()
    {
        QFETCH(double, bias);
        QFETCH(double, step);
        QFETCH(double, offset);
        QFETCH(double, gain);
        QFETCH(double, delay);
        QFETCH(double, tau);
        Synthetic s;
        s.bias = bias;
        s.step = step;
        s.offset = offset;
        s.gain = gain;
        s.delay = delay;
        s.tau = tau;

        const StepResponseResult r = s.analyse();

        QCOMPARE(r.fault, Fault::None);
        QVERIFY(!r.inverted);
        QCOMPARE(r.du, step);
        QVERIFY2(qAbs(r.gain - gain) <= 1e-6 * gain, qPrintable(QString::number(r.gain, 'g', 10)));
        QVERIFY(qAbs(r.lo - offset) <= 1e-6 * gain * step);
        QVERIFY(qAbs(r.dy - gain * step) <= 1e-6 * gain * step);
        QCOMPARE(r.hi, r.lo + r.dy);
        QCOMPARE(r.edgeTime, s.riseAt() / RATE);
        QCOMPARE(r.fallTime, s.fallAt() / RATE);
        // Within a hundredth of a sample (0.2 us).
        QVERIFY2(qAbs(r.deadTime - s.deadTime()) <= 0.01 / RATE, qPrintable(QString::number(r.deadTime * RATE)));
        QVERIFY2(qAbs(r.settlingTime - s.settlingTime()) <= 0.01 / RATE,
                 qPrintable(QString::number(r.settlingTime * RATE)));
        QVERIFY(qAbs(r.delay - delay / RATE) <= 0.01 / RATE);
        QVERIFY(qAbs(r.timeConstant - tau / RATE) <= 0.01 / RATE);
        QCOMPARE(r.time10, r.edgeTime + r.deadTime);
        QCOMPARE(r.time90, r.time10 + r.settlingTime);
    }

    void disturbedStep_data()
    {
        QTest::addColumn<double>("line");
        QTest::addColumn<double>("noise");
        QTest::addColumn<double>("drift");
        // Relative to the response's step of 0.004.
        QTest::newRow("mains line of 10 %") << 4e-4 << 0.0 << 0.0;
        QTest::newRow("white noise of 5 % per sample") << 0.0 << 2e-4 << 0.0;
        QTest::newRow("drift of 20 % over the record") << 0.0 << 0.0 << 8e-4;
        QTest::newRow("all three") << 4e-4 << 2e-4 << 8e-4;
    }

    void disturbedStep()
    {
        QFETCH(double, line);
        QFETCH(double, noise);
        QFETCH(double, drift);
        for (unsigned seed = 1; seed <= 5; ++seed) {
            Synthetic s;
            s.line = line;
            s.noise = noise;
            s.drift = drift;
            s.seed = seed;
            const StepResponseResult r = s.analyse();
            QCOMPARE(r.fault, Fault::None);
            // A straight drift moves each edge's level by no more than the
            // drift over its own stretch; the fit takes it as a level.
            QVERIFY2(qAbs(r.gain / s.gain - 1.0) <= 0.01, qPrintable(QString::number(r.gain)));
            QVERIFY2(qAbs(r.deadTime - s.deadTime()) <= 0.05e-3, qPrintable(QString::number(r.deadTime * 1e3)));
            QVERIFY2(qAbs(r.settlingTime - s.settlingTime()) <= 0.3e-3,
                     qPrintable(QString::number(r.settlingTime * 1e3)));
        }
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
        Synthetic s;
        s.offset = offset;
        s.gain = -0.04;
        s.line = 4e-4;
        s.noise = 1e-4;
        const StepResponseResult r = s.analyse();
        QCOMPARE(r.fault, Fault::None);
        QVERIFY(r.inverted);
        // Analysed as the negated response: a positive gain and the usual times.
        QVERIFY(qAbs(r.gain - 0.04) <= 0.01 * 0.04);
        QVERIFY(qAbs(r.lo + offset) <= 2e-5);
        QVERIFY(qAbs(r.deadTime - s.deadTime()) <= 0.05e-3);
        QVERIFY(qAbs(r.settlingTime - s.settlingTime()) <= 0.3e-3);
    }

    void readLateButStillWhole()
    {
        // One line period and a little before the rise is enough.
        Synthetic s;
        s.rise = 1100;
        s.fall = 6100;
        s.line = 4e-4;
        const StepResponseResult r = s.analyse();
        QCOMPARE(r.fault, Fault::None);
        QVERIFY(qAbs(r.gain - s.gain) <= 1e-3 * s.gain);
        QVERIFY(qAbs(r.deadTime - s.deadTime()) <= 0.01e-3);
    }

    void recordsWithoutAResult_data()
    {
        QTest::addColumn<QString>("record");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("seeds");  // of the white noise, where it decides
        QTest::newRow("read late: the record begins inside the step") << "starts high" << Fault::StartsHigh << 1;
        QTest::newRow("the output never steps") << "no step" << Fault::NoCleanEdge << 1;
        QTest::newRow("the output never comes back") << "no fall" << Fault::NoCleanEdge << 1;
        QTest::newRow("the output steps twice") << "two steps" << Fault::NoCleanEdge << 1;
        QTest::newRow("the output stands off the bias") << "off the bias" << Fault::OutputOffLevel << 1;
        QTest::newRow("the output clipped below bias + step") << "clipped" << Fault::OutputOffLevel << 1;
        QTest::newRow("less than a line period before the rise") << "short before" << Fault::TooLittleBefore << 1;
        QTest::newRow("the plant is slower than the step") << "slow" << Fault::NotSettled << 1;
        QTest::newRow("the plant has not settled at the record's end") << "late fall" << Fault::NotSettled << 1;
        QTest::newRow("the beam does not answer, only noise") << "noise only" << Fault::NoResponse << 300;
        QTest::newRow("the beam does not answer, no noise") << "flat" << Fault::NoResponse << 1;
        QTest::newRow("rise and fall disagree") << "disagree" << Fault::NoResponse << 1;
        QTest::newRow("step of 0") << "step 0" << Fault::BadInput << 1;
        QTest::newRow("step below 0") << "step -0.1" << Fault::BadInput << 1;
        QTest::newRow("no sample rate") << "rate 0" << Fault::BadInput << 1;
        QTest::newRow("too few samples") << "short" << Fault::BadInput << 1;
    }

    void recordsWithoutAResult()
    {
        QFETCH(QString, record);
        QFETCH(Fault, fault);
        QFETCH(int, seeds);
        for (int seed = 1; seed <= seeds; ++seed) {
            const StepResponseResult r = recordWithoutAResult(record, unsigned(seed));
            QVERIFY2(r.fault == fault,
                     qPrintable(QStringLiteral("seed %1: fault %2, K %3").arg(seed).arg(int(r.fault)).arg(r.gain)));
            QVERIFY(!r.valid());
        }
    }

    // Many seeds of each kind of record, with the plant's own disturbances:
    // every figure shown lies within 5 % (K), 0.3 ms (Tdead) and 1.5 ms (Tset)
    // of the record's own model, the rest is refused; a beam that does not
    // answer never gives a result.
    void manySeedsWithinToleranceOrRefused_data()
    {
        QTest::addColumn<int>("index");
        const std::vector<StepAnalysisCase> cases = stepAnalysisCases();
        for (int i = 0; i < int(cases.size()); ++i)
            QTest::newRow(cases[size_t(i)].name.c_str()) << i;
    }

    void manySeedsWithinToleranceOrRefused()
    {
        QFETCH(int, index);
        const StepAnalysisCase c = stepAnalysisCases()[size_t(index)];
        // More seeds offline: VORN_STEP_SEEDS=1000.
        const int seeds = qEnvironmentVariableIntValue("VORN_STEP_SEEDS") > 0
                              ? qEnvironmentVariableIntValue("VORN_STEP_SEEDS")
                              : SEEDS_PER_CASE;
        int counts[3] = {0, 0, 0};
        QStringList wrong;
        QElapsedTimer timer;
        timer.start();
        for (int seed = 1; seed <= seeds; ++seed) {
            SyntheticStepRecord record = c.record;
            record.seed = (unsigned long long)(seed) * 7919ULL + unsigned(index);
            const StepResponseResult r =
                analyseStepResponse(record.stimulus(), record.response(), record.bias, record.step, record.sampleRate);
            const StepOutcome outcome = judgeStepResult(record, r);
            ++counts[int(outcome)];
            if (outcome == StepOutcome::Outside)
                wrong << QStringLiteral("seed %1: K %2 (true %3), Tdead %4 ms (true %5), Tset %6 ms (true %7)")
                             .arg(seed)
                             .arg(r.gain)
                             .arg(record.trueGain())
                             .arg(1e3 * r.deadTime)
                             .arg(1e3 * record.trueDeadTime())
                             .arg(1e3 * r.settlingTime)
                             .arg(1e3 * record.trueSettlingTime());
        }
        qInfo("%s: %d within the tolerances, %d refused, %d outside, of %d seeds (%.1f ms a record)", c.name.c_str(),
              counts[int(StepOutcome::Within)], counts[int(StepOutcome::Refused)], counts[int(StepOutcome::Outside)],
              seeds, double(timer.elapsed()) / seeds);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
        // A tool that refuses everything measures nothing.
        QVERIFY2(100 * counts[int(StepOutcome::Within)] >= c.shownAtLeastPercent * seeds,
                 qPrintable(QStringLiteral("%1 of %2 shown, at least %3 % wanted")
                                .arg(counts[int(StepOutcome::Within)])
                                .arg(seeds)
                                .arg(c.shownAtLeastPercent)));
    }

    void inputsItCannotHandle_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<Fault>("fault");
        // Times of samples at 1e11 per second no longer fit a line period in an int.
        QTest::newRow("sample rate 1e11") << "rate 1e11" << Fault::BadInput;
        QTest::newRow("sample rate 1e300") << "rate 1e300" << Fault::BadInput;
        QTest::newRow("infinite sample rate") << "rate inf" << Fault::BadInput;
        QTest::newRow("sample rate not a number") << "rate nan" << Fault::BadInput;
        QTest::newRow("negative sample rate") << "rate -50000" << Fault::BadInput;
        QTest::newRow("under 4 samples a line period") << "rate 150" << Fault::BadInput;
        QTest::newRow("step not a number") << "step nan" << Fault::BadInput;
        QTest::newRow("infinite step") << "step inf" << Fault::BadInput;
        QTest::newRow("empty records") << "empty" << Fault::BadInput;
        QTest::newRow("bias not a number") << "bias nan" << Fault::NotFinite;
        QTest::newRow("a response sample not a number") << "response nan" << Fault::NotFinite;
        QTest::newRow("an infinite response sample") << "response inf" << Fault::NotFinite;
        QTest::newRow("an infinite stimulus sample") << "stimulus inf" << Fault::NotFinite;
    }

    void inputsItCannotHandle()
    {
        QFETCH(QString, input);
        QFETCH(Fault, fault);
        Synthetic s;
        s.noise = 2e-4;
        std::vector<double> u = s.stimulus(), y = s.response();
        double bias = s.bias, step = s.step, rate = RATE;
        const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
        if (input.startsWith("rate "))
            rate = input == "rate nan" ? nan : input == "rate inf" ? inf : input.mid(5).toDouble();
        else if (input == "step nan")
            step = nan;
        else if (input == "step inf")
            step = inf;
        else if (input == "empty")
            u.clear(), y.clear();
        else if (input == "bias nan")
            bias = nan;
        else if (input == "response nan")
            y[7000] = nan;
        else if (input == "response inf")
            y[100] = -inf;
        else if (input == "stimulus inf")
            u[4000] = inf;
        const StepResponseResult r = analyseStepResponse(u, y, bias, step, rate);
        QCOMPARE(r.fault, fault);
        QVERIFY(!r.valid());
        QCOMPARE(r.gain, 0.0);
    }

    // Fits that the record cannot support: a time constant below one sample,
    // and rise and fall that no one first-order plant gives.
    void unsupportedFitsAreRefused_data()
    {
        QTest::addColumn<QString>("record");
        QTest::addColumn<Fault>("fault");
        // A collapsed time constant is refused as such, or as no fit at all.
        QTest::newRow("the response jumps within a sample") << "instant" << Fault::None;
        QTest::newRow("the fall returns half the rise") << "half fall" << Fault::EdgesDisagree;
        QTest::newRow("the fall three times slower") << "slow fall" << Fault::EdgesDisagree;
        QTest::newRow("the fall answers 2 ms later") << "late fall answer" << Fault::EdgesDisagree;
        QTest::newRow("a step of 0.2 % of the noise") << "tiny" << Fault::NoResponse;
        QTest::newRow("a step of 60 % of the noise per sample") << "small" << Fault::None;
        QTest::newRow("the response goes on up at the fall") << "on up" << Fault::None;
    }

    void unsupportedFitsAreRefused()
    {
        QFETCH(QString, record);
        QFETCH(Fault, fault);
        for (unsigned seed = 1; seed <= 5; ++seed) {
            Synthetic s;
            s.noise = 2e-4;
            s.line = 4e-4;
            s.seed = seed;
            std::vector<double> y = s.response();
            const double delta = s.gain * s.step;
            auto g = [](double t, double tau) { return t > 0.0 ? 1.0 - std::exp(-t / tau) : 0.0; };
            if (record == "instant") {
                s.tau = 0.2;
                y = s.response();
            } else if (record == "tiny" || record == "small") {
                s.gain = record == "tiny" ? 4e-7 / s.step : 1.2e-4 / s.step;
                y = s.response();
            } else if (record == "on up") {
                for (int k = s.fall; k < COUNT; ++k)
                    y[size_t(k)] += 2.0 * delta;
            } else {
                for (int k = 0; k < COUNT; ++k) {
                    const double t = k - s.fallAt() - s.delay;
                    double fall = g(t, s.tau);
                    if (record == "half fall")
                        fall *= 0.5;
                    else if (record == "slow fall")
                        fall = g(t, 3.0 * s.tau);
                    else
                        fall = g(t - 100.0, s.tau);
                    y[size_t(k)] += delta * (g(t, s.tau) - fall);
                }
            }
            const StepResponseResult r = analyseStepResponse(s.stimulus(), y, s.bias, s.step, RATE);
            // None here: any refusal will do, never a result.
            if (fault == Fault::None) {
                QVERIFY2(!r.valid(), qPrintable(QStringLiteral("seed %1: K %2").arg(seed).arg(r.gain)));
                continue;
            }
            QVERIFY2(r.fault == fault, qPrintable(QStringLiteral("seed %1: fault %2, K %3, tau %4 ms")
                                                      .arg(seed)
                                                      .arg(int(r.fault))
                                                      .arg(r.gain)
                                                      .arg(1e3 * r.timeConstant)));
        }
    }

    // What a figure's uncertainty is based on: over many seeds the scatter of K
    // never exceeds the standard error the fit claims (which allows for the
    // strongest wandering the record leaves possible), nor falls far below it.
    void standardErrorsMatchTheScatter()
    {
        const int seeds = 60;
        double gainSquares = 0.0, claimedSquares = 0.0;
        for (int seed = 1; seed <= seeds; ++seed) {
            Synthetic s;
            s.noise = 4e-4;
            s.line = 4e-4;
            s.seed = unsigned(seed) + 1000u;
            const StepResponseResult r = s.analyse();
            QVERIFY2(r.gainError > 0.0, qPrintable(QString::number(int(r.fault))));
            gainSquares += (r.gain - s.gain) * (r.gain - s.gain);
            claimedSquares += r.gainError * r.gainError;
        }
        const double ratio = std::sqrt(gainSquares / claimedSquares);
        qInfo("scatter of K over its claimed standard error: %.3f", ratio);
        QVERIFY2(ratio > 0.3 && ratio < 1.2, qPrintable(QString::number(ratio)));
    }

private:
    static StepResponseResult recordWithoutAResult(const QString& record, unsigned seed)
    {
        Synthetic s;
        s.noise = 2e-4;
        s.seed = seed;
        std::vector<double> u = s.stimulus(), y = s.response();
        double step = s.step, rate = RATE;
        if (record == "starts high") {
            s.rise = 0;
            u = s.stimulus();
        } else if (record == "no step") {
            u.assign(COUNT, s.bias);
        } else if (record == "no fall") {
            s.fall = COUNT;
            u = s.stimulus();
        } else if (record == "two steps") {
            for (int k = 11000; k < 11100; ++k)
                u[size_t(k)] = s.bias + s.step;
        } else if (record == "off the bias") {
            for (int k = 0; k < 2000; ++k)
                u[size_t(k)] = s.bias - 0.02;
        } else if (record == "clipped") {
            for (int k = s.rise; k < s.fall; ++k)
                u[size_t(k)] = s.bias + 0.85 * s.step;
        } else if (record == "short before") {
            s.rise = 900;
            u = s.stimulus();
            y = s.response();
        } else if (record == "slow") {
            s.tau = 1500.0;
            y = s.response();
        } else if (record == "late fall") {
            s.fall = COUNT - 1200;
            u = s.stimulus();
            y = s.response();
        } else if (record == "noise only") {
            s.gain = 0.0;
            y = s.response();
        } else if (record == "flat") {
            y.assign(COUNT, 0.01);
        } else if (record == "disagree") {
            // The response goes up at the rise and on up at the fall.
            for (int k = s.fall; k < COUNT; ++k)
                y[size_t(k)] += 2.0 * s.gain * s.step;
        } else if (record == "step 0") {
            step = 0.0;
        } else if (record == "step -0.1") {
            step = -0.1;
        } else if (record == "rate 0") {
            rate = 0.0;
        } else {
            u.resize(3000);
        }
        return analyseStepResponse(u, y, s.bias, step, rate);
    }
};

QTEST_GUILESS_MAIN(TestStepResponseAnalysis)
#include "tst_stepresponseanalysis.moc"
