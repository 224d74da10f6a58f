#include "WidgetPidCtrl.h"

#include <QStringList>

#include "ConfigSettings.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "PidTransfer.h"
#include "Prompts.h"
#include "WidgetPIDparams.h"
#include "ui_widgetpidctrl.h"

WidgetPidCtrl::WidgetPidCtrl(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::WidgetPidCtrl)
{
    ui->setupUi(this);
    enableAndDisableFields();
    loadPIDparams();
    connect(ui->pushButtonUpdate, &QPushButton::released, this, &WidgetPidCtrl::savePIDparams);
}

WidgetPidCtrl::~WidgetPidCtrl()
{
    delete ui;
}

void WidgetPidCtrl::loadPIDparams()
{
    WidgetPIDparams* const editors[PID_CHANNEL_COUNT] = {ui->posXwidget, ui->posYwidget, ui->posI0widget};
    for (int channel = 0; channel < PID_CHANNEL_COUNT; ++channel) {
        const PidParams p = PidTransfer::load(*CONFIG_SETTINGS, channel);
        editors[channel]->setFreq(p.Freq);
        editors[channel]->setParams(p.Kp, p.Ki, p.Kd, p.emin, p.Imax, p.Omin, p.Omax, p.Ogain, p.Offset);
    }
}

void WidgetPidCtrl::enableAndDisableFields()
{
    if (USER_LEVEL == USER_LEVEL_CRUISE || USER_LEVEL == USER_LEVEL_USER)
        ui->verticalTabWidget->setEnabled(false);
    else if (USER_LEVEL == USER_LEVEL_ADMIN)
        ui->verticalTabWidget->setEnabled(true);
}

void WidgetPidCtrl::savePIDparams()
{
    const PidParams loops[PID_CHANNEL_COUNT] = {ui->posXwidget->params(), ui->posYwidget->params(),
                                                ui->posI0widget->params()};
    const QList<int> notSent = PidTransfer::sendAndStore(*MAILBOX_COMM, *CONFIG_SETTINGS, loops, PID_BASE_FREQ);
    if (notSent.isEmpty())
        return;
    // Told after the whole update, so the other loops are not held back by the box.
    QStringList names;
    for (int channel : notSent)
        names << PidTransfer::loopName(channel);
    Prompts::warning(this, QStringLiteral("Output limits inverted"),
                     QStringLiteral("%1: O min is above O max. These loop parameters were not sent to the "
                                    "controller; the rest of the update was. Correct the limits and press "
                                    "Update again.")
                         .arg(names.join(QStringLiteral(", "))));
}
