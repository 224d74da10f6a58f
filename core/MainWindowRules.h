#pragma once
// The main window's decisions that need no window: its title, whether the
// display settings apply to this controller, and how a graph joins the display tick.
#include <QDebug>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

#include "Globals.h"
#include "Updater.h"

namespace MainWindowRules {

inline constexpr const char* BUILD_NUMBER_PATH = ":/extra/.buildnumber";
inline constexpr const char* TITLE_PREFIX = "VORN Rivuz User Interface v";
inline constexpr const char* VERSION = "2.0";
// Controllers up to this software version have a fixed 1000 Hz display rate.
inline constexpr const char* FIXED_RATE_SW_VERSION = "1.0.02";
inline constexpr int FIXED_DISPLAY_RATE = 1000;

// First line of the build number file. When the file cannot be opened, the
// "error" information box names the reason and the line is empty.
QString readBuildNumber(const QString& path = BUILD_NUMBER_PATH);

// "VORN Rivuz User Interface v2.0." followed by the build number.
QString windowTitle(const QString& buildNumber);

// A plain case-sensitive string comparison, not a numeric one: "1.0.10" is
// after "1.0.02", while "", "1.0.01" and "1.0.02" itself are not.
bool displaySettingsAvailable(const QString& swVersion);

// The rate to use from the hardware's answer. A failed read gives 0, which
// would divide every time axis by zero, so anything not positive keeps 1000 Hz.
int displayRateFrom(double hardwareRate);

// The display rate the window starts with, from the controller's versions and,
// where they allow it, its rate read (`readRate` is called only then; it gives
// false for a failed read). `problem` says what the operator is not offered or
// what is assumed, and why; empty when all was read.
struct StartRate
{
    int hz = FIXED_DISPLAY_RATE;
    bool displaySettingsShown = false;
    QString problem;
};
StartRate startRate(const QString& swVersion, const std::function<bool(double&)>& readRate);

// The window title while the display is paused or live.
QString titleWhilePaused(const QString& title, bool paused);
// What the main window says for as long as the display is paused, since `since` ("hh:mm:ss").
QString pausedNote(const QString& since);

// Wiring faults are the program's own, so they go to Qt's message log, not to the operator's log.
inline void wiringFault(const QString& text)
{
    qCritical().noquote() << text;
}

// Registers containers 0 .. count - 1 of the graph with the Updater under the
// kind and connects the display tick's replot to it. Every container is fetched
// first, so a missing one registers nothing; the diagnostic names it as
// name + "_" + index (pass "graphPosX_"), and false tells the caller to stop.
template <class Graph>
bool registerGraph(Graph* graph, const QString& name, const QString& indexPrefix, unsigned kind, int count)
{
    if (!graph) {
        wiringFault(name + " pointer is null!");
        return false;
    }
    QList<GraphData> containers;
    for (int i = 0; i < count; ++i) {
        GraphData data = graph->getGraphData(i);
        if (!data) {
            wiringFault(indexPrefix + QString::number(i) + " data container is null!");
            return false;
        }
        containers << data;
    }
    for (int i = 0; i < count; ++i)
        UPDATER->setGraphData(kind, i, containers[i]);
    QObject::connect(UPDATER, &Updater::replotGraphs, graph, &Graph::replot);
    return true;
}

// The scatter's one container: fetched, the zoom reset to its ROC, then
// registered under the kind with the display tick's replot connected. The
// diagnostics name the graph; false tells the caller to stop.
template <class Scatter>
bool registerScatter(Scatter* graph, const QString& name, unsigned kind)
{
    if (!graph) {
        wiringFault(name + " pointer is null!");
        return false;
    }
    GraphData data = graph->getGraphData();
    if (!data) {
        wiringFault(name + " data container is null!");
        return false;
    }
    graph->resetZoom();
    if (!UPDATER) {
        wiringFault("Updater pointer is null!");
        return false;
    }
    UPDATER->setGraphData(kind, 0, data);
    QObject::connect(UPDATER, &Updater::replotGraphs, graph, &Scatter::replot);
    return true;
}

}  // namespace MainWindowRules
