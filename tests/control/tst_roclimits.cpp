// The arithmetic behind the ROC/ROI dialog: half-widths, I0 units and the
// beam-off field's text.
#include <QtTest>

#include "RocLimits.h"

class TestRocLimits : public QObject
{
    Q_OBJECT

private slots:
    void rocHalfWidth_data()
    {
        QTest::addColumn<double>("roi");
        QTest::addColumn<double>("percent");
        QTest::addColumn<double>("expected");
        QTest::newRow("50 um at 110 %") << 50.0 << 110.0 << 55.0;
        QTest::newRow("20 um at 110 %") << 20.0 << 110.0 << 22.0;
        QTest::newRow("100 %: the ROI itself") << 37.5 << 100.0 << 37.5;
        QTest::newRow("largest: 1000 um at 1000 %") << 1000.0 << 1000.0 << 10000.0;
        QTest::newRow("ROI 0") << 0.0 << 250.0 << 0.0;
    }

    void rocHalfWidth()
    {
        QFETCH(double, roi);
        QFETCH(double, percent);
        QFETCH(double, expected);
        QVERIFY(qAbs(RocLimits::rocHalfWidth(roi, percent) - expected) <= 1e-12 * qMax(1.0, expected));
    }

    void unitFactor()
    {
        QCOMPARE(RocLimits::unitFactor("uA"), 1e-6);
        QCOMPARE(RocLimits::unitFactor("nA"), 1e-9);
        QCOMPARE(RocLimits::unitFactor("mA"), 0.0);
        QCOMPARE(RocLimits::unitFactor(""), 0.0);
    }

    void shownCurrent_data()
    {
        QTest::addColumn<double>("amperes");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("unit");
        QTest::newRow("0: microamperes") << 0.0 << 0.0 << "uA";
        QTest::newRow("200 uA") << 2e-4 << 200.0 << "uA";
        QTest::newRow("1 uA") << 1e-6 << 1.0 << "uA";
        QTest::newRow("0.5 uA is held at three decimals") << 5e-7 << 0.5 << "uA";
        QTest::newRow("1 nA is 0.001 uA") << 1e-9 << 0.001 << "uA";
        QTest::newRow("12.345 nA would round away in uA") << 12.345e-9 << 12.345 << "nA";
        QTest::newRow("0.4 nA would show as 0 uA") << 0.4e-9 << 0.4 << "nA";
        QTest::newRow("1 mA stays in uA") << 1e-3 << 1000.0 << "uA";
        QTest::newRow("1.2345 uA: nA could not hold it") << 1.2345e-6 << 1.2345 << "uA";
    }

    void shownCurrent()
    {
        QFETCH(double, amperes);
        QFETCH(double, value);
        QFETCH(QString, unit);
        const RocLimits::ShownCurrent shown = RocLimits::shownCurrent(amperes, 3);
        QCOMPARE(shown.unit, unit);
        QVERIFY2(qAbs(shown.value - value) <= 1e-9 * qMax(1.0, value), qPrintable(QString::number(shown.value)));
        // What the unit means brings the stored value back.
        QVERIFY(qAbs(shown.value * RocLimits::unitFactor(shown.unit) - amperes) <= 1e-12 * qMax(1e-12, amperes));
    }

    void beamOffThreshold_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("amperes");
        QTest::newRow("point") << "10.000 uA" << 1e-5;
        QTest::newRow("decimal comma") << "10,000 uA" << 1e-5;
        QTest::newRow("fraction with comma") << "0,250 uA" << 2.5e-7;
        QTest::newRow("large") << "1234567.500 uA" << 1.2345675;
        QTest::newRow("blanks around") << "  7.5  uA" << 7.5e-6;
        QTest::newRow("no suffix") << "3.000" << 3e-6;
        QTest::newRow("zero") << "0.000 uA" << 0.0;
        QTest::newRow("not a number gives 0") << "abc uA" << 0.0;
        QTest::newRow("empty gives 0") << "" << 0.0;
    }

    void beamOffThreshold()
    {
        QFETCH(QString, text);
        QFETCH(double, amperes);
        QVERIFY2(qAbs(RocLimits::beamOffThreshold(text) - amperes) <= 1e-15 * qMax(1.0, amperes * 1e6),
                 qPrintable(QString::number(RocLimits::beamOffThreshold(text), 'g', 17)));
    }
};

QTEST_GUILESS_MAIN(TestRocLimits)
#include "tst_roclimits.moc"
