#include "WindowDisplaySettings.h"

#include <QPushButton>

#include "Globals.h"
#include "MailboxComm.h"
#include "Prompts.h"
#include "Updater.h"
#include "VornRecords.h"
#include "ui_windowdisplaysettings.h"

WindowDisplaySettings::WindowDisplaySettings(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::WindowDisplaySettings)
{
    ui->setupUi(this);
    ui->dispFreqBox->setValue(loadSampFreq());

    bool filter = false;
    if (MAILBOX_COMM)
        MAILBOX_COMM->getDisplayFreq(&filter);
    ui->enableFilterCheckBox->setChecked(filter);

    // The form's own accepted -> accept comes first: Ok hides, then saves.
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &WindowDisplaySettings::saveSettings);
    connect(ui->pushButtonApply, &QPushButton::clicked, this, &WindowDisplaySettings::saveSettings);
    connect(ui->pauseCheckBox, &QCheckBox::toggled, this, &WindowDisplaySettings::pauseButtonChanged);
    connect(ui->dispFreqBox, &QDoubleSpinBox::valueChanged, this, [this] { m_rateEdited = true; });
}

WindowDisplaySettings::~WindowDisplaySettings()
{
    delete ui;
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
    m_heldRate = read ? int(held) : loadSampFreq();
    ui->dispFreqBox->setValue(m_heldRate);
    m_rateEdited = false;
    ui->bufferSamplesComboBox->setCurrentText(QString::number(DISPLAY_BUFFER_BYTES / int(sizeof(DisplayRecord))));
}

QWidget* WindowDisplaySettings::promptParent()
{
    // After Ok the dialog is already hidden.
    return isVisible() ? this : parentWidget();
}

void WindowDisplaySettings::saveSettings()
{
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
    }

    bool ok = false;
    const int records = ui->bufferSamplesComboBox->currentText().toInt(&ok, 10);
    if (ok)
        DISPLAY_BUFFER_BYTES = records * int(sizeof(DisplayRecord));
}

void WindowDisplaySettings::pauseButtonChanged(bool checked)
{
    if (UPDATER)
        UPDATER->setPaused(checked);
}
