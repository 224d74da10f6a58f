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
        editors[channel]->noteStored(p, PidTransfer::groupName(channel), *CONFIG_SETTINGS);
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
    // A value the file did not give usably and nobody typed is not the loop's:
    // such a loop is left out, the others go.
    PidTransfer::Loop loops[PID_CHANNEL_COUNT];
    for (int channel = 0; channel < PID_CHANNEL_COUNT; ++channel)
        loops[channel] = {editors[channel]->params(), editors[channel]->unloadedNames()};
    ConfigWriteReport writes(*CONFIG_SETTINGS);
    const PidTransfer::Outcome outcome =
        PidTransfer::sendAndStore(*MAILBOX_COMM, *CONFIG_SETTINGS, loops, PID_BASE_FREQ, writes);
    if (!outcome.leftOut.isEmpty())
        tellLeftOut(outcome);
    if (!outcome.refused.isEmpty()) {
        Prompts::warning(this, QStringLiteral("Controller refused"),
                         QStringLiteral("The controller refused %1.\nThe configuration file keeps the earlier values "
                                        "of %2.")
                             .arg(outcome.refused.join(QStringLiteral(", ")), loopNames(outcome.notStored)));
    }
    writes.tell(this);
}

void WidgetPidCtrl::tellLeftOut(const PidTransfer::Outcome& outcome)
{
    QStringList parts;
    parts << (outcome.sent.isEmpty() ? QStringLiteral("Nothing was sent or stored.")
                                     : QStringLiteral("Sent: %1. Left out, with nothing of them sent or stored:")
                                           .arg(loopNames(outcome.sent)));
    parts << outcome.why.join(QLatin1Char('\n'));
    if (!outcome.offsetSentAlone.isEmpty())
        parts << QStringLiteral("The three offsets go to the controller in one call: the Offset of %1 went with "
                                "the others, as its editor shows it.")
                     .arg(loopNames(outcome.offsetSentAlone));
    // The editors take edits at admin only.
    parts << (USER_LEVEL == USER_LEVEL_ADMIN
                  ? QStringLiteral("Correct them and press Update again.")
                  : QStringLiteral("Changing them needs the admin level (Settings > Login)."));
    Prompts::warning(this,
                     outcome.sent.isEmpty() ? QStringLiteral("PID parameters not sent")
                                            : QStringLiteral("PID loops left out"),
                     parts.join(QStringLiteral("\n\n")));
}
