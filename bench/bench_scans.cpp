// Wall-clock length of the two scans against the simulator running in real time,
// as a ratio to the waits they are made of: the rocking curve at its default form
// (2 N Tpoint) and the raster scan at a 1 ms and a 4 ms step (three step times a
// point). Each scan runs in its own window, then once more opened from the main
// window at 1920 x 1080 with the program's style and its display tick every second.
// Needs an X server for the raster's OpenGL view (xvfb-run); build it as Release.
#include <QAction>
#include <QApplication>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <functional>

#include "BenchProgram.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "MainWindow.h"
#include "MeasurementClock.h"
#include "OutputOwner.h"
#include "RasterScan.h"
#include "SimControl.h"
#include "WindowRocking3D.h"
#include "WindowRockingCurve.h"

namespace {

struct Scan
{
    const char* name;
    const char* menuEntry;
    double stepMs;      // the raster's step time; 0 for the rocking curve's default form
    double waitsS;      // what its waits add up to
};

// Shows `window` with the scan's form set, runs it, and gives the seconds it took.
double runIn(QDialog* window, const Scan& scan)
{
    window->show();
    for (int k = 0; k < 20; ++k)
        QApplication::processEvents();
    if (scan.stepMs > 0)
        window->findChild<QDoubleSpinBox*>("timeBox")->setValue(scan.stepMs);
    QPushButton* start = window->findChild<QPushButton*>(scan.stepMs > 0 ? "goButton" : "buttonStart");
    QElapsedTimer timer;
    timer.start();
    start->click();
    return double(timer.nsecsElapsed()) * 1e-9;
}

void report(const Scan& scan, const char* where, double seconds)
{
    std::printf("%-28s %-22s %9.3f %9.3f %7.3f\n", scan.name, where, seconds, scan.waitsS, seconds / scan.waitsS);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    BenchProgram program;
    SimControl::useWallClock();
    program.config.savePIDX(0, 0, 0, 0, 0, 0, 0, 0, 0, 5.0);
    program.config.savePIDY(0, 0, 0, 0, 0, 0, 0, 0, 0, 5.0);
    program.config.setQuadrants(0, 1, 2, 3, 0);
    USER_LEVEL = USER_LEVEL_USER;
    MailboxComm link;
    MAILBOX_COMM = &link;
    link.refreshData();

    const Scan scans[] = {
        {"rocking curve, default form", "action_Rocking_Curve", 0.0, 2 * 1000 * 1e-3},
        {"raster scan, 1 ms step", "actionRocking_Curve_3D", 1.0, RasterScan::CELLS * 3 * 1e-3},
        {"raster scan, 4 ms step", "actionRocking_Curve_3D", 4.0, RasterScan::CELLS * 3 * 4e-3},
    };
    std::printf("scan length against its waits, wall clock (%s)\n", qPrintable(QGuiApplication::platformName()));
    std::printf("%-28s %-22s %9s %9s %7s\n", "scan", "shown", "took [s]", "waits [s]", "ratio");

    OutputOwner outputs;
    for (const Scan& scan : scans) {
        QDialog* window = scan.stepMs > 0
                              ? static_cast<QDialog*>(new WindowRocking3D(outputs, MeasurementClock::system()))
                              : static_cast<QDialog*>(new WindowRockingCurve(outputs, MeasurementClock::system()));
        report(scan, "alone", runIn(window, scan));
        delete window;
    }

    MainWindow window;
    window.resize(1920, 1080);
    window.show();
    QFile styleSheet(QStringLiteral(":/qss/style.qss"));
    if (styleSheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromLatin1(styleSheet.readAll()));
    QTimer displayTimer;
    displayTimer.setInterval(1000);
    QObject::connect(&displayTimer, &QTimer::timeout, &program.updater, &Updater::updateGraphs);
    displayTimer.start();
    for (const Scan& scan : scans) {
        window.findChild<QAction*>(scan.menuEntry)->trigger();
        QDialog* opened = scan.stepMs > 0 ? static_cast<QDialog*>(window.findChild<WindowRocking3D*>())
                                          : static_cast<QDialog*>(window.findChild<WindowRockingCurve*>());
        report(scan, "from the main window", runIn(opened, scan));
        opened->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    program.clearGlobals();
    return 0;
}
