// Memory over one simulated hour of running: the main window at 1920 x 1080,
// styled as the program is, with its display tick, replot, every panel timer
// and the paint of what they changed once a simulated second, while the device
// link polls on its own thread; then the device thread's hour alone. Prints
// resident memory every simulated ten minutes and the growth per hour after
// the first minute.
//
// The dock title bars are painted every second too, as the running program's
// panels have them painted: each paint asks the style for the title bar's
// float and close icons, so what the style's icons cost is in the figure.
#include <QApplication>
#include <QDockWidget>
#include <QThread>
#include <QTimer>
#include <QTimerEvent>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

#include "BenchProgram.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "MainWindow.h"
#include "OperatorStyle.h"
#include "QsLog.h"
#include "SimControl.h"

namespace {
// One hour; a first argument gives another number of simulated seconds.
int SECONDS = 3600;

double residentMb()
{
    long pages = 0, resident = 0;
    std::ifstream statm("/proc/self/statm");
    statm >> pages >> resident;
    return resident * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double heapInUseMb()
{
    return mallinfo2().uordblks / (1024.0 * 1024.0);
}

// Runs `second` once per simulated second for an hour and prints the figures.
void runHour(const char* title, const std::function<void()>& second)
{
    std::printf("\n%s\n%10s %14s %14s\n", title, "sim. min", "resident [MB]", "main heap [MB]");
    double residentAtOneMinute = 0.0;
    double heapAtOneMinute = 0.0;
    for (int s = 1; s <= SECONDS; ++s) {
        SimControl::step(1.0);
        second();
        if (s == 60) {
            residentAtOneMinute = residentMb();
            heapAtOneMinute = heapInUseMb();
        }
        if (s == 60 || s % 600 == 0) {
            std::printf("%10d %14.2f %14.2f\n", s / 60, residentMb(), heapInUseMb());
            std::fflush(stdout);
        }
    }
    const double perHour = 3600.0 / (SECONDS - 60.0);
    std::printf("growth after the first minute: resident %+.3f MB/h, main heap %+.3f MB/h\n",
                (residentMb() - residentAtOneMinute) * perHour, (heapInUseMb() - heapAtOneMinute) * perHour);
}

// Counts the paints a widget gets.
class PaintCounter : public QObject
{
public:
    long long paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// The strip above a dock's content: its title and the float and close buttons.
QRect titleBar(const QDockWidget* dock)
{
    const int height = dock->widget() ? dock->widget()->geometry().top() : dock->height();
    return QRect(0, 0, dock->width(), height);
}

// What the event loop does when a timer runs out, for a timer that the
// simulated second has made due.
void fire(QTimer* timer)
{
    if (!timer->isActive())
        return;
    QTimerEvent event(timer->timerId());
    QCoreApplication::sendEvent(timer, &event);
}
}  // namespace

int main(int argc, char** argv)
{
    preferOffscreenPlatform();
    QApplication app(argc, argv);
    if (argc > 1 && std::atoi(argv[1]) > 60)
        SECONDS = std::atoi(argv[1]);
    BenchProgram program;
    Updater& updater = program.updater;
    QThread deviceThread;
    auto* link = new MailboxComm;
    MAILBOX_COMM = link;
    link->moveToThread(&deviceThread);
    deviceThread.start();
    auto poll = [link] { QMetaObject::invokeMethod(link, &MailboxComm::refreshData, Qt::BlockingQueuedConnection); };
    poll();

    // Styled as the program is: the style sheet changes what painting caches.
    OperatorStyle::applyTo(app);
    const bool styled = !app.styleSheet().isEmpty();

    MainWindow window;
    window.resize(1920, 1080);
    window.show();
    // The log window is fed as in the program.
    QsLogging::Logger::instance().addDestination(
        QsLogging::createFunctorDestination(window.logWindow(), "1addLogMessage(QsLogging::LogMessage)"));
    QApplication::processEvents();
    const QList<QTimer*> panelTimers = window.findChildren<QTimer*>();
    QList<QDockWidget*> docks = window.findChildren<QDockWidget*>();
    docks.removeIf([](const QDockWidget* dock) { return !dock->isVisible(); });
    PaintCounter dockPaints;
    for (QDockWidget* dock : docks)
        dock->installEventFilter(&dockPaints);

    std::printf("one simulated hour, %d records per display read, %lld panel timers, %s\n",
                DISPLAY_BUFFER_BYTES / 256, static_cast<long long>(panelTimers.size()),
                styled ? "program style sheet" : "no style sheet found");
    runHour("main window: display tick, replot, panel timers and paint each second; device link polled", [&] {
        poll();
        updater.updateGraphs();
        for (QTimer* timer : panelTimers)
            fire(timer);
        for (QDockWidget* dock : docks)
            dock->update(titleBar(dock));
        // Paints what the second made dirty, as the program's event loop does.
        QApplication::processEvents();
    });
    std::printf("dock widgets painted %.1f times per simulated second (%lld docks; one behind a tab is not)\n",
                double(dockPaints.paints) / SECONDS, static_cast<long long>(docks.size()));
    for (QDockWidget* dock : docks)
        dock->removeEventFilter(&dockPaints);

    runHour("device thread alone: one poll each second", [&] { poll(); });

    QMetaObject::invokeMethod(link, [link] { link->moveToThread(QCoreApplication::instance()->thread()); },
                              Qt::BlockingQueuedConnection);
    deviceThread.quit();
    deviceThread.wait();
    program.clearGlobals();
    window.close();
    delete link;
    return 0;
}
