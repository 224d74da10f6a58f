// The rocking-curve scan's points, records, channel pairs and progress, apart
// from the window.
#include <QtTest>

#include <array>

#include "RockingCurvePlan.h"

using Channels = std::array<double, 4>;
Q_DECLARE_METATYPE(Channels)

class TestRockingCurvePlan : public QObject
{
    Q_OBJECT

private slots:
    void facingPair_data()
    {
        QTest::addColumn<bool>("scanY");
        QTest::addColumn<QList<int>>("map");  // top, right, bottom, left
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::addColumn<QStringList>("names");

        QTest::newRow("X, left 3 and right 1") << false << QList<int>{0, 1, 2, 3} << 3 << 1
                                               << QStringList{"left (ch 4)", "right (ch 2)", "sum (left+right)"};
        QTest::newRow("X, left 0 and right 2") << false << QList<int>{3, 2, 1, 0} << 0 << 2
                                               << QStringList{"left (ch 1)", "right (ch 3)", "sum (left+right)"};
        QTest::newRow("Y, plain map") << true << QList<int>{0, 1, 2, 3} << 0 << 2
                                      << QStringList{"top (ch 1)", "bottom (ch 3)", "sum (top+bottom)"};
        QTest::newRow("Y, top 3 and bottom 1") << true << QList<int>{3, 0, 1, 2} << 3 << 1
                                               << QStringList{"top (ch 4)", "bottom (ch 2)", "sum (top+bottom)"};
    }

    void facingPair()
    {
        QFETCH(bool, scanY);
        QFETCH(QList<int>, map);
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(QStringList, names);
        const RockingCurvePlan::Pair p = RockingCurvePlan::facingPair(scanY, map[0], map[1], map[2], map[3]);
        QCOMPARE(p.first, first);
        QCOMPARE(p.second, second);
        QCOMPARE(QStringList({p.firstName, p.secondName, p.sumName}), names);
    }

    void ramp_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("stop");
        QTest::addColumn<QList<double>>("points");

        QTest::newRow("one point at the start") << 1 << 4.0 << 6.0 << QList<double>{4.0};
        QTest::newRow("stop never reached") << 4 << 4.0 << 6.0 << QList<double>{4.0, 4.5, 5.0, 5.5};
        QTest::newRow("downwards") << 4 << 6.0 << 4.0 << QList<double>{6.0, 5.5, 5.0, 4.5};
        QTest::newRow("across zero") << 2 << -1.0 << 1.0 << QList<double>{-1.0, 0.0};
    }

    void ramp()
    {
        QFETCH(int, n);
        QFETCH(double, start);
        QFETCH(double, stop);
        QFETCH(QList<double>, points);
        for (int i = 0; i < n; ++i)
            QVERIFY(qAbs(RockingCurvePlan::rampVoltage(i, n, start, stop) - points[i]) < 1e-12);
        // Its two ends bound every point, for the range check before a scan.
        const RockingCurvePlan::RampEnds ends = RockingCurvePlan::rampEnds(n, start, stop);
        QVERIFY(qAbs(ends.first - points.first()) < 1e-12);
        QVERIFY(qAbs(ends.last - points.last()) < 1e-12);
    }

    void rampEndsOfTheDefaultAndOfNoPoints()
    {
        // The default form: 4 V to 5.998 V; the stop voltage itself is never put out.
        const RockingCurvePlan::RampEnds ends = RockingCurvePlan::rampEnds(1000, 4.0, 6.0);
        QCOMPARE(ends.first, 4.0);
        QVERIFY(qAbs(ends.last - 5.998) < 1e-12);
        const RockingCurvePlan::RampEnds none = RockingCurvePlan::rampEnds(0, 4.0, 99.0);
        QCOMPARE(none.first, 4.0);
        QCOMPARE(none.last, 4.0);
    }

    void defaultRampSteps()
    {
        // 1000 points from 4 V: 2 mV apart, the last at 5.998 V.
        for (int i = 0; i < 1000; ++i)
            QVERIFY(qAbs(RockingCurvePlan::rampVoltage(i, 1000, 4.0, 6.0) - (4.0 + 0.002 * i)) < 1e-12);
    }

    void outputs_data()
    {
        QTest::addColumn<bool>("scanY");
        QTest::addColumn<int>("dacX");
        QTest::addColumn<int>("dacY");
        QTest::addColumn<Channels>("expected");

        QTest::newRow("X on the default map") << false << 0 << 1 << Channels{4.2, 5.5, 0, 0};
        QTest::newRow("Y on the default map") << true << 0 << 1 << Channels{5.5, 4.2, 0, 0};
        QTest::newRow("X on index 2, Y on index 3") << false << 2 << 3 << Channels{0, 0, 4.2, 5.5};
        QTest::newRow("Y on index 2, X on index 3") << true << 3 << 2 << Channels{0, 0, 4.2, 5.5};
    }

    void outputs()
    {
        QFETCH(bool, scanY);
        QFETCH(int, dacX);
        QFETCH(int, dacY);
        QFETCH(Channels, expected);
        QCOMPARE(RockingCurvePlan::outputs(4.2, 5.5, scanY, dacX, dacY), expected);
    }

    void progress()
    {
        QCOMPARE(RockingCurvePlan::progressAfter(0, 3), 33);
        QCOMPARE(RockingCurvePlan::progressAfter(1, 3), 66);
        QCOMPARE(RockingCurvePlan::progressAfter(2, 3), 100);
        QCOMPARE(RockingCurvePlan::progressAfter(0, 1), 100);
        QCOMPARE(RockingCurvePlan::progressAfter(0, 0), 0);
    }

    void channelRange()
    {
        QVERIFY(RockingCurvePlan::validChannel(0));
        QVERIFY(RockingCurvePlan::validChannel(3));
        QVERIFY(!RockingCurvePlan::validChannel(-1));
        QVERIFY(!RockingCurvePlan::validChannel(4));
    }
};

QTEST_GUILESS_MAIN(TestRockingCurvePlan)
#include "tst_rockingcurveplan.moc"
