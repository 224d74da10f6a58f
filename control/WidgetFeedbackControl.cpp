#include "WidgetFeedbackControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QScopedValueRollback>
#include <QTimer>

#include <cmath>
#include <limits>

#include "ConfigSettings.h"
#include "ConfigWriteReport.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "Prompts.h"
#include "QsLog.h"
#include "Slider.h"
#include "UnloadedFields.h"
#include "ui_widgetfeedbackcontrol.h"

namespace {
constexpr int REFRESH_MS = 1000;

// Shown by a selector whose value is none of its items.
const char* const NO_VALID_CHOICE = "invalid";

const char* const DAC_KEYS[3] = {"Beamline/DAC_posX", "Beamline/DAC_posY", "Beamline/DAC_I0"};
const char* const ENABLE_KEYS[3] = {"PID_X/enable", "PID_Y/enable", "PID_I0/enable"};
const char* const LOOP_NAMES[3] = {"X", "Y", "I0"};
const char* const SETPOINT_NAMES[3] = {"Position X", "Position Y", "I0"};
constexpr int ALL_SETPOINT_FIELDS = 0b111;

struct RegulatedAxes
{
    bool x;
    bool y;
    bool i0;
};

// Indexed by RegulationCode.
constexpr RegulatedAxes AXES_OF_CODE[] = {
    {true, false, false},  // 0 X
    {true, true, false},   // 1 X and Y
    {true, false, true},   // 2 X and I0
    {false, true, false},  // 3 Y
    {false, true, true},   // 4 Y and I0
    {true, true, true},    // 5 X, Y and I0
    {false, false, true},  // 6 I0
};
constexpr int CODE_COUNT = int(sizeof AXES_OF_CODE / sizeof AXES_OF_CODE[0]);

// With no axis ticked the code is 0, so X is regulated.
RegulationCode codeOf(bool x, bool y, bool i0)
{
    for (int code = 0; code < CODE_COUNT; ++code) {
        const RegulatedAxes& axes = AXES_OF_CODE[code];
        if (axes.x == x && axes.y == y && axes.i0 == i0)
            return static_cast<RegulationCode>(code);
    }
    return 0;
}

bool isItemOf(const QComboBox* box, int index)
{
    return index >= 0 && index < box->count();
}

// A value that is none of the items shows the placeholder, so it can never be
// read back as a channel or a BPM.
void selectItem(QComboBox* box, int index)
{
    box->setPlaceholderText(QString::fromLatin1(NO_VALID_CHOICE));
    box->setCurrentIndex(isItemOf(box, index) ? index : -1);
}

// Nothing was read: a dash, as every window shows a missing reading.
void selectNothing(QComboBox* box)
{
    box->setPlaceholderText(QString::fromUtf8(UnloadedFields::DASH));
    box->setCurrentIndex(-1);
}

// The store lists an unread key by its name ("DAC_posX") or by its whole key.
bool isListed(const QStringList& unread, const QString& key)
{
    return unread.contains(key) || unread.contains(key.section(QLatin1Char('/'), -1));
}
}  // namespace

WidgetFeedbackControl::WidgetFeedbackControl(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::WidgetFeedbackControl)
{
    ui->setupUi(this);
    ui->readNote->hide();
    for (QComboBox* box : {ui->comboBoxPidSourceX, ui->comboBoxPidSourceY, ui->comboBoxPidSourceI0,
                           ui->positionXComboBox, ui->positionYComboBox, ui->positionI0ComboBox})
        box->setPlaceholderText(QString::fromLatin1(NO_VALID_CHOICE));

    m_unreadSetpoint = new UnloadedFields(this);
    for (int axis = 0; axis < 3; ++axis)
        m_unreadSetpoint->watch(setpointField(axis), QString::fromLatin1(SETPOINT_NAMES[axis]), QString());
    // A value the operator types or steps into a dashed field is known from then on.
    connect(m_unreadSetpoint, &UnloadedFields::changed, this, [this] {
        const QStringList missing = missingSetpointFields();
        setNote(Note::Setpoint, missing.isEmpty() ? QString()
                                                  : tr("Setpoint: no reading of %1 (getSetpoint failed).")
                                                        .arg(missing.join(QStringLiteral(", "))));
    });
    for (QCheckBox* box : axisBoxes()) {
        // A dashed box takes the operator's tick or clear, and is a plain box from then on.
        connect(box, &QCheckBox::clicked, this, [this, box] {
            // A clear box cycles into the third state while tristate: that click meant a tick.
            if (box->checkState() == Qt::PartiallyChecked)
                box->setCheckState(Qt::Checked);
            box->setTristate(false);
            if (axesKnown()) {
                setNote(Note::Axes, QString());
                setNote(Note::StoredAxes, QString());
            }
        });
    }

    loadStoredOutputs();
    readSources();
    loadStoredAxes();

    connect(ui->buttonUpdate, &QPushButton::released, this, &WidgetFeedbackControl::sendNewSetpoint);
    connect(ui->updateConfButton, &QPushButton::released, this, &WidgetFeedbackControl::updateButtonPressed);
    connect(ui->i0slider, &Slider::valueChanged, this, &WidgetFeedbackControl::sliderValueChanged);
    connect(ui->i0DoubleSpinBox, &QDoubleSpinBox::valueChanged, this, &WidgetFeedbackControl::spinboxValueChanged);

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &WidgetFeedbackControl::refreshFields);
    m_timer->start(REFRESH_MS);

    checkUserLevel();
    refreshFields();
}

WidgetFeedbackControl::~WidgetFeedbackControl()
{
    delete ui;
}

double WidgetFeedbackControl::unitFactor() const
{
    return ui->i0UnitSelector->currentText() == QLatin1String("uA") ? 1e-6 : 1e-9;
}

QDoubleSpinBox* WidgetFeedbackControl::setpointField(int axis) const
{
    QDoubleSpinBox* const fields[3] = {ui->posXDoubleSpinBox, ui->posYDoubleSpinBox, ui->i0DoubleSpinBox};
    return fields[axis];
}

QList<QCheckBox*> WidgetFeedbackControl::axisBoxes() const
{
    return {ui->confXcheckbox, ui->confYcheckbox, ui->confI0checkbox};
}

void WidgetFeedbackControl::setNote(Note topic, const QString& text)
{
    if (text.isEmpty())
        m_notes.remove(topic);
    else
        m_notes.insert(topic, text);
    const QStringList lines = m_notes.values();
    ui->readNote->setText(lines.join(QLatin1Char('\n')));
    ui->readNote->setVisible(!lines.isEmpty());
}

void WidgetFeedbackControl::loadStoredOutputs()
{
    int channels[3] = {0, 1, 2};
    QStringList unread;
    CONFIG_SETTINGS->getDACmap(&channels[0], &channels[1], &channels[2], &unread);
    QComboBox* const boxes[3] = {ui->positionXComboBox, ui->positionYComboBox, ui->positionI0ComboBox};
    QStringList lines;
    for (int loop = 0; loop < 3; ++loop) {
        const QString key = QString::fromLatin1(DAC_KEYS[loop]);
        if (isListed(unread, key)) {
            selectNothing(boxes[loop]);
            lines << tr("%1 holds no usable number").arg(key);
        } else {
            selectItem(boxes[loop], channels[loop]);
            if (!isItemOf(boxes[loop], channels[loop]))
                lines << tr("%1 holds %2, no channel CH1 to CH4").arg(key).arg(channels[loop]);
        }
    }
    setNote(Note::StoredOutputs, lines.isEmpty() ? QString()
                                                 : tr("DAC Output (configuration file): %1.")
                                                       .arg(lines.join(QStringLiteral("; "))));
}

void WidgetFeedbackControl::loadStoredAxes()
{
    int enables[3] = {0, 0, 0};
    QStringList unread;
    CONFIG_SETTINGS->getPIDenable(&enables[0], &enables[1], &enables[2], &unread);
    setRegulatedAxes(enables[0], enables[1], enables[2]);
    const QList<QCheckBox*> boxes = axisBoxes();
    QStringList lines;
    for (int loop = 0; loop < 3; ++loop) {
        const QString key = QString::fromLatin1(ENABLE_KEYS[loop]);
        // Listed by its name alone, the key may be any of the three: each that
        // gave the default is taken as unread.
        const bool unreadKey = unread.contains(key) || (unread.contains(QStringLiteral("enable")) && enables[loop] == 0);
        if (unreadKey) {
            boxes[loop]->setCheckState(Qt::PartiallyChecked);
            lines << tr("%1 holds no usable number").arg(key);
        } else if (enables[loop] != 0 && enables[loop] != 1) {
            lines << tr("%1 holds %2, shown clear").arg(key).arg(enables[loop]);
        }
    }
    setNote(Note::StoredAxes, lines.isEmpty() ? QString()
                                              : tr("Regulate (configuration file): %1.")
                                                    .arg(lines.join(QStringLiteral("; "))));
}

bool WidgetFeedbackControl::readSources()
{
    int x = -1, y = -1, i0 = -1;
    if (MAILBOX_COMM->getBPMselector(&x, &y, &i0) < 0) {
        // The globals keep what was last read: the panel does not know better.
        for (QComboBox* box : {ui->comboBoxPidSourceX, ui->comboBoxPidSourceY, ui->comboBoxPidSourceI0})
            selectNothing(box);
        setNote(Note::Sources, tr("Source: no reading of the BPM selection (getBPMselector failed)."));
        return false;
    }
    showSources(x, y, i0);
    return true;
}

void WidgetFeedbackControl::getDacOutputs(uchar* x, uchar* y, uchar* i0) const
{
    *x = static_cast<uchar>(ui->positionXComboBox->currentIndex());
    *y = static_cast<uchar>(ui->positionYComboBox->currentIndex());
    *i0 = static_cast<uchar>(ui->positionI0ComboBox->currentIndex());
}

void WidgetFeedbackControl::setDacOutputs(int x, int y, int i0)
{
    selectItem(ui->positionXComboBox, x);
    selectItem(ui->positionYComboBox, y);
    selectItem(ui->positionI0ComboBox, i0);
}

void WidgetFeedbackControl::setRegulatedAxes(int x, int y, int i0)
{
    ui->confXcheckbox->setChecked(x == 1);
    ui->confYcheckbox->setChecked(y == 1);
    ui->confI0checkbox->setChecked(i0 == 1);
    for (QCheckBox* box : axisBoxes())
        box->setTristate(false);
}

void WidgetFeedbackControl::showAxesMissing()
{
    for (QCheckBox* box : axisBoxes())
        box->setCheckState(Qt::PartiallyChecked);
}

bool WidgetFeedbackControl::axesKnown() const
{
    for (const QCheckBox* box : axisBoxes())
        if (box->checkState() == Qt::PartiallyChecked)
            return false;
    return true;
}

bool WidgetFeedbackControl::sourcesValid() const
{
    for (const QComboBox* box : {ui->comboBoxPidSourceX, ui->comboBoxPidSourceY, ui->comboBoxPidSourceI0}) {
        if (!isItemOf(box, box->currentIndex()))
            return false;
    }
    return true;
}

int WidgetFeedbackControl::applyDacOutputs(ConfigWriteReport& writes)
{
    uchar x, y, i0;
    getDacOutputs(&x, &y, &i0);

    if (!isItemOf(ui->positionXComboBox, x) || !isItemOf(ui->positionYComboBox, y) ||
        !isItemOf(ui->positionI0ComboBox, i0)) {
        QStringList why;
        for (Note topic : {Note::Outputs, Note::StoredOutputs})
            if (m_notes.contains(topic))
                why << m_notes.value(topic);
        why << QStringLiteral("Choose a DAC output (CH1 to CH4) for each loop");
        Prompts::warning(this, QStringLiteral("DAC outputs not valid"), why.join(QStringLiteral("\n\n")));
        return -1;
    }
    if (x != y && y != i0 && x != i0) {
        // Stored only once the controller took it: the file never names what it refused.
        if (MAILBOX_COMM->setPIDoutSel(x, y, i0) < 0) {
            m_refused << QStringLiteral("the output channels");
            showHeldOutputs();
        } else {
            setNote(Note::Outputs, QString());
            setNote(Note::StoredOutputs, QString());
            writes.note(CONFIG_SETTINGS->setDACmap(x, y, i0));
        }
        return 0;
    }
    Prompts::warning(this, QStringLiteral("DAC outputs not unique"), QStringLiteral("DAC outputs must be unique"));
    return -1;
}

void WidgetFeedbackControl::sendNewSetpoint()
{
    // The three go together, so a field with a dash leaves nothing to send. The
    // controller may answer now: those fields are read once more first.
    int unread = 0;
    for (int axis = 0; axis < 3; ++axis)
        if (m_unreadSetpoint->isUnloaded(setpointField(axis)))
            unread |= 1 << axis;
    if (unread && readSetpointFields(unread) != 0) {
        const QString missing = missingSetpointFields().join(QStringLiteral(", "));
        QLOG_WARN() << QStringLiteral("Setpoint not sent: the controller's setpoint could not be read for %1")
                           .arg(missing);
        Prompts::warning(this, QStringLiteral("Setpoint not sent"),
                         QStringLiteral("The controller's setpoint could not be read for %1 (getSetpoint failed), "
                                        "so those fields hold no value and nothing was sent.\n\n"
                                        "Type a value into each of them, or press Update Setpoint again to read "
                                        "them anew.")
                             .arg(missing));
        return;
    }

    const double x = ui->posXDoubleSpinBox->value();
    const double y = ui->posYDoubleSpinBox->value();
    const double i0 = ui->i0DoubleSpinBox->value() * unitFactor();
    if (MAILBOX_COMM->setSetpoint(x, y, i0) < 0) {
        m_unreadBack.clear();
        if (readSetpointFields(ALL_SETPOINT_FIELDS) != 0)
            m_unreadBack << QStringLiteral("the setpoint");
        reportRefusals({QStringLiteral("the setpoint")});
    }
    emit somethingChanged();
}

void WidgetFeedbackControl::updateButtonPressed()
{
    const PID_Status_Type status = MAILBOX_COMM->pidStatus();
    if (status == PID_STATUS_BEAM_OFF || status == PID_STATUS_ON) {
        Prompts::warning(this, QStringLiteral("PID running ..."),
                         QStringLiteral("Configuration can be change only if the PID is stopped."));
        return;
    }
    // A failed status poll says nothing about whether the loop runs.
    if (status != PID_STATUS_OFF && status != PID_STATUS_OUT_OF_ROC) {
        QLOG_WARN() << "Configuration not changed: the feedback status could not be read";
        Prompts::warning(this, QStringLiteral("Feedback status unknown"),
                         QStringLiteral("The feedback status could not be read from the controller "
                                        "(getPIDstatus failed), so the configuration was not changed: it can be "
                                        "changed only while the PID is stopped."));
        return;
    }
    m_refused.clear();
    m_unreadBack.clear();
    // Checked before anything is written, so a refusal writes nothing.
    if (!sourcesValid()) {
        QStringList why;
        if (m_notes.contains(Note::Sources))
            why << m_notes.value(Note::Sources);
        why << QStringLiteral("Choose a source (BPM1 or BPM2) for each loop");
        Prompts::warning(this, QStringLiteral("Source not valid"), why.join(QStringLiteral("\n\n")));
        return;
    }
    if (!axesKnown()) {
        QStringList why;
        for (Note topic : {Note::Axes, Note::StoredAxes})
            if (m_notes.contains(topic))
                why << m_notes.value(topic);
        why << QStringLiteral("Tick or clear each regulated axis shown with a dash.");
        Prompts::warning(this, QStringLiteral("Regulated axes not known"), why.join(QStringLiteral("\n\n")));
        return;
    }
    ConfigWriteReport writes(*CONFIG_SETTINGS);
    if (applyDacOutputs(writes) < 0)
        return;

    const int bpmX = ui->comboBoxPidSourceX->currentIndex();
    const int bpmY = ui->comboBoxPidSourceY->currentIndex();
    const int bpmI0 = ui->comboBoxPidSourceI0->currentIndex();
    if (MAILBOX_COMM->setBPMselector(bpmX, bpmY, bpmI0) < 0) {
        m_refused << QStringLiteral("the sources");
        showHeldSources();
    } else {
        BPM_SEL_X = bpmX;
        BPM_SEL_Y = bpmY;
        BPM_SEL_I0 = bpmI0;
        setNote(Note::Sources, QString());
        writes.note(CONFIG_SETTINGS->setBPMmap(bpmX, bpmY, bpmI0));
    }
    emit BPMselectorChanged();

    const RegulationCode code =
        codeOf(ui->confXcheckbox->isChecked(), ui->confYcheckbox->isChecked(), ui->confI0checkbox->isChecked());
    if (MAILBOX_COMM->setPIDconf(code) < 0) {
        m_refused << QStringLiteral("the regulated axes");
        showHeldCode();
    } else {
        confChanged(code);
    }
    emit somethingChanged();
    if (!m_refused.isEmpty())
        reportRefusals(m_refused);
    writes.tell(this);
}

void WidgetFeedbackControl::showHeldOutputs()
{
    uchar held[3] = {0, 0, 0};
    QComboBox* const boxes[3] = {ui->positionXComboBox, ui->positionYComboBox, ui->positionI0ComboBox};
    if (MAILBOX_COMM->getPIDoutSel(&held[0], &held[1], &held[2]) < 0) {
        // Not the request either: the controller refused it.
        for (QComboBox* box : boxes)
            selectNothing(box);
        setNote(Note::Outputs, tr("DAC Output: no reading of the output channels (getPIDoutSel failed)."));
        m_unreadBack << QStringLiteral("the output channels");
        return;
    }
    setDacOutputs(held[0], held[1], held[2]);
    QStringList lines;
    for (int loop = 0; loop < 3; ++loop)
        if (!isItemOf(boxes[loop], held[loop]))
            lines << tr("channel index %1 for %2").arg(held[loop]).arg(QLatin1String(LOOP_NAMES[loop]));
    setNote(Note::Outputs, lines.isEmpty() ? QString()
                                           : tr("DAC Output: the controller reports %1.")
                                                 .arg(lines.join(QStringLiteral(", "))));
}

void WidgetFeedbackControl::showHeldSources()
{
    // A failed read-back leaves the globals at what the controller held before the refused request.
    if (!readSources())
        m_unreadBack << QStringLiteral("the sources");
}

void WidgetFeedbackControl::showSources(int x, int y, int i0)
{
    // The globals follow the controller too: the graphs must not claim a BPM it does not use.
    BPM_SEL_X = x;
    BPM_SEL_Y = y;
    BPM_SEL_I0 = i0;
    QComboBox* const boxes[3] = {ui->comboBoxPidSourceX, ui->comboBoxPidSourceY, ui->comboBoxPidSourceI0};
    const int sources[3] = {x, y, i0};
    QStringList lines;
    for (int loop = 0; loop < 3; ++loop) {
        selectItem(boxes[loop], sources[loop]);
        if (!isItemOf(boxes[loop], sources[loop]))
            lines << tr("BPM index %1 for %2").arg(sources[loop]).arg(QLatin1String(LOOP_NAMES[loop]));
    }
    setNote(Note::Sources, lines.isEmpty() ? QString()
                                           : tr("Source: the controller reports %1.")
                                                 .arg(lines.join(QStringLiteral(", "))));
}

void WidgetFeedbackControl::showHeldCode()
{
    readRegulatedAxes();
    if (!axesKnown())
        m_unreadBack << QStringLiteral("the regulated axes");
}

void WidgetFeedbackControl::readRegulatedAxes()
{
    int result = 0;
    const RegulationCode code = MAILBOX_COMM->getPIDconf(&result);
    if (result >= 0 && code >= 0 && code < CODE_COUNT) {
        confChanged(code);
        return;
    }
    showAxesMissing();
    setNote(Note::Axes, result < 0 ? tr("Regulate: no reading of the regulated axes (getPIDconf failed).")
                                   : tr("Regulate: the controller reports regulation code %1, which names no "
                                        "axes.")
                                         .arg(int(code)));
    emit somethingChanged();
}

void WidgetFeedbackControl::reportRefusals(const QStringList& refused)
{
    const QString what = refused.join(QStringLiteral(", "));
    if (m_unreadBack.isEmpty()) {
        QLOG_WARN() << QStringLiteral("The controller refused %1; the feedback panel shows what it holds").arg(what);
        Prompts::warning(this, QStringLiteral("Controller refused"),
                         QStringLiteral("The controller refused %1.\nThe panel shows what the controller holds, and "
                                        "the configuration file keeps what it held.")
                             .arg(what));
        return;
    }
    const QString unread = m_unreadBack.join(QStringLiteral(", "));
    QLOG_WARN() << QStringLiteral("The controller refused %1; what it holds of %2 could not be read back and is "
                                  "shown as missing")
                       .arg(what, unread);
    Prompts::warning(this, QStringLiteral("Controller refused"),
                     QStringLiteral("The controller refused %1.\nWhat it holds of %2 could not be read back, so the "
                                    "panel shows it as missing; the configuration file keeps what it held.")
                         .arg(what, unread));
}

void WidgetFeedbackControl::refreshFields()
{
    // An older block is no measurement of now: the bar empties until a poll reads one.
    if (MAILBOX_COMM->bpmStatsFailed()) {
        ui->i0slider->setValue(0.0f);
        setNote(Note::Intensity, tr("I0 bar: no reading of the BPM statistics."));
        return;
    }
    // An unread selector names no BPM: showing BPM2's intensity would be a guess.
    if (BPM_SEL_I0 == BPM_SEL_UNKNOWN) {
        ui->i0slider->setValue(0.0f);
        setNote(Note::Intensity, tr("I0 bar: the BPM feeding the intensity loop is not known (getBPMselector)."));
        return;
    }
    setNote(Note::Intensity, QString());
    const BpmStats stats = MAILBOX_COMM->bpmStats();
    const int bpm = BPM_SEL_I0 == 0 ? 0 : 1;
    ui->i0slider->setValue(static_cast<float>(stats.at(bpm, BpmStats::I0_MEAN)));
}

void WidgetFeedbackControl::sliderValueChanged(float f)
{
    if (m_holdI0Field)
        return;
    ui->i0DoubleSpinBox->setValue(double(f) / unitFactor());
}

void WidgetFeedbackControl::spinboxValueChanged(double d)
{
    if (m_dashingI0Field)
        return;
    ui->i0slider->setSliderValue(static_cast<float>(unitFactor() * d));
}

void WidgetFeedbackControl::updateXYfields()
{
    readSetpointFields(ALL_SETPOINT_FIELDS);
}

int WidgetFeedbackControl::readSetpointFields(int which)
{
    int unread = 0;
    for (int axis = 0; axis < 3; ++axis) {
        if (!(which & (1 << axis)))
            continue;
        // One axis at a time, so that one failed read dashes only its own field.
        double value = std::numeric_limits<double>::quiet_NaN();
        double* destinations[3] = {nullptr, nullptr, nullptr};
        destinations[axis] = &value;
        QDoubleSpinBox* field = setpointField(axis);
        if (MAILBOX_COMM->getSetpoint(destinations[0], destinations[1], destinations[2]) < 0 ||
            !std::isfinite(value)) {
            unread |= 1 << axis;
            const QScopedValueRollback<bool> dashing(m_dashingI0Field, axis == 2);
            m_unreadSetpoint->mark(field, true);
            continue;
        }
        m_unreadSetpoint->mark(field, false);
        if (axis == 2) {
            // The handle follows; the field shows the setpoint, not the handle's whole percent.
            const QScopedValueRollback<bool> hold(m_holdI0Field, true);
            field->setValue(double(static_cast<float>(value)) / unitFactor());
        } else {
            field->setValue(value);
        }
    }
    return unread;
}

QStringList WidgetFeedbackControl::missingSetpointFields() const
{
    QStringList missing;
    for (int axis = 0; axis < 3; ++axis)
        if (m_unreadSetpoint->isUnloaded(setpointField(axis)))
            missing << QString::fromLatin1(SETPOINT_NAMES[axis]);
    return missing;
}

void WidgetFeedbackControl::confChanged(int item)
{
    if (item >= 0 && item < CODE_COUNT) {
        const RegulatedAxes& axes = AXES_OF_CODE[item];
        ui->posXDoubleSpinBox->setEnabled(axes.x);
        ui->posYDoubleSpinBox->setEnabled(axes.y);
        ui->i0DoubleSpinBox->setEnabled(axes.i0);
        setRegulatedAxes(axes.x, axes.y, axes.i0);
        // What the boxes show now is the controller's.
        setNote(Note::Axes, QString());
        setNote(Note::StoredAxes, QString());
    }
    emit somethingChanged();
}

void WidgetFeedbackControl::checkUserLevel()
{
    if (USER_LEVEL == USER_LEVEL_CRUISE)
        setEnabled(false);
    else if (USER_LEVEL == USER_LEVEL_USER || USER_LEVEL == USER_LEVEL_ADMIN)
        setEnabled(true);
}
