#include "WindowPico.h"

#include <QTimer>

#include "GraphFrame.h"
#include "Globals.h"
#include "Updater.h"
#include "VornLibrary.h"
#include "ui_windowpico.h"

namespace {

void showStatusCurrents(WidgetPico* widget, int device)
{
    if (!UPDATER)
        return;
    const QString problem = UPDATER->statusProblem(device);
    if (!problem.isEmpty()) {
        widget->showNoReading(problem);
        return;
    }
    const ZentrimStatus& status = UPDATER->zentrimStatus(device);
    widget->showCurrents(status.channelCurrent(0), status.channelCurrent(1), status.channelCurrent(2),
                         status.channelCurrent(3));
}

}  // namespace

WindowPico::WindowPico(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::WindowPico)
{
    ui->setupUi(this);
    ui->widgetPico0->setDeviceNumber(0);
    ui->widgetPico1->setDeviceNumber(1);

    int present0 = 0, present1 = 0;
    getZentrims(&present0, &present1);
    ui->widgetPico0->setVisible(present0 != 0);
    ui->label_zentrim0->setVisible(present0 != 0);
    ui->widgetPico1->setVisible(present1 != 0);
    ui->label_zentrim1->setVisible(present1 != 0);

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &WindowPico::refreshFields);
    m_timer->start(REFRESH_MS);
}

WindowPico::~WindowPico()
{
    delete ui;
}

void WindowPico::refreshFields()
{
    const GraphFrame::ShownBpms shown = GraphFrame::queryPresence();
    // A hidden widget keeps the last currents it showed.
    ui->widgetPico0->setVisible(shown.bpm1);
    ui->label_zentrim0->setVisible(shown.bpm1);
    ui->widgetPico1->setVisible(shown.bpm2);
    ui->label_zentrim1->setVisible(shown.bpm2);
    if (shown.bpm1)
        showStatusCurrents(ui->widgetPico0, 0);
    if (shown.bpm2)
        showStatusCurrents(ui->widgetPico1, 1);
}
