// One loop's editor: the rate divider and the real rate it shows, the ranges
// and precision of its ten editors, and the order of its setters.
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <optional>

#include "Globals.h"
#include "MailboxComm.h"
#include "SimControl.h"
#include "WidgetPIDparams.h"
#include "support/ProgramFixture.h"

namespace {

QLineEdit* realFreqLine(const WidgetPIDparams& editor)
{
    return editor.findChild<QLineEdit*>("realFreqLine");
}

QDoubleSpinBox* box(const WidgetPIDparams& editor, const QString& name)
{
    return editor.findChild<QDoubleSpinBox*>(name);
}

}  // namespace

class TestWidgetPIDparams : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_program.emplace(ProgramFixture::Options().noConfig().noLink()); }

    void cleanup() { m_program.reset(); }

    void dividerAndRealRate_data()
    {
        QTest::addColumn<int>("base");
        QTest::addColumn<double>("freq");
        QTest::addColumn<int>("divider");
        QTest::addColumn<QString>("realRate");

        QTest::newRow("300 Hz: 333.33 rounds to 333") << 100000 << 300.0 << 333 << "300.30 Hz";
        QTest::newRow("700 Hz: 142.86 rounds to 143") << 100000 << 700.0 << 143 << "699.30 Hz";
        QTest::newRow("1000 Hz divides evenly") << 100000 << 1000.0 << 100 << "1000.00 Hz";
        QTest::newRow("320 Hz: a half rounds away from zero") << 100000 << 320.0 << 313 << "319.49 Hz";
        QTest::newRow("1 Hz, the lowest") << 100000 << 1.0 << 100000 << "1.00 Hz";
        QTest::newRow("1000 Hz at the encoder box's base") << 5000 << 1000.0 << 5 << "1000.00 Hz";
        QTest::newRow("400 Hz at 5000: 12.5 rounds to 13") << 5000 << 400.0 << 13 << "384.62 Hz";
    }

    void dividerAndRealRate()
    {
        QFETCH(int, base);
        QFETCH(double, freq);
        QFETCH(int, divider);
        QFETCH(QString, realRate);

        PID_BASE_FREQ = base;
        WidgetPIDparams editor;
        editor.setFreq(freq);
        QCOMPARE(editor.Freq(), freq);
        QCOMPARE(editor.divider(), divider);
        QCOMPARE(realFreqLine(editor)->text(), realRate);
        QCOMPARE(PidRate::divider(base, freq), divider);
    }

    void constructionShowsTheInitialRate()
    {
        WidgetPIDparams editor;
        QCOMPARE(editor.Freq(), 100.0);
        QCOMPARE(realFreqLine(editor)->text(), QString("100.00 Hz"));
        QVERIFY(!realFreqLine(editor)->isEnabled());
    }

    // An encoder box seen by the device link drops the base rate; the line
    // keeps the old base's rate until Freq is edited, the divider never does.
    void encoderBoxChangesTheBaseRate()
    {
        WidgetPIDparams editor;
        editor.setFreq(1000);
        QCOMPARE(realFreqLine(editor)->text(), QString("1000.00 Hz"));

        SimControl::setSfpPort(3, 0x2301);
        MailboxComm link;
        link.refreshData();
        QCOMPARE(PID_BASE_FREQ.load(), 5000);
        QCOMPARE(editor.divider(), 5);

        editor.setFreq(300);
        QCOMPARE(editor.divider(), 17);
        QCOMPARE(realFreqLine(editor)->text(), QString("294.12 Hz"));
        editor.setFreq(700);
        QCOMPARE(editor.divider(), 7);
        QCOMPARE(realFreqLine(editor)->text(), QString("714.29 Hz"));
    }

    void realRateIsRecomputedOnlyWhenFreqChanges()
    {
        WidgetPIDparams editor;
        editor.setFreq(300);
        PID_BASE_FREQ = 5000;
        editor.setFreq(300);
        QCOMPARE(realFreqLine(editor)->text(), QString("300.30 Hz"));
        QCOMPARE(editor.divider(), 17);
    }

    void dividerNeverZero_data()
    {
        QTest::addColumn<double>("freq");
        QTest::addColumn<int>("divider");
        QTest::newRow("above the base") << 200000.0 << 1;
        QTest::newRow("zero asks for the slowest") << 0.0 << INT_MAX;
        QTest::newRow("negative") << -5.0 << 1;
        QTest::newRow("not a number") << qQNaN() << 1;
        QTest::newRow("tiny") << 1e-12 << INT_MAX;
    }

    void dividerNeverZero()
    {
        QFETCH(double, freq);
        QFETCH(int, divider);
        QCOMPARE(PidRate::divider(100000, freq), divider);
    }

    void editorRanges_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("step");
        QTest::addColumn<double>("initial");

        QTest::newRow("Freq") << 0 << "Freq:" << "curFreqBox" << 0 << 1.0 << 1000.0 << 1.0 << 100.0;
        QTest::newRow("Kp") << 2 << "Kp:" << "boxKp" << 5 << 0.0 << 1e7 << 0.01 << 0.3;
        QTest::newRow("Ki") << 3 << "Ki:" << "boxKi" << 5 << 0.0 << 1e8 << 0.01 << 0.1;
        QTest::newRow("Kd") << 4 << "Kd:" << "boxKd" << 5 << 0.0 << 1e7 << 0.01 << 0.01;
        QTest::newRow("emin") << 5 << "e min:" << "boxemin" << 5 << 0.0 << 1000.0 << 1.0 << 0.0;
        QTest::newRow("Imax") << 6 << "I max:" << "boxImax" << 5 << 0.0 << 100000.0 << 1.0 << 100.0;
        QTest::newRow("Omin") << 7 << "O min:" << "boxOmin" << 5 << -99.0 << 99.99 << 1.0 << -12.0;
        QTest::newRow("Omax") << 8 << "O max:" << "boxOmax" << 5 << -99.0 << 99.99 << 1.0 << 12.0;
        QTest::newRow("Ogain") << 9 << "O gain:" << "boxOgain" << 5 << -90.0 << 100000.0 << 1.0 << -1.0;
        QTest::newRow("Offset") << 10 << "Offset" << "offsetDoubleSpinBox" << 2 << -12.0 << 12.0 << 0.1 << 0.0;
    }

    void editorRanges()
    {
        QFETCH(int, row);
        QFETCH(QString, label);
        QFETCH(QString, name);
        QFETCH(int, decimals);
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        QFETCH(double, step);
        QFETCH(double, initial);

        WidgetPIDparams editor;
        QDoubleSpinBox* spin = box(editor, name);
        QVERIFY(spin);
        QCOMPARE(spin->decimals(), decimals);
        QCOMPARE(spin->minimum(), minimum);
        QCOMPARE(spin->maximum(), maximum);
        QCOMPARE(spin->singleStep(), step);
        QCOMPARE(spin->value(), initial);

        // Labels in column 0, editors in column 1, in the table's row order.
        auto* grid = qobject_cast<QGridLayout*>(editor.layout());
        QVERIFY(grid);
        auto* text = qobject_cast<QLabel*>(grid->itemAtPosition(row, 0)->widget());
        QVERIFY(text);
        QCOMPARE(text->text(), label);
        QCOMPARE(grid->itemAtPosition(row, 1)->widget(), spin);
    }

    void freqSuffixAndRealRateRow()
    {
        WidgetPIDparams editor;
        QCOMPARE(box(editor, "curFreqBox")->suffix(), QString("Hz"));
        auto* grid = qobject_cast<QGridLayout*>(editor.layout());
        QCOMPARE(qobject_cast<QLabel*>(grid->itemAtPosition(1, 0)->widget())->text(), QString("Real freq:"));
        QCOMPARE(grid->itemAtPosition(1, 1)->widget(), realFreqLine(editor));
    }

    // Typing goes through the spin box's own validation into the getters.
    void typedValueReachesTheGetter()
    {
        WidgetPIDparams editor;
        QDoubleSpinBox* spin = box(editor, "boxKp");
        spin->selectAll();
        QTest::keyClicks(spin, "2.5");
        QTest::keyClick(spin, Qt::Key_Return);
        QCOMPARE(editor.Kp(), 2.5);
        QCOMPARE(editor.params().Kp, 2.5);
    }

    void settersKeepTheirOrder()
    {
        WidgetPIDparams editor;
        editor.setFreq(250);
        editor.setParams(1.5, 2.5, 3.5, 4.5, 5.5, -6.5, 7.5, -8.5, 9.25);
        const PidParams p = editor.params();
        QCOMPARE(p.Freq, 250.0);
        QCOMPARE(p.Kp, 1.5);
        QCOMPARE(p.Ki, 2.5);
        QCOMPARE(p.Kd, 3.5);
        QCOMPARE(p.emin, 4.5);
        QCOMPARE(p.Imax, 5.5);
        QCOMPARE(p.Omin, -6.5);
        QCOMPARE(p.Omax, 7.5);
        QCOMPARE(p.Ogain, -8.5);
        QCOMPARE(p.Offset, 9.25);
        QCOMPARE(editor.Offset(), 9.25);
    }

    void setterClampsToEachRange()
    {
        WidgetPIDparams editor;
        editor.setFreq(0.0);
        // A file's "Omax=100" shows as 99.99.
        editor.setParams(-1, 2e8, 2e7, 5000, -3, -150, 100, -100, 13);
        QCOMPARE(editor.Freq(), 1.0);
        QCOMPARE(editor.Kp(), 0.0);
        QCOMPARE(editor.Ki(), 1e8);
        QCOMPARE(editor.Kd(), 1e7);
        QCOMPARE(editor.emin(), 1000.0);
        QCOMPARE(editor.Imax(), 0.0);
        QCOMPARE(editor.Omin(), -99.0);
        QCOMPARE(editor.Omax(), 99.99);
        QCOMPARE(editor.Ogain(), -90.0);
        QCOMPARE(editor.Offset(), 12.0);
        QCOMPARE(realFreqLine(editor)->text(), QString("1.00 Hz"));
    }

private:
    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestWidgetPIDparams)
#include "tst_widgetpidparams.moc"
