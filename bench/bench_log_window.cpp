// GUI-thread time of one log message reaching the log window, at 1,000,
// 10,000 and 100,000 rows, with the window hidden and shown. Messages are
// delivered as the logger delivers them (queued calls): alone, in a burst of
// one per event-loop turn, or as a flood of many per turn. Each figure counts
// everything up to the end of the repaints the messages cause.
#include <QApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>

#include "QsLogMessage.h"
#include "QsLogWindow.h"

using QsLogging::LogMessage;

namespace {
// GUI-thread time, so that other load on the machine does not count.
std::chrono::duration<double, std::milli> threadNow()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::chrono::duration<double, std::milli>(t.tv_sec * 1e3 + t.tv_nsec / 1e6);
}

constexpr int CHECKPOINTS[] = {1000, 10000, 100000};
constexpr int BURST = 200;       // messages of a burst, one per event-loop turn
constexpr int FLOOD = 100;       // messages per turn in a flood
constexpr int FLOOD_TURNS = 10;  // turns of a flood
constexpr int SINGLES = 10;      // lone messages, each far from the next
constexpr int SETTLE_MS = 120;   // longer than the window's refresh period

LogMessage message(int n)
{
    // A device link that lost its cable: mostly warnings, some info.
    const QsLogging::Level level = n % 5 == 0 ? QsLogging::Info : QsLogging::Warn;
    return LogMessage(QStringLiteral("getSFPinfo( %1 ) failed ").arg(n % 4), QDateTime::currentDateTimeUtc(), level);
}

void post(QsLogging::Window& window, int n)
{
    QMetaObject::invokeMethod(&window, "addLogMessage", Qt::QueuedConnection, Q_ARG(QsLogging::LogMessage, message(n)));
}

// Fills up to `rows` in bursts of 500 queued messages per turn, as a flood arrives.
void fillTo(QsLogging::Window& window, int& added, int rows)
{
    while (added < rows) {
        const int burst = std::min(500, rows - added);
        for (int i = 0; i < burst; ++i)
            post(window, added++);
        QApplication::processEvents();
    }
}

// Runs the event loop until the window has shown everything it was sent,
// its held repaint included; waiting costs the GUI thread nothing.
void settle()
{
    QEventLoop loop;
    QTimer::singleShot(SETTLE_MS, &loop, &QEventLoop::quit);
    loop.exec();
}

// GUI-thread time per message of `turns` turns of `perTurn` messages each,
// up to the end of the repaints they cause.
double perMessage(QsLogging::Window& window, int& added, int turns, int perTurn)
{
    settle();
    const auto start = threadNow();
    for (int i = 0; i < turns; ++i) {
        for (int m = 0; m < perTurn; ++m)
            post(window, added++);
        QApplication::processEvents();
    }
    settle();
    return (threadNow() - start).count() / (turns * perTurn);
}

// What waiting for the window to settle costs by itself, with nothing sent.
double settleCost()
{
    double total = 0.0;
    for (int i = 0; i < SINGLES; ++i) {
        const auto start = threadNow();
        settle();
        total += (threadNow() - start).count();
    }
    return total / SINGLES;
}

// Lone messages: each gets its own repaint when shown. The cost of waiting
// is taken off, as it is no cost of the message.
double lonePerMessage(QsLogging::Window& window, int& added)
{
    double total = 0.0;
    for (int i = 0; i < SINGLES; ++i)
        total += perMessage(window, added, 1, 1);
    return std::max(0.0, total / SINGLES - settleCost());
}
}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    qRegisterMetaType<QsLogging::LogMessage>("QsLogging::LogMessage");

    std::printf("log window: GUI-thread time per message [ms] (%s), up to the end of the repaints it causes:\n"
                "a lone message; a burst of %d, one per event-loop turn; a flood of %d turns of %d\n",
                qPrintable(QGuiApplication::platformName()), BURST, FLOOD_TURNS, FLOOD);
    std::printf("%8s %10s %12s %12s %12s\n", "window", "rows", "lone", "burst", "flood");
    for (const bool shown : {false, true}) {
        QsLogging::Window window;
        if (shown) {
            window.resize(800, 600);
            window.show();
            QApplication::processEvents();
        }
        int added = 0;
        for (int rows : CHECKPOINTS) {
            // The measured messages straddle the checkpoint.
            fillTo(window, added, rows - (SINGLES + BURST + FLOOD_TURNS * FLOOD) / 2);
            const double lone = lonePerMessage(window, added);
            const double burst = perMessage(window, added, BURST, 1);
            const double flood = perMessage(window, added, FLOOD_TURNS, FLOOD);
            std::printf("%8s %10d %12.4f %12.4f %12.4f\n", shown ? "shown" : "hidden", rows, lone, burst, flood);
            std::fflush(stdout);
        }
    }
    return 0;
}
