// Median cost of one full refresh of the main window at 1920 x 1080: the
// display tick plus the redraw of what it replots, painted.
#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "BenchProgram.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "MainWindow.h"
#include "SimControl.h"

int main(int argc, char** argv)
{
    preferOffscreenPlatform();
    QApplication app(argc, argv);
    BenchProgram program;
    Updater& updater = program.updater;
    MailboxComm link;
    MAILBOX_COMM = &link;
    link.refreshData();

    MainWindow window;
    window.resize(1920, 1080);
    window.show();
    QApplication::processEvents();

    std::printf("main window refresh at 1920x1080 (%s), median of 30 refreshes\n",
                qPrintable(QGuiApplication::platformName()));
    std::printf("%10s %12s %12s\n", "records", "tick [ms]", "total [ms]");
    for (int records : {1024, 4096, 14336}) {
        DISPLAY_BUFFER_BYTES = records * 256;
        std::vector<double> ticks, totals;
        for (int i = 0; i < 35; ++i) {
            SimControl::step(1.0);
            const auto start = std::chrono::steady_clock::now();
            updater.updateGraphs();  // replotGraphs redraws the graph buffers
            const auto ticked = std::chrono::steady_clock::now();
            window.repaint();       // and the window paints them
            QApplication::processEvents();
            const auto end = std::chrono::steady_clock::now();
            if (i >= 5) {
                ticks.push_back(std::chrono::duration<double, std::milli>(ticked - start).count());
                totals.push_back(std::chrono::duration<double, std::milli>(end - start).count());
            }
        }
        std::sort(ticks.begin(), ticks.end());
        std::sort(totals.begin(), totals.end());
        std::printf("%10d %12.3f %12.3f\n", records, ticks[ticks.size() / 2], totals[totals.size() / 2]);
    }
    program.clearGlobals();
    return 0;
}
