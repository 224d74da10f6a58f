// The low and high records of a step-response run and the words it analyses,
// from the six boxes, the output map and the observed monitor.
#include <QtTest>

#include <array>

#include "StepStimulus.h"

using Channels = std::array<double, 4>;
Q_DECLARE_METATYPE(Channels)

class TestStepStimulus : public QObject
{
    Q_OBJECT

private slots:
    void records_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QList<double>>("bias");   // X, Y, I0
        QTest::addColumn<QList<double>>("step");
        QTest::addColumn<QList<int>>("dac");
        QTest::addColumn<bool>("useBpm2");
        QTest::addColumn<Channels>("low");
        QTest::addColumn<Channels>("high");
        QTest::addColumn<int>("stimulusWord");
        QTest::addColumn<int>("responseWord");
        QTest::addColumn<bool>("valid");

        const QList<double> biases{1.5, 0.5, 0.2};
        QTest::newRow("X on the default map") << int(StepStimulus::LoopX) << biases << QList<double>{0.1, 0, 0}
                                              << QList<int>{0, 1, 2} << false << Channels{1.5, 0.5, 0.2, 0}
                                              << Channels{1.6, 0.5, 0.2, 0} << 8 << 0 << true;
        QTest::newRow("X observed on BPM2") << int(StepStimulus::LoopX) << biases << QList<double>{0.1, 0, 0}
                                            << QList<int>{0, 1, 2} << true << Channels{1.5, 0.5, 0.2, 0}
                                            << Channels{1.6, 0.5, 0.2, 0} << 8 << 4 << true;
        QTest::newRow("Y on the default map") << int(StepStimulus::LoopY) << biases << QList<double>{0, 0.3, 0}
                                              << QList<int>{0, 1, 2} << false << Channels{1.5, 0.5, 0.2, 0}
                                              << Channels{1.5, 0.8, 0.2, 0} << 9 << 1 << true;
        QTest::newRow("I0 on channel index 3") << int(StepStimulus::LoopI0) << biases << QList<double>{0, 0, 2}
                                               << QList<int>{0, 1, 3} << false << Channels{1.5, 0.5, 0, 0.2}
                                               << Channels{1.5, 0.5, 0, 2.2} << 11 << 2 << true;
        QTest::newRow("I0 observed on BPM2") << int(StepStimulus::LoopI0) << biases << QList<double>{0, 0, 2}
                                             << QList<int>{0, 1, 3} << true << Channels{1.5, 0.5, 0, 0.2}
                                             << Channels{1.5, 0.5, 0, 2.2} << 11 << 6 << true;
        // The later loop overwrites the earlier on a shared channel.
        QTest::newRow("Y and I0 on one channel") << int(StepStimulus::LoopY) << biases << QList<double>{0, 0.3, 0}
                                                 << QList<int>{2, 1, 1} << false << Channels{0, 0.2, 1.5, 0}
                                                 << Channels{0, 0.2, 1.5, 0} << 9 << 1 << true;
        QTest::newRow("unselected loop off the unit") << int(StepStimulus::LoopX) << biases << QList<double>{0.1, 0, 0}
                                                      << QList<int>{3, 7, -1} << false << Channels{0, 0, 0, 1.5}
                                                      << Channels{0, 0, 0, 1.6} << 11 << 0 << true;
        QTest::newRow("selected loop off the unit") << int(StepStimulus::LoopX) << biases << QList<double>{0.1, 0, 0}
                                                    << QList<int>{4, 1, 2} << false << Channels{0, 0.5, 0.2, 0}
                                                    << Channels{0, 0.5, 0.2, 0} << 12 << 0 << false;
    }

    void records()
    {
        QFETCH(int, selected);
        QFETCH(QList<double>, bias);
        QFETCH(QList<double>, step);
        QFETCH(QList<int>, dac);
        QFETCH(bool, useBpm2);
        QFETCH(Channels, low);
        QFETCH(Channels, high);
        QFETCH(int, stimulusWord);
        QFETCH(int, responseWord);
        QFETCH(bool, valid);

        const double b[3] = {bias[0], bias[1], bias[2]};
        const double s[3] = {step[0], step[1], step[2]};
        const int d[3] = {dac[0], dac[1], dac[2]};
        const StepStimulus stim = StepStimulus::build(b, s, d, StepStimulus::Loop(selected), useBpm2);

        for (size_t c = 0; c < 4; ++c) {
            QCOMPARE(stim.low[c], low[c]);
            QVERIFY(qAbs(stim.high[c] - high[c]) < 1e-12);
        }
        QCOMPARE(stim.bias, b[selected]);
        QCOMPARE(stim.step, s[selected]);
        QCOMPARE(stim.stimulusWord, stimulusWord);
        QCOMPARE(stim.responseWord, responseWord);
        QCOMPARE(stim.valid(), valid);
    }
};

QTEST_GUILESS_MAIN(TestStepStimulus)
#include "tst_stepstimulus.moc"
