// GUI-thread time of one log message reaching the log window, at 1,000,
// 10,000 and 100,000 rows, with the window hidden and shown. Messages are
// delivered as the logger delivers them (queued calls), either one per
// event-loop turn, so that every message pays a whole turn (layout, scroll
// and, when shown, one repaint of the visible rows), or as a flood delivers
// them, 100 in one turn.
#include <QApplication>
#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <vector>

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
constexpr int MEASURED = 200;     // single-message turns timed at each checkpoint
constexpr int FLOOD = 100;        // messages per turn in a flood
constexpr int FLOOD_TURNS = 10;   // flood turns timed at each checkpoint

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

struct Figures
{
    double median;
    double mean;
};

// Per message, `perTurn` messages delivered in each turn.
Figures measure(QsLogging::Window& window, int& added, int turns, int perTurn)
{
    std::vector<double> ms;
    for (int i = 0; i < turns; ++i) {
        const auto start = threadNow();
        for (int m = 0; m < perTurn; ++m)
            post(window, added++);
        QApplication::processEvents();
        ms.push_back((threadNow() - start).count() / perTurn);
    }
    double sum = 0;
    for (double v : ms)
        sum += v;
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], sum / ms.size()};
}
}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    qRegisterMetaType<QsLogging::LogMessage>("QsLogging::LogMessage");

    std::printf("log window: GUI-thread time per message (%s), %d single turns and %d flood turns per row;\n"
                "median and mean per message [ms]\n",
                qPrintable(QGuiApplication::platformName()), MEASURED, FLOOD_TURNS);
    std::printf("%8s %10s %22s %22s\n", "window", "rows", "one message per turn", "flood, 100 per turn");
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
            fillTo(window, added, rows - (MEASURED + FLOOD_TURNS * FLOOD) / 2);
            const Figures single = measure(window, added, MEASURED, 1);
            const Figures flood = measure(window, added, FLOOD_TURNS, FLOOD);
            std::printf("%8s %10d %10.4f %10.4f  %10.4f %10.4f\n", shown ? "shown" : "hidden", rows, single.median,
                        single.mean, flood.median, flood.mean);
            std::fflush(stdout);
        }
    }
    return 0;
}
