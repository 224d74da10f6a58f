#include "WindowROC_ROI.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>

#include "ConfigSettings.h"
#include "ConfigWriteReport.h"
#include "Globals.h"
#include "GraphFrame.h"
#include "MailboxComm.h"
#include "Prompts.h"
#include "RocLimits.h"
#include "UnloadedFields.h"
#include "WidgetGraphXY.h"
#include "WidgetRoc.h"
#include "ui_widgetroc.h"
#include "ui_windowroc_roi.h"

namespace {

// The texts a sending button may carry, with and without its mnemonic.
bool isSendButtonText(const QString& text)
{
    return text == QLatin1String("&OK") || text == QLatin1String("OK") || text == QLatin1String("&Apply")
           || text == QLatin1String("Apply");
}

// The 11 controls of a form that the user level gates.
QList<QWidget*> editControls(const Ui::WidgetRoc& f)
{
    return {f.roiXDoubleSpinBox, f.roiYDoubleSpinBox, f.rocFactorBox,
            f.enableROCXCheckCheckBox, f.enableROCYCheckCheckBox,
            f.roiI0minBox, f.roiI0minUnit, f.roiI0maxBox, f.roiI0maxUnit,
            f.beamOffTh, f.enableBeamOffCheckCheckBox};
}

void showCurrent(QDoubleSpinBox* field, QComboBox* unit, double amperes)
{
    const RocLimits::ShownCurrent shown = RocLimits::shownCurrent(amperes, field->decimals());
    // The selector first: it says what the number means when OK converts it back.
    unit->setCurrentText(shown.unit);
    field->setValue(shown.value);
}

double currentOf(const QDoubleSpinBox* field, const QComboBox* unit)
{
    return RocLimits::amperes(field->value(), field->decimals(), unit->currentText());
}

constexpr int LIMITS_PER_BPM = 3;  // ROC X, ROC Y, beam off

QString limitsGroup(int bpm)
{
    return bpm == 0 ? QStringLiteral("ROCandROI") : QStringLiteral("ROCandROI2");
}

}  // namespace

WindowROC_ROI::WindowROC_ROI(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::WindowROC_ROI)
{
    ui->setupUi(this);
    // Runs before the button box's accepted or rejected, which close the dialog.
    connect(ui->buttonBox, &QDialogButtonBox::clicked, this, &WindowROC_ROI::sendROCconf);

    ui->rocWidget0->form()->bpmLabel->setText(tr("BPM 1"));
    ui->rocWidget1->form()->bpmLabel->setText(tr("BPM 2"));
    showWhatIsSent();

    // Read from the controller only here; a failed read leaves them unticked.
    uchar enables[6] = {};
    MAILBOX_COMM->getROCenable(&enables[0], &enables[1], &enables[2], &enables[3], &enables[4], &enables[5]);
    for (int bpm = 0; bpm < 2; ++bpm) {
        const Ui::WidgetRoc* f = formOf(bpm)->form();
        f->enableROCXCheckCheckBox->setChecked(enables[LIMITS_PER_BPM * bpm] != 0);
        f->enableROCYCheckCheckBox->setChecked(enables[LIMITS_PER_BPM * bpm + 1] != 0);
        f->enableBeamOffCheckCheckBox->setChecked(enables[LIMITS_PER_BPM * bpm + 2] != 0);
    }
}

WindowROC_ROI::~WindowROC_ROI()
{
    delete ui;
}

WidgetRoc* WindowROC_ROI::formOf(int bpm) const
{
    return bpm == 0 ? ui->rocWidget0 : ui->rocWidget1;
}

void WindowROC_ROI::setUpdater(QObject* updater)
{
    if (updater)
        m_updater = updater;
}

void WindowROC_ROI::setBeamlineConf(QObject* beamlineConf)
{
    if (beamlineConf)
        m_beamlineConf = beamlineConf;
}

void WindowROC_ROI::setGraphXY(QObject* graph, int index)
{
    auto* scatter = qobject_cast<WidgetGraphXY*>(graph);
    if (scatter && (index == 0 || index == 1))
        m_graphXY[index] = scatter;
}

void WindowROC_ROI::showAndRefresh()
{
    checkUserLevel();
    loadROCsettings();
    // The load's notes may need more room than the last opening gave.
    UnloadedFields::growToFit(this);
    show();
}

void WindowROC_ROI::loadROCsettings()
{
    loadForm(0);
    loadForm(1);
}

void WindowROC_ROI::loadForm(int bpm)
{
    double roiX = 0.0, roiY = 0.0, i0min = 0.0, i0max = 0.0, rocPercent = 0.0, threshold = 0.0;
    QStringList unread;
    CONFIG_SETTINGS->loadROCandROI(&roiX, &roiY, &i0min, &i0max, &rocPercent, bpm, &unread);
    CONFIG_SETTINGS->getBeamOffTh(&threshold, bpm, &unread);
    WidgetRoc* form = formOf(bpm);
    const Ui::WidgetRoc* f = form->form();
    f->roiXDoubleSpinBox->setValue(roiX);
    f->roiYDoubleSpinBox->setValue(roiY);
    showCurrent(f->roiI0maxBox, f->roiI0maxUnit, i0max);
    showCurrent(f->roiI0minBox, f->roiI0minUnit, i0min);
    f->rocFactorBox->setValue(rocPercent);
    f->beamOffTh->setValue(threshold / RocLimits::AMPERES_PER_MICRO);
    // What the file did not give usably shows a dash, not the field's clamp of it.
    UnloadedFields* fields = form->unloaded();
    fields->markKeys({QStringLiteral("RoiX"), QStringLiteral("RoiY"), QStringLiteral("RocX"),
                      QStringLiteral("RoiI0min"), QStringLiteral("RoiI0max"), QStringLiteral("BeamOffTh")},
                     unread);

    // A stored value the field cannot show: its nearest value, and a note.
    const QString group = limitsGroup(bpm);
    auto note = [&](QDoubleSpinBox* box, const char* name, double stored, double perUnit, const QString& unit) {
        const QString key = group + QLatin1Char('/') + QLatin1String(name);
        if (CONFIG_SETTINGS->holds(key))
            fields->noteStored(box, key, stored, perUnit, unit);
    };
    note(f->roiXDoubleSpinBox, "RoiX", roiX, 1.0, QString());
    note(f->roiYDoubleSpinBox, "RoiY", roiY, 1.0, QString());
    note(f->roiI0minBox, "RoiI0min", i0min, RocLimits::unitFactor(f->roiI0minUnit->currentText()),
         QStringLiteral("A"));
    note(f->roiI0maxBox, "RoiI0max", i0max, RocLimits::unitFactor(f->roiI0maxUnit->currentText()),
         QStringLiteral("A"));
    note(f->beamOffTh, "BeamOffTh", threshold, RocLimits::AMPERES_PER_MICRO, QStringLiteral("A"));
    // Half-widths of 0 on an ROI of 0 fit any percentage: there is nothing to tell.
    const bool rocStored = (CONFIG_SETTINGS->holds(group + QStringLiteral("/RocX"))
                            || CONFIG_SETTINGS->holds(group + QStringLiteral("/RocY")))
                           && (rocPercent != 0.0 || roiX != 0.0 || roiY != 0.0);
    QString rocNote;
    if (rocStored && !fields->isUnloaded(f->rocFactorBox) && !UnloadedFields::showsValue(f->rocFactorBox, rocPercent))
        rocNote = tr("ROC: the file's %1/RocX is %2 % of the ROI; the field shows %3.")
                      .arg(group, ConfigSettings::numberText(rocPercent), f->rocFactorBox->text());
    fields->setStoredNote(f->rocFactorBox, rocNote);
}

void WindowROC_ROI::nrZentrimChanged(int nrZentrims)
{
    const GraphFrame::ShownBpms present = GraphFrame::queryPresence();
    ui->rocWidget0->setVisible(present.bpm1);
    ui->rocWidget1->setVisible(present.bpm2);
    m_nrZentrims = nrZentrims;
    showWhatIsSent();
}

void WindowROC_ROI::showWhatIsSent()
{
    // BPM 2's limits go out only with a device on SFP port 1: its form says so
    // instead of taking edits that Apply would drop.
    const bool bpm2Sent = m_nrZentrims > 1;
    ui->rocWidget1->setEnabled(bpm2Sent);
    ui->bpm2Note->setText(bpm2Sent ? QString()
                                   : tr("BPM 2's limits cannot be sent: the controller has no acquisition device "
                                        "on SFP port 1."));
    ui->bpm2Note->setVisible(!bpm2Sent && !ui->rocWidget1->isHidden());
}

void WindowROC_ROI::checkUserLevel()
{
    bool enabled;
    if (USER_LEVEL == USER_LEVEL_CRUISE || USER_LEVEL == USER_LEVEL_USER)
        enabled = false;
    else if (USER_LEVEL == USER_LEVEL_ADMIN)
        enabled = true;
    else
        return;
    // A greyed control says why it does not respond; disabled widgets still show tool tips.
    const QString why = enabled ? QString() : tr("Changing the limits needs the admin level (Settings > Login).");
    for (int bpm = 0; bpm < 2; ++bpm)
        for (QWidget* control : editControls(*formOf(bpm)->form())) {
            control->setEnabled(enabled);
            control->setToolTip(why);
        }
}

void WindowROC_ROI::sendROCconf(QAbstractButton* button)
{
    m_keepOpen = false;
    if (!button || !isSendButtonText(button->text()) || USER_LEVEL != USER_LEVEL_ADMIN)
        return;
    QList<int> bpms{0};
    if (m_nrZentrims > 1)
        bpms << 1;
    // Every form is checked before anything goes out.
    if (!refuseProblems(bpms)) {
        m_keepOpen = true;
        return;
    }
    ConfigWriteReport writes(*CONFIG_SETTINGS);
    QStringList refused;
    for (int bpm : bpms)
        sendLimits(bpm, writes, refused);
    sendEnables(writes, refused);
    m_keepOpen = !writes.tell(this, refused);
}

void WindowROC_ROI::accept()
{
    if (m_keepOpen) {
        m_keepOpen = false;
        return;
    }
    QDialog::accept();
}

QStringList WindowROC_ROI::problemsOf(int bpm) const
{
    const WidgetRoc* form = formOf(bpm);
    const Ui::WidgetRoc* f = form->form();
    QStringList problems;
    for (const QString& field : form->unloaded()->unloadedNames())
        problems << tr("%1 was not read from the configuration file").arg(field);
    // A zero half-width with its check on puts the beam out of the ROC at once.
    if (f->enableROCXCheckCheckBox->isChecked() && f->roiXDoubleSpinBox->value() <= 0.0)
        problems << tr("the ROC X check is on with a roiX of 0");
    if (f->enableROCYCheckCheckBox->isChecked() && f->roiYDoubleSpinBox->value() <= 0.0)
        problems << tr("the ROC Y check is on with a roiY of 0");
    return problems;
}

bool WindowROC_ROI::refuseProblems(const QList<int>& bpms)
{
    QStringList lines;
    for (int bpm : bpms) {
        const QStringList problems = problemsOf(bpm);
        if (!problems.isEmpty())
            lines << tr("BPM %1: %2.").arg(bpm + 1).arg(problems.join(QStringLiteral("; ")));
    }
    if (lines.isEmpty())
        return true;
    Prompts::warning(this, tr("ROC/ROI not sent"),
                     tr("Nothing was sent or stored.\n\n%1").arg(lines.join(QLatin1Char('\n'))));
    return false;
}

bool WindowROC_ROI::sendROCsettings(int bpm)
{
    const int index = bpm == 0 ? 0 : 1;
    if (!refuseProblems({index}))
        return false;
    ConfigWriteReport writes(*CONFIG_SETTINGS);
    QStringList refused;
    sendLimits(index, writes, refused);
    return writes.tell(this, refused);
}

bool WindowROC_ROI::sendROCenables()
{
    ConfigWriteReport writes(*CONFIG_SETTINGS);
    QStringList refused;
    sendEnables(writes, refused);
    return writes.tell(this, refused);
}

void WindowROC_ROI::sendLimits(int index, ConfigWriteReport& writes, QStringList& refused)
{
    const Ui::WidgetRoc* f = formOf(index)->form();
    const double roiX = f->roiXDoubleSpinBox->value();
    const double roiY = f->roiYDoubleSpinBox->value();
    const double rocPercent = f->rocFactorBox->value();
    const double i0min = currentOf(f->roiI0minBox, f->roiI0minUnit);
    const double i0max = currentOf(f->roiI0maxBox, f->roiI0maxUnit);
    const QString name = tr("BPM %1").arg(index + 1);

    const int first = LIMITS_PER_BPM * index;
    const bool xTaken = MAILBOX_COMM->setROClimits(first, 0.0, RocLimits::rocHalfWidth(roiX, rocPercent)) >= 0;
    const bool yTaken = MAILBOX_COMM->setROClimits(first + 1, 0.0, RocLimits::rocHalfWidth(roiY, rocPercent)) >= 0;
    if (xTaken && yTaken) {
        // Without its scatter the limits still go out and are stored; only the drawing is skipped.
        if (WidgetGraphXY* scatter = m_graphXY[index]) {
            scatter->setRoiRects(roiX, roiY, rocPercent / 100.0);
            scatter->replot();
        }
        writes.note(CONFIG_SETTINGS->saveROCandROI(index, roiX, roiY, i0min, i0max, rocPercent));
    } else {
        refused << tr("%1 ROC limits").arg(name);
    }

    // From the text the field shows, so that it reads the same in every locale.
    const double threshold = RocLimits::beamOffThreshold(f->beamOffTh->text());
    if (MAILBOX_COMM->setROClimits(first + 2, 0.0, threshold) < 0)
        refused << tr("%1 beam-off threshold").arg(name);
    else
        writes.note(CONFIG_SETTINGS->setBeamOffTh(index, threshold));
}

void WindowROC_ROI::sendEnables(ConfigWriteReport& writes, QStringList& refused)
{
    const Ui::WidgetRoc* a = ui->rocWidget0->form();
    const Ui::WidgetRoc* b = ui->rocWidget1->form();
    const bool flags[6] = {a->enableROCXCheckCheckBox->isChecked(), a->enableROCYCheckCheckBox->isChecked(),
                           a->enableBeamOffCheckCheckBox->isChecked(), b->enableROCXCheckCheckBox->isChecked(),
                           b->enableROCYCheckCheckBox->isChecked(), b->enableBeamOffCheckCheckBox->isChecked()};
    if (MAILBOX_COMM->setROCenable(flags[0], flags[1], flags[2], flags[3], flags[4], flags[5]) < 0)
        refused << tr("the ROC and beam-off checks");
    else
        writes.note(CONFIG_SETTINGS->saveROCenables(flags[0], flags[1], flags[2], flags[3], flags[4], flags[5]));
}
