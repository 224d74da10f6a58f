#include "WindowDisplaySettings.h"

#include <QPushButton>
#include <QSignalBlocker>

#include "Globals.h"
#include "MailboxComm.h"
#include "OutputOwner.h"
#include "Prompts.h"
#include "QsLog.h"
#include "Updater.h"
#include "VornRecords.h"
#include "ui_windowdisplaysettings.h"

WindowDisplaySettings::WindowDisplaySettings(QWidget* parent, OutputOwner* outputs)
    : QDialog(parent)
    , ui(new Ui::WindowDisplaySettings)
    , m_outputs(outputs)
{
    ui->setupUi(this);
    ui->readNote->hide();
    ui->dispFreqBox->setValue(loadSampFreq());
    readFilter();

    // The form's own accepted -> accept comes first: Ok hides, then saves.
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &WindowDisplaySettings::saveSettings);
    connect(ui->pushButtonApply, &QPushButton::clicked, this, &WindowDisplaySettings::saveSettings);
    connect(ui->pauseCheckBox, &QCheckBox::toggled, this, &WindowDisplaySettings::pauseButtonChanged);
    connect(ui->dispFreqBox, &QDoubleSpinBox::valueChanged, this, [this] { m_rateEdited = true; });
    if (m_outputs)
        connect(m_outputs, &OutputOwner::heldChanged, this, &WindowDisplaySettings::showReadNote);
    connect(ui->enableFilterCheckBox, &QCheckBox::stateChanged, this, [this](int state) {
        // Set by the operator: known from now on, and a plain on/off box again.
        if (state != Qt::PartiallyChecked && ui->enableFilterCheckBox->isTristate())
            ui->enableFilterCheckBox->setTristate(false);
        m_filterEdited = true;
        showReadNote();
    });
}

WindowDisplaySettings::~WindowDisplaySettings()
{
    delete ui;
}

void WindowDisplaySettings::readFilter()
{
    bool filter = false;
    bool read = false;
    if (MAILBOX_COMM)
        MAILBOX_COMM->getDisplayFreq(&filter, &read);
    if (read) {
        ui->enableFilterCheckBox->setTristate(false);
        ui->enableFilterCheckBox->setChecked(filter);
    } else {
        ui->enableFilterCheckBox->setCheckState(Qt::PartiallyChecked);
    }
}

void WindowDisplaySettings::showWindow()
{
    show();
    if (UPDATER)
        ui->pauseCheckBox->setChecked(UPDATER->paused());
    // The rate the controller holds, which others (a measurement, another
    // program) may have changed since: Ok must not send one nobody chose.
    bool read = false;
    const double held = MAILBOX_COMM ? MAILBOX_COMM->getDisplayFreq(nullptr, &read) : 0.0;
    m_rateUnread = !read;
    m_heldRate = read ? int(held) : loadSampFreq();
    ui->dispFreqBox->setValue(m_heldRate);
    m_rateEdited = false;
    // A filter flag that could not be read is asked again; one the operator set stays.
    if (ui->enableFilterCheckBox->checkState() == Qt::PartiallyChecked) {
        const QSignalBlocker quiet(ui->enableFilterCheckBox);
        readFilter();
    }
    m_filterEdited = false;
    ui->bufferSamplesComboBox->setCurrentText(QString::number(DISPLAY_BUFFER_BYTES / int(sizeof(DisplayRecord))));
    showReadNote();
}

QWidget* WindowDisplaySettings::promptParent()
{
    // After Ok the dialog is already hidden.
    return isVisible() ? this : parentWidget();
}

QString WindowDisplaySettings::rateRefusal() const
{
    if (m_outputs && m_outputs->isHeld()) {
        const QString holder = m_outputs->holder();
        return tr("%1 holds the outputs, and with them the display rate its run needs.\n"
                  "The display frequency stays at %2 Hz.\n\n%3")
            .arg(holder)
            .arg(loadSampFreq())
            .arg(OutputOwner::busyText(holder));
    }
    if (ui->enableFilterCheckBox->checkState() == Qt::PartiallyChecked)
        return tr("The display filter setting could not be read (getDisplayFreq failed), and a rate is always "
                  "sent with it.\nThe display frequency stays at %1 Hz.\n\nTick or untick \"Enable filter\" and "
                  "apply again.")
            .arg(loadSampFreq());
    return QString();
}

void WindowDisplaySettings::saveSettings()
{
    const QString refusal = rateRefusal();
    if (!refusal.isEmpty()) {
        // Nothing goes to the controller; only a change the operator made is refused aloud.
        if (m_rateEdited || m_filterEdited) {
            QLOG_WARN() << "Display frequency not changed:" << QString(refusal).replace(QLatin1Char('\n'), QLatin1Char(' '));
            Prompts::warning(promptParent(), tr("Display frequency not changed"), refusal);
        }
        ui->dispFreqBox->setValue(m_heldRate >= 0 ? m_heldRate : loadSampFreq());
        m_rateEdited = false;
        applyBufferChoice();
        return;
    }

    const int previous = loadSampFreq();
    // Left as shown: the held rate, also where the box could only show it clamped.
    const int requested = m_rateEdited || m_heldRate < 0 ? static_cast<int>(ui->dispFreqBox->value()) : m_heldRate;

    // Every time axis divides by the rate, so a rate below 1 Hz is never taken.
    int sentRate = requested;
    if (requested < 1) {
        sentRate = previous;
        ui->dispFreqBox->setValue(previous);
        Prompts::warning(promptParent(), tr("Invalid display frequency"),
                         tr("The display frequency must be at least 1 Hz.\n"
                            "It stays at %1 Hz.").arg(previous));
    }

    // The wrapper sends SAMP_FREQ with the filter flag.
    storeSampFreq(sentRate);
    const bool filter = ui->enableFilterCheckBox->isChecked();
    const int result = MAILBOX_COMM ? MAILBOX_COMM->setDisplayFreq(filter ? 1 : 0) : -1;
    if (result < 0) {
        // The controller kept its old settings; the time axes must keep matching its rate.
        storeSampFreq(previous);
        ui->dispFreqBox->setValue(previous);
        Prompts::warning(promptParent(), tr("Display frequency not set"),
                         tr("The controller did not accept %1 Hz with the filter %2.\n"
                            "The display frequency stays at %3 Hz.")
                             .arg(sentRate)
                             .arg(filter ? tr("on") : tr("off"))
                             .arg(previous));
    } else {
        m_heldRate = sentRate;
        m_rateEdited = false;
        m_filterEdited = false;
        m_rateUnread = false;
    }
    applyBufferChoice();
    showReadNote();
}

void WindowDisplaySettings::applyBufferChoice()
{
    // The read size is the program's own: no tool depends on it.
    bool ok = false;
    const int records = ui->bufferSamplesComboBox->currentText().toInt(&ok, 10);
    if (ok)
        DISPLAY_BUFFER_BYTES = records * int(sizeof(DisplayRecord));
}

void WindowDisplaySettings::showReadNote()
{
    QStringList notes;
    if (m_outputs && m_outputs->isHeld())
        notes << tr("%1 holds the outputs and the display rate it set: the rate and filter cannot be changed "
                    "until it ends.")
                     .arg(m_outputs->holder());
    if (m_rateUnread)
        notes << tr("The controller's display rate could not be read: the box shows the rate the time axes use.");
    if (ui->enableFilterCheckBox->checkState() == Qt::PartiallyChecked)
        notes << tr("The filter setting could not be read: set \"Enable filter\" before a rate is sent.");
    ui->readNote->setText(notes.join(QLatin1Char('\n')));
    ui->readNote->setVisible(!notes.isEmpty());
}

void WindowDisplaySettings::pauseButtonChanged(bool checked)
{
    if (UPDATER)
        UPDATER->setPaused(checked);
}
