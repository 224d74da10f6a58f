#include "WindowBeamlineConf.h"

#include <QAbstractButton>
#include <QTimer>

#include <utility>

#include "BPM.h"
#include "ConfigSettings.h"
#include "ConfigWriteReport.h"
#include "GraphFrame.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "Prompts.h"
#include "QsLog.h"
#include "UnloadedFields.h"
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
    // The load's notes may need more room than the last opening gave.
    UnloadedFields::growToFit(this);
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
    QStringList unread;
    const int orient = CONFIG_SETTINGS->getOrient(index, &unread);
    BeamlineConfRules::ChannelMap stored{};
    CONFIG_SETTINGS->getQuadrants(&stored.top, &stored.right, &stored.bottom, &stored.left, index, &unread);
    // A channel the file does not give usably selects nothing, as one outside Ch 1..Ch 4 does.
    BeamlineConfRules::ChannelMap shown = stored;
    for (const auto& [channel, name] : {std::pair{&shown.top, "Top"}, std::pair{&shown.right, "Right"},
                                        std::pair{&shown.bottom, "Bottom"}, std::pair{&shown.left, "Left"}})
        if (unread.contains(QLatin1String(name)))
            *channel = -1;
    if (unread.contains(QStringLiteral("Orient"))) {
        // An orientation the file does not give is not guessed: it must be
        // chosen, and either picture then shows the stored map.
        for (int picture : {1, 0}) {
            target->setOrientation(picture);
            target->setChannelMap(shown.top, shown.right, shown.bottom, shown.left);
        }
        target->clearOrientation();
    } else {
        // Any value but 0 and 1 leaves the choice as it was.
        target->setOrientation(orient);
        // Into the picture the orientation just chose.
        target->setChannelMap(shown.top, shown.right, shown.bottom, shown.left);
    }
    const double x = CONFIG_SETTINGS->getScaleX(index, &unread);
    const double y = CONFIG_SETTINGS->getScaleY(index, &unread);
    target->setScaling(x, y);
    target->markScalesUnread(unread);
    target->noteStored(orient, stored, x, y, unread);
    target->checkConfiguration();
}

QString WindowBeamlineConf::problemsOf(const QList<int>& bpms) const
{
    QStringList lines;
    for (int bpm : bpms) {
        const QStringList problems = BeamlineConfRules::saveProblems(box(bpm)->entries());
        if (problems.isEmpty())
            continue;
        lines << tr("BPM %1: %2.").arg(bpm + 1).arg(problems.join(QStringLiteral("; ")));
        // What the file holds, where the box shows something else.
        for (const QString& note : box(bpm)->storedNotes())
            lines << QStringLiteral("    ") + note;
    }
    return lines.join(QLatin1Char('\n'));
}

bool WindowBeamlineConf::savableAsItIs(int bpm) const
{
    const BPM* source = box(bpm);
    return BeamlineConfRules::saveProblems(source->entries()).isEmpty()
           && !BeamlineConfRules::hasDuplicate(source->channelMap()) && source->storedNotes().isEmpty();
}

bool WindowBeamlineConf::saveBPMsettings(int bpm)
{
    return saveBoxes({bpm == 0 ? 0 : 1});
}

bool WindowBeamlineConf::saveBoxes(const QList<int>& bpms)
{
    // Every box is checked before anything goes out.
    const QString problems = problemsOf(bpms);
    if (!problems.isEmpty()) {
        // Below admin the boxes take no edits: the operator cannot mend it here.
        const QString remedy = USER_LEVEL == USER_LEVEL_ADMIN
                                   ? tr("Correct the box and press Save again.")
                                   : tr("Changing the configuration needs the admin level (Settings > Login).");
        Prompts::warning(this, tr("Invalid BPM configuration"),
                         tr("Nothing was sent or stored.\n\n%1\n\n%2").arg(problems, remedy));
        return false;
    }
    // A repeated channel is saved as shown once the operator says so.
    QStringList repeated;
    for (int bpm : bpms) {
        const QStringList channels = BeamlineConfRules::repeatedChannels(box(bpm)->channelMap());
        if (!channels.isEmpty())
            repeated << tr("BPM %1: %2 is wired to more than one electrode.")
                            .arg(bpm + 1)
                            .arg(channels.join(tr("; ")));
    }
    if (!repeated.isEmpty()
        && Prompts::question(this, tr("Invalid BPM configuration"),
                             tr("%1\n\nThe controller then reads that channel for each of them. Save this map "
                                "anyway?")
                                 .arg(repeated.join(QLatin1Char('\n'))))
               != QMessageBox::Yes)
        return false;

    ConfigWriteReport writes(*CONFIG_SETTINGS);
    QStringList refused;
    for (int bpm : bpms)
        sendAndStore(bpm, writes, refused);
    return writes.tell(this, refused);
}

void WindowBeamlineConf::sendAndStore(int bpm, ConfigWriteReport& writes, QStringList& refused)
{
    BPM* source = box(bpm);
    const QString name = tr("BPM %1").arg(bpm + 1);

    // Each value to the controller first; the file takes only what the controller
    // took, and the next call goes on whatever the last one gave.
    const int orient = source->isOrientation90() ? 1 : 0;
    if (MAILBOX_COMM->setBPMorient(uint8_t(orient), uint8_t(bpm)) < 0)
        refused << tr("%1 orientation").arg(name);
    else
        writes.note(CONFIG_SETTINGS->setOrient(orient, bpm));

    double x = 0.0, y = 0.0;
    source->getScaling(&x, &y);
    if (MAILBOX_COMM->setBPMscale(bpm, x, y) < 0) {
        refused << tr("%1 scaling").arg(name);
    } else {
        POS_SCALE_X[bpm] = x;
        POS_SCALE_Y[bpm] = y;
        writes.note(CONFIG_SETTINGS->setScaleX(bpm, x));
        writes.note(CONFIG_SETTINGS->setScaleY(bpm, y));
    }

    // Offsets that were not loaded, and hidden ones (which cannot be seen or
    // typed) that show something else than the file holds, stay as they are.
    const bool keepStored = source->offsetsUnloaded() || (!source->offsetsShown() && source->offsetsDiffer());
    if (!keepStored) {
        double offsetX = 0.0, offsetY = 0.0;
        source->getOffsets(&offsetX, &offsetY);
        if (MAILBOX_COMM->setBPMoffset(bpm, offsetX, offsetY) < 0) {
            refused << tr("%1 offsets").arg(name);
        } else {
            writes.note(CONFIG_SETTINGS->setOffsetX(bpm, offsetX));
            writes.note(CONFIG_SETTINGS->setOffsetY(bpm, offsetY));
        }
    }

    const BeamlineConfRules::ChannelMap map = source->channelMap();
    if (MAILBOX_COMM->setCrossBar(uint8_t(map.top), uint8_t(map.right), uint8_t(map.bottom), uint8_t(map.left),
                                  uint8_t(bpm)) < 0)
        refused << tr("%1 channel map").arg(name);
    else
        writes.note(CONFIG_SETTINGS->setQuadrants(map.top, map.right, map.bottom, map.left, bpm));
}

bool WindowBeamlineConf::saveAllBPMsettings()
{
    QList<int> bpms;
    // BPM 1's box, hidden while its picoammeter is absent, is stored only as it
    // stands: what it cannot save without a word stays in the file as it is and
    // never blocks BPM 2's.
    if (!ui->boxBPM1->isHidden() || savableAsItIs(0))
        bpms << 0;
    else
        QLOG_INFO() << "BPM 1 is not saved: its box is hidden (no picoammeter on device 0) and holds values that "
                       "cannot be saved as they are; the configuration file keeps its own";
    if (ui->boxBPM2->isVisible())
        bpms << 1;
    const bool saved = bpms.isEmpty() || saveBoxes(bpms);
    emit BPMscaleChanged();
    return saved;
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
        m_keepOpen = !saveAllBPMsettings();
}

void WindowBeamlineConf::accept()
{
    if (m_keepOpen) {
        m_keepOpen = false;
        return;
    }
    QDialog::accept();
}

void WindowBeamlineConf::refreshFields()
{
    if (!UPDATER)
        return;
    // BPM 2's readout stands still while its box is not on screen.
    for (int bpm = 0; bpm < (ui->boxBPM2->isVisible() ? 2 : 1); ++bpm) {
        const QString problem = UPDATER->statusProblem(bpm);
        if (!problem.isEmpty()) {
            box(bpm)->showHVnoReading(problem);
            continue;
        }
        const ZentrimStatus& status = UPDATER->zentrimStatus(bpm);
        updateBPMhvStatus(status.hvStatus() & BeamlineConfRules::HV_STATE_BITS, bpm, status.hvVoltage(),
                          status.hvCurrent());
    }
}
