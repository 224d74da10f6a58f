// The ROC/ROI dialog's OK and Apply against the simulated controller: what they
// refuse to send (a zero half-width with its check, a value neither read from
// the file nor typed, BPM 2's limits without its device), what a file the dialog
// cannot use gives, that a percentage reads back as applied, and that the file
// takes only what the controller took.
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>

#include <optional>

#include "Globals.h"
#include "Prompts.h"
#include "RocRoiChecks.h"
#include "SimControl.h"
#include "WidgetGraphXY.h"
#include "WindowROC_ROI.h"
#include "support/ProgramFixture.h"
#include "support/TestFiles.h"
#include "support/WidgetClicks.h"

using namespace RocRoiChecks;

class TestWindowROC_ROISend : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        startProgram(m_program);
    }

    void cleanup() { m_program.reset(); }

    // A zero half-width with its check ticked would put the beam out of the
    // ROC at once: refused, with nothing sent or stored.
    void zeroHalfWidthWithItsCheckIsRefused_data()
    {
        QTest::addColumn<double>("roiX");
        QTest::addColumn<double>("roiY");
        QTest::addColumn<bool>("checkX");
        QTest::addColumn<bool>("checkY");
        QTest::addColumn<QString>("problem");

        QTest::newRow("roiX 0 with the X check") << 0.0 << 50.0 << true << false << "ROC X check is on with a roiX of 0";
        QTest::newRow("roiY 0 with the Y check") << 40.0 << 0.0 << true << true << "ROC Y check is on with a roiY of 0";
        QTest::newRow("roiX 0 without its check is sent") << 0.0 << 50.0 << false << true << "";
    }

    void zeroHalfWidthWithItsCheckIsRefused()
    {
        QFETCH(double, roiX);
        QFETCH(double, roiY);
        QFETCH(bool, checkX);
        QFETCH(bool, checkY);
        QFETCH(QString, problem);

        const QByteArray before = TestFiles::contents(configPath());
        WindowROC_ROI dialog;
        dialog.nrZentrimChanged(3);
        dialog.showAndRefresh();
        Limits limits;
        limits.roiX = roiX;
        limits.roiY = roiY;
        limits.checkX = checkX;
        limits.checkY = checkY;
        Form(dialog, 0).fill(limits);
        press(dialog, QDialogButtonBox::Ok);

        if (problem.isEmpty()) {
            QVERIFY(Prompts::shown().isEmpty());
            QCOMPARE(stored(0).roiX, roiX);
            QVERIFY(!dialog.isVisible());
            return;
        }
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown()[0].title, QString("ROC/ROI not sent"));
        QVERIFY2(Prompts::shown()[0].text.contains("BPM 1: the " + problem), qPrintable(Prompts::shown()[0].text));
        QCOMPARE(SimControl::callCount("setROClimits") + SimControl::callCount("setROCenable"), 0);
        QCOMPARE(TestFiles::contents(configPath()), before);
        // OK keeps the dialog open with what was typed.
        QVERIFY(dialog.isVisible());
        QCOMPARE(Form(dialog, 0).roiX()->value(), roiX);
    }

    // Without its device BPM 2's limits cannot be sent: its form takes no edits and says why.
    void bpm2FormWithoutItsDeviceSaysWhy_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<bool>("editable");

        QTest::newRow("mask 1") << 1 << false;
        QTest::newRow("mask 0") << 0 << false;
        QTest::newRow("mask 2") << 2 << true;
        QTest::newRow("mask 3") << 3 << true;
    }

    void bpm2FormWithoutItsDeviceSaysWhy()
    {
        QFETCH(int, mask);
        QFETCH(bool, editable);

        WindowROC_ROI dialog;
        dialog.nrZentrimChanged(mask);
        dialog.showAndRefresh();
        const Form f(dialog, 1);
        QVERIFY(!f.widget->isHidden());
        QCOMPARE(f.widget->isEnabled(), editable);
        QVERIFY(Form(dialog, 0).widget->isEnabled());
        auto* note = dialog.findChild<QLabel*>("bpm2Note");
        QVERIFY(note);
        QCOMPARE(note->isHidden(), editable);
        if (!editable)
            QVERIFY2(note->text().contains("BPM 2's limits cannot be sent"), qPrintable(note->text()));
    }

    void bpm2FormIsDisabledAtConstruction()
    {
        // Until the device link tells the mask, it is 1.
        WindowROC_ROI dialog;
        QVERIFY(!Form(dialog, 1).widget->isEnabled());
        dialog.nrZentrimChanged(3);
        QVERIFY(Form(dialog, 1).widget->isEnabled());
    }

    // What the dialog shows of a stored value that is not a number, what Apply
    // sends, and what the file holds afterwards.
    void unusableStoredLimit_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("storedLine");  // what the file holds after the typed value went out

        QTest::newRow("RoiX nan") << QByteArray("RoiX=nan") << "roiXDoubleSpinBox" << "roiX" << "80"
                                  << QByteArray("RoiX=80\n");
        QTest::newRow("RoiY text") << QByteArray("RoiY=wide") << "roiYDoubleSpinBox" << "roiY" << "999.5"
                                   << QByteArray("RoiY=999.5\n");
        QTest::newRow("RoiI0max nan") << QByteArray("RoiI0max=nan") << "roiI0maxBox" << "ROI I0 max" << "200"
                                      << QByteArray("RoiI0max=0.0002\n");
        QTest::newRow("RoiI0min empty") << QByteArray("RoiI0min=") << "roiI0minBox" << "ROI I0 min" << "0.7"
                                        << QByteArray("RoiI0min=7e-07\n");
        QTest::newRow("RocX text") << QByteArray("RocX=wide") << "rocFactorBox" << "ROC" << "120"
                                   << QByteArray("RocX=120\n");
        QTest::newRow("BeamOffTh inf") << QByteArray("BeamOffTh=inf") << "beamOffTh" << "Beam Off Threshold" << "10"
                                       << QByteArray("BeamOffTh=1e-05\n");
        QTest::newRow("BeamOffTh -inf") << QByteArray("BeamOffTh=-inf") << "beamOffTh" << "Beam Off Threshold"
                                        << "0.25" << QByteArray("BeamOffTh=2.5e-07\n");
    }

    void unusableStoredLimit()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, field);
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(QByteArray, storedLine);

        // With RocX spoilt, RocY would give the ROC back: it is spoilt too.
        const QByteArray file = TestFiles::replacingKey(
            QByteArray("[ROCandROI]\nRoiX=100\nRoiY=100\nRoiI0min=0\nRoiI0max=0.0002\nRocX=110\nRocY=110\n"
                       "BeamOffTh=1e-06\n")
                .replace("RocY=110", line.startsWith("RocX") ? "RocY=wide" : "RocY=110"),
            line);
        TestFiles::put(configPath(), file);

        WindowROC_ROI dialog;
        dialog.showAndRefresh();
        const Form f(dialog, 0);
        QDoubleSpinBox* box = f.spin(qPrintable(field));
        QCOMPARE(box->text(), QString::fromUtf8("\u2014"));
        QLabel* note = f.label("loadNote");
        QVERIFY(!note->isHidden());
        QVERIFY2(note->text().contains(name), qPrintable(note->text()));

        press(dialog, QDialogButtonBox::Apply);
        QCOMPARE(Prompts::shown().size(), 1);
        QVERIFY2(Prompts::shown()[0].text.contains(name + " was not read from the configuration file"),
                 qPrintable(Prompts::shown()[0].text));
        QCOMPARE(SimControl::callCount("setROClimits") + SimControl::callCount("setROCenable"), 0);
        QCOMPARE(TestFiles::contents(configPath()), file);

        // Typed: it goes out and into the file as typed.
        WidgetClicks::typeInto(box, typed);
        QVERIFY(note->isHidden());
        press(dialog, QDialogButtonBox::Apply);
        QCOMPARE(Prompts::shown().size(), 1);
        QVERIFY2(TestFiles::contents(configPath()).contains(storedLine), TestFiles::contents(configPath()).constData());
    }

    // What Apply stores reads back as it was typed, at any ROI: the field shows
    // the same percentage, without a note, and the scatter draws that ROC.
    void percentageReadsBackAsApplied_data()
    {
        QTest::addColumn<double>("roi");
        QTest::addColumn<double>("percent");

        // Without rounding these read back a last bit off (1000.0000000000002, 999.9999999999998, ...).
        QTest::newRow("1000 % of 0.47 um") << 0.47 << 1000.0;
        QTest::newRow("1000 % of 0.07 um") << 0.07 << 1000.0;
        QTest::newRow("1000 % of 999.99 um") << 999.99 << 1000.0;
        QTest::newRow("110 % of 0.29 um") << 0.29 << 110.0;
        QTest::newRow("100 % of 0.01 um") << 0.01 << 100.0;
        QTest::newRow("537 % of 12.34 um") << 12.34 << 537.0;
    }

    void percentageReadsBackAsApplied()
    {
        QFETCH(double, roi);
        QFETCH(double, percent);

        WidgetGraphXY scatter(0);
        WindowROC_ROI dialog;
        dialog.setGraphXY(&scatter, 0);
        dialog.showAndRefresh();
        const Form f(dialog, 0);
        Limits typed;
        typed.roiX = roi;
        typed.roiY = roi;
        typed.rocPercent = percent;
        f.fill(typed);
        press(dialog, QDialogButtonBox::Apply);
        QVERIFY(Prompts::shown().isEmpty());
        QCOMPARE(stored(0).rocPercent, percent);

        f.roc()->setValue(100.0);
        dialog.showAndRefresh();
        QCOMPARE(f.roc()->value(), percent);
        QVERIFY2(f.label("loadNote")->isHidden(), qPrintable(f.label("loadNote")->text()));
        // A scatter built now draws the ROC from the file.
        WidgetGraphXY fresh(0);
        QVERIFY(near(drawnRects(&fresh).second.x(), roi * percent / 100.0));
        QVERIFY(near(drawnRects(&scatter).second.x(), roi * percent / 100.0));
    }

    void unreadableFileSendsNothing()
    {
        QFile::remove(configPath());
        QVERIFY(QDir().mkdir(configPath()));
        WindowROC_ROI dialog;
        dialog.showAndRefresh();
        const Form f(dialog, 0);
        for (QDoubleSpinBox* box : {f.roiX(), f.roiY(), f.roc(), f.i0min(), f.i0max(), f.beamOff()})
            QCOMPARE(box->text(), QString::fromUtf8("\u2014"));
        press(dialog, QDialogButtonBox::Apply);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(SimControl::callCount("setROClimits") + SimControl::callCount("setROCenable"), 0);

        // Typed anew: the controller takes it; the operator learns it lasts until a restart.
        for (QDoubleSpinBox* box : {f.roiX(), f.roiY(), f.roc(), f.i0min(), f.i0max(), f.beamOff()})
            WidgetClicks::typeInto(box, "120");
        press(dialog, QDialogButtonBox::Apply);
        QVERIFY(near(SimControl::sent().rocHigh[0], 144.0));
        QCOMPARE(Prompts::shown().size(), 2);
        QCOMPARE(Prompts::shown()[1].title, QString("Settings not stored"));
    }

    // Whatever the controller refused stays out of the file, byte for byte.
    void refusedCallLeavesTheFileAsItWas_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("what");

        QTest::newRow("limits") << "setROClimits" << "BPM 1 ROC limits";
        QTest::newRow("checks") << "setROCenable" << "the ROC and beam-off checks";
    }

    void refusedCallLeavesTheFileAsItWas()
    {
        QFETCH(QString, function);
        QFETCH(QString, what);

        m_program->config->saveROCenables(false, false, false, false, false, false);
        WidgetGraphXY scatter(0);
        WindowROC_ROI dialog;
        dialog.setGraphXY(&scatter, 0);
        dialog.showAndRefresh();
        const auto drawnBefore = drawnRects(&scatter);
        Limits limits;
        limits.roiX = 30.0;
        limits.beamOffUa = 4.0;
        limits.checkX = true;
        Form(dialog, 0).fill(limits);
        SimControl::failCall("setROClimits");
        SimControl::failCall("setROCenable");
        const QByteArray before = TestFiles::contents(configPath());
        press(dialog, QDialogButtonBox::Ok);

        QCOMPARE(TestFiles::contents(configPath()), before);
        QCOMPARE(drawnRects(&scatter), drawnBefore);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown()[0].title, QString("Controller refused"));
        QVERIFY(dialog.isVisible());

        // Only the one call refused: the rest is stored.
        SimControl::clearFailures();
        SimControl::failCall(function.toStdString());
        press(dialog, QDialogButtonBox::Apply);
        QVERIFY2(Prompts::shown()[1].text.contains(what), qPrintable(Prompts::shown()[1].text));
        QCOMPARE(stored(0).roiX, function == "setROClimits" ? 100.0 : 30.0);
        QCOMPARE(QSettings(configPath(), QSettings::IniFormat).value("ROCandROI/RocXenable").toBool(),
                 function != "setROCenable");
    }

private:
    QString configPath() const { return m_program->configPath(); }

    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestWindowROC_ROISend)
#include "tst_windowroc_roi_send.moc"
