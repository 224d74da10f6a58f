// The main window against the simulated controller: title, menus, docks and
// their tab group, graph registration, device presence and user-level gating.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <optional>

#include <qcustomplot.h>

#include "BPM.h"
#include "DeviceIo.h"
#include "DialogLogin.h"
#include "Globals.h"
#include "HeartBeat.h"
#include "MeasurementClock.h"
#include "MainWindow.h"
#include "MainWindowRules.h"
#include "Prompts.h"
#include "SimControl.h"
#include "Updater.h"
#include "VornLibrary.h"
#include "WidgetGraphCurrents.h"
#include "WidgetGraphFFT.h"
#include "WidgetGraphInt.h"
#include "WidgetGraphPos.h"
#include "WidgetGraphXY.h"
#include "WindowBeamlineConf.h"
#include "WindowROC_ROI.h"
#include "WidgetFeedbackControl.h"
#include "WidgetPidCtrl.h"
#include "WidgetStats.h"
#include "WindowPIDparams.h"
#include "WindowRockingCurve.h"
#include "WindowStepResponse.h"
#include "WindowSaveData.h"
#include "WindowFrequencyAnalysis.h"
#include "DeviceIo.h"
#include "support/ProgramFixture.h"
#include "support/SteppedMeasurementClock.h"

namespace {

// Real time, as the program waits; `onWait` runs on the waiting thread as each wait begins.
class RealTimeClock final : public MeasurementClock
{
public:
    std::function<void(int)> onWait;

    void sleepMicroseconds(long microseconds) override { MeasurementClock::system().sleepMicroseconds(microseconds); }
    void waitOn(QWaitCondition& condition, QMutex& mutex, int ms) override
    {
        if (onWait)
            onWait(m_waits++);
        MeasurementClock::system().waitOn(condition, mutex, ms);
    }

private:
    int m_waits = 0;
};

const QStringList TAB_GROUP{"Graph FFT",        "Graph Currents BPM1", "Graph Currents BPM2", "Graph DAC",
                            "Graph Position X", "Graph Position Y",    "Graph Intensity"};

// Object name and text of each entry of one menu; "-" stands for a separator.
using Entries = QList<QPair<QString, QString>>;

QDockWidget* dockTitled(const MainWindow& window, const QString& title)
{
    for (QDockWidget* dock : window.findChildren<QDockWidget*>())
        if (dock->windowTitle() == title)
            return dock;
    return nullptr;
}

QAction* action(const MainWindow& window, const char* name)
{
    return window.findChild<QAction*>(name);
}

template <class Graph>
Graph* graphIn(const MainWindow& window, const QString& dockTitle)
{
    QDockWidget* dock = dockTitled(window, dockTitle);
    return dock ? qobject_cast<Graph*>(dock->widget()) : nullptr;
}

QCustomPlot* plotOf(QWidget* graph)
{
    return graph->findChild<QCustomPlot*>("graph");
}

// Hidden by its own flag, whether or not the window has been shown.
bool hiddenBox(QWidget* graph, const char* name)
{
    return graph->findChild<QCheckBox*>(name)->isHidden();
}

// A graph whose containers can go missing, to see what the set-up pattern skips.
class FakeGraph : public QObject
{
    Q_OBJECT

public:
    FakeGraph(int count, int missing)
    {
        for (int i = 0; i < count; ++i)
            containers << (i == missing ? GraphData() : GraphData::create());
    }
    GraphData getGraphData(int index) const { return containers.value(index); }

    QList<GraphData> containers;
    int replots = 0;

public slots:
    void replot() { ++replots; }
};

// A scatter whose container can go missing.
class FakeScatter : public QObject
{
    Q_OBJECT

public:
    explicit FakeScatter(bool withContainer)
        : container(withContainer ? GraphData::create() : GraphData())
    {
    }
    GraphData getGraphData() const { return container; }
    void resetZoom() { ++zoomResets; }

    GraphData container;
    int zoomResets = 0;
    int replots = 0;

public slots:
    void replot() { ++replots; }
};

// graphXY1 (BPM1) and graphXY2 (BPM2) of the window.
QList<WidgetGraphXY*> scattersOf(const MainWindow& window)
{
    QList<WidgetGraphXY*> scatters = window.findChildren<WidgetGraphXY*>();
    std::sort(scatters.begin(), scatters.end(),
              [](const WidgetGraphXY* a, const WidgetGraphXY* b) { return a->bpmIndex() < b->bpmIndex(); });
    return scatters;
}

// The receivers of one signal, in the order the main window connects them. Each
// is named by what it visibly changes; add a receiver's name at its place here
// and a watch on what it changes in the tests below.
const QStringList LEVEL_RECEIVERS{"feedback control", "PID editors", "ROC/ROI limits", "beamline configuration",
                                  "main window"};
const QStringList PRESENCE_RECEIVERS{"main window", "beamline configuration", "ROC/ROI limits", "statistics"};

// Records, during one emission, which watched receiver reacted and in what order:
// a widget enabled or disabled, an action enabled or disabled, a widget shown or hidden.
class ReactionLog : public QObject
{
public:
    void watchEnabled(QWidget* widget, const QString& name) { watch(widget, name, {QEvent::EnabledChange}); }
    void watchShown(QWidget* widget, const QString& name)
    {
        watch(widget, name, {QEvent::ShowToParent, QEvent::HideToParent});
    }
    void watchAction(QAction* action, const QString& name)
    {
        connect(action, &QAction::enabledChanged, this, [this, name] { note(name); });
    }

    QStringList order;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (m_events.value(watched).contains(event->type()))
            note(m_names.value(watched));
        return false;
    }

private:
    void watch(QObject* object, const QString& name, const QList<QEvent::Type>& types)
    {
        m_names[object] = name;
        m_events[object] = types;
        object->installEventFilter(this);
    }
    void note(const QString& name)
    {
        if (order.isEmpty() || order.last() != name)
            order << name;
    }

    QHash<QObject*, QString> m_names;
    QHash<QObject*, QList<QEvent::Type>> m_events;
};

bool near(double actual, double expected)
{
    return qAbs(actual - expected) <= 1e-9 * qMax(1.0, qAbs(expected));
}

}  // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_program.emplace(ProgramFixture::Options()
                              .withUpdater()
                              .atUserLevel(USER_LEVEL_USER)
                              .withSwVersion("1.0.10")
                              .withPosScale(1000.0));
        m_program->config->saveROCandROI(0, 100.0, 50.0, 0.0, 1e-3, 110.0);
        m_program->config->saveROCandROI(1, 20.0, 10.0, 0.0, 1e-3, 150.0);
    }

    void cleanup() { m_program.reset(); }

    void titleFromBuildNumber()
    {
        MainWindow window;
        QCOMPARE(window.windowTitle(), QString("VORN Rivuz User Interface v2.0.1"));
        QVERIFY(Prompts::shown().isEmpty());
    }

    void styleSheetIsInTheBundle()
    {
        // The bundle lives in a static library; the window's reference keeps it linked.
        QFile styleSheet(":/qss/style.qss");
        QVERIFY(styleSheet.open(QIODevice::ReadOnly));
        QVERIFY(!styleSheet.readAll().isEmpty());
    }

    void missingBuildNumberShowsBoxAndEndsTitleAtPoint()
    {
        Q_CLEANUP_RESOURCE(main);
        std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>();
        Q_INIT_RESOURCE(main);

        QCOMPARE(window->windowTitle(), QString("VORN Rivuz User Interface v2.0."));
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Information);
        QCOMPARE(shown[0].title, QString("error"));
        QVERIFY(!shown[0].text.isEmpty());
    }

    void buildNumberIsFirstLineOnly()
    {
        QTemporaryDir dir(testDirTemplate("mainwindow"));
        QVERIFY(dir.isValid());
        QFile file(dir.filePath(".buildnumber"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("17\nsecond line\n");
        file.close();

        QCOMPARE(MainWindowRules::readBuildNumber(file.fileName()), QString("17"));
        QCOMPARE(MainWindowRules::readBuildNumber(dir.filePath("absent")), QString());
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(MainWindowRules::windowTitle("17"), QString("VORN Rivuz User Interface v2.0.17"));
    }

    void menuBarOrder()
    {
        MainWindow window;
        QStringList names, titles;
        for (QAction* entry : window.menuBar()->actions()) {
            names << entry->menu()->objectName();
            titles << entry->text();
        }
        QCOMPARE(names, QStringList({"menu_FIle", "menu_Tools", "menu_Tools_2", "menu_Help"}));
        QCOMPARE(titles, QStringList({"&File", "&Settings", "&Tools", "&Help"}));
    }

    void menuEntries_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<Entries>("entries");

        QTest::newRow("&File holds only Exit") << "menu_FIle" << Entries{{"action_Exit", "&Exit"}};
        QTest::newRow("&Settings, the beamline entry ends in a blank")
            << "menu_Tools"
            << Entries{{"action_Display_Settings", "&Display Settings"},
                       {"actionPico_Amp", "Pico&Amp"},
                       {"action_Beamline_Settings", "&Beamline "},
                       {"action_PID_Parameters", "&PID Parameters"},
                       {"action_ROC_ROI", "&ROC/ROI"},
                       {"actionSFP_info", "SFP &Info"},
                       {"action_Login", "&Login"}};
        QTest::newRow("&Tools, save data after the separator")
            << "menu_Tools_2"
            << Entries{{"action_Rocking_Curve", "&Rocking Curve"},
                       {"actionRocking_Curve_3D", "Rocking Curve &3D"},
                       {"actionStep_Response", "Step &Response (beta version)"},
                       {"actionFrequency_Analysis", "Frequency Analysis"},
                       {"actionManual_Output_Control", "Manual Output Control"},
                       {"-", ""},
                       {"action_Save_Data", "&Save Data"}};
        QTest::newRow("&Help") << "menu_Help" << Entries{{"action_Log", "&Log"}, {"action_About", "&About"}};
    }

    void menuEntries()
    {
        QFETCH(QString, menu);
        QFETCH(Entries, entries);

        MainWindow window;
        QMenu* found = window.findChild<QMenu*>(menu);
        QVERIFY(found);
        Entries actual;
        for (QAction* entry : found->actions()) {
            if (entry->isSeparator())
                actual.append(qMakePair(QString("-"), QString()));
            else
                actual.append(qMakePair(entry->objectName(), entry->text()));
        }
        QCOMPARE(actual, entries);
    }

    void formActions()
    {
        MainWindow window;
        const QList<QAction*> actions = window.findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly);
        QStringList inNoMenu;
        int formActions = 0;
        for (QAction* a : actions) {
            if (a->objectName().isEmpty() || a->menu())
                continue;
            ++formActions;
            QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->objectName()));
            QVERIFY2(!a->isCheckable(), qPrintable(a->objectName()));
            if (a->associatedObjects().size() == 0)
                inNoMenu << a->objectName();
        }
        QCOMPARE(formActions, 24);
        inNoMenu.sort();
        QStringList unused{"actionNew_Currents_Window", "actionNew_FFT_Window", "actionNew_XY_Window",
                           "actionGraph_XY1",           "actionGraph_XY2",      "actionGraph_FFT",
                           "actionGraph_Currents",      "actionPosition_Filter_Settings"};
        unused.sort();
        QCOMPARE(inNoMenu, unused);
    }

    void persistentDialogsFromTheirEntries_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("dialog");

        QTest::newRow("Manual Output Control") << "actionManual_Output_Control" << "WindowManOutCtrl";
        QTest::newRow("Pico&Amp") << "actionPico_Amp" << "WindowPico";
        QTest::newRow("SFP &Info") << "actionSFP_info" << "WindowSFPstatus";
    }

    void persistentDialogsFromTheirEntries()
    {
        QFETCH(QString, entry);
        QFETCH(QString, dialog);

        MainWindow window;
        // Created once with the window, hidden until asked for.
        const QList<QDialog*> found = window.findChildren<QDialog*>(dialog, Qt::FindDirectChildrenOnly);
        QCOMPARE(found.size(), 1);
        QVERIFY(!found[0]->isVisible());
        window.findChild<QAction*>(entry)->trigger();
        QVERIFY(found[0]->isVisible());
        found[0]->hide();
        window.findChild<QAction*>(entry)->trigger();
        QVERIFY(found[0]->isVisible());
        QCOMPARE(window.findChildren<QDialog*>(dialog, Qt::FindDirectChildrenOnly), found);
    }

    void saveDataEntryOpensANewDialogEachTime()
    {
        MainWindow window;
        action(window, "action_Save_Data")->trigger();
        action(window, "action_Save_Data")->trigger();
        const QList<WindowSaveData*> dialogs = window.findChildren<WindowSaveData*>();
        QCOMPARE(dialogs.size(), 2);
        for (WindowSaveData* dialog : dialogs) {
            QCOMPARE(dialog->parentWidget(), &window);
            QVERIFY(dialog->isVisible());
            QVERIFY(!dialog->isModal());
        }
        // A closed one goes away, by its close box or its Close button. (The raster
        // scan's entry is checked where OpenGL runs.)
        dialogs[0]->close();
        QTRY_COMPARE(window.findChildren<WindowSaveData*>().size(), 1);
        dialogs[1]->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close)->click();
        QTRY_VERIFY(window.findChildren<WindowSaveData*>().isEmpty());
    }

    void logEntryShowsTheOneLogWindow()
    {
        MainWindow window;
        QsLogging::Window* log = window.logWindow();
        QVERIFY(!log->parent());
        QVERIFY(!log->isVisible());
        action(window, "action_Log")->trigger();
        QVERIFY(log->isVisible());
        log->hide();
        action(window, "action_Log")->trigger();
        QCOMPARE(window.logWindow(), log);
        QVERIFY(log->isVisible());
    }

    void stepResponseIsOneWindowShownWithItsBiases()
    {
        m_program->config->savePIDX(0, 0, 0, 0, 0, 0, 0, 0, 0, 4.25);
        MainWindow window;
        const QList<WindowStepResponse*> built = window.findChildren<WindowStepResponse*>();
        QCOMPARE(built.size(), 1);
        QVERIFY(!built[0]->isVisible());
        action(window, "actionStep_Response")->trigger();
        QVERIFY(built[0]->isVisible());
        QCOMPARE(built[0]->findChild<QDoubleSpinBox*>("posXbiasDoubleSpinBox")->value(), 4.25);
        built[0]->hide();
        action(window, "actionStep_Response")->trigger();
        QCOMPARE(window.findChildren<WindowStepResponse*>(), built);
        QVERIFY(built[0]->isVisible());
    }

    void rockingCurveIsANewWindowAtEveryCall()
    {
        MainWindow window;
        QVERIFY(window.findChildren<WindowRockingCurve*>().isEmpty());
        action(window, "action_Rocking_Curve")->trigger();
        action(window, "action_Rocking_Curve")->trigger();
        const QList<WindowRockingCurve*> opened = window.findChildren<WindowRockingCurve*>();
        QCOMPARE(opened.size(), 2);
        QVERIFY(opened[0]->isVisible() && opened[1]->isVisible());
        // Closed, it is deleted; the other stays.
        QPointer<WindowRockingCurve> closed(opened[0]);
        closed->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!closed);
        QCOMPARE(window.findChildren<WindowRockingCurve*>(), QList<WindowRockingCurve*>{opened[1]});
    }

    // File > Exit and a closed main window during a rocking-curve scan: the scan
    // stops within a second, hands the outputs back, and the loop ends with 0.
    void exitDuringAScan_data() { exitPaths_data(); }

    void exitDuringAScan()
    {
        QFETCH(bool, byClosing);
        m_program->setPidOffset(1, 5.0);
        SteppedMeasurementClock clock;
        MainWindow window(nullptr, clock);
        window.show();
        const int openBefore = SimControl::openFileCount(DEVICE_ZENTRIM0) + SimControl::openFileCount(DEVICE_ORVANE);
        double askedAt = -1.0;
        clock.beforeEach = [&](int) {
            if (SimControl::sent().dacWrites != 3 || askedAt >= 0.0)
                return;
            askedAt = SimControl::now();
            if (byClosing)
                window.close();
            else
                action(window, "action_Exit")->trigger();
        };
        QTimer::singleShot(0, &window, [&] {
            action(window, "action_Rocking_Curve")->trigger();
            WindowRockingCurve* scan = window.findChild<WindowRockingCurve*>();
            scan->findChild<QDoubleSpinBox*>("boxTimePoint")->setValue(100.0);
            scan->findChild<QPushButton*>("buttonStart")->click();
        });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(10000);
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(askedAt >= 0.0);
        QVERIFY2(SimControl::now() - askedAt <= 1.0, qPrintable(QString::number(SimControl::now() - askedAt)));
        QCOMPARE(SimControl::sent().dacWrites, 3);
        QCOMPARE(int(SimControl::sent().outputMux), 1);
        QCOMPARE(SimControl::openFileCount(DEVICE_ZENTRIM0) + SimControl::openFileCount(DEVICE_ORVANE), openBefore);
        QVERIFY(!window.outputs().isHeld());
    }

    void exitPaths_data()
    {
        QTest::addColumn<bool>("byClosing");
        QTest::newRow("File > Exit") << false;
        QTest::newRow("main window closed") << true;
    }

    // Both end the event loop with 0 and first ask the tool that holds the outputs to stop.
    void exitPaths()
    {
        QFETCH(bool, byClosing);
        MainWindow window;
        window.show();
        // The log window open does not keep the program alive.
        window.logWindow()->show();
        int stops = 0;
        auto lease = window.outputs().take(QStringLiteral("Rocking Curve"), [&] { ++stops; });
        QVERIFY(lease);

        QTimer::singleShot(0, &window, [&] {
            if (byClosing)
                window.close();
            else
                action(window, "action_Exit")->trigger();
        });
        // The application's own loop, as in the program: its end also clears the
        // quit state, so later tests can still run event loops.
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(5000);
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(stops, 1);
        QVERIFY(lease->stopRequested());
        window.logWindow()->hide();
    }

    void exitStopsARunningSweep_data()
    {
        QTest::addColumn<bool>("byClosing");
        QTest::addColumn<bool>("realTime");
        QTest::newRow("File > Exit") << false << false;
        QTest::newRow("main window closed") << true << false;
        QTest::newRow("File > Exit during a wait of minutes") << false << true;
    }

    // The sweep ends after its call in progress, the program with 0, and the window
    // goes as main lets it go, with no event processed after the loop: nothing of
    // the step in progress is plotted, and nothing is left running or allocated.
    void exitStopsARunningSweep()
    {
        QFETCH(bool, byClosing);
        QFETCH(bool, realTime);
        auto window = std::make_unique<MainWindow>();
        window->show();
        auto* analysis = window->findChild<WindowFrequencyAnalysis*>();
        QVERIFY(analysis);
        // 200 s of waiting before the first 0.1 Hz point, in real time.
        analysis->findChild<QLineEdit*>("startFreqLineEdit")->setText(realTime ? "0.1" : "20");
        analysis->findChild<QLineEdit*>("stopFreqLineEdit")->setText(realTime ? "1" : "400");
        analysis->findChild<QLineEdit*>("lengthLineEdit")->setText("5");

        QElapsedTimer sinceExit;
        const auto exitNow = [&] {
            sinceExit.start();
            if (byClosing)
                window->close();
            else
                action(*window, "action_Exit")->trigger();
        };
        SteppedMeasurementClock stepped;
        RealTimeClock real;
        if (realTime) {
            // Queued: the sweep holds its lock until its wait has begun.
            real.onWait = [&](int) { QMetaObject::invokeMethod(window.get(), exitNow, Qt::QueuedConnection); };
            analysis->setMeasurementClock(real);
        } else {
            // While the second step waits.
            stepped.beforeEach = [&](int n) {
                if (n == 1)
                    QMetaObject::invokeMethod(window.get(), exitNow, Qt::BlockingQueuedConnection);
            };
            analysis->setMeasurementClock(stepped);
        }
        QTimer::singleShot(0, analysis, [analysis] {
            analysis->findChild<QPushButton*>("StartSweepPushButton")->click();
        });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(30000);
        QCOMPARE(QCoreApplication::exec(), 0);
        guard.stop();
        QVERIFY(sinceExit.isValid());
        QCOMPARE(analysis->findChild<QCustomPlot*>("graphMg")->graph(0)->dataCount(), realTime ? 0 : 1);
        // Ended by the request itself, not by the window's destruction below.
        QDeadlineTimer deadline(1000);
        while (analysis->sweepRunning() && !deadline.hasExpired())
            QThread::yieldCurrentThread();
        QVERIFY(!analysis->sweepRunning());

        window.reset();
        QVERIFY2(sinceExit.elapsed() < 1000, qPrintable(QString::number(sinceExit.elapsed())));
        QVERIFY(!SimControl::sent().genEnabled);
        QCOMPARE(SimControl::callCount("funcGenEnable", 1), realTime ? 1 : 2);
        QCOMPARE(SimControl::sent().displayHz, 1000);
        QCOMPARE(loadSampFreq(), 1000);
        QCOMPARE(SimControl::openFileCount(DEVICE_DISPLAY), 0);
    }

    void frequencyAnalysisIsOneDialogOfTheWindow()
    {
        MainWindow window;
        const QList<WindowFrequencyAnalysis*> dialogs = window.findChildren<WindowFrequencyAnalysis*>();
        QCOMPARE(dialogs.size(), 1);
        WindowFrequencyAnalysis* dialog = dialogs.first();
        QCOMPARE(dialog->parent(), &window);
        QVERIFY(!dialog->isVisible());
        action(window, "actionFrequency_Analysis")->trigger();
        QVERIFY(dialog->isVisible());
        dialog->close();
        action(window, "actionFrequency_Analysis")->trigger();
        QCOMPARE(window.findChildren<WindowFrequencyAnalysis*>(), dialogs);
        QVERIFY(dialog->isVisible());
    }

    void exitEndsTheEventLoop()
    {
        MainWindow window;
        QEventLoop loop;
        QTimer::singleShot(0, &window, [&window] { action(window, "action_Exit")->trigger(); });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, &loop, [&loop] { loop.exit(99); });
        guard.start(10000);
        QCOMPARE(loop.exec(), 0);
    }

    void displaySettingsBySoftwareVersion_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("failRead");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<int>("sampFreq");

        QTest::newRow("empty version sorts first, fixed 1000 Hz") << "" << false << false << 1000;
        QTest::newRow("1.0.01 is before") << "1.0.01" << false << false << 1000;
        QTest::newRow("1.0.02 itself is not after") << "1.0.02" << false << false << 1000;
        QTest::newRow("0.9.99 is before") << "0.9.99" << false << false << 1000;
        QTest::newRow("1.0.10 is after at the fifth character, rate from hardware")
            << "1.0.10" << false << true << 2500;
        QTest::newRow("1.0.3 is after as a string") << "1.0.3" << false << true << 2500;
        QTest::newRow("1.1.00 is after") << "1.1.00" << false << true << 2500;
        QTest::newRow("a failed rate read keeps 1000 Hz instead of 0") << "1.0.10" << true << true << 1000;
    }

    void displaySettingsBySoftwareVersion()
    {
        QFETCH(QString, version);
        QFETCH(bool, failRead);
        QFETCH(bool, visible);
        QFETCH(int, sampFreq);

        QVERIFY(setDisplayFreq(2500, 0) >= 0);
        if (failRead)
            SimControl::failCall("getDisplayFreq");
        SW_VERSION = version;
        storeSampFreq(777);

        MainWindow window;
        QCOMPARE(action(window, "action_Display_Settings")->isVisible(), visible);
        QCOMPARE(loadSampFreq(), sampFreq);
        QCOMPARE(MainWindowRules::displaySettingsAvailable(version), visible);
    }

    void dockLayout()
    {
        MainWindow window;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window.centralWidget());

        QDockWidget* xy = dockTitled(window, "Graph XY");
        QDockWidget* fft = dockTitled(window, "Graph FFT");
        QDockWidget* control = dockTitled(window, "Control");
        QVERIFY(xy && fft && control);
        QCOMPARE(window.dockWidgetArea(xy), Qt::LeftDockWidgetArea);
        QCOMPARE(window.dockWidgetArea(fft), Qt::LeftDockWidgetArea);
        QCOMPARE(window.dockWidgetArea(control), Qt::RightDockWidgetArea);
        QVERIFY(!xy->isHidden());
        QCOMPARE(xy->sizePolicy(), QSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred));
        QCOMPARE(fft->sizePolicy(), QSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred));
        QCOMPARE(fft->maximumHeight(), 396);
        QCOMPARE(control->minimumWidth(), 340);
        QCOMPARE(control->maximumWidth(), 340);

        for (const QString& title : TAB_GROUP) {
            QDockWidget* dock = dockTitled(window, title);
            QVERIFY2(dock, qPrintable(title));
            QCOMPARE(window.dockWidgetArea(dock), Qt::LeftDockWidgetArea);
            QCOMPARE(dock->features(), QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                                           QDockWidget::DockWidgetFloatable);
        }
        QVERIFY(graphIn<WidgetGraphCurrents>(window, "Graph Currents BPM1"));
        QVERIFY(graphIn<WidgetGraphCurrents>(window, "Graph Currents BPM2"));
        QVERIFY(graphIn<WidgetGraphCurrents>(window, "Graph DAC"));
        QVERIFY(graphIn<WidgetGraphPos>(window, "Graph Position X"));
        QVERIFY(graphIn<WidgetGraphPos>(window, "Graph Position Y"));
        QVERIFY(graphIn<WidgetGraphInt>(window, "Graph Intensity"));

        // Both scatters side by side in "Graph XY", BPM1 on the left; the spectrum in "Graph FFT".
        auto* row = qobject_cast<QHBoxLayout*>(xy->widget()->layout());
        QVERIFY(row);
        QCOMPARE(row->count(), 2);
        auto* left = qobject_cast<WidgetGraphXY*>(row->itemAt(0)->widget());
        auto* right = qobject_cast<WidgetGraphXY*>(row->itemAt(1)->widget());
        QVERIFY(left && right);
        QCOMPARE(left->bpmIndex(), 0);
        QCOMPARE(right->bpmIndex(), 1);
        QVERIFY(graphIn<WidgetGraphFFT>(window, "Graph FFT"));
        QCOMPARE(plotOf(graphIn<WidgetGraphFFT>(window, "Graph FFT"))->graphCount(), 2);
    }

    void controlTabs()
    {
        MainWindow window;
        // The heartbeat panel and this tab widget share the dock's inner widget.
        auto* tabs = dockTitled(window, "Control")->widget()->findChild<QTabWidget*>(QString(),
                                                                                     Qt::FindDirectChildrenOnly);
        QVERIFY(tabs);
        QStringList titles;
        for (int i = 0; i < tabs->count(); ++i)
            titles << tabs->tabText(i);
        QCOMPARE(titles, QStringList({"Feedback", "PID Params", "Stats"}));
        QVERIFY(qobject_cast<WidgetFeedbackControl*>(tabs->widget(0)));
        QVERIFY(qobject_cast<WidgetPidCtrl*>(tabs->widget(1)));
        QVERIFY(qobject_cast<WidgetStats*>(tabs->widget(2)));
        QCOMPARE(tabs->currentIndex(), 0);
    }

    void pidEntryShowsTheOnePicture()
    {
        MainWindow window;
        const QList<WindowPIDparams*> pictures = window.findChildren<WindowPIDparams*>();
        QCOMPARE(pictures.size(), 1);
        WindowPIDparams* picture = pictures.first();
        QCOMPARE(picture->parentWidget(), &window);
        QVERIFY(!picture->isVisible());

        window.show();
        action(window, "action_PID_Parameters")->trigger();
        QVERIFY(picture->isVisible());
        QCOMPARE(picture->windowModality(), Qt::NonModal);
        QCOMPARE(picture->windowTitle(), QString("PID Parameters"));
        picture->close();
        action(window, "action_PID_Parameters")->trigger();
        QVERIFY(picture->isVisible());
        QCOMPARE(window.findChildren<WindowPIDparams*>().size(), 1);
    }

    // The PID editors follow both level signals: usable at admin only.
    void pidEditorsFollowTheLevel()
    {
        USER_LEVEL = USER_LEVEL_CRUISE;
        SimControl::setLockStatus(USER_LEVEL_CRUISE);
        MainWindow window;
        DIALOG_LOGIN = new DialogLogin(&window);
        DIALOG_LOGIN->initConnections();
        auto* feedback = window.findChild<WidgetFeedbackControl*>();
        auto* pid = window.findChild<WidgetPidCtrl*>();
        QVERIFY(feedback && pid);
        auto* pidTabs = pid->findChild<QTabWidget*>("verticalTabWidget");
        QVERIFY(!feedback->isEnabled());
        QVERIFY(!pidTabs->isEnabled());

        ReactionLog log;
        log.watchEnabled(feedback, "feedback control");
        log.watchEnabled(pidTabs, "PID editors");
        log.watchAction(action(window, "actionManual_Output_Control"), "main window");
        const QStringList expected{"feedback control", "PID editors", "main window"};

        // A login as admin: the login dialog's signal enables the PID tabs.
        USER_LEVEL = USER_LEVEL_ADMIN;
        DIALOG_LOGIN->updateLevel();
        QCOMPARE(log.order, expected);
        QVERIFY(pidTabs->isEnabled());
        QVERIFY(pid->findChild<QPushButton*>("pushButtonUpdate")->isEnabled());

        // The lock status falls to cruise: the heartbeat's signal, same order.
        log.order.clear();
        SimControl::setLockStatus(USER_LEVEL_CRUISE);
        QVERIFY(QMetaObject::invokeMethod(window.findChild<HeartBeat*>(), "refreshFields"));
        QCOMPARE(log.order, expected);
        QVERIFY(!pidTabs->isEnabled());

        // Back at user: the feedback panel only, the PID tabs stay disabled.
        log.order.clear();
        SimControl::setLockStatus(USER_LEVEL_USER);
        QVERIFY(QMetaObject::invokeMethod(window.findChild<HeartBeat*>(), "refreshFields"));
        QCOMPARE(log.order, QStringList({"feedback control", "main window"}));
        QVERIFY(!pidTabs->isEnabled());
    }

    void tabGroupOrder()
    {
        MainWindow window;
        QDockWidget* fft = dockTitled(window, "Graph FFT");
        QStringList tabified{"Graph FFT"};
        for (QDockWidget* dock : window.tabifiedDockWidgets(fft))
            tabified << dock->windowTitle();
        QCOMPARE(tabified, TAB_GROUP);

        // With both picoammeters present every tab is on screen, in the same order.
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTabBar* group = nullptr;
        for (QTabBar* bar : window.findChildren<QTabBar*>())
            if (bar->count() == TAB_GROUP.size())
                group = bar;
        QVERIFY(group);
        QStringList tabs;
        for (int i = 0; i < group->count(); ++i)
            tabs << group->tabText(i);
        QCOMPARE(tabs, TAB_GROUP);
    }

    void everyGraphRegisteredAndReplotted()
    {
        MainWindow window;
        const QList<QPair<QString, int>> graphs{{"Graph Currents BPM1", 4}, {"Graph Currents BPM2", 4},
                                                {"Graph DAC", 4},           {"Graph Position X", 2},
                                                {"Graph Position Y", 2},    {"Graph Intensity", 2}};
        SimControl::step(1.0);
        UPDATER->updateGraphs();

        const int records = DISPLAY_BUFFER_BYTES / int(sizeof(DisplayRecord));
        const double lastTime = (records - 1) / 1000.0;
        for (const auto& [title, count] : graphs) {
            QWidget* graph = dockTitled(window, title)->widget();
            QCustomPlot* plot = plotOf(graph);
            QCOMPARE(plot->graphCount(), count);
            for (int i = 0; i < count; ++i)
                QVERIFY2(plot->graph(i)->data()->size() == records, qPrintable(title + " " + QString::number(i)));
            // Autoscale ran: the replot reached the widget and the x axis follows the data.
            QVERIFY2(qAbs(plot->xAxis->range().upper - lastTime) < 1e-9, qPrintable(title));
        }

        // The scatters get the last 1000 positions, each of its own BPM.
        const QList<WidgetGraphXY*> scatters = scattersOf(window);
        QCOMPARE(scatters.size(), 2);
        for (WidgetGraphXY* scatter : scatters) {
            QCOMPARE(plotOf(scatter)->graph(0)->data()->size(), Updater::SCATTER_POINTS);
            QCOMPARE(plotOf(scatter)->graph(0)->data(), scatter->getGraphData());
        }

        // Both spectra filled, and the replot autoscaled the frequency axis.
        QCustomPlot* spectrum = plotOf(dockTitled(window, "Graph FFT")->widget());
        QVERIFY(!spectrum->graph(0)->data()->isEmpty());
        QVERIFY(!spectrum->graph(1)->data()->isEmpty());
        QVERIFY(spectrum->xAxis->range().upper <= 500.0 + 1e-9);
    }

    void spectrumSettingsReachTheUpdater()
    {
        UPDATER->setFFTsource(3);
        MainWindow window;
        // Chosen while the window is built; the length stays the Updater's own.
        QCOMPARE(UPDATER->fftSource(), 24);
        QCOMPARE(UPDATER->fftLength(), 8192);

        QWidget* fft = dockTitled(window, "Graph FFT")->widget();
        fft->findChild<QComboBox*>("fFTLengthComboBox")->setCurrentIndex(2);
        fft->findChild<QComboBox*>("selectorComboBox")->setCurrentIndex(5);
        fft->findChild<QComboBox*>("comboBoxGraph")->setCurrentIndex(1);
        fft->findChild<QCheckBox*>("removeDCCheckBox")->setChecked(true);
        QCOMPARE(UPDATER->fftLength(), 256);
        QCOMPARE(UPDATER->fftSource(), 1);
        QCOMPARE(UPDATER->fftCumulative(), 1);
        QVERIFY(UPDATER->fftRemoveDC());
    }

    void scattersZoomedToTheirRoc()
    {
        MainWindow window;
        const QList<WidgetGraphXY*> scatters = scattersOf(window);
        QCOMPARE(scatters.size(), 2);
        // BPM1: ROI 100 x 50 at 110 %; BPM2: 20 x 10 at 150 %.
        const QList<QPointF> extents{{111.1, 55.55}, {30.3, 15.15}};
        for (int bpm = 0; bpm < 2; ++bpm) {
            QCustomPlot* plot = plotOf(scatters[bpm]);
            QVERIFY2(near(plot->xAxis->range().upper, extents[bpm].x()), qPrintable(QString::number(bpm)));
            QVERIFY(near(plot->xAxis->range().lower, -extents[bpm].x()));
            QVERIFY(near(plot->yAxis->range().upper, extents[bpm].y()));
            QVERIFY(near(plot->yAxis->range().lower, -extents[bpm].y()));
        }
    }

    void scatterClickReachesTheController()
    {
        QCOMPARE(setPIDconf(0), 0);
        BPM_SEL_X = 1;
        MainWindow window;
        window.resize(1600, 1000);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        WidgetGraphXY* scatter = scattersOf(window).value(0);
        QVERIFY(scatter);
        QCustomPlot* plot = plotOf(scatter);
        plot->replot();
        QSignalSpy changed(scatter, &WidgetGraphXY::XYchanged);

        // BPM1 does not feed the X loop, but its click still moves the loop's setpoint.
        QTest::mouseClick(scatter->findChild<QPushButton*>("targetEnable"), Qt::LeftButton);
        const QPoint pixel(qRound(plot->xAxis->coordToPixel(-40.0)), qRound(plot->yAxis->coordToPixel(0.0)));
        QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, pixel);
        QCOMPARE(SimControl::sent().setpoint[0], plot->xAxis->pixelToCoord(pixel.x()));
        QCOMPARE(changed.count(), 1);
        QVERIFY(Prompts::shown().isEmpty());
    }

    void scatterRegistration_data()
    {
        QTest::addColumn<bool>("graph");
        QTest::addColumn<bool>("container");
        QTest::addColumn<bool>("updater");
        QTest::addColumn<QString>("diagnostic");
        QTest::addColumn<int>("zoomResets");

        QTest::newRow("registered, zoom reset, replotted") << true << true << true << QString() << 1;
        QTest::newRow("no widget") << false << true << true << "graphXY1 pointer is null!" << 0;
        QTest::newRow("no container: no zoom reset either")
            << true << false << true << "graphXY1 data container is null!" << 0;
        QTest::newRow("no Updater: zoom reset, nothing registered")
            << true << true << false << "Updater pointer is null!" << 1;
    }

    void scatterRegistration()
    {
        QFETCH(bool, graph);
        QFETCH(bool, container);
        QFETCH(bool, updater);
        QFETCH(QString, diagnostic);
        QFETCH(int, zoomResets);

        FakeScatter scatter(container);
        if (!diagnostic.isEmpty())
            QTest::ignoreMessage(QtCriticalMsg, qPrintable(diagnostic));
        if (!updater)
            UPDATER = nullptr;
        const bool done = MainWindowRules::registerScatter(graph ? &scatter : nullptr, "graphXY1",
                                                           Updater::KindScatterBpm1);
        UPDATER = m_program->updater.get();
        QCOMPARE(done, diagnostic.isEmpty());
        QCOMPARE(scatter.zoomResets, zoomResets);

        SimControl::step(1.0);
        UPDATER->updateGraphs();
        QCOMPARE(scatter.replots, done ? 1 : 0);
        if (container)
            QCOMPARE(scatter.container->size(), done ? Updater::SCATTER_POINTS : 0);
    }

    void spectrumRegistrationNamesTheIndex()
    {
        FakeGraph graph(2, 1);
        QTest::ignoreMessage(QtCriticalMsg, "graphFFT1 data container is null!");
        QVERIFY(!MainWindowRules::registerGraph(&graph, "graphFFT", "graphFFT", Updater::KindSpectrum, 2));
    }

    void registrationPattern_data()
    {
        QTest::addColumn<int>("missing");
        QTest::addColumn<QString>("diagnostic");

        QTest::newRow("all four present: registered and replotted") << -1 << QString();
        QTest::newRow("first container missing") << 0 << "graphCurrents2_0 data container is null!";
        QTest::newRow("last container missing: the first three are not registered either")
            << 3 << "graphCurrents2_3 data container is null!";
    }

    void registrationPattern()
    {
        QFETCH(int, missing);
        QFETCH(QString, diagnostic);

        FakeGraph graph(4, missing);
        if (!diagnostic.isEmpty())
            QTest::ignoreMessage(QtCriticalMsg, qPrintable(diagnostic));
        const bool done = MainWindowRules::registerGraph(&graph, "graphCurrents2", "graphCurrents2_",
                                                         Updater::KindCurrentsBpm2, 4);
        QCOMPARE(done, missing < 0);

        SimControl::step(1.0);
        UPDATER->updateGraphs();
        QCOMPARE(graph.replots, missing < 0 ? 1 : 0);
        for (const GraphData& data : graph.containers)
            if (data)
                QCOMPARE(data->isEmpty(), missing >= 0);
    }

    void nullGraphIsReported()
    {
        QTest::ignoreMessage(QtCriticalMsg, "graphPosY pointer is null!");
        QVERIFY(!MainWindowRules::registerGraph(static_cast<FakeGraph*>(nullptr), "graphPosY", "graphPosY_",
                                                Updater::KindPositionY, 2));
    }

    void axisLabelsAndNames()
    {
        MainWindow window;
        const QList<QStringList> expected{{"Graph Currents BPM1", "Time [s]", "Current [A]"},
                                          {"Graph Currents BPM2", "Time [s]", "Current [A]"},
                                          {"Graph DAC", "Time [s]", "Voltage [V]"},
                                          {"Graph Position X", "Time [s]", "Position [um]", "X (BPM1)", "X (BPM2)"},
                                          {"Graph Position Y", "Time [s]", "Position [um]", "Y (BPM1)", "Y (BPM2)"},
                                          {"Graph Intensity", "Time [s]", "Intensity [A]", "Int BPM1", "Int BPM2"},
                                          {"Graph FFT", "Frequency [Hz]", ""}};
        for (const QStringList& row : expected) {
            QCustomPlot* plot = plotOf(dockTitled(window, row[0])->widget());
            QCOMPARE(plot->xAxis->label(), row[1]);
            QCOMPARE(plot->yAxis->label(), row[2]);
            for (int i = 3; i < row.size(); ++i)
                QCOMPARE(plot->graph(i - 3)->name(), row[i]);
        }
    }

    void presencePatterns_data()
    {
        QTest::addColumn<bool>("present0");
        QTest::addColumn<bool>("present1");

        QTest::newRow("mask 0: no picoammeter hides everything per BPM") << false << false;
        QTest::newRow("mask 1: BPM1 only") << true << false;
        QTest::newRow("mask 2: BPM2 only") << false << true;
        QTest::newRow("mask 3: both") << true << true;
    }

    void presencePatterns()
    {
        QFETCH(bool, present0);
        QFETCH(bool, present1);

        // Opposite presence at construction, so that the later emission must change everything.
        SimControl::setZentrimPresent(0, !present0);
        SimControl::setZentrimPresent(1, !present1);
        MainWindow window;
        checkPresence(window, !present0, !present1);

        SimControl::setZentrimPresent(0, present0);
        SimControl::setZentrimPresent(1, present1);
        // The carried mask is stale on purpose: only the library's answer counts.
        emit MAILBOX_COMM->nrZentrimsChanged(3 - (int(present0) | int(present1) << 1));
        checkPresence(window, present0, present1);
    }

    void currentDocksStartHidden()
    {
        SimControl::setZentrimPresent(0, false);
        SimControl::setZentrimPresent(1, false);
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!dockTitled(window, "Graph Currents BPM1")->isVisible());
        QVERIFY(!dockTitled(window, "Graph Currents BPM2")->isVisible());
        QVERIFY(dockTitled(window, "Graph DAC")->isVisibleTo(&window));
    }

    void userLevelGating_data()
    {
        QTest::addColumn<int>("startLevel");
        QTest::addColumn<QList<int>>("reported");
        QTest::addColumn<bool>("measurements");
        QTest::addColumn<bool>("manualOutput");

        QTest::newRow("user from start keeps every entry") << 1 << QList<int>{} << true << true;
        QTest::newRow("cruise from start disables all four") << 0 << QList<int>{} << false << false;
        QTest::newRow("library failure -1 disables all four") << 1 << QList<int>{-1} << false << false;
        QTest::newRow("cruise 0 disables all four") << 1 << QList<int>{0} << false << false;
        QTest::newRow("user 1 keeps every entry") << 1 << QList<int>{1} << true << true;
        QTest::newRow("admin 2 disables the measurements only") << 1 << QList<int>{2} << false << true;
        QTest::newRow("unknown 3 disables all four") << 1 << QList<int>{3} << false << false;
        QTest::newRow("admin then user again: measurements stay off") << 1 << QList<int>{2, 1} << false << true;
        QTest::newRow("cruise then user brings back manual output only") << 0 << QList<int>{1} << false << true;
        QTest::newRow("admin then cruise disables manual output") << 1 << QList<int>{2, 0} << false << false;
    }

    void userLevelGating()
    {
        QFETCH(int, startLevel);
        QFETCH(QList<int>, reported);
        QFETCH(bool, measurements);
        QFETCH(bool, manualOutput);

        // The heartbeat panel reads the start level from the library.
        SimControl::setLockStatus(startLevel);
        MainWindow window;
        for (int level : reported)
            QVERIFY(QMetaObject::invokeMethod(&window, "handleUserLevelChange", Q_ARG(int, level)));

        QCOMPARE(action(window, "action_Rocking_Curve")->isEnabled(), measurements);
        QCOMPARE(action(window, "actionRocking_Curve_3D")->isEnabled(), measurements);
        QCOMPARE(action(window, "actionStep_Response")->isEnabled(), measurements);
        QCOMPARE(action(window, "actionManual_Output_Control")->isEnabled(), manualOutput);
        // No other entry is gated here.
        QVERIFY(action(window, "actionFrequency_Analysis")->isEnabled());
        QVERIFY(action(window, "action_Save_Data")->isEnabled());
        QVERIFY(action(window, "action_Beamline_Settings")->isEnabled());
    }

    void beamlineEntryOpensTheOneDialog()
    {
        m_program->config->setOrient(1, 0);
        m_program->config->setScaleX(0, 640.0);
        // The heartbeat panel reads the level from the library while the window is built.
        SimControl::setLockStatus(USER_LEVEL_ADMIN);
        MainWindow window;
        auto* dialog = window.findChild<WindowBeamlineConf*>();
        QVERIFY(dialog);
        QCOMPARE(dialog->parent(), &window);
        QVERIFY(!dialog->isVisible());

        action(window, "action_Beamline_Settings")->trigger();
        QVERIFY(dialog->isVisible());
        BPM* box = dialog->findChild<BPM*>("boxBPM1");
        double x = 0, y = 0;
        box->getScaling(&x, &y);
        QCOMPARE(x, 640.0);
        QVERIFY(box->isEnabled());

        // Closed with edits unsaved, then opened again: the same dialog, reloaded.
        box->setScaling(5.0, 5.0);
        dialog->reject();
        action(window, "action_Beamline_Settings")->trigger();
        QCOMPARE(window.findChildren<WindowBeamlineConf*>().size(), 1);
        QVERIFY(dialog->isVisible());
        box->getScaling(&x, &y);
        QCOMPARE(x, 640.0);
    }

    void levelSignalsReachTheirReceiversInOrder_data()
    {
        QTest::addColumn<bool>("fromLogin");

        QTest::newRow("login dialog") << true;
        QTest::newRow("heartbeat panel") << false;
    }

    void levelSignalsReachTheirReceiversInOrder()
    {
        QFETCH(bool, fromLogin);

        MainWindow window;
        DIALOG_LOGIN = new DialogLogin(&window);
        DIALOG_LOGIN->initConnections();
        auto* heartbeat = window.findChild<HeartBeat*>();
        QVERIFY(heartbeat);
        auto announce = [&](int level) {
            USER_LEVEL = level;
            if (fromLogin)
                emit DIALOG_LOGIN->userLevelChanged(level);
            else
                emit heartbeat->userLevelChanged(level);
        };
        // Admin first, so that going to cruise changes every receiver's controls.
        announce(USER_LEVEL_ADMIN);

        ReactionLog log;
        log.watchEnabled(window.findChild<WidgetFeedbackControl*>(), "feedback control");
        log.watchEnabled(window.findChild<WidgetPidCtrl*>()->findChild<QTabWidget*>("verticalTabWidget"), "PID editors");
        log.watchEnabled(window.findChild<WindowROC_ROI*>()->findChild<QWidget*>("rocWidget0")->findChild<QDoubleSpinBox*>(),
                         "ROC/ROI limits");
        log.watchEnabled(window.findChild<WindowBeamlineConf*>()->findChild<BPM*>("boxBPM1"),
                         "beamline configuration");
        log.watchAction(action(window, "actionManual_Output_Control"), "main window");
        announce(USER_LEVEL_CRUISE);
        DIALOG_LOGIN = nullptr;

        QCOMPARE(log.order, LEVEL_RECEIVERS);
    }

    void presenceReachesItsReceiversInOrder()
    {
        MainWindow window;
        const QList<WidgetGraphXY*> scatters = scattersOf(window);
        QCOMPARE(scatters.size(), 2);
        BPM* secondBox = window.findChild<WindowBeamlineConf*>()->findChild<BPM*>("boxBPM2");
        QVERIFY(!scatters[1]->isHidden() && !secondBox->isHidden());

        ReactionLog log;
        log.watchShown(scatters[1], "main window");
        log.watchShown(secondBox, "beamline configuration");
        log.watchShown(window.findChild<WindowROC_ROI*>()->findChild<QWidget*>("rocWidget1"), "ROC/ROI limits");
        log.watchShown(window.findChild<WidgetStats*>()->findChild<QWidget*>("bpm2Table"), "statistics");
        SimControl::setZentrimPresent(1, false);
        emit MAILBOX_COMM->nrZentrimsChanged(1);

        QCOMPARE(log.order, PRESENCE_RECEIVERS);
        QVERIFY(scatters[1]->isHidden() && secondBox->isHidden());
    }

private:
    void checkPresence(const MainWindow& window, bool bpm1, bool bpm2)
    {
        QCOMPARE(!dockTitled(window, "Graph Currents BPM1")->isHidden(), bpm1);
        QCOMPARE(!dockTitled(window, "Graph Currents BPM2")->isHidden(), bpm2);
        for (const char* title : {"Graph Position X", "Graph Position Y", "Graph Intensity"}) {
            QWidget* graph = dockTitled(window, title)->widget();
            QCOMPARE(hiddenBox(graph, "CheckCh1"), !bpm1);
            QCOMPARE(hiddenBox(graph, "CheckCh2"), !bpm2);
            QCOMPARE(plotOf(graph)->graph(0)->visible(), bpm1);
            QCOMPARE(plotOf(graph)->graph(1)->visible(), bpm2);
        }
        QCOMPARE(action(window, "actionPico_Amp")->isVisible(), bpm1 || bpm2);

        // The scatters are hidden inside their dock, which stays.
        const QList<WidgetGraphXY*> scatters = scattersOf(window);
        QCOMPARE(scatters.size(), 2);
        QCOMPARE(!scatters[0]->isHidden(), bpm1);
        QCOMPARE(!scatters[1]->isHidden(), bpm2);
        QVERIFY(!dockTitled(window, "Graph XY")->isHidden());
        // The spectrum hides the boxes only; its graphs follow the boxes when toggled.
        QWidget* fft = dockTitled(window, "Graph FFT")->widget();
        QCOMPARE(hiddenBox(fft, "CheckCh1"), !bpm1);
        QCOMPARE(hiddenBox(fft, "CheckCh2"), !bpm2);
        QCOMPARE(fft->findChild<QLabel*>("label_1_color")->isHidden(), !bpm1);
        QCOMPARE(fft->findChild<QLabel*>("label_2_color")->isHidden(), !bpm2);
    }

    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
