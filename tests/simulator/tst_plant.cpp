// The simulated beam: step response, steering, intensity peak, disturbances and
// the statistics block, against the constants the simulator publishes.
#include <QtTest>

#include "SimTestSupport.h"

using namespace PlantConstants;

class TestPlant : public QObject
{
    Q_OBJECT

private slots:
    void init() { SimTest::start(); }

    void stepResponseHasDeadTimeAndTimeConstant_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("bpm");
        QTest::addColumn<int>("axis");
        QTest::addColumn<int>("hz");
        QTest::newRow("channel 0 moves BPM1 X") << 0 << 0 << 0 << 50000;
        QTest::newRow("channel 1 moves BPM1 Y") << 1 << 0 << 1 << 50000;
        QTest::newRow("channel 0 moves BPM2 X") << 0 << 1 << 0 << 50000;
        QTest::newRow("channel 1 moves BPM2 Y") << 1 << 1 << 1 << 50000;
        QTest::newRow("BPM1 X at 10 kHz display") << 0 << 0 << 0 << 10000;
    }

    void stepResponseHasDeadTimeAndTimeConstant()
    {
        QFETCH(int, channel);
        QFETCH(int, bpm);
        QFETCH(int, axis);
        QFETCH(int, hz);
        QCOMPARE(setDisplayFreq(hz, 0), 0);
        QCOMPARE(setOutputMux(0), 0);
        SimControl::step(0.02);

        double high[4] = {5, 5, 5, 5};
        high[channel] = 6.0;
        QCOMPARE(SimTest::writeOutputs(high[0], high[1], high[2], high[3]), 0);
        const double window = 0.06;
        SimControl::step(window);

        const auto records = SimTest::newest(int(window * hz) + int(0.01 * hz));
        const int word = 4 * bpm + axis;
        int iStep = -1;
        for (int i = 0; i < int(records.size()); ++i) {
            if (records[size_t(i)].word[DisplayRecord::OUTPUT0 + channel] > 5.5) {
                iStep = i;
                break;
            }
        }
        QVERIFY(iStep > 0);
        const double before = records[size_t(iStep - 1)].word[word];
        QCOMPARE(before, 0.0);
        const double expected = SimTest::raw(GAIN_UM_PER_V[bpm] * 1.0);

        int iMoved = -1, i63 = -1;
        for (int i = iStep; i < int(records.size()); ++i) {
            const double change = records[size_t(i)].word[word] - before;
            if (iMoved < 0 && std::fabs(change) > 1e-3 * expected)
                iMoved = i;
            if (i63 < 0 && change >= (1.0 - std::exp(-1.0)) * expected)
                i63 = i;
        }
        QVERIFY(iMoved > 0 && i63 > 0);
        const double sample = 1.0 / hz;
        const double dead = (iMoved - iStep) * sample;
        QVERIFY2(dead >= DEAD_TIME_S - 1e-9 && dead <= DEAD_TIME_S + 2 * sample,
                 qPrintable(QString("dead time %1 s").arg(dead)));
        const double t63 = (i63 - iStep) * sample;
        QVERIFY2(std::fabs(t63 - (DEAD_TIME_S + TIME_CONSTANT_S)) <= 1.5 * sample,
                 qPrintable(QString("63 %% after %1 s").arg(t63)));

        // Settled: the monitor's gain, in the stream and in truth.
        QVERIFY(std::fabs(records.back().word[word] - expected) < 2e-3 * expected);
        QVERIFY(std::fabs(SimControl::truePosition(bpm, axis) - GAIN_UM_PER_V[bpm]) < 1e-3);
        QCOMPARE(SimControl::truePosition(bpm, 1 - axis), 0.0);
    }

    void onlyTheSelectedOutputsSteer()
    {
        QCOMPARE(setOutputMux(0), 0);
        QCOMPARE(SimTest::writeOutputs(5, 5, 7, 3), 0);
        SimControl::step(0.2);
        QCOMPARE(SimControl::truePosition(0, 0), 0.0);
        QCOMPARE(SimControl::truePosition(0, 1), 0.0);

        // X now follows channel 2 and Y channel 3.
        QCOMPARE(setPIDoutSel(2, 3, 0), 0);
        SimControl::step(0.2);
        QVERIFY(std::fabs(SimControl::truePosition(0, 0) - 2.0 * GAIN_UM_PER_V[0]) < 1e-3);
        QVERIFY(std::fabs(SimControl::truePosition(1, 1) + 2.0 * GAIN_UM_PER_V[1]) < 1e-3);
    }

    void intensityPeaksAtTheCentreOfTheScan()
    {
        QCOMPARE(setOutputMux(0), 0);
        double best = -1.0, bestVolts = 0.0, atEdge = 0.0;
        for (int k = 0; k <= 20; ++k) {
            const double v = 4.0 + 0.1 * k;
            QCOMPARE(SimTest::writeOutputs(v, 5, 5, 5), 0);
            SimControl::step(0.05);
            const double i0 = SimTest::newest(1).front().word[DisplayRecord::BPM1_I0];
            if (i0 > best) {
                best = i0;
                bestVolts = v;
            }
            if (k == 0 || k == 20)
                atEdge = std::max(atEdge, i0);
        }
        QVERIFY(std::fabs(bestVolts - CENTRE_OUTPUT_V) < 1e-9);
        QVERIFY(std::fabs(best - INTENSITY_PEAK_A) < 1e-3 * INTENSITY_PEAK_A);
        const double edge = std::exp(-0.5 / (INTENSITY_SIGMA_V * INTENSITY_SIGMA_V)) * INTENSITY_PEAK_A;
        QVERIFY(std::fabs(atEdge - edge) < 1e-2 * edge);
        QVERIFY(atEdge < 0.1 * best);

        // One sigma off centre in X and Y: exp(-1) of the peak, at both monitors.
        QCOMPARE(SimTest::writeOutputs(5 + INTENSITY_SIGMA_V, 5 + INTENSITY_SIGMA_V, 5, 5), 0);
        SimControl::step(0.1);
        const DisplayRecord r = SimTest::newest(1).front();
        for (int bpm = 0; bpm < 2; ++bpm) {
            const double expected = INTENSITY_PEAK_A * TRANSMISSION[bpm] * std::exp(-1.0);
            QVERIFY(std::fabs(SimControl::trueIntensity(bpm) - expected) < 1e-6 * expected);
            QVERIFY(std::fabs(r.word[4 * bpm + 2] - expected) < 1e-3 * expected);
        }
    }

    void intensityFactorScalesAndLosesTheBeam()
    {
        SimControl::setBeamIntensityFactor(0.5);
        SimControl::step(0.01);
        DisplayRecord r = SimTest::newest(1).front();
        QVERIFY(std::fabs(r.word[DisplayRecord::BPM1_I0] - 0.5 * INTENSITY_PEAK_A) < 1e-3 * INTENSITY_PEAK_A);

        SimControl::setBeamIntensityFactor(0.0);
        SimControl::step(0.01);
        r = SimTest::newest(1).front();
        for (int word : {0, 1, 2, 4, 5, 6, 24, 25, 26, 27, 28, 29, 30, 31})
            QCOMPARE(r.word[word], 0.0);
    }

    void disturbancesHaveTheirNamedSizes()
    {
        SimTest::start(true);
        QCOMPARE(setDisplayFreq(10000, 0), 0);
        SimControl::step(2.0);
        const auto records = SimTest::newest(10000);  // one second, 50 line periods

        for (int bpm = 0; bpm < 2; ++bpm) {
            const int word = 4 * bpm;
            // White noise from successive differences (the line and drift hardly move in 0.1 ms).
            double sq = 0.0;
            for (size_t i = 1; i < records.size(); ++i) {
                const double d = records[i].word[word] - records[i - 1].word[word];
                sq += d * d;
            }
            const double noise = std::sqrt(sq / double(records.size() - 1) / 2.0) * BPM_PHYSICAL_SCALE_UM;
            QVERIFY2(std::fabs(noise - POSITION_NOISE_UM) < 0.1 * POSITION_NOISE_UM,
                     qPrintable(QString("noise %1 um").arg(noise)));

            // The line by lock-in over whole periods.
            double in = 0.0, quad = 0.0;
            for (size_t i = 0; i < records.size(); ++i) {
                const double phase = 2.0 * PI * LINE_HZ * double(i) / 10000.0;
                in += records[i].word[word] * std::sin(phase);
                quad += records[i].word[word] * std::cos(phase);
            }
            const double line = 2.0 * std::hypot(in, quad) / double(records.size()) * BPM_PHYSICAL_SCALE_UM;
            const double expected = LINE_AMPLITUDE_V[0] * GAIN_UM_PER_V[bpm];
            QVERIFY2(std::fabs(line - expected) < 0.1 * expected, qPrintable(QString("line %1 um").arg(line)));
        }
    }

    void driftWandersSlowly()
    {
        SimTest::start(true);
        QCOMPARE(setDisplayFreq(100, 0), 0);
        double lowest = 1e9, highest = -1e9;
        for (int k = 0; k < 60; ++k) {
            SimControl::step(10.0);
            const double x = SimTest::mean(SimTest::newest(100), DisplayRecord::BPM1_X) * BPM_PHYSICAL_SCALE_UM;
            lowest = std::min(lowest, x);
            highest = std::max(highest, x);
        }
        // Over ten minutes the one-second means spread by about the drift's size.
        const double drift = DRIFT_RMS_V * GAIN_UM_PER_V[0];
        QVERIFY2(highest - lowest > 0.5 * drift && highest - lowest < 10.0 * drift,
                 qPrintable(QString("spread %1 um").arg(highest - lowest)));
    }

    void quietBeamIsExactAndSeedsReproduce()
    {
        SimControl::step(0.5);
        auto records = SimTest::newest(100);
        for (const DisplayRecord& r : records)
            QCOMPARE(r.word[DisplayRecord::BPM1_X], 0.0);

        auto noisyRun = [](uint64_t seed) {
            SimTest::start(true);
            SimControl::setNoiseSeed(seed);
            SimControl::step(0.1);
            return SimTest::newest(50);
        };
        const auto a = noisyRun(7), b = noisyRun(7), c = noisyRun(8);
        QVERIFY(std::memcmp(a.data(), b.data(), a.size() * sizeof(DisplayRecord)) == 0);
        QVERIFY(std::memcmp(a.data(), c.data(), a.size() * sizeof(DisplayRecord)) != 0);
    }

    void statisticsDescribeTheLastSecond()
    {
        QCOMPARE(setOutputMux(0), 0);
        QCOMPARE(SimTest::writeOutputs(5.2, 4.9, 5, 5), 0);
        SimControl::step(2.0);

        BpmStats stats;
        std::fill(std::begin(stats.value), std::end(stats.value), 99.0);
        QCOMPARE(getBPMStats(stats.value), 0);
        for (int unused : {0, 9, 18})
            QCOMPARE(stats.value[unused], 0.0);
        for (int bpm = 0; bpm < 2; ++bpm) {
            const double x = SimTest::raw(0.2 * GAIN_UM_PER_V[bpm]);
            const double y = SimTest::raw(-0.1 * GAIN_UM_PER_V[bpm]);
            // Within the converter's resolution, a few hundredths of a micrometre.
            QVERIFY(std::fabs(stats.at(bpm, BpmStats::X_MEAN) - x) < SimTest::raw(0.05));
            QVERIFY(std::fabs(stats.at(bpm, BpmStats::Y_MEAN) - y) < SimTest::raw(0.05));
            QVERIFY(stats.at(bpm, BpmStats::X_STD) < 1e-7);
            QVERIFY(stats.at(bpm, BpmStats::Y_STD_FILTERED) < 1e-7);
            const double i0 = SimControl::trueIntensity(bpm);
            QVERIFY(std::fabs(stats.at(bpm, BpmStats::I0_MEAN) - i0) < 1e-3 * i0);
            QVERIFY(stats.at(bpm, BpmStats::I0_STD) < 1e-3 * i0);
        }

        // Half a second after a step the mean lies halfway, and the deviation
        // is half the step.
        QCOMPARE(SimTest::writeOutputs(5.4, 4.9, 5, 5), 0);
        SimControl::step(0.5);
        QCOMPARE(getBPMStats(stats.value), 0);
        const double halfway = SimTest::raw(0.3 * GAIN_UM_PER_V[0]);
        const double halfStep = SimTest::raw(0.1 * GAIN_UM_PER_V[0]);
        QVERIFY2(std::fabs(stats.at(0, BpmStats::X_MEAN) - halfway) < 0.05 * halfStep,
                 qPrintable(QString::number(stats.at(0, BpmStats::X_MEAN))));
        QVERIFY(std::fabs(stats.at(0, BpmStats::X_STD) - halfStep) < 0.05 * halfStep);
        QVERIFY(stats.at(0, BpmStats::X_STD_FILTERED) > 0.8 * halfStep);
    }

    // A sine on the X steering output: the filtered deviation is the plain one
    // times the gain of a first-order low-pass at STATS_FILTER_HZ, run at the display rate.
    void filteredDeviationFollowsTheFilterCorner_data()
    {
        QTest::addColumn<float>("hz");
        QTest::addColumn<int>("displayHz");
        QTest::newRow("10 Hz passes") << 10.0f << DISPLAY_START_HZ;
        QTest::newRow("at the corner") << float(STATS_FILTER_HZ) << DISPLAY_START_HZ;
        QTest::newRow("300 Hz is damped") << 300.0f << DISPLAY_START_HZ;
        QTest::newRow("at the corner, 10 kHz display") << float(STATS_FILTER_HZ) << 10000;
    }

    void filteredDeviationFollowsTheFilterCorner()
    {
        QFETCH(float, hz);
        QFETCH(int, displayHz);
        QCOMPARE(setDisplayFreq(displayHz, 0), 0);
        float amplitude[4] = {0.5f, 0, 0, 0};
        float offset[4] = {5, 5, 5, 5};
        QCOMPARE(funcGenConfig(amplitude, offset, hz), 0);
        QCOMPARE(funcGenEnable(1), 0);
        SimControl::step(2.0);

        BpmStats stats;
        QCOMPARE(getBPMStats(stats.value), 0);
        const double alpha = 1.0 - std::exp(-2.0 * PI * STATS_FILTER_HZ / displayHz);
        const double w = 2.0 * PI * hz / displayHz;
        const double pole = 1.0 - alpha;
        const double expectedGain = alpha / std::sqrt(1.0 - 2.0 * pole * std::cos(w) + pole * pole);
        for (int bpm = 0; bpm < 2; ++bpm) {
            const double plain = stats.at(bpm, BpmStats::X_STD);
            QVERIFY(plain > SimTest::raw(1.0));
            const double gain = stats.at(bpm, BpmStats::X_STD_FILTERED) / plain;
            QVERIFY2(std::fabs(gain / expectedGain - 1.0) < 0.02,
                     qPrintable(QString("BPM%1: %2 vs %3").arg(bpm + 1).arg(gain).arg(expectedGain)));
            // Y stands still.
            QVERIFY(stats.at(bpm, BpmStats::Y_STD_FILTERED) < SimTest::raw(0.01));
        }
    }

    void filteredDeviationIsSmallerUnderNoise()
    {
        SimTest::start(true);
        SimControl::step(1.5);
        BpmStats stats;
        QCOMPARE(getBPMStats(stats.value), 0);
        // rms gain of a first-order low-pass for white noise: sqrt(alpha / (2 - alpha))
        const double alpha = 1.0 - std::exp(-2.0 * PI * STATS_FILTER_HZ / DISPLAY_START_HZ);
        const double whiteNoiseGain = std::sqrt(alpha / (2.0 - alpha));
        for (int bpm = 0; bpm < 2; ++bpm) {
            for (int field : {BpmStats::X_STD, BpmStats::Y_STD}) {
                const double plain = stats.at(bpm, field);
                const double filtered = stats.at(bpm, field + 1);
                QVERIFY(plain > 0.5 * SimTest::raw(POSITION_NOISE_UM));
                // The white noise loses part of its power; the line and the
                // drift lie below the corner and pass.
                QVERIFY2(filtered < 0.95 * plain && filtered > whiteNoiseGain * plain,
                         qPrintable(QString("%1 vs %2").arg(filtered).arg(plain)));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestPlant)
#include "tst_plant.moc"
