// Median cost of one full refresh of the main window at 1920 x 1080: the
// display tick plus the redraw of what it replots, painted.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "ConfigSettings.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "MainWindow.h"
#include "Prompts.h"
#include "SimControl.h"
#include "Updater.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    Prompts::setTestMode(true);
    SimControl::useSteppedClock();
    QTemporaryDir dir;
    ConfigSettings config(dir.filePath("config.ini"));
    CONFIG_SETTINGS = &config;
    POS_SCALE_X[0] = POS_SCALE_Y[0] = POS_SCALE_X[1] = POS_SCALE_Y[1] = 1000.0;

    Updater updater;
    MailboxComm link;
    UPDATER = &updater;
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
    UPDATER = nullptr;
    MAILBOX_COMM = nullptr;
    CONFIG_SETTINGS = nullptr;
    return 0;
}
