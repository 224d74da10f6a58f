// The ROC/ROI dialog against the simulated controller: what reaches the
// controller's limits and checks, the configuration file and the scatters, by
// user level and device presence; and the feedback faults those limits cause.
// What is refused and what the file takes are in tst_windowroc_roi_send.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <optional>

#include <qcustomplot.h>

#include "ConfigSettings.h"
#include "DialogLogin.h"
#include "Globals.h"
#include "HeartBeat.h"
#include "MainWindow.h"
#include "PlantConstants.h"
#include "Prompts.h"
#include "SimControl.h"
#include "Updater.h"
#include "VornLibrary.h"
#include "WidgetGraphXY.h"
#include "WidgetRoc.h"
#include "WindowDisplaySettings.h"
#include "WindowROC_ROI.h"
#include "support/ProgramFixture.h"
#include "RocRoiChecks.h"

namespace {

const char* const NOTE =
    "This values use parameters X and Y Scaling from Beamline Settings window. Make sure they are correct.";

}  // namespace

using namespace RocRoiChecks;

class TestWindowROC_ROI : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        startProgram(m_program);
    }

    void cleanup() { m_program.reset(); }

    void formAsBuilt()
    {
        WindowROC_ROI dialog;
        QCOMPARE(dialog.windowTitle(), QString("ROC/ROI Settings"));
        QVERIFY(!dialog.isModal());
        QLabel* note = nullptr;
        for (QLabel* label : dialog.findChildren<QLabel*>())
            if (label->text() == NOTE)
                note = label;
        QVERIFY(note);
        QVERIFY(note->wordWrap());
        QVERIFY(buttonOf(dialog, QDialogButtonBox::Ok));
        QVERIFY(buttonOf(dialog, QDialogButtonBox::Cancel));
        QVERIFY(buttonOf(dialog, QDialogButtonBox::Apply));

        for (int bpm = 0; bpm < 2; ++bpm) {
            const Form f(dialog, bpm);
            QVERIFY(f.widget);
            QVERIFY(f.widget->minimumWidth() >= 300 && f.widget->minimumHeight() >= 300);
            QCOMPARE(f.label("bpmLabel")->text(), bpm == 0 ? QString("BPM 1") : QString("BPM 2"));
            QCOMPARE(f.label("label")->text(), QString("Positions"));
            QCOMPARE(f.label("label_3")->text(), QString("Intensity"));

            // Labels, in the form's order, left of their controls.
            QStringList labels;
            for (const char* name : {"roiXLabel", "roiYLabel", "rocFactorLabel", "enableROCXCheckLabel",
                                     "enableROCYCheckLabel", "roiI0minLabel", "roiI0maxLabel", "beamOffThLabel",
                                     "enableBeamOffCheckLabel"})
                labels << f.label(name)->text();
            QCOMPARE(labels, (QStringList{"roiX", "roiY: ", "ROC:", "Enable ROC X check", "Enable ROC Y check",
                                          "ROI I0 min", "ROI I0 max:", "Beam Off Threshold:",
                                          "Enable Beam Off check"}));

            struct Spin
            {
                QDoubleSpinBox* box;
                QString suffix;
                int decimals;
                double min, max, step, initial;
            };
            const Spin spins[] = {
                {f.roiX(), QString::fromUtf8(" µm"), 2, 0, 1000, 0.1, 0},
                {f.roiY(), QString::fromUtf8(" µm"), 2, 0, 1000, 0.1, 1},
                {f.roc(), "% of ROI", 0, 100, 1000, 1, 110},
                {f.i0min(), "", 3, 0, 1000, 0.1, 0},
                {f.i0max(), "", 3, 0, 1000, 0.1, 0},
                {f.beamOff(), " uA", 3, 0, 1e7, 1, 10},
            };
            for (const Spin& s : spins) {
                QVERIFY(s.box);
                QCOMPARE(s.box->suffix(), s.suffix);
                QCOMPARE(s.box->decimals(), s.decimals);
                QCOMPARE(s.box->minimum(), s.min);
                QCOMPARE(s.box->maximum(), s.max);
                QCOMPARE(s.box->singleStep(), s.step);
                QCOMPARE(s.box->value(), s.initial);
            }
            for (QComboBox* unit : {f.i0minUnit(), f.i0maxUnit()}) {
                QCOMPARE(unit->count(), 2);
                QCOMPARE(unit->itemText(0), QString("uA"));
                QCOMPARE(unit->itemText(1), QString("nA"));
                QCOMPARE(unit->currentText(), QString("uA"));
                QVERIFY(!unit->isEditable());
            }
            for (QCheckBox* box : {f.checkX(), f.checkY(), f.checkBeamOff()})
                QVERIFY(box->text().isEmpty());
            QCOMPARE(f.editControls().size(), 11);
        }
    }

    void checksReadFromTheControllerOnce_data()
    {
        QTest::addColumn<QList<int>>("flags");
        QTest::addColumn<bool>("readFails");
        QTest::addColumn<QList<int>>("ticked");
        QTest::newRow("all off") << QList<int>{0, 0, 0, 0, 0, 0} << false << QList<int>{0, 0, 0, 0, 0, 0};
        QTest::newRow("all on") << QList<int>{1, 1, 1, 1, 1, 1} << false << QList<int>{1, 1, 1, 1, 1, 1};
        QTest::newRow("BPM1 X, BPM1 beam off, BPM2 Y")
            << QList<int>{1, 0, 1, 0, 1, 0} << false << QList<int>{1, 0, 1, 0, 1, 0};
        QTest::newRow("failed read leaves them unticked")
            << QList<int>{1, 1, 1, 1, 1, 1} << true << QList<int>{0, 0, 0, 0, 0, 0};
    }

    void checksReadFromTheControllerOnce()
    {
        QFETCH(QList<int>, flags);
        QFETCH(bool, readFails);
        QFETCH(QList<int>, ticked);
        QCOMPARE(::setROCenable(flags[0], flags[1], flags[2], flags[3], flags[4], flags[5]), 0);
        if (readFails)
            SimControl::failCall("getROCenable");
        WindowROC_ROI dialog;
        QCOMPARE(checkStates(dialog), ticked);

        // Showing again reloads the limits from the file, never the checks from the controller.
        SimControl::clearFailures();
        QCOMPARE(::setROCenable(!flags[0], !flags[1], !flags[2], !flags[3], !flags[4], !flags[5]), 0);
        dialog.showAndRefresh();
        QCOMPARE(checkStates(dialog), ticked);
        QCOMPARE(SimControl::callCount("getROCenable"), 1);
    }

    void limitsSentStoredAndDrawn_data()
    {
        QTest::addColumn<int>("bpm");
        QTest::addColumn<double>("roiX");
        QTest::addColumn<double>("roiY");
        QTest::addColumn<double>("percent");
        QTest::newRow("BPM1 50 x 20 um at 110 %") << 0 << 50.0 << 20.0 << 110.0;
        QTest::newRow("BPM2 12.5 x 7.25 um at 200 %") << 1 << 12.5 << 7.25 << 200.0;
        QTest::newRow("BPM1 at 100 %: ROC on the ROI") << 0 << 300.0 << 0.5 << 100.0;
        QTest::newRow("BPM2 largest: 1000 um at 1000 %") << 1 << 1000.0 << 1000.0 << 1000.0;
    }

    void limitsSentStoredAndDrawn()
    {
        QFETCH(int, bpm);
        QFETCH(double, roiX);
        QFETCH(double, roiY);
        QFETCH(double, percent);

        WidgetGraphXY scatter1(0), scatter2(1);
        WindowROC_ROI dialog;
        dialog.setGraphXY(&scatter1, 0);
        dialog.setGraphXY(&scatter2, 1);
        dialog.nrZentrimChanged(3);
        dialog.showAndRefresh();
        Limits limits;
        limits.roiX = roiX;
        limits.roiY = roiY;
        limits.rocPercent = percent;
        Form(dialog, bpm).fill(limits);
        press(dialog, QDialogButtonBox::Apply);
        QVERIFY(dialog.isVisible());

        const double rocX = roiX * percent / 100.0;
        const double rocY = roiY * percent / 100.0;
        const SimControl::Sent sent = SimControl::sent();
        QVERIFY2(near(sent.rocHigh[3 * bpm], rocX), qPrintable(QString::number(sent.rocHigh[3 * bpm])));
        QVERIFY(near(sent.rocHigh[3 * bpm + 1], rocY));
        QCOMPARE(sent.rocLow[3 * bpm], 0.0);
        QCOMPARE(sent.rocLow[3 * bpm + 1], 0.0);

        const Stored s = stored(bpm);
        QCOMPARE(s.roiX, roiX);
        QCOMPARE(s.roiY, roiY);
        QVERIFY(near(s.rocPercent, percent));
        QSettings file(configPath(), QSettings::IniFormat);
        const QString group = bpm == 0 ? "ROCandROI" : "ROCandROI2";
        QVERIFY(near(file.value(group + "/RocX").toDouble(), rocX));
        QVERIFY(near(file.value(group + "/RocY").toDouble(), rocY));

        const auto drawn = drawnRects(bpm == 0 ? &scatter1 : &scatter2);
        QCOMPARE(drawn.first, QPointF(roiX, roiY));
        QVERIFY(near(drawn.second.x(), rocX));
        QVERIFY(near(drawn.second.y(), rocY));
        QVERIFY(Prompts::shown().isEmpty());
    }

    void userLevelGatesTheSend_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("sends");
        QTest::addColumn<bool>("visibleAfter");
        const int ok = QDialogButtonBox::Ok, apply = QDialogButtonBox::Apply, cancel = QDialogButtonBox::Cancel;
        QTest::newRow("admin Apply: sent, stays open") << 2 << apply << true << true;
        QTest::newRow("admin OK: sent, closed") << 2 << ok << true << false;
        QTest::newRow("admin Cancel: nothing, closed") << 2 << cancel << false << false;
        QTest::newRow("user Apply: nothing") << 1 << apply << false << true;
        QTest::newRow("user OK: nothing, closed") << 1 << ok << false << false;
        QTest::newRow("cruise OK: nothing, closed") << 0 << ok << false << false;
        QTest::newRow("library failure -1 Apply: nothing") << -1 << apply << false << true;
        QTest::newRow("unknown 3 OK: nothing, closed") << 3 << ok << false << false;
    }

    void userLevelGatesTheSend()
    {
        QFETCH(int, level);
        QFETCH(int, button);
        QFETCH(bool, sends);
        QFETCH(bool, visibleAfter);

        WindowROC_ROI dialog;
        dialog.nrZentrimChanged(3);
        dialog.showAndRefresh();
        Limits limits;
        limits.roiX = 40.0;
        limits.checkX = true;
        Form(dialog, 0).fill(limits);
        Form(dialog, 1).fill(limits);
        USER_LEVEL = level;
        press(dialog, QDialogButtonBox::StandardButton(button));

        QCOMPARE(dialog.isVisible(), visibleAfter);
        QCOMPARE(SimControl::callCount("setROClimits"), sends ? 6 : 0);
        QCOMPARE(SimControl::callCount("setROCenable"), sends ? 1 : 0);
        QCOMPARE(stored(0).roiX, sends ? 40.0 : 100.0);
        QCOMPARE(stored(1).roiX, sends ? 40.0 : 20.0);
        QCOMPARE(int(SimControl::sent().rocEnable[0]), sends ? 1 : 0);
        QVERIFY(Prompts::shown().isEmpty());
    }

    void userLevelGatesTheFields_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("cruise disables") << 2 << 0 << false;
        QTest::newRow("user disables") << 2 << 1 << false;
        QTest::newRow("admin enables") << 0 << 2 << true;
        QTest::newRow("-1 leaves them enabled") << 2 << -1 << true;
        QTest::newRow("-1 leaves them disabled") << 1 << -1 << false;
        QTest::newRow("3 leaves them disabled") << 0 << 3 << false;
    }

    void userLevelGatesTheFields()
    {
        QFETCH(int, before);
        QFETCH(int, level);
        QFETCH(bool, enabled);
        WindowROC_ROI dialog;
        // BPM 2's form takes edits only while its limits can be sent.
        dialog.nrZentrimChanged(3);
        USER_LEVEL = before;
        dialog.checkUserLevel();
        USER_LEVEL = level;
        dialog.checkUserLevel();
        for (int bpm = 0; bpm < 2; ++bpm)
            for (QWidget* control : Form(dialog, bpm).editControls()) {
                QCOMPARE(control->isEnabled(), enabled);
                // A greyed control tells why it does not respond.
                QCOMPARE(control->toolTip().contains(QStringLiteral("admin level")), !enabled);
            }
        // Headings, note and buttons stay usable: OK must still close the dialog.
        QVERIFY(Form(dialog, 0).label("bpmLabel")->isEnabled());
        QVERIFY(dialog.findChild<QDialogButtonBox*>("buttonBox")->isEnabled());
        QVERIFY(buttonOf(dialog, QDialogButtonBox::Ok)->isEnabled());
    }

    void buttonTextDecides_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("sends");
        QTest::newRow("OK") << "OK" << true;
        QTest::newRow("&OK") << "&OK" << true;
        QTest::newRow("Apply") << "Apply" << true;
        QTest::newRow("&Apply") << "&Apply" << true;
        QTest::newRow("Ok with a small k") << "Ok" << false;
        QTest::newRow("apply in lower case") << "apply" << false;
        QTest::newRow("&Cancel") << "&Cancel" << false;
    }

    void buttonTextDecides()
    {
        QFETCH(QString, text);
        QFETCH(bool, sends);
        WindowROC_ROI dialog;
        dialog.show();
        QDialogButtonBox* box = dialog.findChild<QDialogButtonBox*>("buttonBox");
        QPushButton* extra = box->addButton(text, QDialogButtonBox::ActionRole);
        QTest::mouseClick(extra, Qt::LeftButton);
        QCOMPARE(SimControl::callCount("setROCenable"), sends ? 1 : 0);
        QCOMPARE(SimControl::callCount("setROClimits"), sends ? 3 : 0);
    }

    void presenceDecidesFormsAndBpm2_data()
    {
        QTest::addColumn<bool>("present0");
        QTest::addColumn<bool>("present1");
        QTest::addColumn<int>("mask");
        QTest::addColumn<bool>("bpm2Sent");

        QTest::newRow("mask 1, BPM1 only: nothing of BPM2's limits") << true << false << 1 << false;
        QTest::newRow("mask 2, BPM2 only: BPM1's hidden form is sent too") << false << true << 2 << true;
        QTest::newRow("mask 3, both") << true << true << 3 << true;
        QTest::newRow("mask 0, none: BPM1's limits still go") << false << false << 0 << false;
        QTest::newRow("mask 3 but neither present now: forms follow the library")
            << false << false << 3 << true;
    }

    void presenceDecidesFormsAndBpm2()
    {
        QFETCH(bool, present0);
        QFETCH(bool, present1);
        QFETCH(int, mask);
        QFETCH(bool, bpm2Sent);

        WindowROC_ROI dialog;
        dialog.showAndRefresh();
        // Opposite first, so that the second call must change both forms.
        SimControl::setZentrimPresent(0, !present0);
        SimControl::setZentrimPresent(1, !present1);
        dialog.nrZentrimChanged(3 - mask);
        SimControl::setZentrimPresent(0, present0);
        SimControl::setZentrimPresent(1, present1);
        dialog.nrZentrimChanged(mask);
        QCOMPARE(!Form(dialog, 0).widget->isHidden(), present0);
        QCOMPARE(!Form(dialog, 1).widget->isHidden(), present1);

        Limits bpm2;
        bpm2.roiX = 40.0;
        bpm2.rocPercent = 150.0;
        Form(dialog, 1).fill(bpm2);
        press(dialog, QDialogButtonBox::Ok);
        QCOMPARE(SimControl::callCount("setROClimits", 0), 1);
        QCOMPARE(SimControl::callCount("setROClimits", 2), 1);
        QCOMPARE(SimControl::callCount("setROClimits", 3), bpm2Sent ? 1 : 0);
        QCOMPARE(SimControl::callCount("setROClimits", 5), bpm2Sent ? 1 : 0);
        QCOMPARE(SimControl::callCount("setROCenable"), 1);
        // BPM2's limits are sent and stored together, or neither.
        QCOMPARE(SimControl::sent().rocHigh[3], bpm2Sent ? 60.0 : PlantConstants::START_ROC_HALF_WIDTH_UM);
        QCOMPARE(stored(1).roiX, bpm2Sent ? 40.0 : 20.0);
    }

    void checksSentAndStored_data()
    {
        QTest::addColumn<QList<int>>("flags");
        QTest::newRow("all off") << QList<int>{0, 0, 0, 0, 0, 0};
        QTest::newRow("all on") << QList<int>{1, 1, 1, 1, 1, 1};
        QTest::newRow("BPM1 Y, BPM2 X and beam off") << QList<int>{0, 1, 0, 1, 0, 1};
        QTest::newRow("BPM1 beam off only") << QList<int>{0, 0, 1, 0, 0, 0};
    }

    void checksSentAndStored()
    {
        QFETCH(QList<int>, flags);
        QCOMPARE(::setROCenable(!flags[0], !flags[1], !flags[2], !flags[3], !flags[4], !flags[5]), 0);
        WindowROC_ROI dialog;
        dialog.nrZentrimChanged(1);
        dialog.showAndRefresh();
        for (int bpm = 0; bpm < 2; ++bpm) {
            const Form f(dialog, bpm);
            f.checkX()->setChecked(flags[3 * bpm]);
            f.checkY()->setChecked(flags[3 * bpm + 1]);
            f.checkBeamOff()->setChecked(flags[3 * bpm + 2]);
        }
        press(dialog, QDialogButtonBox::Apply);

        // All six go out even while BPM2's limits do not.
        const SimControl::Sent sent = SimControl::sent();
        QSettings file(configPath(), QSettings::IniFormat);
        const char* keys[3] = {"RocXenable", "RocYenable", "BeamOffEnable"};
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(int(sent.rocEnable[i]), flags[i]);
            const QString key = QString(i < 3 ? "ROCandROI/" : "ROCandROI2/") + keys[i % 3];
            QCOMPARE(file.value(key).toBool(), bool(flags[i]));
        }
    }

    void loadShowsTheStoredLimits()
    {
        m_program->config->saveROCandROI(0, 123.45, 67.8, 5e-6, 2.5e-4, 250.0);
        m_program->config->setBeamOffTh(0, 3.5e-6);
        WindowROC_ROI dialog;
        // Left on nA without an OK: the next showing must not read uA numbers as nA.
        const Form f(dialog, 0);
        f.i0minUnit()->setCurrentText("nA");
        f.i0maxUnit()->setCurrentText("nA");
        dialog.showAndRefresh();
        QVERIFY(dialog.isVisible());
        QCOMPARE(f.roiX()->value(), 123.45);
        QCOMPARE(f.roiY()->value(), 67.8);
        QCOMPARE(f.roc()->value(), 250.0);
        QCOMPARE(f.i0min()->value(), 5.0);
        QCOMPARE(f.i0minUnit()->currentText(), QString("uA"));
        QCOMPARE(f.i0max()->value(), 250.0);
        QCOMPARE(f.i0maxUnit()->currentText(), QString("uA"));
        QCOMPARE(f.beamOff()->value(), 3.5);

        const Form g(dialog, 1);
        QCOMPARE(g.roiX()->value(), 20.0);
        QCOMPARE(g.roc()->value(), 150.0);
        QCOMPARE(g.i0min()->value(), 1.0);
        QCOMPARE(g.i0max()->value(), 1000.0);
        QCOMPARE(g.beamOff()->value(), 2.0);
    }

    void i0WindowStoredInAmperes_data()
    {
        QTest::addColumn<double>("minValue");
        QTest::addColumn<QString>("minUnit");
        QTest::addColumn<double>("maxValue");
        QTest::addColumn<QString>("maxUnit");
        QTest::addColumn<double>("storedMin");
        QTest::addColumn<double>("storedMax");
        QTest::newRow("500 nA minimum: 5e-7 A") << 500.0 << "nA" << 200.0 << "uA" << 5e-7 << 2e-4;
        QTest::newRow("both in uA") << 1.5 << "uA" << 999.999 << "uA" << 1.5e-6 << 999.999e-6;
        QTest::newRow("both in nA") << 0.001 << "nA" << 12.345 << "nA" << 1e-12 << 12.345e-9;
    }

    void i0WindowStoredInAmperes()
    {
        QFETCH(double, minValue);
        QFETCH(QString, minUnit);
        QFETCH(double, maxValue);
        QFETCH(QString, maxUnit);
        QFETCH(double, storedMin);
        QFETCH(double, storedMax);
        WindowROC_ROI dialog;
        dialog.showAndRefresh();
        Limits limits;
        limits.i0min = minValue;
        limits.i0minUnit = minUnit;
        limits.i0max = maxValue;
        limits.i0maxUnit = maxUnit;
        Form(dialog, 0).fill(limits);
        press(dialog, QDialogButtonBox::Ok);
        QVERIFY(near(stored(0).i0min, storedMin));
        QVERIFY(near(stored(0).i0max, storedMax));
    }

    void nanoampereRoundTripKeepsTheValue_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<double>("shownValue");
        QTest::addColumn<QString>("shownUnit");
        QTest::newRow("750 nA reads back as 0.750 uA") << 750.0 << "nA" << 0.75 << "uA";
        QTest::newRow("12.345 nA reads back in nA") << 12.345 << "nA" << 12.345 << "nA";
        QTest::newRow("0.4 nA reads back in nA") << 0.4 << "nA" << 0.4 << "nA";
        QTest::newRow("250 uA stays in uA") << 250.0 << "uA" << 250.0 << "uA";
    }

    void nanoampereRoundTripKeepsTheValue()
    {
        QFETCH(double, value);
        QFETCH(QString, unit);
        QFETCH(double, shownValue);
        QFETCH(QString, shownUnit);
        WindowROC_ROI dialog;
        dialog.showAndRefresh();
        const Form f(dialog, 0);
        f.i0maxUnit()->setCurrentText(unit);
        f.i0max()->setValue(value);
        press(dialog, QDialogButtonBox::Ok);
        const double first = stored(0).i0max;
        QVERIFY(near(first, value * (unit == "nA" ? 1e-9 : 1e-6)));

        dialog.showAndRefresh();
        QCOMPARE(f.i0maxUnit()->currentText(), shownUnit);
        QVERIFY2(near(f.i0max()->value(), shownValue), qPrintable(QString::number(f.i0max()->value())));
        press(dialog, QDialogButtonBox::Ok);
        dialog.showAndRefresh();
        press(dialog, QDialogButtonBox::Ok);
        QVERIFY2(near(stored(0).i0max, first), qPrintable(QString::number(stored(0).i0max, 'g', 17)));
    }

    void beamOffThresholdInEveryLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<double>("microamperes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("C: 10.000 uA") << QLocale::c() << 10.0 << "10.000 uA";
        QTest::newRow("German: 10,000 uA") << QLocale(QLocale::German, QLocale::Germany) << 10.0 << "10,000 uA";
        QTest::newRow("French: 0,250 uA") << QLocale(QLocale::French, QLocale::France) << 0.25 << "0,250 uA";
        QTest::newRow("English: 1234.5 uA") << QLocale(QLocale::English, QLocale::UnitedStates) << 1234.5
                                            << "1234.500 uA";
    }

    void beamOffThresholdInEveryLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(double, microamperes);
        QFETCH(QString, shown);
        WindowROC_ROI dialog;
        dialog.showAndRefresh();
        for (int bpm = 0; bpm < 2; ++bpm) {
            QDoubleSpinBox* field = Form(dialog, bpm).beamOff();
            field->setLocale(locale);
            field->setValue(microamperes * (bpm + 1));
        }
        QCOMPARE(Form(dialog, 0).beamOff()->text(), shown);
        dialog.nrZentrimChanged(3);
        press(dialog, QDialogButtonBox::Apply);
        for (int bpm = 0; bpm < 2; ++bpm) {
            const double amperes = microamperes * (bpm + 1) * 1e-6;
            QVERIFY2(near(SimControl::sent().rocHigh[3 * bpm + 2], amperes),
                     qPrintable(QString::number(SimControl::sent().rocHigh[3 * bpm + 2])));
            QCOMPARE(SimControl::sent().rocLow[3 * bpm + 2], 0.0);
            QVERIFY(near(stored(bpm).beamOff, amperes));
        }
    }

    void withoutScattersTheLimitsStillGo()
    {
        WindowROC_ROI dialog;
        dialog.nrZentrimChanged(3);
        dialog.showAndRefresh();
        Limits limits;
        limits.roiX = 30.0;
        limits.roiY = 10.0;
        Form(dialog, 0).fill(limits);
        Form(dialog, 1).fill(limits);
        press(dialog, QDialogButtonBox::Apply);
        QVERIFY(near(SimControl::sent().rocHigh[0], 33.0));
        QVERIFY(near(SimControl::sent().rocHigh[3], 33.0));
        QCOMPARE(stored(0).roiX, 30.0);
        QCOMPARE(stored(1).roiX, 30.0);

        // A scatter that went away is dropped from the drawing, not from the send.
        auto scatter = std::make_unique<WidgetGraphXY>(0);
        dialog.setGraphXY(scatter.get(), 0);
        scatter.reset();
        limits.roiX = 60.0;
        Form(dialog, 0).fill(limits);
        press(dialog, QDialogButtonBox::Apply);
        QVERIFY(near(SimControl::sent().rocHigh[0], 66.0));
    }

    void nullOrForeignReferencesKeepThePrevious()
    {
        WidgetGraphXY scatter1(0), scatter2(1);
        QObject notAScatter;
        WindowROC_ROI dialog;
        dialog.setGraphXY(&scatter1, 0);
        dialog.setGraphXY(&scatter2, 1);
        dialog.setGraphXY(nullptr, 0);
        dialog.setGraphXY(&notAScatter, 1);
        dialog.setGraphXY(&scatter2, 2);
        dialog.setUpdater(nullptr);
        dialog.setBeamlineConf(nullptr);
        dialog.nrZentrimChanged(3);
        dialog.showAndRefresh();
        Limits limits;
        limits.roiX = 7.0;
        limits.roiY = 3.0;
        limits.rocPercent = 200.0;
        Form(dialog, 0).fill(limits);
        limits.roiX = 9.0;
        Form(dialog, 1).fill(limits);
        press(dialog, QDialogButtonBox::Apply);
        QCOMPARE(drawnRects(&scatter1).second, QPointF(14.0, 6.0));
        QCOMPARE(drawnRects(&scatter2).second, QPointF(18.0, 6.0));
    }

    void demoSettingsRoundTrip()
    {
        // The demonstration file must hold limits the dialog can show: an OK
        // without edits gives the same file back.
        const QString copy = m_program->filePath("demo-config.ini");
        QFile::remove(copy);
        QVERIFY(QFile::copy(QStringLiteral(VORN_DEMO_CONFIG), copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        ConfigSettings demo(copy);
        CONFIG_SETTINGS = &demo;
        Stored before[2] = {stored(0), stored(1)};
        QSettings beforeFile(copy, QSettings::IniFormat);
        const double rocXBefore = beforeFile.value("ROCandROI/RocX").toDouble();

        WindowROC_ROI dialog;
        dialog.nrZentrimChanged(3);
        dialog.showAndRefresh();
        press(dialog, QDialogButtonBox::Ok);
        for (int bpm = 0; bpm < 2; ++bpm) {
            const Stored after = stored(bpm);
            QCOMPARE(after.roiX, before[bpm].roiX);
            QCOMPARE(after.roiY, before[bpm].roiY);
            QVERIFY(near(after.rocPercent, before[bpm].rocPercent));
            QVERIFY(near(after.i0min, before[bpm].i0min));
            QVERIFY(near(after.i0max, before[bpm].i0max));
            QVERIFY(near(after.beamOff, before[bpm].beamOff));
        }
        QSettings afterFile(copy, QSettings::IniFormat);
        QVERIFY(near(afterFile.value("ROCandROI/RocX").toDouble(), rocXBefore));
        CONFIG_SETTINGS = m_program->config.get();
    }

    // ---- in the main window ------------------------------------------------------------

    void mainWindowShowsOneDialogWithItsScatters()
    {
        // Both picoammeters seen by the device link's poll, so BPM2's limits go out too.
        m_program->link->refreshData();
        MainWindow window;
        const QList<WindowROC_ROI*> dialogs = window.findChildren<WindowROC_ROI*>();
        QCOMPARE(dialogs.size(), 1);
        WindowROC_ROI* dialog = dialogs.first();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->parentWidget(), &window);
        // Built before the display settings, in the order of the persistent dialogs.
        const QObjectList children = window.children();
        QVERIFY(children.indexOf(dialog) < children.indexOf(window.findChild<WindowDisplaySettings*>()));

        m_program->config->saveROCandROI(0, 45.0, 15.0, 0.0, 2e-4, 120.0);
        QAction* entry = window.findChild<QAction*>("action_ROC_ROI");
        entry->trigger();
        QVERIFY(dialog->isVisible());
        QCOMPARE(Form(*dialog, 0).roiX()->value(), 45.0);
        QCOMPARE(Form(*dialog, 0).roc()->value(), 120.0);

        // The level read while the window was built (the simulator starts at "user").
        QVERIFY(!Form(*dialog, 0).roiX()->isEnabled());
        USER_LEVEL = USER_LEVEL_ADMIN;
        entry->trigger();
        QCOMPARE(window.findChildren<WindowROC_ROI*>().size(), 1);
        QVERIFY(Form(*dialog, 0).roiX()->isEnabled());

        Limits limits;
        limits.roiX = 50.0;
        limits.roiY = 20.0;
        Form(*dialog, 0).fill(limits);
        limits.roiX = 8.0;
        limits.roiY = 4.0;
        limits.rocPercent = 300.0;
        Form(*dialog, 1).fill(limits);
        press(*dialog, QDialogButtonBox::Ok);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(drawnRects(scatterOf(window, 0)).first, QPointF(50.0, 20.0));
        QVERIFY(near(drawnRects(scatterOf(window, 0)).second.x(), 55.0));
        QVERIFY(near(drawnRects(scatterOf(window, 0)).second.y(), 22.0));
        QCOMPARE(drawnRects(scatterOf(window, 1)).second, QPointF(24.0, 12.0));
        QVERIFY(near(SimControl::sent().rocHigh[0], 55.0));
        QVERIFY(near(SimControl::sent().rocHigh[1], 22.0));
        QVERIFY(near(SimControl::sent().rocHigh[3], 24.0));
        QVERIFY(near(SimControl::sent().rocHigh[4], 12.0));
    }

    void levelSignalsReachTheDialog()
    {
        MainWindow window;
        DialogLogin login(&window);
        DIALOG_LOGIN = &login;
        login.initConnections();
        WindowROC_ROI* dialog = window.findChild<WindowROC_ROI*>();
        HeartBeat* heartbeat = window.findChild<HeartBeat*>();

        // The heartbeat's tick reads the lock status and announces it.
        SimControl::setLockStatus(2);
        QVERIFY(QMetaObject::invokeMethod(heartbeat, "refreshFields"));
        QVERIFY(Form(*dialog, 0).beamOff()->isEnabled());
        SimControl::setLockStatus(1);
        QVERIFY(QMetaObject::invokeMethod(heartbeat, "refreshFields"));
        QVERIFY(!Form(*dialog, 0).beamOff()->isEnabled());

        // The login dialog's announcement.
        USER_LEVEL = USER_LEVEL_ADMIN;
        login.updateLevel();
        QVERIFY(Form(*dialog, 0).beamOff()->isEnabled());
        USER_LEVEL = USER_LEVEL_CRUISE;
        login.updateLevel();
        QVERIFY(!Form(*dialog, 0).beamOff()->isEnabled());
    }

    void presenceReachesTheDialog()
    {
        SimControl::setZentrimPresent(1, false);
        MainWindow window;
        WindowROC_ROI* dialog = window.findChild<WindowROC_ROI*>();
        // The window's constructor had the device link announce the devices.
        QVERIFY(!Form(*dialog, 0).widget->isHidden());
        QVERIFY(Form(*dialog, 1).widget->isHidden());
        USER_LEVEL = USER_LEVEL_ADMIN;
        dialog->showAndRefresh();
        press(*dialog, QDialogButtonBox::Apply);
        QCOMPARE(SimControl::callCount("setROClimits", 3), 0);

        SimControl::setZentrimPresent(1, true);
        emit MAILBOX_COMM->nrZentrimsChanged(3);
        QVERIFY(!Form(*dialog, 1).widget->isHidden());
        press(*dialog, QDialogButtonBox::Apply);
        QCOMPARE(SimControl::callCount("setROClimits", 3), 1);
    }

    void limitsReachTheFeedbackStatus_data()
    {
        QTest::addColumn<double>("roi");
        QTest::addColumn<bool>("checkX");
        QTest::addColumn<double>("setpointX");
        QTest::addColumn<double>("thresholdOfIntensity");
        QTest::addColumn<bool>("checkBeamOff");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("shown");

        QTest::newRow("beam steered out of a small ROC with the X check: out of ROC")
            << 5.0 << true << 30.0 << 0.5 << false << 1 << "FAULT: Out of ROC";
        QTest::newRow("same beam without the X check: feedback on")
            << 5.0 << false << 30.0 << 0.5 << false << 3 << "Feedback ON";
        QTest::newRow("beam inside the ROC with the X check: feedback on")
            << 50.0 << true << 30.0 << 0.5 << false << 3 << "Feedback ON";
        QTest::newRow("threshold above the intensity with the beam-off check: beam off")
            << 100.0 << false << 0.0 << 1.5 << true << 2 << "Beam OFF";
        QTest::newRow("threshold below the intensity: feedback on")
            << 100.0 << false << 0.0 << 0.5 << true << 3 << "Feedback ON";
        QTest::newRow("threshold above without the check: feedback on")
            << 100.0 << false << 0.0 << 1.5 << false << 3 << "Feedback ON";
    }

    void limitsReachTheFeedbackStatus()
    {
        QFETCH(double, roi);
        QFETCH(bool, checkX);
        QFETCH(double, setpointX);
        QFETCH(double, thresholdOfIntensity);
        QFETCH(bool, checkBeamOff);
        QFETCH(int, status);
        QFETCH(QString, shown);

        SimControl::setDisturbances(false);
        SimControl::setLockStatus(USER_LEVEL_ADMIN);
        MainWindow window;
        window.findChild<QAction*>("action_ROC_ROI")->trigger();
        WindowROC_ROI* dialog = window.findChild<WindowROC_ROI*>();
        // The beam's intensity at BPM1 with the steering outputs at their start value.
        const double intensity = PlantConstants::INTENSITY_PEAK_A * PlantConstants::TRANSMISSION[0];
        Limits limits;
        limits.roiX = roi;
        limits.roiY = roi;
        limits.checkX = checkX;
        limits.beamOffUa = thresholdOfIntensity * intensity * 1e6;
        limits.checkBeamOff = checkBeamOff;
        Form(*dialog, 0).fill(limits);
        Form(*dialog, 1).fill(Limits());
        press(*dialog, QDialogButtonBox::Apply);
        QVERIFY(near(SimControl::sent().rocHigh[2], thresholdOfIntensity * intensity));

        // X regulated towards the setpoint, fed by BPM1.
        QVERIFY(::setPIDconf(0) >= 0);
        QVERIFY(::setSetpoint2(0, setpointX) >= 0);
        QVERIFY(::setFBenable(1) >= 0);
        SimControl::step(3.0);
        m_program->link->refreshData();
        QVERIFY(QMetaObject::invokeMethod(window.findChild<HeartBeat*>(), "refreshFields"));

        QCOMPARE(::getPIDstatus(), status);
        QCOMPARE(window.findChild<HeartBeat*>()->findChild<QLabel*>("heartbeatLabel")->text(), shown);
        if (status == 1) {
            // The fault holds the outputs just past the ROC edge.
            const double rocX = roi * limits.rocPercent / 100.0;
            QVERIFY(SimControl::truePosition(0, 0) > rocX);
            QVERIFY(SimControl::truePosition(0, 0) < setpointX);
        }
    }

private:
    QString configPath() const { return m_program->configPath(); }

    static QList<int> checkStates(const WindowROC_ROI& dialog)
    {
        QList<int> states;
        for (int bpm = 0; bpm < 2; ++bpm) {
            const Form f(dialog, bpm);
            states << f.checkX()->isChecked() << f.checkY()->isChecked() << f.checkBeamOff()->isChecked();
        }
        return states;
    }

    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestWindowROC_ROI)
#include "tst_windowroc_roi.moc"
