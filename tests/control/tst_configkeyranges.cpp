// The configuration store's range for each stored number is the range of the
// field that shows it: a value the field could not show reads as missing
// instead of being clamped into it and written back.
#include <QDoubleSpinBox>
#include <QtTest>

#include <optional>

#include "BPM.h"
#include "ConfigSettings.h"
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

    void storeRangeIsTheFieldRange_data()
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

    void storeRangeIsTheFieldRange()
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
        QVERIFY(ConfigSettings::keyRange(key, &min, &max));
        QVERIFY2(qAbs(min - box->minimum() * unit) <= 1e-12 * qMax(1.0, qAbs(min)), qPrintable(QString::number(min)));
        QVERIFY2(qAbs(max - box->maximum() * unit) <= 1e-12 * qMax(1.0, qAbs(max)), qPrintable(QString::number(max)));
    }

    void rocPercentIsTheFieldRange()
    {
        WidgetRoc roc;
        auto* box = roc.findChild<QDoubleSpinBox*>("rocFactorBox");
        QCOMPARE(box->minimum(), ConfigSettings::ROC_PERCENT_MIN);
        QCOMPARE(box->maximum(), ConfigSettings::ROC_PERCENT_MAX);
    }

private:
    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestConfigKeyRanges)
#include "tst_configkeyranges.moc"
