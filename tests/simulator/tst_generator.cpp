// The function generator: outputs, reference words, and the beam's known answer.
#include <QtTest>

#include "SimTestSupport.h"

using namespace PlantConstants;

class TestGenerator : public QObject
{
    Q_OBJECT

private slots:
    void init() { SimTest::start(); }

    void referencesAreInPhaseWithTheOutput_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<float>("hz");
        QTest::addColumn<int>("displayHz");
        QTest::newRow("channel 0, 10 Hz at 10 kHz") << 0 << 10.0f << 10000;
        QTest::newRow("channel 2, 3 Hz at 2 kHz") << 2 << 3.0f << 2000;
        QTest::newRow("channel 3, 200 Hz at 10 kHz") << 3 << 200.0f << 10000;
    }

    void referencesAreInPhaseWithTheOutput()
    {
        QFETCH(int, channel);
        QFETCH(float, hz);
        QFETCH(int, displayHz);
        QCOMPARE(setDisplayFreq(displayHz, 0), 0);
        float amplitude[4] = {0, 0, 0, 0};
        float offset[4] = {1, 2, 3, 4};
        amplitude[channel] = 0.5f;
        QCOMPARE(funcGenConfig(amplitude, offset, hz), 0);
        QCOMPARE(funcGenEnable(1), 0);
        SimControl::step(1.0);

        const auto records = SimTest::newest(displayHz / 2);
        double sumSq = 0.0;
        for (size_t i = 0; i < records.size(); ++i) {
            const DisplayRecord& r = records[i];
            const double in = r.inPhaseReference(), quad = r.quadratureReference();
            QVERIFY(std::fabs(r.word[DisplayRecord::OUTPUT0 + channel] - (offset[channel] + 0.5 * in)) < 1e-6);
            for (int other = 0; other < 4; ++other)
                if (other != channel)
                    QCOMPARE(r.word[DisplayRecord::OUTPUT0 + other], double(offset[other]));
            QVERIFY(std::fabs(in * in + quad * quad - 1.0) < 1e-5);
            // The quadrature word leads by a quarter period: it is the derivative's shape.
            if (i > 0) {
                const double dIn = in - records[i - 1].inPhaseReference();
                const double turn = 2.0 * PI * hz / displayHz;
                const double expected = 2.0 * std::tan(turn / 2.0) * 0.5 *
                                        (quad + records[i - 1].quadratureReference());
                QVERIFY(std::fabs(dIn - expected) < 1e-4);
            }
            sumSq += in * in;
        }
        QVERIFY(std::fabs(sumSq / double(records.size()) - 0.5) < 0.02);
    }

    void beamAnswersWithTheLagOfThePlant_data()
    {
        QTest::addColumn<float>("hz");
        QTest::addColumn<int>("bpm");
        QTest::newRow("BPM1 at 10 Hz") << 10.0f << 0;
        QTest::newRow("BPM1 at 30 Hz, the corner") << 30.0f << 0;
        QTest::newRow("BPM2 at 100 Hz") << 100.0f << 1;
    }

    void beamAnswersWithTheLagOfThePlant()
    {
        QFETCH(float, hz);
        QFETCH(int, bpm);
        const int displayHz = 10000;
        QCOMPARE(setDisplayFreq(displayHz, 0), 0);
        float amplitude[4] = {0.5f, 0, 0, 0};
        float offset[4] = {5, 5, 5, 5};
        QCOMPARE(funcGenConfig(amplitude, offset, hz), 0);
        QCOMPARE(funcGenEnable(1), 0);
        SimControl::step(1.0);

        // Lock-in over whole periods, as the frequency sweep does.
        const int n = int(std::lround(displayHz / hz * std::floor(hz * 0.5)));
        const auto records = SimTest::newest(n);
        double i = 0, q = 0;
        for (const DisplayRecord& r : records) {
            i += r.word[4 * bpm] * r.inPhaseReference();
            q += r.word[4 * bpm] * r.quadratureReference();
        }
        i /= n;
        q /= n;
        const double magnitude = 2.0 * std::hypot(i, q) / 0.5;
        const double phase = std::atan2(q, i);

        const double w = 2.0 * PI * hz;
        // Held outputs add half a step of delay.
        const double delay = DEAD_TIME_S + 0.5 / displayHz;
        const double expectedMagnitude = SimTest::raw(GAIN_UM_PER_V[bpm]) / std::sqrt(1.0 + w * w * TIME_CONSTANT_S * TIME_CONSTANT_S);
        const double expectedPhase = -std::atan(w * TIME_CONSTANT_S) - w * delay;
        QVERIFY2(std::fabs(magnitude / expectedMagnitude - 1.0) < 0.01,
                 qPrintable(QString("%1 vs %2").arg(magnitude).arg(expectedMagnitude)));
        QVERIFY2(std::fabs(phase - expectedPhase) < 0.01,
                 qPrintable(QString("%1 vs %2 rad").arg(phase).arg(expectedPhase)));
    }

    void generatorReplacesTheDriveUntilDisabled()
    {
        QCOMPARE(setOutputMux(0), 0);
        QCOMPARE(SimTest::writeOutputs(1, 1, 1, 1), 0);
        float amplitude[4] = {0, 0, 0, 0};
        float offset[4] = {6, 7, 8, 9};
        QCOMPARE(funcGenConfig(amplitude, offset, 5.0f), 0);
        SimControl::step(0.01);
        QCOMPARE(SimControl::sent().outputs[0], 1.0);  // configured, not on

        QCOMPARE(funcGenEnable(1), 0);
        SimControl::step(0.01);
        QCOMPARE(SimControl::sent().outputs[3], 9.0);
        QVERIFY(SimControl::sent().genEnabled);

        QCOMPARE(funcGenEnable(0), 0);
        SimControl::step(0.01);
        QCOMPARE(SimControl::sent().outputs[3], 1.0);
        const DisplayRecord r = SimTest::newest(1).front();
        QCOMPARE(r.inPhaseReference(), 0.0f);
        QCOMPARE(r.quadratureReference(), 0.0f);
        QCOMPARE(SimControl::callCount("funcGenEnable", 0), 1);
    }

    void outputsStayInTheUnitsRange()
    {
        float amplitude[4] = {20, 0, 0, 0};
        float offset[4] = {0, 0, 0, 0};
        QCOMPARE(funcGenConfig(amplitude, offset, 10.0f), 0);
        QCOMPARE(funcGenEnable(1), 0);
        SimControl::step(0.2);
        double lowest = 0, highest = 0;
        for (const DisplayRecord& r : SimTest::newest(200)) {
            lowest = std::min(lowest, r.word[DisplayRecord::OUTPUT0]);
            highest = std::max(highest, r.word[DisplayRecord::OUTPUT0]);
        }
        QCOMPARE(lowest, OUTPUT_MIN_V);
        QCOMPARE(highest, OUTPUT_MAX_V);
    }

    void refusesWhatItCannotGenerate_data()
    {
        QTest::addColumn<float>("hz");
        QTest::addColumn<float>("amplitude");
        QTest::newRow("negative frequency") << -1.0f << 1.0f;
        QTest::newRow("above the limit") << float(GENERATOR_MAX_HZ * 2) << 1.0f;
        QTest::newRow("NaN frequency") << std::nanf("") << 1.0f;
        QTest::newRow("infinite amplitude") << 10.0f << std::numeric_limits<float>::infinity();
    }

    void refusesWhatItCannotGenerate()
    {
        QFETCH(float, hz);
        QFETCH(float, amplitude);
        float a[4] = {amplitude, 0, 0, 0};
        float o[4] = {0, 0, 0, 0};
        QVERIFY(funcGenConfig(a, o, hz) < 0);
        QCOMPARE(SimControl::sent().genHz, 0.0f);
        QVERIFY(funcGenConfig(nullptr, o, 1.0f) < 0);
    }
};

QTEST_APPLESS_MAIN(TestGenerator)
#include "tst_generator.moc"
