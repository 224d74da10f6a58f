#include "HeartBeat.h"

#include <QApplication>
#include <QStyle>
#include <QTimer>

#include "MailboxComm.h"
#include "QLed.h"
#include "VornLibrary.h"
#include "ui_heartbeat.h"

namespace {

constexpr int REFRESH_INTERVAL_MS = 1000;

QIcon playIcon()
{
    return QApplication::style()->standardIcon(QStyle::SP_MediaPlay);
}

QIcon stopIcon()
{
    return QApplication::style()->standardIcon(QStyle::SP_MediaStop);
}

}  // namespace

HeartBeat::HeartBeat(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::HeartBeat)
{
    ui->setupUi(this);
    m_feedbackEnabled = false;

    ui->buttonFdbk->setCheckable(true);
    ui->buttonFdbk->setIconSize(QSize(24, 24));
    ui->buttonFdbk->setText(tr("Enable Feedback"));
    ui->buttonFdbk->setIcon(playIcon());

    ui->heartbeatLed->setShape(QLed::Rounded);

    connect(ui->buttonFdbk, &QPushButton::toggled, this, &HeartBeat::fdbkStatusChanged);
    connect(ui->resetPIDbutton, &QPushButton::released, this, &HeartBeat::resetPIDControllerPressed);

    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &HeartBeat::refreshFields);
    timer->start(REFRESH_INTERVAL_MS);

    checkUserLevel();
    refreshFields();
}

HeartBeat::~HeartBeat()
{
    delete ui;
}

void HeartBeat::checkUserLevel()
{
    USER_LEVEL = getLockStatus();
    if (USER_LEVEL == USER_LEVEL_CRUISE)
        setEnabled(false);
    else if (USER_LEVEL == USER_LEVEL_USER || USER_LEVEL == USER_LEVEL_ADMIN)
        setEnabled(true);
    // Emitted at every check, so the gated windows follow the library even
    // after a login set another level in between.
    emit userLevelChanged(USER_LEVEL);
}

void HeartBeat::updateHeartbeat(PID_Status_Type PID_Status)
{
    switch (PID_Status) {
    case PID_STATUS_OFF:
        ui->heartbeatLed->setOffColor(QLed::Grey);
        ui->heartbeatLabel->setText(tr("Feedback OFF"));
        break;
    case PID_STATUS_OUT_OF_ROC:
        ui->heartbeatLed->setOffColor(QLed::Red);
        ui->heartbeatLabel->setText(tr("FAULT: Out of ROC"));
        break;
    case PID_STATUS_BEAM_OFF:
        ui->heartbeatLed->setOffColor(QLed::Purple);
        ui->heartbeatLabel->setText(tr("Beam OFF"));
        break;
    case PID_STATUS_ON:
        ui->heartbeatLed->setOffColor(QLed::Green);
        ui->heartbeatLabel->setText(tr("Feedback ON"));
        break;
    default:
        break;
    }
}

void HeartBeat::updateFeedbackButton()
{
    // Follows the polled status; the checked state stays with the operator's clicks.
    if (MAILBOX_COMM->pidStatus() != PID_STATUS_OFF) {
        ui->buttonFdbk->setText(tr("Disable Feedback"));
        ui->buttonFdbk->setIcon(stopIcon());
    } else {
        ui->buttonFdbk->setText(tr("Enable Feedback"));
        ui->buttonFdbk->setIcon(playIcon());
    }
}

void HeartBeat::fdbkStatusChanged()
{
    m_feedbackEnabled = !m_feedbackEnabled;
    MAILBOX_COMM->setFBenable(m_feedbackEnabled ? 1 : 0);
}

void HeartBeat::refreshFields()
{
    updateHeartbeat(MAILBOX_COMM->pidStatus());
    updateFeedbackButton();
    checkUserLevel();
}

void HeartBeat::resetPIDControllerPressed()
{
    MAILBOX_COMM->setCtrlReset();
}
