// The table of what each stored number's field can show is the fields' own
// range: the windows decide by it, the store gives whatever the file holds.
#include <QDoubleSpinBox>
#include <QtTest>

#include <optional>

#include "BPM.h"
#include "ConfigFieldRanges.h"
#include "RocLimits.h"
#include "WidgetPIDparams.h"
#include "WidgetRoc.h"
#include "support/ProgramFixture.h"

class TestConfigKeyRanges : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_program.emplace(); }
    void cleanupTestCase() { m_program.reset(); }

    void tableRangeIsTheFieldRange_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("key");
        QTest::addColumn<double>("unit");  // stored value per shown unit

        QTest::newRow("X scaling") << "BPM" << "xGain" << "Scale_X" << 1.0;
        QTest::newRow("Y scaling") << "BPM" << "yGain" << "Scale_Y" << 1.0;
        QTest::newRow("X offset") << "BPM" << "xOffset" << "Offset_X" << 1.0;
        QTest::newRow("Y offset") << "BPM" << "yOffset" << "Offset_Y" << 1.0;
        QTest::newRow("roiX") << "Roc" << "roiXDoubleSpinBox" << "RoiX" << 1.0;
        QTest::newRow("roiY") << "Roc" << "roiYDoubleSpinBox" << "RoiY" << 1.0;
        QTest::newRow("ROI I0 min in uA") << "Roc" << "roiI0minBox" << "RoiI0min" << RocLimits::AMPERES_PER_MICRO;
        QTest::newRow("ROI I0 max in uA") << "Roc" << "roiI0maxBox" << "RoiI0max" << RocLimits::AMPERES_PER_MICRO;
        QTest::newRow("beam-off threshold in uA") << "Roc" << "beamOffTh" << "BeamOffTh" << RocLimits::AMPERES_PER_MICRO;
        const char* const pidFields[10] = {"curFreqBox", "boxKp",   "boxKi",   "boxKd",   "boxemin",
                                           "boxImax",    "boxOmin", "boxOmax", "boxOgain", "offsetDoubleSpinBox"};
        const char* const pidKeys[10] = {"Freq", "Kp", "Ki", "Kd", "emin", "Imax", "Omin", "Omax", "Ogain", "Offset"};
        for (int i = 0; i < 10; ++i)
            QTest::newRow(pidKeys[i]) << "PID" << pidFields[i] << pidKeys[i] << 1.0;
    }

    void tableRangeIsTheFieldRange()
    {
        QFETCH(QString, form);
        QFETCH(QString, field);
        QFETCH(QString, key);
        QFETCH(double, unit);

        BPM bpm;
        WidgetRoc roc;
        WidgetPIDparams pid;
        QWidget* widget = form == "BPM" ? static_cast<QWidget*>(&bpm)
                          : form == "Roc" ? static_cast<QWidget*>(&roc)
                                          : static_cast<QWidget*>(&pid);
        auto* box = widget->findChild<QDoubleSpinBox*>(field);
        QVERIFY(box);
        double min = 0.0, max = 0.0;
        QVERIFY(ConfigFieldRanges::rangeOf(key, &min, &max));
        QVERIFY2(qAbs(min - box->minimum() * unit) <= 1e-12 * qMax(1.0, qAbs(min)), qPrintable(QString::number(min)));
        QVERIFY2(qAbs(max - box->maximum() * unit) <= 1e-12 * qMax(1.0, qAbs(max)), qPrintable(QString::number(max)));
    }

    void containsKeepsToTheRange_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("inside");

        QTest::newRow("Offset at -12 V") << "Offset" << -12.0 << true;
        QTest::newRow("Offset 99 V") << "Offset" << 99.0 << false;
        QTest::newRow("Freq 0") << "Freq" << 0.0 << false;
        QTest::newRow("DAC_posX 3") << "DAC_posX" << 3.0 << true;
        QTest::newRow("DAC_posX 7") << "DAC_posX" << 7.0 << false;
        QTest::newRow("Orient 7") << "Orient" << 7.0 << false;
        QTest::newRow("NaN is never inside") << "Kp" << qQNaN() << false;
        QTest::newRow("a key no field shows") << "RocX" << 1.0 << false;
    }

    void containsKeepsToTheRange()
    {
        QFETCH(QString, key);
        QFETCH(double, value);
        QFETCH(bool, inside);
        QCOMPARE(ConfigFieldRanges::contains(key, value), inside);
    }

    void rocPercentIsTheFieldRange()
    {
        WidgetRoc roc;
        auto* box = roc.findChild<QDoubleSpinBox*>("rocFactorBox");
        QCOMPARE(box->minimum(), ConfigFieldRanges::ROC_PERCENT_MIN);
        QCOMPARE(box->maximum(), ConfigFieldRanges::ROC_PERCENT_MAX);
    }

private:
    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestConfigKeyRanges)
#include "tst_configkeyranges.moc"
