#include "WidgetFeedbackControl.h"

#include <QComboBox>
#include <QScopedValueRollback>
#include <QTimer>

#include <cmath>

#include "ConfigSettings.h"
#include "ConfigWriteReport.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "Prompts.h"
#include "QsLog.h"
#include "Slider.h"
#include "ui_widgetfeedbackcontrol.h"

namespace {
constexpr int REFRESH_MS = 1000;

// Shown by a selector whose stored value is none of its items.
const char* const NO_VALID_CHOICE = "invalid";

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
    box->setCurrentIndex(isItemOf(box, index) ? index : -1);
}
}  // namespace

WidgetFeedbackControl::WidgetFeedbackControl(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::WidgetFeedbackControl)
{
    ui->setupUi(this);
    for (QComboBox* box : {ui->comboBoxPidSourceX, ui->comboBoxPidSourceY, ui->comboBoxPidSourceI0,
                           ui->positionXComboBox, ui->positionYComboBox, ui->positionI0ComboBox})
        box->setPlaceholderText(QString::fromLatin1(NO_VALID_CHOICE));

    int dacX = 0, dacY = 1, dacI0 = 2;
    CONFIG_SETTINGS->getDACmap(&dacX, &dacY, &dacI0);
    setDacOutputs(dacX, dacY, dacI0);

    // A failed read leaves the selection as it was.
    int bpmX = BPM_SEL_X, bpmY = BPM_SEL_Y, bpmI0 = BPM_SEL_I0;
    MAILBOX_COMM->getBPMselector(&bpmX, &bpmY, &bpmI0);
    showSources(bpmX, bpmY, bpmI0);

    int enableX = 0, enableY = 0, enableI0 = 0;
    CONFIG_SETTINGS->getPIDenable(&enableX, &enableY, &enableI0);
    setRegulatedAxes(enableX, enableY, enableI0);

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
        Prompts::warning(this, QStringLiteral("DAC outputs not valid"),
                         QStringLiteral("Choose a DAC output (CH1 to CH4) for each loop"));
        return -1;
    }
    if (x != y && y != i0 && x != i0) {
        // Stored only once the controller took it: the file never names what it refused.
        if (MAILBOX_COMM->setPIDoutSel(x, y, i0) < 0) {
            m_refused << QStringLiteral("the output channels");
            showHeldOutputs();
        } else {
            writes.note(CONFIG_SETTINGS->setDACmap(x, y, i0));
        }
        return 0;
    }
    Prompts::warning(this, QStringLiteral("DAC outputs not unique"), QStringLiteral("DAC outputs must be unique"));
    return -1;
}

void WidgetFeedbackControl::sendNewSetpoint()
{
    const double x = ui->posXDoubleSpinBox->value();
    const double y = ui->posYDoubleSpinBox->value();
    const double i0 = ui->i0DoubleSpinBox->value() * unitFactor();
    if (MAILBOX_COMM->setSetpoint(x, y, i0) < 0) {
        updateXYfields();
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
    m_refused.clear();
    // Checked before anything is written, so a refusal writes nothing.
    if (!sourcesValid()) {
        Prompts::warning(this, QStringLiteral("Source not valid"),
                         QStringLiteral("Choose a source (BPM1 or BPM2) for each loop"));
        return;
    }
    ConfigWriteReport writes(*CONFIG_SETTINGS);
    if (applyDacOutputs(writes) < 0)
        return;

    const int bpmX = ui->comboBoxPidSourceX->currentIndex();
    const int bpmY = ui->comboBoxPidSourceY->currentIndex();
    const int bpmI0 = ui->comboBoxPidSourceI0->currentIndex();
    BPM_SEL_X = bpmX;
    BPM_SEL_Y = bpmY;
    BPM_SEL_I0 = bpmI0;
    if (MAILBOX_COMM->setBPMselector(bpmX, bpmY, bpmI0) < 0) {
        m_refused << QStringLiteral("the sources");
        showHeldSources();
    } else {
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
    uchar x = 0, y = 0, i0 = 0;
    if (MAILBOX_COMM->getPIDoutSel(&x, &y, &i0) >= 0)
        setDacOutputs(x, y, i0);
}

void WidgetFeedbackControl::showHeldSources()
{
    int x = 0, y = 0, i0 = 0;
    if (MAILBOX_COMM->getBPMselector(&x, &y, &i0) < 0)
        return;
    showSources(x, y, i0);
}

void WidgetFeedbackControl::showSources(int x, int y, int i0)
{
    // The globals follow the controller too: the graphs must not claim a BPM it does not use.
    BPM_SEL_X = x;
    BPM_SEL_Y = y;
    BPM_SEL_I0 = i0;
    selectItem(ui->comboBoxPidSourceX, x);
    selectItem(ui->comboBoxPidSourceY, y);
    selectItem(ui->comboBoxPidSourceI0, i0);
}

void WidgetFeedbackControl::showHeldCode()
{
    int result = 0;
    const RegulationCode held = MAILBOX_COMM->getPIDconf(&result);
    if (result >= 0)
        confChanged(held);
    else
        emit somethingChanged();
}

void WidgetFeedbackControl::reportRefusals(const QStringList& refused)
{
    const QString what = refused.join(QStringLiteral(", "));
    QLOG_WARN() << QStringLiteral("The controller refused %1; the feedback panel shows what it holds").arg(what);
    Prompts::warning(this, QStringLiteral("Controller refused"),
                     QStringLiteral("The controller refused %1.\nThe panel shows what the controller holds, and the "
                                    "configuration file keeps what it held.")
                         .arg(what));
}

void WidgetFeedbackControl::refreshFields()
{
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
    ui->i0slider->setSliderValue(static_cast<float>(unitFactor() * d));
}

void WidgetFeedbackControl::updateXYfields()
{
    double x = 0.0, y = 0.0, i0 = 0.0;
    // After a failure some outputs were never written: keep what the fields show.
    if (MAILBOX_COMM->getSetpoint(&x, &y, &i0) < 0)
        return;
    if (std::isfinite(x))
        ui->posXDoubleSpinBox->setValue(x);
    if (std::isfinite(y))
        ui->posYDoubleSpinBox->setValue(y);
    if (std::isfinite(i0)) {
        // The handle follows; the field shows the setpoint, not the handle's whole percent.
        const QScopedValueRollback<bool> hold(m_holdI0Field, true);
        ui->i0DoubleSpinBox->setValue(double(static_cast<float>(i0)) / unitFactor());
    }
}

void WidgetFeedbackControl::confChanged(int item)
{
    if (item >= 0 && item < CODE_COUNT) {
        const RegulatedAxes& axes = AXES_OF_CODE[item];
        ui->posXDoubleSpinBox->setEnabled(axes.x);
        ui->posYDoubleSpinBox->setEnabled(axes.y);
        ui->i0DoubleSpinBox->setEnabled(axes.i0);
        ui->confXcheckbox->setChecked(axes.x);
        ui->confYcheckbox->setChecked(axes.y);
        ui->confI0checkbox->setChecked(axes.i0);
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
