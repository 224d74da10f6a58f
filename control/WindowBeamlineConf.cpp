#include "WindowBeamlineConf.h"

#include <QAbstractButton>
#include <QTimer>

#include "BPM.h"
#include "ConfigSettings.h"
#include "GraphFrame.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "Prompts.h"
#include "Updater.h"
#include "ui_windowbeamlineconf.h"

WindowBeamlineConf::WindowBeamlineConf(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::WindowBeamlineConf)
{
    ui->setupUi(this);
    ui->boxBPM1->setEnabled(true);
    ui->boxBPM2->setEnabled(true);
    ui->boxBPM2->hide();
    ui->boxBPM1->setIndex(0);
    ui->boxBPM2->setIndex(1);
    ui->boxBPM1->checkFirmwareVersion();
    ui->boxBPM2->checkFirmwareVersion();
    connect(ui->buttonBox, &QDialogButtonBox::clicked, this, &WindowBeamlineConf::sendSettings);
    nr_zentrims_changed(0);

    // Runs from construction on, shown or not.
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &WindowBeamlineConf::refreshFields);
    m_timer->start(READOUT_MS);
}

WindowBeamlineConf::~WindowBeamlineConf()
{
    delete ui;
}

BPM* WindowBeamlineConf::box(int bpm) const
{
    return bpm == 0 ? ui->boxBPM1 : ui->boxBPM2;
}

void WindowBeamlineConf::showAndRefresh()
{
    checkUserLevel();
    loadAllBPMsettings();
    nr_zentrims_changed(0);
    show();
}

void WindowBeamlineConf::loadAllBPMsettings()
{
    loadBPMsettings(0);
    loadBPMsettings(1);
}

void WindowBeamlineConf::loadBPMsettings(int bpm)
{
    BPM* target = box(bpm);
    const int index = bpm == 0 ? 0 : 1;
    target->setOrientation(CONFIG_SETTINGS->getOrient(index));
    int top = 0, right = 0, bottom = 0, left = 0;
    CONFIG_SETTINGS->getQuadrants(&top, &right, &bottom, &left, index);
    // Into the picture the orientation just chose.
    target->setChannelMap(top, right, bottom, left);
    target->setScaling(CONFIG_SETTINGS->getScaleX(index), CONFIG_SETTINGS->getScaleY(index));
}

void WindowBeamlineConf::saveBPMsettings(int bpm)
{
    BPM* source = box(bpm);
    const int index = bpm == 0 ? 0 : 1;

    // Each value to the file first, then to the controller; no failure stops the sequence.
    const int orient = source->isOrientation90() ? 1 : 0;
    CONFIG_SETTINGS->setOrient(orient, index);
    MAILBOX_COMM->setBPMorient(uint8_t(orient), uint8_t(index));

    double x = 0.0, y = 0.0;
    source->getScaling(&x, &y);
    CONFIG_SETTINGS->setScaleX(index, x);
    CONFIG_SETTINGS->setScaleY(index, y);
    POS_SCALE_X[index] = x;
    POS_SCALE_Y[index] = y;
    MAILBOX_COMM->setBPMscale(index, x, y);

    double offsetX = 0.0, offsetY = 0.0;
    source->getOffsets(&offsetX, &offsetY);
    CONFIG_SETTINGS->setOffsetX(index, offsetX);
    CONFIG_SETTINGS->setOffsetY(index, offsetY);
    MAILBOX_COMM->setBPMoffset(index, offsetX, offsetY);

    int top = 0, right = 0, bottom = 0, left = 0;
    source->getChannelMap(&top, &right, &bottom, &left);
    // An electrode without a channel would reach the controller as channel 255
    // and the file as -1; the map in force there stays instead.
    if (!BeamlineConfRules::isComplete({top, right, bottom, left})) {
        Prompts::warning(this, tr("Invalid BPM configuration"),
                         tr("BPM %1: an electrode has no channel, so its channel map was neither stored nor sent.\n"
                            "Choose a channel for each electrode and save again.")
                             .arg(index + 1));
        return;
    }
    CONFIG_SETTINGS->setQuadrants(top, right, bottom, left, index);
    MAILBOX_COMM->setCrossBar(uint8_t(top), uint8_t(right), uint8_t(bottom), uint8_t(left), uint8_t(index));
}

void WindowBeamlineConf::saveAllBPMsettings()
{
    saveBPMsettings(0);
    if (ui->boxBPM2->isVisible())
        saveBPMsettings(1);
    emit BPMscaleChanged();
}

void WindowBeamlineConf::updateBPMhvStatus(int status, int bpm, float voltage, float current)
{
    if (bpm == 0 || bpm == 1)
        box(bpm)->updateHVstatus(status, voltage, current);
}

void WindowBeamlineConf::nr_zentrims_changed(int)
{
    const GraphFrame::ShownBpms shown = GraphFrame::queryPresence();
    ui->boxBPM1->setVisible(shown.bpm1);
    ui->boxBPM1->setHVwidgetHidden(!shown.bpm1);
    ui->boxBPM2->setVisible(shown.bpm2);
    ui->boxBPM2->setHVwidgetHidden(!shown.bpm2);
}

void WindowBeamlineConf::checkUserLevel()
{
    if (USER_LEVEL == USER_LEVEL_CRUISE || USER_LEVEL == USER_LEVEL_USER) {
        ui->boxBPM1->setEnabled(false);
        ui->boxBPM2->setEnabled(false);
    } else if (USER_LEVEL == USER_LEVEL_ADMIN) {
        ui->boxBPM1->setEnabled(true);
        ui->boxBPM2->setEnabled(true);
    }
}

void WindowBeamlineConf::sendSettings(QAbstractButton* button)
{
    // The button box's own roles close the dialog afterwards.
    const QString text = button->text();
    if (text == QLatin1String("&Save") || text == QLatin1String("Save"))
        saveAllBPMsettings();
}

void WindowBeamlineConf::refreshFields()
{
    if (!UPDATER)
        return;
    using BeamlineConfRules::HV_STATE_BITS;
    const ZentrimStatus& first = UPDATER->zentrimStatus(0);
    updateBPMhvStatus(first.hvStatus() & HV_STATE_BITS, 0, first.hvVoltage(), first.hvCurrent());
    // BPM 2's readout stands still while its box is not on screen.
    if (ui->boxBPM2->isVisible()) {
        const ZentrimStatus& second = UPDATER->zentrimStatus(1);
        updateBPMhvStatus(second.hvStatus() & HV_STATE_BITS, 1, second.hvVoltage(), second.hvCurrent());
    }
}
