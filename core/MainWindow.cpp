#include "MainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include "About.h"
#include "DialogLogin.h"
#include "Globals.h"
#include "HeartBeat.h"
#include "GraphFrame.h"
#include "MailboxComm.h"
#include "MainWindowRules.h"
#include "MeasurementClock.h"
#include "QsLog.h"
#include "Updater.h"
#include "WidgetFeedbackControl.h"
#include "WidgetGraphCurrents.h"
#include "WidgetGraphFFT.h"
#include "WidgetGraphInt.h"
#include "WidgetGraphPos.h"
#include "WidgetGraphXY.h"
#include "WidgetPidCtrl.h"
#include "WidgetStats.h"
#include "WindowBeamlineConf.h"
#include "WindowDisplaySettings.h"
#include "WindowFrequencyAnalysis.h"
#include "WindowManOutCtrl.h"
#include "WindowPIDparams.h"
#include "WindowPico.h"
#include "WindowROC_ROI.h"
#include "WindowRocking3D.h"
#include "WindowRockingCurve.h"
#include "WindowSFPstatus.h"
#include "WindowSaveData.h"
#include "WindowStepResponse.h"
#include "ui_mainwindow.h"

// The resource bundle sits in a static library; referencing it here keeps the
// linker from dropping it, so the build number and the style sheet are there.
static int anchorMainResources()
{
    Q_INIT_RESOURCE(main);
    return 1;
}
[[maybe_unused]] static const int mainResourcesAnchored = anchorMainResources();

namespace {

constexpr int CONTROL_DOCK_WIDTH = 340;

}  // namespace

MainWindow::MainWindow(QWidget* parent, MeasurementClock& clock)
    : QMainWindow(parent)
    , m_logWindow(nullptr)
    , m_clock(clock)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    // The docks fill the window; it has no central widget.
    ui->centralWidget->deleteLater();

    m_title = MainWindowRules::windowTitle(MainWindowRules::readBuildNumber());
    setWindowTitle(m_title);

    const MainWindowRules::StartRate start = MainWindowRules::startRate(SW_VERSION, [](double& hz) {
        bool read = false;
        hz = MAILBOX_COMM->getDisplayFreq(nullptr, &read);
        return read;
    });
    storeSampFreq(start.hz);
    ui->action_Display_Settings->setVisible(start.displaySettingsShown);
    ui->actionPico_Amp->setVisible(true);
    createNotes();
    showControllerNote(start.problem);

    createWidgets();
    layoutDocks();
    connectMenuActions();

    setupGraphXY();
    setupGraphFFT();
    setupGraphCurrents();
    setupGraphDAC();
    setupGraphPosX();
    setupGraphPosY();
    setupGraphInt();
    initPidWidgets();

    // The device link's first poll may have announced the devices before this
    // window listened; this emission runs here, on the GUI thread.
    MAILBOX_COMM->announceZentrims();

    // The level the heartbeat panel read while it was built.
    handleUserLevelChange(USER_LEVEL);

    if (UPDATER) {
        connect(UPDATER, &Updater::pausedChanged, this, &MainWindow::showPaused);
        showPaused(UPDATER->paused());
    }
}

MainWindow::~MainWindow()
{
    // The tool windows borrow m_outputs, so they go before it does.
    qDeleteAll(findChildren<WindowRockingCurve*>(Qt::FindDirectChildrenOnly));
    qDeleteAll(findChildren<WindowRocking3D*>(Qt::FindDirectChildrenOnly));
    delete stepResponse;
    delete frequencyAnalysis;
    delete manualOutputs;
    delete ui;
}

void MainWindow::connectLoginSignals()
{
    // Each signal reaches its receivers in this order: feedback panel, PID
    // editors, ROC/ROI limits, beamline configuration, then this window.
    connect(DIALOG_LOGIN, &DialogLogin::userLevelChanged, feedbackControl, &WidgetFeedbackControl::checkUserLevel);
    connect(DIALOG_LOGIN, &DialogLogin::userLevelChanged, pidCtrl, &WidgetPidCtrl::enableAndDisableFields);
    connect(DIALOG_LOGIN, &DialogLogin::userLevelChanged, rocWindow, &WindowROC_ROI::checkUserLevel);
    connect(DIALOG_LOGIN, &DialogLogin::userLevelChanged, m_beamlineConf, &WindowBeamlineConf::checkUserLevel);
    connect(DIALOG_LOGIN, &DialogLogin::userLevelChanged, this, &MainWindow::handleUserLevelChange);
    connect(heartbeat, &HeartBeat::userLevelChanged, feedbackControl, &WidgetFeedbackControl::checkUserLevel);
    connect(heartbeat, &HeartBeat::userLevelChanged, pidCtrl, &WidgetPidCtrl::enableAndDisableFields);
    connect(heartbeat, &HeartBeat::userLevelChanged, rocWindow, &WindowROC_ROI::checkUserLevel);
    connect(heartbeat, &HeartBeat::userLevelChanged, m_beamlineConf, &WindowBeamlineConf::checkUserLevel);
    connect(heartbeat, &HeartBeat::userLevelChanged, this, &MainWindow::handleUserLevelChange);
}

void MainWindow::createWidgets()
{
    graphXY1 = new WidgetGraphXY(0, this);
    graphXY2 = new WidgetGraphXY(1, this);
    graphFFT = new WidgetGraphFFT(this, 2);
    feedbackControl = new WidgetFeedbackControl(this);
    pidCtrl = new WidgetPidCtrl(this);
    stats = new WidgetStats(this);
    // Reads the level from the library while it is built, before any level
    // connection exists.
    heartbeat = new HeartBeat(this, &m_outputs);
    graphCurrents1 = new WidgetGraphCurrents(this, 4);
    graphCurrents2 = new WidgetGraphCurrents(this, 4);
    graphDAC = new WidgetGraphCurrents(this, 4);

    m_dockXY = new QDockWidget(tr("Graph XY"), this);
    addDockWidget(Qt::LeftDockWidgetArea, m_dockXY);

    m_xyInner = new QWidget;
    m_xyLayout = new QHBoxLayout;
    m_controlInner = new QWidget;
    m_controlTabs = new QTabWidget;
    m_controlLayout = new QVBoxLayout;

    m_dockFFT = new QDockWidget(tr("Graph FFT"), this);
    addDockWidget(Qt::LeftDockWidgetArea, m_dockFFT);

    m_dockControl = new QDockWidget(tr("Control"), this);
    addDockWidget(Qt::RightDockWidgetArea, m_dockControl);

    m_dockCurrents1 = new QDockWidget(tr("Graph Currents BPM1"), this);
    m_dockCurrents1->hide();
    m_dockCurrents2 = new QDockWidget(tr("Graph Currents BPM2"), this);
    m_dockCurrents2->hide();

    graphPosX = new WidgetGraphPos(this, 0, 2);
    graphPosY = new WidgetGraphPos(this, 1, 2);
    graphInt = new WidgetGraphInt(this, 2);

    // The persistent dialogs; their timers run from here on, shown or not.
    m_beamlineConf = new WindowBeamlineConf(this);
    pidPicture = new WindowPIDparams(this);
    rocWindow = new WindowROC_ROI(this);
    dispSettings = new WindowDisplaySettings(this, &m_outputs);
    manualOutputs = new WindowManOutCtrl(m_outputs, this);
    picoammeters = new WindowPico(this);
    frequencyAnalysis = new WindowFrequencyAnalysis(m_outputs, this);
    sfpTable = new WindowSFPstatus(this);
    stepResponse = new WindowStepResponse(m_outputs, m_clock, this);
}

void MainWindow::layoutDocks()
{
    m_xyLayout->addWidget(graphXY1);
    m_xyLayout->addWidget(graphXY2);
    m_xyInner->setLayout(m_xyLayout);
    m_dockXY->setWidget(m_xyInner);
    m_dockXY->show();
    m_dockFFT->setWidget(graphFFT);

    m_dockXY->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_dockFFT->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_dockFFT->setMaximumHeight(height() * 3 / 4);

    m_controlTabs->addTab(feedbackControl, tr("Feedback"));
    m_controlTabs->addTab(pidCtrl, tr("PID Params"));
    m_controlTabs->addTab(stats, tr("Stats"));
    m_controlLayout->addWidget(heartbeat);
    m_controlLayout->addWidget(m_controlTabs);
    m_controlInner->setLayout(m_controlLayout);
    m_dockControl->setWidget(m_controlInner);
    m_dockControl->setFixedWidth(CONTROL_DOCK_WIDTH);

    const GraphFrame::ShownBpms present = GraphFrame::queryPresence();
    graphXY1->setVisible(present.bpm1);
    graphXY2->setVisible(present.bpm2);
}

void MainWindow::connectMenuActions()
{
    connect(ui->action_Beamline_Settings, &QAction::triggered, this, &MainWindow::showBeamlineConf);
    connect(ui->actionSFP_info, &QAction::triggered, this, &MainWindow::showSFPinfo);
    connect(ui->action_PID_Parameters, &QAction::triggered, this, &MainWindow::showPIDparams);
    connect(ui->action_Rocking_Curve, &QAction::triggered, this, &MainWindow::showRockCurve);
    connect(ui->action_ROC_ROI, &QAction::triggered, this, &MainWindow::showROCwindow);
    connect(ui->actionRocking_Curve_3D, &QAction::triggered, this, &MainWindow::showRockCurve3D);
    connect(ui->actionStep_Response, &QAction::triggered, this, &MainWindow::showStepResponse);
    connect(ui->actionPico_Amp, &QAction::triggered, this, &MainWindow::showPicoWindow);
    connect(ui->action_Save_Data, &QAction::triggered, this, &MainWindow::showSaveDataWindow);
    connect(ui->action_Login, &QAction::triggered, this, &MainWindow::showLoginDialog);
    connect(ui->action_Display_Settings, &QAction::triggered, this, &MainWindow::showDispSettings);
    connect(ui->action_Exit, &QAction::triggered, this, &MainWindow::Exit);
    connect(ui->action_About, &QAction::triggered, this, &MainWindow::showAboutDialog);
    connect(ui->actionManual_Output_Control, &QAction::triggered, this, &MainWindow::showManualOutputControl);
    connect(ui->action_Log, &QAction::triggered, this, &MainWindow::showLogWindow);
    connect(ui->actionFrequency_Analysis, &QAction::triggered, this, &MainWindow::showFrequencyAnalysisWindow);

    // In this order: this window, the beamline configuration, the ROC/ROI
    // limits, the statistics panel.
    connect(MAILBOX_COMM, &MailboxComm::nrZentrimsChanged, this, &MainWindow::nr_zentrims_changed);
    connect(MAILBOX_COMM, &MailboxComm::nrZentrimsChanged, m_beamlineConf, &WindowBeamlineConf::nr_zentrims_changed);
    connect(MAILBOX_COMM, &MailboxComm::nrZentrimsChanged, rocWindow, &WindowROC_ROI::nrZentrimChanged);
    connect(MAILBOX_COMM, &MailboxComm::nrZentrimsChanged, stats, &WidgetStats::nr_zentrims_changed);
}

QDockWidget* MainWindow::addTabDock(const QString& title, QWidget* content, QDockWidget* dock)
{
    if (!dock)
        dock = new QDockWidget(title, this);
    dock->setWidget(content);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
    tabifyDockWidget(m_dockFFT, dock);
    return dock;
}

bool MainWindow::setupCurrentsLike(WidgetGraphCurrents* graph, const char* name, unsigned kind,
                                   const QString& yLabel)
{
    if (!MainWindowRules::registerGraph(graph, name, QString(name) + "_", kind, 4))
        return false;
    graph->setAxisLabels(tr("Time [s]"), yLabel);
    return true;
}

bool MainWindow::setupPosition(WidgetGraphPos* graph, const char* name, unsigned kind, const QStringList& names)
{
    if (!MainWindowRules::registerGraph(graph, name, QString(name) + "_", kind, 2))
        return false;
    graph->setAxisLabels(tr("Time [s]"), tr("Position [um]"), names);
    graph->chEnablesChanged();
    return true;
}

void MainWindow::setupGraphXY()
{
    if (!MainWindowRules::registerScatter(graphXY1, "graphXY1", Updater::KindScatterBpm1))
        return;
    connectScatterToFeedback(graphXY1);
    if (MainWindowRules::registerScatter(graphXY2, "graphXY2", Updater::KindScatterBpm2))
        connectScatterToFeedback(graphXY2);
}

void MainWindow::connectScatterToFeedback(WidgetGraphXY* graph)
{
    connect(feedbackControl, &WidgetFeedbackControl::somethingChanged, graph, &WidgetGraphXY::updateGraphXY);
    connect(graph, &WidgetGraphXY::XYchanged, feedbackControl, &WidgetFeedbackControl::updateXYfields);
    connect(feedbackControl, &WidgetFeedbackControl::BPMselectorChanged, graph, &WidgetGraphXY::updateGraphXY);
}

void MainWindow::initPidWidgets()
{
    feedbackControl->readRegulatedAxes();
    feedbackControl->updateXYfields();
    // A failed poll is not shown as a status: the panel shows the last one read, or none.
    const PidStatusReading status = MAILBOX_COMM->pidStatusReading();
    if (status.read || !status.failing)
        heartbeat->updateHeartbeat(status.status);
}

void MainWindow::createNotes()
{
    // Black on amber: read at a glance, against the dark style as on a light one.
    const QString look = QStringLiteral("QLabel { background: #ffd24d; color: #000000; font-weight: bold; "
                                        "padding: 2px 6px; }");
    m_pauseNote = new QLabel(this);
    m_pauseNote->setObjectName(QStringLiteral("pausedNote"));
    m_controllerNote = new QLabel(this);
    m_controllerNote->setObjectName(QStringLiteral("controllerNote"));
    for (QLabel* note : {m_pauseNote, m_controllerNote}) {
        note->setStyleSheet(look);
        note->setWordWrap(true);
        note->hide();
        statusBar()->addWidget(note, 1);
    }
}

void MainWindow::showControllerNote(const QString& problem)
{
    m_controllerNote->setText(problem);
    m_controllerNote->setVisible(!problem.isEmpty());
    if (problem.isEmpty())
        return;
    // Logged once the event loop runs: by then the log window listens.
    QTimer::singleShot(0, this, [problem] { QLOG_WARN() << problem; });
}

void MainWindow::showPaused(bool paused)
{
    setWindowTitle(MainWindowRules::titleWhilePaused(m_title, paused));
    if (paused)
        m_pauseNote->setText(MainWindowRules::pausedNote(QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))));
    m_pauseNote->setVisible(paused);
}

void MainWindow::setupGraphFFT()
{
    if (!MainWindowRules::registerGraph(graphFFT, "graphFFT", "graphFFT", Updater::KindSpectrum, 2))
        return;
    graphFFT->setAxisLabels(tr("Frequency [Hz]"), QString());
}

void MainWindow::setupGraphCurrents()
{
    addTabDock(QString(), graphCurrents1, m_dockCurrents1);
    if (!setupCurrentsLike(graphCurrents1, "graphCurrents1", Updater::KindCurrentsBpm1, tr("Current [A]")))
        return;
    addTabDock(QString(), graphCurrents2, m_dockCurrents2);
    setupCurrentsLike(graphCurrents2, "graphCurrents2", Updater::KindCurrentsBpm2, tr("Current [A]"));
}

void MainWindow::setupGraphDAC()
{
    addTabDock(tr("Graph DAC"), graphDAC);
    setupCurrentsLike(graphDAC, "graphDAC", Updater::KindOutputVoltage, tr("Voltage [V]"));
}

void MainWindow::setupGraphPosX()
{
    addTabDock(tr("Graph Position X"), graphPosX);
    setupPosition(graphPosX, "graphPosX", Updater::KindPositionX, {tr("X (BPM1)"), tr("X (BPM2)")});
}

void MainWindow::setupGraphPosY()
{
    addTabDock(tr("Graph Position Y"), graphPosY);
    setupPosition(graphPosY, "graphPosY", Updater::KindPositionY, {tr("Y (BPM1)"), tr("Y (BPM2)")});
}

void MainWindow::setupGraphInt()
{
    addTabDock(tr("Graph Intensity"), graphInt);
    if (!MainWindowRules::registerGraph(graphInt, "graphInt", "graphInt_", Updater::KindIntensity, 2))
        return;
    graphInt->setAxisLabels(tr("Time [s]"), tr("Intensity [A]"), {tr("Int BPM1"), tr("Int BPM2")});
}

void MainWindow::nr_zentrims_changed(int)
{
    // The mask may be stale by the time this runs queued; the library's answer now counts.
    const GraphFrame::ShownBpms present = GraphFrame::queryPresence();
    // Hidden inside the "Graph XY" dock, which itself stays.
    graphXY1->setVisible(present.bpm1);
    graphXY2->setVisible(present.bpm2);
    m_dockCurrents1->setVisible(present.bpm1);
    m_dockCurrents2->setVisible(present.bpm2);
    graphFFT->setBpmHidden(!present.bpm1, !present.bpm2);
    graphInt->setBpmHidden(!present.bpm1, !present.bpm2);
    graphPosX->setBpmHidden(!present.bpm1, !present.bpm2);
    graphPosY->setBpmHidden(!present.bpm1, !present.bpm2);
    ui->actionPico_Amp->setVisible(present.bpm1 || present.bpm2);
}

void MainWindow::showBeamlineConf()
{
    if (m_beamlineConf)
        m_beamlineConf->showAndRefresh();
}

void MainWindow::showSFPinfo()
{
    sfpTable->show();
}

void MainWindow::showPIDparams()
{
    pidPicture->showWindow();
}
void MainWindow::showROCwindow()
{
    rocWindow->setUpdater(UPDATER);
    rocWindow->setBeamlineConf(m_beamlineConf);
    rocWindow->setGraphXY(graphXY1, 0);
    rocWindow->setGraphXY(graphXY2, 1);
    rocWindow->showAndRefresh();
}

void MainWindow::showRockCurve3D()
{
    auto* window = new WindowRocking3D(m_outputs, m_clock, this);
    // Its surface view holds an OpenGL context and buffers: gone once closed.
    window->setDeleteWhenClosed(true);
    window->show();
}

void MainWindow::showPicoWindow()
{
    picoammeters->show();
}

void MainWindow::showSaveDataWindow()
{
    // A new dialog at every call: a closed one goes away instead of piling up.
    auto* window = new WindowSaveData(this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}
void MainWindow::showLoginDialog()
{
    if (!DIALOG_LOGIN)
        return;
    DIALOG_LOGIN->clearFields();
    // Re-runs the gated windows with the current level.
    DIALOG_LOGIN->updateLevel();
    DIALOG_LOGIN->show();
}
void MainWindow::showAboutDialog()
{
    // It holds nothing that outlives it, so a closed box goes away.
    about* box = new about(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

void MainWindow::showRockCurve()
{
    // A new window at every call, deleted once closed.
    auto* window = new WindowRockingCurve(m_outputs, m_clock, this);
    window->setDeleteWhenClosed(true);
    window->show();
}

void MainWindow::Exit()
{
    m_outputs.requestStop();
    QCoreApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    // The program ends with its main window, even while the log window is open.
    if (event->isAccepted())
        Exit();
}

void MainWindow::showStepResponse()
{
    stepResponse->showWindow();
}

void MainWindow::showDispSettings()
{
    dispSettings->showWindow();
}

void MainWindow::handleUserLevelChange(int user_level)
{
    // Nothing enables the measurement entries again: they stay usable only
    // while every level reported since start has been "user".
    if (user_level == USER_LEVEL_ADMIN) {
        ui->action_Rocking_Curve->setEnabled(false);
        ui->actionRocking_Curve_3D->setEnabled(false);
        ui->actionStep_Response->setEnabled(false);
        ui->actionManual_Output_Control->setEnabled(true);
    } else if (user_level == USER_LEVEL_USER) {
        ui->actionManual_Output_Control->setEnabled(true);
    } else {
        ui->action_Rocking_Curve->setEnabled(false);
        ui->actionRocking_Curve_3D->setEnabled(false);
        ui->actionStep_Response->setEnabled(false);
        ui->actionManual_Output_Control->setEnabled(false);
    }
}

void MainWindow::showManualOutputControl()
{
    manualOutputs->showWindow();
}

void MainWindow::showLogWindow()
{
    m_logWindow.show();
}
void MainWindow::showFrequencyAnalysisWindow()
{
    frequencyAnalysis->showWindow();
}
