// Start-up and shutdown, run in this process: the real sequence of the program
// against the simulated controller, ended each way the program can end.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <functional>

#include "ConfigSettings.h"
#include "DialogLogin.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "MainWindow.h"
#include "Prompts.h"
#include "QsLog.h"
#include "QsLogWindow.h"
#include "SimControl.h"
#include "StartUp.h"
#include "Updater.h"
#include "VornLibrary.h"
#include "support/LogCapture.h"
#include "support/QtWarningCapture.h"

namespace {
QsLogging::Window* findLogWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* log = qobject_cast<QsLogging::Window*>(w))
            return log;
    return nullptr;
}

MainWindow* findMainWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* main = qobject_cast<MainWindow*>(w))
            return main;
    return nullptr;
}

bool logWindowShows(const QString& text)
{
    QsLogging::Window* log = findLogWindow();
    if (!log)
        return false;
    auto* view = log->findChild<QAbstractItemView*>();
    if (!view || !view->model())
        return false;
    const QAbstractItemModel* model = view->model();
    for (int row = 0; row < model->rowCount(); ++row)
        for (int column = 0; column < model->columnCount(); ++column)
            if (model->index(row, column).data().toString().contains(text))
                return true;
    return false;
}

// Ends a running program one of the ways it can end.
void endRun(const QString& way)
{
    if (way == "quit") {
        QCoreApplication::quit();
    } else if (way == "close") {
        // The log window is a top-level window too, but hidden.
        findMainWindow()->close();
    } else if (way == "exit") {
        findMainWindow()->findChild<QAction*>("action_Exit")->trigger();
    } else {
        std::raise(SIGTERM);
    }
}

struct RunResult
{
    int exitCode = -1;
    bool startedLoggerShown = false;
    int funcGenOffBeforeEnd = -1;
    int funcGenOffAfter = -1;
};

// Runs the program's start-up with the given arguments; once "Started logger"
// shows in the log window (or after 10 s), `end` ends the run.
RunResult runProgram(const QString& configPath, QStringList arguments, std::function<void()> end)
{
    RunResult result;
    QList<QByteArray> storage;
    storage << QByteArray("vorn_rivuz_gui");
    for (const QString& a : arguments)
        storage << a.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    int argc = int(storage.size());

    StartUp::Options options;
    options.configPath = configPath;
    options.beforeEventLoop = [&] {
        Prompts::setTestMode(true);
        auto* poll = new QTimer(qApp);
        auto* elapsed = new QElapsedTimer;
        elapsed->start();
        QObject::connect(poll, &QTimer::timeout, qApp, [&, poll, elapsed] {
            const bool shown = logWindowShows("Started logger");
            if (!shown && elapsed->elapsed() < 10000)
                return;
            poll->stop();
            delete elapsed;
            result.startedLoggerShown = shown;
            // One tick now rather than waiting for the display timer.
            UPDATER->updateGraphs();
            result.funcGenOffBeforeEnd = SimControl::callCount("funcGenEnable", 0);
            end();
        });
        poll->start(10);
    };
    result.exitCode = StartUp::run(argc, argv.data(), options);
    result.funcGenOffAfter = SimControl::callCount("funcGenEnable", 0);
    return result;
}
}  // namespace

class TestStartUp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SimControl::useSteppedClock();
        QVERIFY(m_dir.isValid());
        LogCapture::install();
        // Qt warns at start when the session has no runtime folder; give it one,
        // so that only the program's own warnings are left to see.
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            QVERIFY(QDir().mkpath(m_dir.filePath("runtime")));
            QVERIFY(QFile::setPermissions(m_dir.filePath("runtime"),
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.filePath("runtime")));
        }
    }

    void init()
    {
        LogCapture::clear();
        SimControl::reset();
        QsLogging::Logger::instance().setLevel(QsLogging::Info);
    }

    void traceOnlyAsTheOneArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("trace");
        QTest::newRow("no argument") << QStringList{"prog"} << false;
        QTest::newRow("--trace alone") << QStringList{"prog", "--trace"} << true;
        QTest::newRow("--trace and another") << QStringList{"prog", "--trace", "x"} << false;
        QTest::newRow("other case") << QStringList{"prog", "--Trace"} << false;
        QTest::newRow("other argument") << QStringList{"prog", "-trace"} << false;
    }

    void traceOnlyAsTheOneArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, trace);
        QCOMPARE(StartUp::traceRequested(arguments), trace);
    }

    void missingScaleKeysGiveZero()
    {
        ConfigSettings config(m_dir.filePath("empty.ini"));
        POS_SCALE_X[0] = POS_SCALE_Y[0] = POS_SCALE_X[1] = POS_SCALE_Y[1] = 1.0;
        StartUp::loadScaleFactors(config);
        QCOMPARE(POS_SCALE_X[0], 0.0);
        QCOMPARE(POS_SCALE_Y[0], 0.0);
        QCOMPARE(POS_SCALE_X[1], 0.0);
        QCOMPARE(POS_SCALE_Y[1], 0.0);

        ConfigSettings stored(m_dir.filePath("scales.ini"));
        stored.setScaleX(0, 11.0);
        stored.setScaleY(0, 12.0);
        stored.setScaleX(1, 21.0);
        stored.setScaleY(1, 22.0);
        StartUp::loadScaleFactors(stored);
        QCOMPARE(POS_SCALE_X[0], 11.0);
        QCOMPARE(POS_SCALE_Y[0], 12.0);
        QCOMPARE(POS_SCALE_X[1], 21.0);
        QCOMPARE(POS_SCALE_Y[1], 22.0);
    }

    // The reads start-up makes before the window: a failed one leaves nothing that reads as a value.
    void controllerReadsAtStart_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<bool>("versionsRead");
        QTest::addColumn<bool>("selectorsRead");
        QTest::newRow("both read") << "" << true << true;
        QTest::newRow("versions fail") << "getSystemVersion" << false << true;
        QTest::newRow("selector fails") << "getBPMselector" << true << false;
    }

    void controllerReadsAtStart()
    {
        QFETCH(QString, failing);
        QFETCH(bool, versionsRead);
        QFETCH(bool, selectorsRead);
        SimControl::setVersionWords(1718000000u, 0x00010001u, 0x03000102u);
        QVERIFY(::setBPMselector(1, 1, 0) >= 0);
        if (!failing.isEmpty())
            SimControl::failCall(failing.toStdString());
        // As a run before this one may have left them.
        SW_VERSION = "9.9.99";
        BPM_SEL_X = BPM_SEL_Y = BPM_SEL_I0 = 0;
        MailboxComm link;

        QCOMPARE(StartUp::readVersions(link), versionsRead);
        QCOMPARE(SW_VERSION, versionsRead ? QString("1.0.10") : QString());
        QCOMPARE(PID_VERSION, versionsRead ? QString("2.1.03") : QString());
        QCOMPARE(HW_TIMESTAMP, versionsRead ? QString("1718000000") : QString());

        QCOMPARE(StartUp::readBpmSelectors(link), selectorsRead);
        const QList<int> selected{BPM_SEL_X, BPM_SEL_Y, BPM_SEL_I0};
        const QList<int> expected = selectorsRead ? QList<int>{1, 1, 0}
                                                  : QList<int>{BPM_SEL_UNKNOWN, BPM_SEL_UNKNOWN, BPM_SEL_UNKNOWN};
        QCOMPARE(selected, expected);

        // Answering again, the next read gives the values.
        SimControl::clearFailures();
        QVERIFY(StartUp::readVersions(link) && StartUp::readBpmSelectors(link));
        QCOMPARE(SW_VERSION, QString("1.0.10"));
        QCOMPARE(BPM_SEL_X.load(), 1);
        HW_TIMESTAMP.clear();
        SW_VERSION.clear();
        PID_VERSION.clear();
        BPM_SEL_X = BPM_SEL_Y = BPM_SEL_I0 = 0;
    }

    void enableByLevel_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("wasEnabled");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("0 disables") << 0 << true << false;
        QTest::newRow("1 enables") << 1 << false << true;
        QTest::newRow("2 enables") << 2 << false << true;
        QTest::newRow("-1 leaves enabled") << -1 << true << true;
        QTest::newRow("-1 leaves disabled") << -1 << false << false;
        QTest::newRow("3 leaves disabled") << 3 << false << false;
    }

    void enableByLevel()
    {
        QFETCH(int, level);
        QFETCH(bool, wasEnabled);
        QFETCH(bool, enabled);
        int argc = 1;
        char name[] = "tst";
        char* argv[] = {name, nullptr};
        QApplication app(argc, argv);
        QWidget widget;
        widget.setEnabled(wasEnabled);
        USER_LEVEL = level;
        enableByUserLevel(&widget);
        QCOMPARE(widget.isEnabled(), enabled);
        USER_LEVEL = 0;
    }

    void generatorOffHoweverTheLoopEnds_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("application quit") << "quit";
        QTest::newRow("last window closed") << "close";
        QTest::newRow("exit action") << "exit";
        QTest::newRow("SIGTERM") << "sigterm";
    }

    void generatorOffHoweverTheLoopEnds()
    {
        QFETCH(QString, way);
        ConfigSettings(m_dir.filePath("run.ini")).setScaleX(0, 1000.0);
        const RunResult r = runProgram(m_dir.filePath("run.ini"), {}, [way] { endRun(way); });
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.startedLoggerShown);
        QCOMPARE(r.funcGenOffBeforeEnd, 0);
        // Once after the loop, once more as the frequency analysis window goes with the main window.
        QCOMPARE(r.funcGenOffAfter, 2);
        QCOMPARE(POS_SCALE_X[0], 1000.0);
        QVERIFY(UPDATER == nullptr);
    }

    void noQtWarningFromStartToExit_data() { generatorOffHoweverTheLoopEnds_data(); }

    void noQtWarningFromStartToExit()
    {
        QFETCH(QString, way);
        ConfigSettings(m_dir.filePath("quiet.ini")).setScaleX(0, 1000.0);
        RunResult r;
        QStringList warnings;
        {
            const QtWarningCapture qtWarnings;
            r = runProgram(m_dir.filePath("quiet.ini"), {}, [way] {
                // Let the device link poll a few times first, so that its timer runs.
                QTest::qWait(1200);
                endRun(way);
            });
            warnings = qtWarnings.warnings();
        }
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.startedLoggerShown);
        QCOMPARE(warnings, QStringList());
        QVERIFY(MAILBOX_COMM == nullptr);
    }

    void configurationProblemIsToldAndStartGoesOn_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("problem");

        QTest::newRow("readable file") << "good" << "";
        QTest::newRow("missing file") << "missing" << "is missing";
        QTest::newRow("unreadable file") << "directory" << "cannot be read";
        QTest::newRow("garbage file") << "garbage" << "cannot be parsed";
    }

    void configurationProblemIsToldAndStartGoesOn()
    {
        QFETCH(QString, kind);
        QFETCH(QString, problem);

        const QString path = m_dir.filePath(QStringLiteral("problem-%1.ini").arg(kind));
        if (kind == "good") {
            ConfigSettings(path).setScaleX(0, 1000.0);
        } else if (kind == "directory") {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == "garbage") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[BPM1\nScale_X=7\n\x01\x02 no key here\n");
        }
        POS_SCALE_X[0] = 1.0;

        const RunResult r = runProgram(path, {}, [] { QCoreApplication::quit(); });

        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.startedLoggerShown);
        QStringList told;
        for (const QString& line : LogCapture::messagesAt(QsLogging::Warn))
            if (line.startsWith(QStringLiteral("Configuration file")))
                told << line;
        if (problem.isEmpty()) {
            QCOMPARE(told, QStringList());
            QCOMPARE(POS_SCALE_X[0], 1000.0);
            return;
        }
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains(QDir::toNativeSeparators(path)), qPrintable(told[0]));
        QVERIFY2(told[0].contains(problem), qPrintable(told[0]));
        // Nothing else changes: the scales read from what there is.
        if (kind != "garbage")
            QCOMPARE(POS_SCALE_X[0], 0.0);
    }

    void traceArgumentSetsTraceAndStillLogsStart()
    {
        const RunResult r = runProgram(m_dir.filePath("trace.ini"), {"--trace"}, [] { QCoreApplication::quit(); });
        QCOMPARE(QsLogging::Logger::instance().level(), QsLogging::Trace);
        QVERIFY(r.startedLoggerShown);
        QCOMPARE(r.funcGenOffAfter, 2);
    }

    void mainWindowCoversTheScreen()
    {
        QRect covered;
        QRect area;
        bool maximised = false;
        runProgram(m_dir.filePath("screen.ini"), {}, [&] {
            MainWindow* window = findMainWindow();
            area = window->screen()->availableGeometry();
            covered = window->geometry();
            maximised = window->windowState().testFlag(Qt::WindowMaximized);
            QCoreApplication::quit();
        });
        QVERIFY(maximised);
        // No window manager runs beside the tests' X server: the program itself must fill the screen.
        QVERIFY2(covered.contains(area), qPrintable(QStringLiteral("%1 x %2 at %3, %4 on a screen of %5 x %6")
                                                        .arg(covered.width())
                                                        .arg(covered.height())
                                                        .arg(covered.x())
                                                        .arg(covered.y())
                                                        .arg(area.width())
                                                        .arg(area.height())));
    }

    void loginDialogIsWiredToTheWindow()
    {
        bool childOfWindow = false;
        bool levelReachesMenu = false;
        runProgram(m_dir.filePath("login.ini"), {}, [&] {
            MainWindow* window = findMainWindow();
            childOfWindow = DIALOG_LOGIN && DIALOG_LOGIN->parentWidget() == window && !DIALOG_LOGIN->isVisible();
            if (DIALOG_LOGIN) {
                // A level announced by the dialog reaches the menu gating.
                USER_LEVEL = -1;
                DIALOG_LOGIN->updateLevel();
                levelReachesMenu = !window->findChild<QAction*>("actionManual_Output_Control")->isEnabled();
            }
            QCoreApplication::quit();
        });
        QVERIFY(childOfWindow);
        QVERIFY(levelReachesMenu);
        QVERIFY(DIALOG_LOGIN == nullptr);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_APPLESS_MAIN(TestStartUp)
#include "tst_startup.moc"
