#include "StartUp.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include "ConfigSettings.h"
#include "DialogLogin.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "MainWindow.h"
#include "OperatorStyle.h"
#include "QsLog.h"
#include "QsLogWindow.h"
#include "ShutdownSignals.h"
#include "Updater.h"
#include "VornLibrary.h"

void enableByUserLevel(QWidget* widget)
{
    if (USER_LEVEL == 0)
        widget->setEnabled(false);
    else if (USER_LEVEL == 1 || USER_LEVEL == 2)
        widget->setEnabled(true);
}

namespace StartUp {

namespace {
// Ends the device thread before its thread object goes, on every way out of
// run(); only then is the device link, which lives on that thread, released.
class DeviceThreadStopper
{
public:
    explicit DeviceThreadStopper(QThread& thread)
        : m_thread(thread)
    {
    }
    ~DeviceThreadStopper()
    {
        m_thread.quit();
        m_thread.wait();
        delete MAILBOX_COMM;
        MAILBOX_COMM = nullptr;
    }

private:
    QThread& m_thread;
};
}  // namespace

bool traceRequested(const QStringList& arguments)
{
    return arguments.size() == 2 && arguments.at(1) == QLatin1String("--trace");
}

void showMaximised(QWidget& window)
{
    // Without a window manager nothing maximises the window: it would stay at
    // its form's size in a corner of the screen. Its screen's work area first.
    const QRect area = window.screen()->availableGeometry();
    if (window.width() < area.width() || window.height() < area.height())
        window.setGeometry(area);
    window.setWindowState(Qt::WindowMaximized);
    window.show();
}

bool readVersions(MailboxComm& link)
{
    return link.getSystemVersion(&HW_TIMESTAMP, &SW_VERSION, &PID_VERSION) >= 0;
}

bool readBpmSelectors(MailboxComm& link)
{
    int x = BPM_SEL_UNKNOWN, y = BPM_SEL_UNKNOWN, i0 = BPM_SEL_UNKNOWN;
    // What a failed call left in the outputs is no selection.
    const bool read = link.getBPMselector(&x, &y, &i0) >= 0;
    BPM_SEL_X = read ? x : BPM_SEL_UNKNOWN;
    BPM_SEL_Y = read ? y : BPM_SEL_UNKNOWN;
    BPM_SEL_I0 = read ? i0 : BPM_SEL_UNKNOWN;
    return read;
}

void loadScaleFactors(ConfigSettings& config)
{
    POS_SCALE_X[0] = config.getScaleX(0);
    POS_SCALE_Y[0] = config.getScaleY(0);
    POS_SCALE_X[1] = config.getScaleX(1);
    POS_SCALE_Y[1] = config.getScaleY(1);
}

int run(int& argc, char** argv, const Options& options)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("VORN_rivuz_GUI"));
    // Before any window, so that every button and dialog takes its icons from it.
    QApplication::setStyle(new OperatorStyle);
    ShutdownSignals shutdownSignals;
    const QMetaObject::Connection earlyShutdown =
        QObject::connect(&shutdownSignals, &ShutdownSignals::shutdownRequested, &app, &QCoreApplication::quit);

    ConfigSettings config(options.configPath);
    CONFIG_SETTINGS = &config;
    loadScaleFactors(config);
    // Told once the log window listens, so that the operator sees it.
    const QString configProblem = config.fileProblem();

    UPDATER = new Updater(&app);

    QThread deviceThread;
    DeviceThreadStopper stopper(deviceThread);
    MAILBOX_COMM = new MailboxComm;
    MAILBOX_COMM->attachThread(&deviceThread);
    MAILBOX_COMM->moveToThread(&deviceThread);
    QObject::connect(&deviceThread, &QThread::started, MAILBOX_COMM, &MailboxComm::doSetupOnNewThread);
    deviceThread.start(QThread::InheritPriority);
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &deviceThread, &QThread::quit);

    // A failed version read is told by the main window, which says what it costs.
    readVersions(*MAILBOX_COMM);
    const bool selectorsRead = readBpmSelectors(*MAILBOX_COMM);

    MainWindow window;
    // From here on SIGTERM ends the program as File › Exit does.
    QObject::disconnect(earlyShutdown);
    QObject::connect(&shutdownSignals, &ShutdownSignals::shutdownRequested, &window, &MainWindow::Exit);
    showMaximised(window);

    const QString styleSheet = OperatorStyle::styleSheet();
    if (!styleSheet.isEmpty())
        app.setStyleSheet(styleSheet);

    // A child of the window: it goes with the window at the end of this frame.
    DIALOG_LOGIN = new DialogLogin(&window);
    DIALOG_LOGIN->initConnections();

    QTimer displayTimer;
    displayTimer.setInterval(1000);
    QObject::connect(&displayTimer, &QTimer::timeout, UPDATER, &Updater::updateGraphs);
    displayTimer.start();

    QsLogging::Logger& logger = QsLogging::Logger::instance();
    if (traceRequested(app.arguments()))
        logger.setLevel(QsLogging::Trace);
    logger.addDestination(
        QsLogging::createFunctorDestination(window.logWindow(), "1addLogMessage(QsLogging::LogMessage)"));
    if (logger.level() <= QsLogging::Info)
        QLOG_INFO() << "Started logger";
    // The feedback panel reads them again while it is built; told only if that failed too.
    if (!selectorsRead && BPM_SEL_X == BPM_SEL_UNKNOWN)
        QLOG_WARN() << "getBPMselector() failed at start: which BPM feeds each loop is not known, and the "
                       "feedback panel shows no source until the controller answers";
    if (!configProblem.isEmpty())
        QLOG_WARN() << QStringLiteral("Configuration file %1 %2; settings not found in it read as 0 or their defaults")
                           .arg(QDir::toNativeSeparators(QFileInfo(config.path()).absoluteFilePath()), configProblem);

    if (options.beforeEventLoop)
        options.beforeEventLoop();
    const int result = app.exec();

    funcGenEnable(0);

    // The objects behind these die with this frame.
    CONFIG_SETTINGS = nullptr;
    UPDATER = nullptr;
    DIALOG_LOGIN = nullptr;
    return result;
}

}  // namespace StartUp
