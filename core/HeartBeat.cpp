#include "HeartBeat.h"

#include <QApplication>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>

#include "DialogLogin.h"
#include "MailboxComm.h"
#include "OutputOwner.h"
#include "Prompts.h"
#include "QLed.h"
#include "QsLog.h"
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

// The level's name, or its number where it has none (a note must say something).
QString levelName(int level)
{
    const QString name = DialogLogin::levelName(level);
    return name.isEmpty() ? QString::number(level) : name;
}

}  // namespace

HeartBeat::HeartBeat(QWidget* parent, OutputOwner* outputs)
    : QWidget(parent)
    , ui(new Ui::HeartBeat)
    , m_outputs(outputs)
{
    ui->setupUi(this);
    ui->heartbeatNote->hide();
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
    // A tool taking or giving back the outputs is told at once, not at the next tick.
    if (m_outputs)
        connect(m_outputs, &OutputOwner::heldChanged, this, &HeartBeat::showNotes);

    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &HeartBeat::refreshFields);
    timer->start(REFRESH_INTERVAL_MS);

    // Gated by the level in force first, so that a lock status that cannot be
    // read at once leaves the panel as that level has it, not as the form does.
    applyLevel(USER_LEVEL);
    if (USER_LEVEL >= 0)
        m_lastReadLevel = USER_LEVEL;
    checkUserLevel();
    refreshFields();
}

void HeartBeat::applyLevel(int level)
{
    if (level == USER_LEVEL_CRUISE)
        setEnabled(false);
    else if (level == USER_LEVEL_USER || level == USER_LEVEL_ADMIN)
        setEnabled(true);
}

HeartBeat::~HeartBeat()
{
    delete ui;
}

void HeartBeat::checkUserLevel()
{
    // A failed read is no level: the one read before stays in force.
    const int level = getLockStatus();
    if (level < 0) {
        // A refused login stores the library's failure in USER_LEVEL; that is no
        // level either, so the last one read stays in force instead.
        if (USER_LEVEL < 0)
            USER_LEVEL = m_lastReadLevel;
        if (!m_levelFailing)
            QLOG_WARN() << QStringLiteral("getLockStatus() failed: the user level stays %1 until the lock status "
                                          "can be read")
                               .arg(levelName(USER_LEVEL));
        m_levelFailing = true;
    } else {
        if (m_levelFailing)
            QLOG_INFO() << QStringLiteral("getLockStatus() answers again: user level %1").arg(levelName(level));
        m_levelFailing = false;
        USER_LEVEL = level;
        m_lastReadLevel = level;
    }
    // A level that was not read changes nothing here, as a level outside 0..2 does not.
    if (level >= 0)
        applyLevel(level);
    showNotes();
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

QStringList HeartBeat::notesFor(const PidStatusReading& status, const QString& holder, int outputMux,
                                bool levelCurrent, int level)
{
    QStringList notes;
    if (status.failing)
        notes << (status.read ? tr("Not current: the status poll fails (getPIDstatus); this is the last status read.")
                              : tr("No feedback status has been read: the status poll fails (getPIDstatus)."));
    // Any status but off says the loop runs; it only acts on the beam through the outputs.
    if (status.read && status.status != PID_STATUS_OFF) {
        if (!holder.isEmpty())
            notes << tr("The feedback does not drive the outputs: %1 holds them.").arg(holder);
        else if (outputMux == 0)
            notes << tr("The feedback does not drive the outputs: they are switched away from it "
                        "(output multiplexer 0).");
    }
    if (!levelCurrent)
        notes << tr("User level not current: the lock status cannot be read (getLockStatus); the level stays %1.")
                     .arg(levelName(level));
    return notes;
}

void HeartBeat::showNotes()
{
    const QStringList notes =
        notesFor(MAILBOX_COMM->pidStatusReading(), m_outputs ? m_outputs->holder() : QString(),
                 MAILBOX_COMM->outputMuxPolled(), !m_levelFailing, USER_LEVEL);
    const QString text = notes.join(QLatin1Char('\n'));
    if (ui->heartbeatNote->text() != text)
        ui->heartbeatNote->setText(text);
    ui->heartbeatNote->setVisible(!text.isEmpty());
}

void HeartBeat::updateFeedbackButton()
{
    // Label, icon and checked state all follow the polled status, the last one
    // read while polls fail: the button then still does what it says.
    m_shownStatus = MAILBOX_COMM->pidStatusReading().status;
    showButtonChecked();
    // Set only on a change: every new icon would leave its scaled pixmaps
    // behind in the pixmap cache, once a second, for as long as the program runs.
    const bool offersOff = m_shownStatus != PID_STATUS_OFF;
    const QString text = offersOff ? tr("Disable Feedback") : tr("Enable Feedback");
    if (ui->buttonFdbk->text() != text) {
        ui->buttonFdbk->setText(text);
        ui->buttonFdbk->setIcon(offersOff ? m_stopIcon : m_playIcon);
    }
}

void HeartBeat::showButtonChecked()
{
    const QSignalBlocker quiet(ui->buttonFdbk);
    ui->buttonFdbk->setChecked(m_shownStatus != PID_STATUS_OFF);
}

void HeartBeat::fdbkStatusChanged()
{
    // "Enable Feedback" switches on, "Disable Feedback" switches off.
    const bool switchOn = m_shownStatus == PID_STATUS_OFF;
    // Switched on while a tool drives the outputs, the loop would show as acting
    // on a beam it does not reach, and fight the tool once it hands them back.
    if (switchOn && m_outputs && m_outputs->isHeld()) {
        showButtonChecked();
        const QString holder = m_outputs->holder();
        QLOG_WARN() << QStringLiteral("Enable Feedback refused: the outputs are held by %1").arg(holder);
        Prompts::warning(this, tr("Enable Feedback"), OutputOwner::busyText(holder));
        return;
    }
    m_feedbackEnabled = switchOn;
    MAILBOX_COMM->setFBenable(m_feedbackEnabled ? 1 : 0);
}

void HeartBeat::refreshFields()
{
    const PidStatusReading reading = MAILBOX_COMM->pidStatusReading();
    // Before the first poll the start value is shown, as it always was; once
    // polls have failed without ever reading one, no status is.
    if (reading.read || !reading.failing) {
        updateHeartbeat(reading.status);
    } else {
        ui->heartbeatLed->setOffColor(QLed::Grey);
        ui->heartbeatLabel->setText(tr("No status read"));
    }
    updateFeedbackButton();
    checkUserLevel();
}

void HeartBeat::resetPIDControllerPressed()
{
    MAILBOX_COMM->setCtrlReset();
}
