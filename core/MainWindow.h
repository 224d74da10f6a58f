#pragma once
// The operator's one window: every live graph in its docks, the control dock,
// and the menus that open the tool windows.
#include <QMainWindow>
#include <QPointer>

#include "MeasurementClock.h"
#include "OutputOwner.h"
#include "QsLogWindow.h"

class HeartBeat;
class QCloseEvent;
class QDockWidget;
class QHBoxLayout;
class QLabel;
class QTabWidget;
class QVBoxLayout;
class WidgetFeedbackControl;
class WidgetGraphCurrents;
class WidgetGraphFFT;
class WidgetGraphInt;
class WidgetGraphPos;
class WidgetGraphXY;
class WindowBeamlineConf;
class WindowManOutCtrl;
class WindowPico;
class WindowSFPstatus;
class WidgetPidCtrl;
class WidgetStats;
class WindowPIDparams;
class WindowDisplaySettings;
class WindowROC_ROI;
class WindowStepResponse;
class WindowFrequencyAnalysis;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The measurement tools wait on `clock` (tests step the simulator with it).
    explicit MainWindow(QWidget* parent = nullptr, MeasurementClock& clock = MeasurementClock::system());
    ~MainWindow() override;

    // Wires the level signals of the login dialog and the heartbeat panel;
    // called once, after the login dialog exists.
    void connectLoginSignals();

    // The log window, for the logger's destination that feeds it.
    QsLogging::Window* logWindow() { return &m_logWindow; }

    // The one owner of the output unit, lent to every tool that drives it.
    OutputOwner& outputs() { return m_outputs; }

public slots:
    // File › Exit, a closed main window and SIGTERM: any running measurement is
    // asked to stop (it hands the outputs back after its point in progress),
    // then the event loop ends with code 0.
    void Exit();

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void nr_zentrims_changed(int);
    void showBeamlineConf();
    void showSFPinfo();
    void showPIDparams();
    void showRockCurve();
    void showROCwindow();
    void showRockCurve3D();
    void showPicoWindow();
    void showSaveDataWindow();
    void showLoginDialog();
    void showAboutDialog();
    void showStepResponse();
    void showDispSettings();
    void handleUserLevelChange(int user_level);
    void showManualOutputControl();
    void showLogWindow();
    void showFrequencyAnalysisWindow();
    // Says in the title and the status bar, for as long as it lasts, that the graphs are not live.
    void showPaused(bool paused);

private:
    void createWidgets();
    void layoutDocks();
    void connectMenuActions();
    void setupGraphXY();
    void setupGraphFFT();
    void setupGraphCurrents();
    void setupGraphDAC();
    void setupGraphPosX();
    void setupGraphPosY();
    void setupGraphInt();
    void initPidWidgets();
    void connectScatterToFeedback(WidgetGraphXY* graph);
    // The status bar's notes: a paused display, and what a failed controller read costs.
    void createNotes();
    void showControllerNote(const QString& problem);

    // Creates a dock for the tab group of "Graph FFT" and moves it there.
    QDockWidget* addTabDock(const QString& title, QWidget* content, QDockWidget* dock = nullptr);
    bool setupCurrentsLike(WidgetGraphCurrents* graph, const char* name, unsigned kind, const QString& yLabel);
    bool setupPosition(WidgetGraphPos* graph, const char* name, unsigned kind, const QStringList& names);

    // A top-level window of its own, so it has no parent.
    QsLogging::Window m_logWindow;
    MeasurementClock& m_clock;
    OutputOwner m_outputs;
    Ui::MainWindow* ui = nullptr;
    // The title without the paused mark.
    QString m_title;
    QLabel* m_pauseNote = nullptr;
    QLabel* m_controllerNote = nullptr;

    WidgetGraphXY* graphXY1 = nullptr;
    WidgetGraphXY* graphXY2 = nullptr;
    WidgetGraphFFT* graphFFT = nullptr;
    WidgetFeedbackControl* feedbackControl = nullptr;
    WidgetPidCtrl* pidCtrl = nullptr;
    WidgetStats* stats = nullptr;
    HeartBeat* heartbeat = nullptr;
    WidgetGraphCurrents* graphCurrents1 = nullptr;
    WidgetGraphCurrents* graphCurrents2 = nullptr;
    WidgetGraphCurrents* graphDAC = nullptr;

    QDockWidget* m_dockXY = nullptr;
    QWidget* m_xyInner = nullptr;
    QHBoxLayout* m_xyLayout = nullptr;
    QWidget* m_controlInner = nullptr;
    QTabWidget* m_controlTabs = nullptr;
    QVBoxLayout* m_controlLayout = nullptr;
    QDockWidget* m_dockFFT = nullptr;
    QDockWidget* m_dockControl = nullptr;
    QDockWidget* m_dockCurrents1 = nullptr;
    QDockWidget* m_dockCurrents2 = nullptr;

    WidgetGraphPos* graphPosX = nullptr;
    WidgetGraphPos* graphPosY = nullptr;
    WidgetGraphInt* graphInt = nullptr;

    // Guarded: clears itself should the dialog be destroyed first.
    QPointer<WindowBeamlineConf> m_beamlineConf;
    WindowManOutCtrl* manualOutputs = nullptr;
    WindowPico* picoammeters = nullptr;
    WindowSFPstatus* sfpTable = nullptr;
    WindowPIDparams* pidPicture = nullptr;
    WindowROC_ROI* rocWindow = nullptr;
    WindowDisplaySettings* dispSettings = nullptr;
    WindowStepResponse* stepResponse = nullptr;
    WindowFrequencyAnalysis* frequencyAnalysis = nullptr;
};
