#include "HeartBeat.h"

#include <QApplication>
#include <QSignalBlocker>
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
    m_playIcon = playIcon();
    m_stopIcon = stopIcon();
    ui->buttonFdbk->setText(tr("Enable Feedback"));
    ui->buttonFdbk->setIcon(m_playIcon);

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
    // Label, icon and checked state all follow the polled status.
    m_shownStatus = MAILBOX_COMM->pidStatus();
    {
        const QSignalBlocker quiet(ui->buttonFdbk);
        ui->buttonFdbk->setChecked(m_shownStatus != PID_STATUS_OFF);
    }
    // Set only on a change: every new icon would leave its scaled pixmaps
    // behind in the pixmap cache, once a second, for as long as the program runs.
    const bool offersOff = m_shownStatus != PID_STATUS_OFF;
    const QString text = offersOff ? tr("Disable Feedback") : tr("Enable Feedback");
    if (ui->buttonFdbk->text() != text) {
        ui->buttonFdbk->setText(text);
        ui->buttonFdbk->setIcon(offersOff ? m_stopIcon : m_playIcon);
    }
}

void HeartBeat::fdbkStatusChanged()
{
    // "Enable Feedback" switches on, "Disable Feedback" switches off.
    m_feedbackEnabled = m_shownStatus == PID_STATUS_OFF;
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
