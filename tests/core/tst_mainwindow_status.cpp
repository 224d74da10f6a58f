// What the main window tells about the controller: a paused display, the
// feedback switch while a tool holds the outputs, and the controller reads it
// acts on while it is built.
#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include <optional>

#include "Globals.h"
#include "HeartBeat.h"
#include "MainWindow.h"
#include "OutputOwner.h"
#include "Prompts.h"
#include "SimControl.h"
#include "Updater.h"
#include "VornLibrary.h"
#include "WindowDisplaySettings.h"
#include "WindowFrequencyAnalysis.h"
#include "WindowManOutCtrl.h"
#include "WindowRockingCurve.h"
#include "WindowStepResponse.h"
#include "support/ProgramFixture.h"
#include "support/SteppedMeasurementClock.h"
#include "support/WidgetClicks.h"

namespace {

QAction* action(const MainWindow& window, const char* name)
{
    return window.findChild<QAction*>(name);
}

QPushButton* feedbackButton(const MainWindow& window)
{
    return window.findChild<HeartBeat*>()->findChild<QPushButton*>("buttonFdbk");
}

QLabel* note(const MainWindow& window, const char* name)
{
    return window.statusBar()->findChild<QLabel*>(name);
}

// Shown as the operator would see it once the window is up.
bool showing(const MainWindow& window, const QLabel* label)
{
    return label && label->isVisibleTo(&window) && !label->text().isEmpty();
}

}  // namespace

class TestMainWindowStatus : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_program.emplace(
            ProgramFixture::Options().withUpdater().atUserLevel(USER_LEVEL_USER).withSwVersion("1.0.10").refreshed());
    }

    void cleanup() { m_program.reset(); }

    // ---- a paused display ------------------------------------------------------

    void pauseShownForAsLongAsItLasts()
    {
        MainWindow window;
        const QString title = window.windowTitle();
        QLabel* paused = note(window, "pausedNote");
        QVERIFY(paused);
        QVERIFY(!showing(window, paused));

        action(window, "action_Display_Settings")->trigger();
        auto* settings = window.findChild<WindowDisplaySettings*>();
        QCheckBox* pause = settings->findChild<QCheckBox*>("pauseCheckBox");
        WidgetClicks::clickCheckBox(pause);
        QVERIFY(UPDATER->paused());
        QVERIFY(showing(window, paused));
        QVERIFY2(paused->text().startsWith("Display paused since "), qPrintable(paused->text()));
        QVERIFY(window.windowTitle().startsWith(title));
        QVERIFY(window.windowTitle().contains("paused"));

        // Still said after the dialog is closed and the display ticks on.
        settings->close();
        SimControl::step(1.0);
        UPDATER->updateGraphs();
        QVERIFY(showing(window, paused));

        action(window, "action_Display_Settings")->trigger();
        WidgetClicks::clickCheckBox(pause);
        QVERIFY(!UPDATER->paused());
        QVERIFY(!showing(window, paused));
        QCOMPARE(window.windowTitle(), title);
    }

    void pausedBeforeTheWindowIsBuiltIsShown()
    {
        UPDATER->setPaused(true);
        MainWindow window;
        QVERIFY(showing(window, note(window, "pausedNote")));
        QVERIFY(window.windowTitle().contains("paused"));
    }

    // ---- the feedback switch while a tool drives the outputs --------------------

    void feedbackRefusedWhileATool_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("holder");
        QTest::newRow("manual output control") << "manual" << "Manual Output Control";
        QTest::newRow("rocking curve") << "rocking" << "Rocking Curve";
        QTest::newRow("step test") << "step" << "Step Response";
        QTest::newRow("frequency sweep") << "sweep" << "Frequency Analysis Tool";
    }

    // The real tool runs; the operator presses "Enable Feedback" while it holds the outputs.
    void feedbackRefusedWhileATool()
    {
        QFETCH(QString, tool);
        QFETCH(QString, holder);
        m_program->setPidOffset(0, 5.0);
        m_program->setPidOffset(1, 5.0);
        SteppedMeasurementClock clock;
        MainWindow window(nullptr, clock);
        window.show();
        QPushButton* button = feedbackButton(window);
        QCOMPARE(button->text(), QString("Enable Feedback"));

        QString heldWhenPressed;
        const auto press = [&] {
            if (!heldWhenPressed.isEmpty())
                return;
            heldWhenPressed = window.outputs().holder();
            QTest::mouseClick(button, Qt::LeftButton);
        };
        // Pressed from inside the run, as its waits let events through.
        clock.beforeEach = [&](int) {
            if (window.outputs().isHeld())
                press();
        };

        if (tool == "manual") {
            action(window, "actionManual_Output_Control")->trigger();
            auto* manual = window.findChild<WindowManOutCtrl*>();
            QCheckBox* enable = manual->findChild<QCheckBox*>("checboxEnableMan");
            WidgetClicks::clickCheckBox(enable);
            QVERIFY(window.outputs().isHeld());
            press();
            checkRefused(window, holder, heldWhenPressed);
            WidgetClicks::clickCheckBox(enable);
        } else if (tool == "rocking") {
            action(window, "action_Rocking_Curve")->trigger();
            auto* scan = window.findChild<WindowRockingCurve*>();
            scan->findChild<QPushButton*>("buttonStart")->click();
            checkRefused(window, holder, heldWhenPressed);
        } else if (tool == "step") {
            auto* step = window.findChild<WindowStepResponse*>();
            step->showWindow();
            step->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Apply)->click();
            checkRefused(window, holder, heldWhenPressed);
        } else {
            auto* sweep = window.findChild<WindowFrequencyAnalysis*>();
            sweep->setMeasurementClock(clock);
            sweep->findChild<QLineEdit*>("lengthLineEdit")->setText("2");
            clock.beforeEach = {};
            sweep->findChild<QPushButton*>("StartSweepPushButton")->click();
            // Held from the click until the sweep's end reaches this thread.
            QVERIFY(window.outputs().isHeld());
            press();
            checkRefused(window, holder, heldWhenPressed);
            QTRY_VERIFY_WITH_TIMEOUT(!sweep->sweepRunning() && !window.outputs().isHeld(), 20000);
        }
        QVERIFY(!window.outputs().isHeld());

        // The tool has ended: the same button switches the feedback on.
        Prompts::clear();
        m_program->link->refreshData();
        QMetaObject::invokeMethod(window.findChild<HeartBeat*>(), "refreshFields");
        QCOMPARE(button->text(), QString("Enable Feedback"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(SimControl::callCount("setFBenable", 1), 1);
        QCOMPARE(SimControl::sent().fbEnable, uint8_t(1));
        QVERIFY(Prompts::shown().isEmpty());
    }

    void panelNamesTheHolderWhileTheFeedbackRuns()
    {
        MainWindow window;
        QVERIFY(::setFBenable(1) >= 0);
        m_program->link->refreshData();
        auto* panel = window.findChild<HeartBeat*>();
        QLabel* panelNote = panel->findChild<QLabel*>("heartbeatNote");
        QMetaObject::invokeMethod(panel, "refreshFields");
        QVERIFY(panelNote->isHidden());

        // Another client switched the outputs away from the loop: said without a tool to name.
        QVERIFY(::setOutputMux(0) >= 0);
        m_program->link->refreshData();
        QMetaObject::invokeMethod(panel, "refreshFields");
        QCOMPARE(panel->findChild<QLabel*>("heartbeatLabel")->text(), QString("Feedback ON"));
        QVERIFY(panelNote->isVisibleTo(panel));
        QVERIFY(panelNote->text().contains("output multiplexer 0"));

        // A tool takes the outputs: named at once.
        auto lease = window.outputs().take(QStringLiteral("3D Rocking Curve"));
        QVERIFY(panelNote->text().contains("3D Rocking Curve holds them"));
        lease.reset();
        QVERIFY(::setOutputMux(1) >= 0);
        m_program->link->refreshData();
        QMetaObject::invokeMethod(panel, "refreshFields");
        QVERIFY(panelNote->isHidden());
    }

    // ---- the reads the window acts on while it is built -------------------------

    void startReads_data()
    {
        QTest::addColumn<QString>("version");     // empty: the start-up read failed
        QTest::addColumn<QString>("failing");     // the library call that fails (or answers 0 with nothing), if any
        QTest::addColumn<int>("controllerHz");
        QTest::addColumn<int>("sampFreq");
        QTest::addColumn<bool>("settingsEntry");
        QTest::addColumn<QString>("told");        // a part of the status bar's note; empty: none

        QTest::newRow("all read") << "1.0.10" << "" << 5000 << 5000 << true << "";
        QTest::newRow("old controller: fixed rate, no entry, nothing to tell")
            << "1.0.02" << "" << 5000 << 1000 << false << "";
        QTest::newRow("versions not read: never compared, and told")
            << "" << "" << 5000 << 1000 << false << "getSystemVersion failed";
        QTest::newRow("rate not read: assumed and told") << "1.0.10" << "getDisplayFreq" << 5000 << 1000 << true
                                                         << "getDisplayFreq failed";
        QTest::newRow("rate of 0 reported: unusable, told")
            << "1.0.10" << "getDisplayFreq answers 0" << 5000 << 1000 << true << "reported a display rate of 0 Hz";
    }

    void startReads()
    {
        QFETCH(QString, version);
        QFETCH(QString, failing);
        QFETCH(int, controllerHz);
        QFETCH(int, sampFreq);
        QFETCH(bool, settingsEntry);
        QFETCH(QString, told);
        SW_VERSION = version;
        QVERIFY(::setDisplayFreq(controllerHz, 0) >= 0);
        const int setsBefore = SimControl::callCount("setDisplayFreq");
        // "answers 0": the call succeeds and leaves the rate as the wrapper set it before, 0.
        if (!failing.isEmpty())
            SimControl::failCall(failing.section(' ', 0, 0).toStdString(), failing.endsWith("answers 0") ? 0 : -1);

        MainWindow window;
        QCOMPARE(loadSampFreq(), sampFreq);
        QCOMPARE(action(window, "action_Display_Settings")->isVisible(), settingsEntry);
        QLabel* controllerNote = note(window, "controllerNote");
        QCOMPARE(showing(window, controllerNote), !told.isEmpty());
        QVERIFY2(controllerNote->text().contains(told), qPrintable(controllerNote->text()));
        // The window sends no rate of its own, whatever it read.
        QCOMPARE(SimControl::callCount("setDisplayFreq"), setsBefore);
        QCOMPARE(SimControl::sent().displayHz, controllerHz);
        if (version.isEmpty())
            QVERIFY(controllerNote->text().contains("Display Settings and the BPM offsets are not offered"));
        QVERIFY(Prompts::shown().isEmpty());
    }

    void statusNotYetReadIsNotShownAsOff()
    {
        m_program.emplace(
            ProgramFixture::Options().withUpdater().atUserLevel(USER_LEVEL_USER).withSwVersion("1.0.10"));
        SimControl::failCall("getPIDstatus", -1);
        m_program->link->refreshData();
        MainWindow window;
        auto* panel = window.findChild<HeartBeat*>();
        QCOMPARE(panel->findChild<QLabel*>("heartbeatLabel")->text(), QString("No status read"));
    }

    // ---- Display Settings while a tool holds the outputs --------------------------

    void displaySettingsOfTheWindowRefuseWhileHeld()
    {
        MainWindow window;
        // As the sweep leaves the controller while it runs.
        storeSampFreq(10000);
        QVERIFY(m_program->link->setDisplayFreq(0) >= 0);
        const int setsBefore = SimControl::callCount("setDisplayFreq");
        auto lease = window.outputs().take(QStringLiteral("Frequency Analysis Tool"));

        action(window, "action_Display_Settings")->trigger();
        auto* settings = window.findChild<WindowDisplaySettings*>();
        settings->findChild<QDoubleSpinBox*>("dispFreqBox")->setValue(2000);
        settings->findChild<QPushButton*>("pushButtonApply")->click();
        QCOMPARE(SimControl::callCount("setDisplayFreq"), setsBefore);
        QCOMPARE(SimControl::sent().displayHz, 10000);
        QCOMPARE(loadSampFreq(), 10000);
        QCOMPARE(Prompts::shown().size(), 1);
        QVERIFY(Prompts::shown().first().text.contains("Frequency Analysis Tool"));
    }

private:
    static void checkRefused(const MainWindow& window, const QString& holder, const QString& heldWhenPressed)
    {
        QCOMPARE(heldWhenPressed, holder);
        // Nothing reached the controller's feedback enable but the tool's own switch-off.
        QCOMPARE(SimControl::callCount("setFBenable", 1), 0);
        QCOMPARE(SimControl::sent().fbEnable, uint8_t(0));
        QVERIFY(!feedbackButton(window)->isChecked());
        bool named = false;
        for (const Prompts::Shown& shown : Prompts::shown())
            named = named || shown.text == OutputOwner::busyText(holder);
        QVERIFY2(named, qPrintable(holder));
    }

    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestMainWindowStatus)
#include "tst_mainwindow_status.moc"
