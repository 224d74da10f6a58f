#include "WidgetPidCtrl.h"

#include <QStringList>

#include "ConfigSettings.h"
#include "ConfigWriteReport.h"
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
        QStringList unread;
        const PidParams p = PidTransfer::load(*CONFIG_SETTINGS, channel, &unread);
        editors[channel]->setFreq(p.Freq);
        editors[channel]->setParams(p.Kp, p.Ki, p.Kd, p.emin, p.Imax, p.Omin, p.Omax, p.Ogain, p.Offset);
        editors[channel]->markUnread(unread);
    }
}

void WidgetPidCtrl::enableAndDisableFields()
{
    if (USER_LEVEL == USER_LEVEL_CRUISE || USER_LEVEL == USER_LEVEL_USER)
        ui->verticalTabWidget->setEnabled(false);
    else if (USER_LEVEL == USER_LEVEL_ADMIN)
        ui->verticalTabWidget->setEnabled(true);
}

namespace {
QString loopNames(const QList<int>& channels)
{
    QStringList names;
    for (int channel : channels)
        names << PidTransfer::loopName(channel);
    return names.join(QStringLiteral(", "));
}
}  // namespace

void WidgetPidCtrl::savePIDparams()
{
    WidgetPIDparams* const editors[PID_CHANNEL_COUNT] = {ui->posXwidget, ui->posYwidget, ui->posI0widget};
    // A value the file did not give usably and nobody typed is not the loop's.
    QStringList unloaded;
    for (int channel = 0; channel < PID_CHANNEL_COUNT; ++channel) {
        const QStringList names = editors[channel]->unloadedNames();
        if (!names.isEmpty())
            unloaded << QStringLiteral("%1: %2").arg(PidTransfer::loopName(channel), names.join(QStringLiteral(", ")));
    }
    if (!unloaded.isEmpty()) {
        Prompts::warning(this, QStringLiteral("PID parameters not sent"),
                         QStringLiteral("These were not read from the configuration file:\n%1\n\nType them and "
                                        "press Update again. Nothing was sent or stored.")
                             .arg(unloaded.join(QLatin1Char('\n'))));
        return;
    }

    const PidParams loops[PID_CHANNEL_COUNT] = {editors[0]->params(), editors[1]->params(), editors[2]->params()};
    ConfigWriteReport writes(*CONFIG_SETTINGS);
    const PidTransfer::Outcome outcome =
        PidTransfer::sendAndStore(*MAILBOX_COMM, *CONFIG_SETTINGS, loops, PID_BASE_FREQ, writes);
    if (!outcome.disordered.isEmpty()) {
        Prompts::warning(this, QStringLiteral("Output limits not in order"),
                         QStringLiteral("%1: O min must be below O max; only then does the controller clamp the "
                                        "output. Nothing was sent or stored. Correct the limits and press Update "
                                        "again.")
                             .arg(loopNames(outcome.disordered)));
        return;
    }
    if (!outcome.refused.isEmpty()) {
        Prompts::warning(this, QStringLiteral("Controller refused"),
                         QStringLiteral("The controller refused %1.\nThe configuration file keeps the earlier values "
                                        "of %2.")
                             .arg(outcome.refused.join(QStringLiteral(", ")), loopNames(outcome.notStored)));
    }
    writes.tell(this);
}
