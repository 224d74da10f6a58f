#include "WindowStepResponse.h"

#include <QCoreApplication>
#include <QLinearGradient>
#include <QPushButton>

#include <cmath>
#include <memory>

#include <qcustomplot.h>

#include "ConfigSettings.h"
#include "DacOutputsWriter.h"
#include "Globals.h"
#include "OutputOwner.h"
#include "Prompts.h"
#include "QsLog.h"
#include "StepResponseAnalysis.h"
#include "UnloadedFields.h"
#include "VornRecords.h"
#include "ui_windowstepresponse.h"

namespace {

const QColor RISE_COLOUR(50, 200, 50);
const QColor DEAD_COLOUR(200, 50, 50);
const QColor SETTLE_COLOUR(220, 69, 0);
const QColor AMPLITUDE_COLOUR(0, 50, 200);
// The labels of the red and orange arrows a shade darker than the arrows: they
// must read at 4.5 : 1 down to the plot's darkest grey (220, 220, 220).
const QColor DEAD_TEXT_COLOUR(160, 30, 30);
const QColor SETTLE_TEXT_COLOUR(170, 50, 0);

QPen markerPen(const QColor& colour)
{
    return QPen(QBrush(colour), 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

QCPItemLine* addLine(QCustomPlot* plot, const QColor& colour, bool arrows)
{
    auto* line = new QCPItemLine(plot);
    for (QCPItemPosition* end : {line->start, line->end}) {
        end->setAxes(plot->xAxis, plot->yAxis2);
        end->setCoords(0.0, 0.0);
    }
    line->setPen(markerPen(colour));
    if (arrows) {
        const QCPLineEnding spike(QCPLineEnding::esSpikeArrow, 8, 10);
        line->setHead(spike);
        line->setTail(spike);
    }
    return line;
}

QCPItemText* addText(QCustomPlot* plot, const QColor& colour, Qt::Alignment alignment)
{
    auto* text = new QCPItemText(plot);
    text->position->setAxes(plot->xAxis, plot->yAxis2);
    text->position->setCoords(0.0, 0.0);
    text->setPositionAlignment(alignment);
    text->setColor(colour);
    // On the plot's light background, so that the response's trace never hides it.
    text->setBrush(QBrush(QColor(250, 250, 250, 230)));
    text->setPadding(QMargins(2, 1, 2, 1));
    text->setText(QString());
    return text;
}

void place(QCPItemLine* line, double x0, double y0, double x1, double y1)
{
    line->start->setCoords(x0, y0);
    line->end->setCoords(x1, y1);
}

QString number(double value)
{
    return QString::number(value, 'g', 4);
}

const QString TOOL_NAME = QStringLiteral("Step Response");
const char* const LOOP_NAMES[StepStimulus::LOOPS] = {"X", "Y", "I0"};
const char* const PID_GROUPS[StepStimulus::LOOPS] = {"PID_X", "PID_Y", "PID_I0"};
const char* const DAC_KEYS[StepStimulus::LOOPS] = {"DAC_posX", "DAC_posY", "DAC_I0"};

// `slack` forgives the rounding of a sum of two-decimal box values.
bool withinOutputRange(double volts, double slack = 0.0)
{
    return volts >= DAC_OUTPUT_MIN_V - slack && volts <= DAC_OUTPUT_MAX_V + slack;
}

QString faultText(const StepResponseResult& result)
{
    using Fault = StepResponseResult::Fault;
    switch (result.fault) {
    case Fault::None:
        break;
    case Fault::BadInput:
        return WindowStepResponse::tr("the record is too short to analyse.");
    case Fault::NotFinite:
        return WindowStepResponse::tr("the record holds samples that are not numbers.");
    case Fault::StartsHigh:
        return WindowStepResponse::tr("the record begins after the step had started (the display stream was "
                                      "read late). Run again.");
    case Fault::NoCleanEdge:
        return WindowStepResponse::tr("the recorded output does not rise once and fall back once.");
    case Fault::OutputOffLevel:
        return WindowStepResponse::tr("the recorded output does not stand at the bias and at bias + step.");
    case Fault::TooLittleBefore:
        return WindowStepResponse::tr("less than one mains period was recorded before the step (the display "
                                      "stream was read late). Run again.");
    case Fault::NotSettled:
        return WindowStepResponse::tr("the response does not settle while the step stands.");
    case Fault::NoResponse:
        return WindowStepResponse::tr("the response to the step does not stand out of the noise.");
    case Fault::TooFast:
        return WindowStepResponse::tr("the response is faster than one sample: the record cannot resolve it.");
    case Fault::EdgesDisagree:
        return WindowStepResponse::tr("the response to the rise and to the fall differ by more than the noise "
                                      "allows. Run again.");
    case Fault::Imprecise:
        return WindowStepResponse::tr("the noise leaves the figures too uncertain (K \u00b1%1 %, Tdead \u00b1%2 ms, "
                                      "Tset \u00b1%3 ms; at most \u00b1%4 %, \u00b1%5 ms and \u00b1%6 ms are shown). "
                                      "Use a larger step.")
            .arg(number(100.0 * STEP_CONFIDENCE * result.gainError / result.gain))
            .arg(number(1e3 * STEP_CONFIDENCE * result.deadTimeError))
            .arg(number(1e3 * STEP_CONFIDENCE * result.settlingTimeError))
            .arg(number(100.0 * STEP_GAIN_TOLERANCE))
            .arg(number(1e3 * STEP_DEAD_TIME_TOLERANCE_S))
            .arg(number(1e3 * STEP_SETTLING_TOLERANCE_S));
    }
    return QString();
}

}  // namespace

WindowStepResponse::WindowStepResponse(OutputOwner& outputs, MeasurementClock& clock, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::WindowStepResponse)
    , m_stimulusData(new QCPGraphDataContainer)
    , m_responseData(new QCPGraphDataContainer)
    , m_outputs(outputs)
    , m_clock(clock)
{
    ui->setupUi(this);
    QPushButton* run = ui->buttonBox->button(QDialogButtonBox::Apply);
    run->setText(tr("Run"));
    connect(run, &QPushButton::released, this, &WindowStepResponse::stepRespProcedure);
    connect(ui->stepInXbutton, &QRadioButton::clicked, this, &WindowStepResponse::selector_radioButton_changed);
    connect(ui->stepInYbutton, &QRadioButton::clicked, this, &WindowStepResponse::selector_radioButton_changed);
    connect(ui->stepInI0button, &QRadioButton::clicked, this, &WindowStepResponse::selector_radioButton_changed);
    ui->stepInXbutton->setChecked(true);
    selector_radioButton_changed();
    m_unloaded = new UnloadedFields(this);
    for (int loop = 0; loop < StepStimulus::LOOPS; ++loop)
        m_unloaded->watch(biasBox(loop), tr("%1 bias").arg(QLatin1String(LOOP_NAMES[loop])),
                          QStringLiteral("Offset"));
    // A bias set in the box replaces the stored offset it was refused for.
    connect(m_unloaded, &UnloadedFields::changed, this, [this] {
        for (int loop = 0; loop < StepStimulus::LOOPS; ++loop)
            if (!m_unloaded->isUnloaded(biasBox(loop)))
                m_offsetProblem[loop].clear();
    });
    setupPlot();
}

WindowStepResponse::~WindowStepResponse()
{
    delete ui;
}

void WindowStepResponse::setupPlot()
{
    QCustomPlot* plot = ui->graph;
    QLinearGradient background(0, 0, 0, 500);
    background.setColorAt(0, QColor(250, 250, 250));
    background.setColorAt(1, QColor(220, 220, 220));
    plot->setBackground(QBrush(background));

    QCPGraph* stimulus = plot->addGraph(plot->xAxis, plot->yAxis);
    stimulus->setName(tr("Stimulus"));
    stimulus->setData(m_stimulusData);
    plot->yAxis2->setVisible(true);
    QCPGraph* response = plot->addGraph(plot->xAxis, plot->yAxis2);
    response->setName(tr("Response"));
    response->setPen(QPen(QColor(200, 0, 0), 1));
    response->setData(m_responseData);

    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectAxes);
    plot->axisRect()->setRangeZoom(Qt::Horizontal);
    plot->legend->setVisible(true);
    plot->legend->setTextColor(QColor(10, 10, 10));
    plot->legend->setBrush(QBrush(QColor(222, 222, 222)));

    m_riseLine = addLine(plot, RISE_COLOUR, false);
    m_deadArrow = addLine(plot, DEAD_COLOUR, true);
    m_settleArrow = addLine(plot, SETTLE_COLOUR, true);
    m_amplitudeArrow = addLine(plot, AMPLITUDE_COLOUR, true);
    m_deadText = addText(plot, DEAD_TEXT_COLOUR, Qt::AlignTop | Qt::AlignHCenter);
    m_settleText = addText(plot, SETTLE_TEXT_COLOUR, Qt::AlignTop | Qt::AlignHCenter);
    m_amplitudeText = addText(plot, AMPLITUDE_COLOUR, Qt::AlignTop | Qt::AlignLeft);
}

void WindowStepResponse::showWindow()
{
    double freq, kp, ki, kd, emin, imax, omin, omax, ogain;
    double offsets[StepStimulus::LOOPS];
    QStringList unread[StepStimulus::LOOPS];
    CONFIG_SETTINGS->loadPIDX(&freq, &kp, &ki, &kd, &emin, &imax, &omin, &omax, &ogain, &offsets[0], &unread[0]);
    CONFIG_SETTINGS->loadPIDY(&freq, &kp, &ki, &kd, &emin, &imax, &omin, &omax, &ogain, &offsets[1], &unread[1]);
    CONFIG_SETTINGS->loadPIDI0(&freq, &kp, &ki, &kd, &emin, &imax, &omin, &omax, &ogain, &offsets[2], &unread[2]);
    for (int loop = 0; loop < StepStimulus::LOOPS; ++loop) {
        const QString key = QStringLiteral("%1/Offset").arg(QLatin1String(PID_GROUPS[loop]));
        QString problem;
        if (unread[loop].contains(QStringLiteral("Offset")))
            problem = tr("is not a number (the log names the value)");
        else if (!std::isfinite(offsets[loop]) || !withinOutputRange(offsets[loop]))
            problem = tr("is %1 V, outside the output range of %2 to %3 V")
                          .arg(offsets[loop])
                          .arg(DAC_OUTPUT_MIN_V)
                          .arg(DAC_OUTPUT_MAX_V);
        if (!problem.isEmpty()) {
            // Never the store's stand-in nor the box's clamp of it: a dash, and no run from it.
            QLOG_WARN() << QStringLiteral("Step Response: the stored offset %1 %2; its bias shows a dash")
                               .arg(key, problem);
            m_unloaded->mark(biasBox(loop), true);
        } else {
            m_unloaded->mark(biasBox(loop), false);
            biasBox(loop)->setValue(offsets[loop]);
        }
        m_offsetProblem[loop] = problem;
    }
    show();
}

void WindowStepResponse::selector_radioButton_changed()
{
    QDoubleSpinBox* const steps[StepStimulus::LOOPS] = {ui->posXStepDoubleSpinBox, ui->posYStepDoubleSpinBox,
                                                        ui->i0StepDoubleSpinBox};
    const QRadioButton* const buttons[StepStimulus::LOOPS] = {ui->stepInXbutton, ui->stepInYbutton,
                                                              ui->stepInI0button};
    int selected = -1;
    for (int loop = 0; loop < StepStimulus::LOOPS; ++loop)
        if (buttons[loop]->isChecked())
            selected = loop;
    if (selected < 0)
        return;
    for (int loop = 0; loop < StepStimulus::LOOPS; ++loop) {
        steps[loop]->setEnabled(loop == selected);
        steps[loop]->setValue(loop == selected ? 0.1 : 0.0);
    }
}

StepStimulus::Loop WindowStepResponse::selectedLoop() const
{
    if (ui->stepInYbutton->isChecked())
        return StepStimulus::LoopY;
    if (ui->stepInI0button->isChecked())
        return StepStimulus::LoopI0;
    return StepStimulus::LoopX;
}

QDoubleSpinBox* WindowStepResponse::biasBox(int loop) const
{
    QDoubleSpinBox* const biases[StepStimulus::LOOPS] = {ui->posXbiasDoubleSpinBox, ui->posYbiasDoubleSpinBox,
                                                         ui->i0biasDoubleSpinBox};
    return biases[loop];
}

StepStimulus WindowStepResponse::buildStimulus(QStringList* unread) const
{
    const double bias[StepStimulus::LOOPS] = {ui->posXbiasDoubleSpinBox->value(), ui->posYbiasDoubleSpinBox->value(),
                                              ui->i0biasDoubleSpinBox->value()};
    const double step[StepStimulus::LOOPS] = {ui->posXStepDoubleSpinBox->value(), ui->posYStepDoubleSpinBox->value(),
                                              ui->i0StepDoubleSpinBox->value()};
    int dac[StepStimulus::LOOPS] = {0, 1, 2};
    CONFIG_SETTINGS->getDACmap(&dac[0], &dac[1], &dac[2], unread);
    return StepStimulus::build(bias, step, dac, selectedLoop(), ui->useBPM2checkbox->isChecked());
}

QString WindowStepResponse::rangeRefusal(const StepStimulus& stim) const
{
    for (int loop = 0; loop < StepStimulus::LOOPS; ++loop) {
        if (m_unloaded->isUnloaded(biasBox(loop)))
            return tr("The stored offset of the %1 loop (%2) %3.\nSet its bias in this window.")
                .arg(QLatin1String(LOOP_NAMES[loop]), QLatin1String(PID_GROUPS[loop]), m_offsetProblem[loop]);
    }
    const double top = stim.bias + stim.step;
    if (!withinOutputRange(top, 1e-9))
        return tr("A bias of %1 V with a step of %2 V reaches %3 V, outside the output range of %4 to %5 V.")
            .arg(stim.bias)
            .arg(stim.step)
            .arg(top)
            .arg(DAC_OUTPUT_MIN_V)
            .arg(DAC_OUTPUT_MAX_V);
    return QString();
}

void WindowStepResponse::stepRespProcedure()
{
    QStringList unreadMap;
    const StepStimulus stim = buildStimulus(&unreadMap);
    // Refused before anything reaches the controller: there would be nothing to measure.
    if (stim.step == 0.0) {
        clearResult(tr("Step is 0: nothing measured."));
        return;
    }
    if (!unreadMap.isEmpty()) {
        // The stand-in channel of an unreadable key would put a bias on an output nobody chose.
        clearResult(tr("The output map could not be read: nothing measured."));
        Prompts::warning(this, TOOL_NAME,
                         tr("The beamline configuration's output map could not be read (Beamline/%1).\n"
                            "Set the output channels in the beamline configuration.\nNothing was measured.")
                             .arg(unreadMap.join(QStringLiteral(", Beamline/"))));
        return;
    }
    if (!stim.valid()) {
        clearResult(tr("Output channel %1 of the stepped loop does not exist: nothing measured.")
                        .arg(stim.outputChannel + 1));
        Prompts::warning(this, TOOL_NAME,
                         tr("The stepped loop drives output channel index %1 in the beamline configuration "
                            "(Beamline/%2); only indices 0 to 3 exist.\nNothing was measured.")
                             .arg(stim.outputChannel)
                             .arg(QLatin1String(DAC_KEYS[selectedLoop()])));
        return;
    }
    for (int loop = 0; loop < StepStimulus::LOOPS; ++loop) {
        const int channel = stim.channels[size_t(loop)];
        if (channel >= 0 && channel < StepStimulus::OUTPUT_CHANNELS)
            continue;
        // Its bias would reach no output, and the output it steers would drop to 0 V.
        clearResult(tr("The output map names a channel that does not exist: nothing measured."));
        Prompts::warning(this, TOOL_NAME,
                         tr("The beamline configuration's Beamline/%1 holds %2; only output channel indices 0 to 3 "
                            "exist.\nNothing was measured.")
                             .arg(QLatin1String(DAC_KEYS[loop]))
                             .arg(channel));
        return;
    }
    const QString refusal = rangeRefusal(stim);
    if (!refusal.isEmpty()) {
        clearResult(tr("Outside the output range: nothing measured."));
        Prompts::warning(this, TOOL_NAME, refusal + tr("\nNothing was measured."));
        return;
    }

    // The run holds the GUI thread to its end, so there is nothing a stop could interrupt.
    std::unique_ptr<OutputLease> lease = m_outputs.takeOrExplain(this, TOOL_NAME, [] {});
    if (!lease)
        return;
    const StepRunOutcome outcome = StepResponseRun::run(stim, m_clock);
    lease.reset();
    if (!outcome.ok()) {
        showFailure(outcome);
        return;
    }

    std::vector<double> stimulus(ANALYSED_RECORDS), response(ANALYSED_RECORDS);
    for (int k = 0; k < ANALYSED_RECORDS; ++k) {
        stimulus[size_t(k)] = outcome.records[size_t(k)].word[stim.stimulusWord];
        response[size_t(k)] = outcome.records[size_t(k)].word[stim.responseWord];
    }
    const StepResponseResult result = analyseStepResponse(stimulus, response, stim.bias, stim.step, RUN_SAMPLE_RATE);
    if (!result.valid()) {
        const QString why = faultText(result);
        QLOG_WARN() << "Step Response: no result:" << why;
        clearResult(tr("No result: %1").arg(why));
        return;
    }
    showResult(result, stimulus, response, stim);
}

void WindowStepResponse::showFailure(const StepRunOutcome& outcome)
{
    const QString first = outcome.displayOpenError.isEmpty() ? outcome.problems.first() : outcome.displayOpenError;
    clearResult(tr("Nothing measured: %1").arg(first));
    if (!outcome.problems.isEmpty())
        Prompts::warning(this, TOOL_NAME, outcome.problems.join(QLatin1Char('\n')) + tr("\n\nNothing was measured."));
    if (!outcome.displayOpenError.isEmpty()) {
        Prompts::critical(nullptr, QStringLiteral("Cannot open file"),
                          QStringLiteral("System file /dev/vorn_dma_displ could not be opened.\n\n"
                                         "Please check if VORN driver is loaded.\nApplication will now quit.\n"),
                          QMessageBox::Ok);
        QCoreApplication::quit();
    }
}

void WindowStepResponse::showResult(const StepResponseResult& result, const std::vector<double>& stimulus,
                                    const std::vector<double>& response, const StepStimulus& stim)
{
    ui->invertedLabel->setText(result.inverted ? tr("Inverted display") : QString());

    // The run alone: both curves replaced, the response as analysed.
    const double sign = result.inverted ? -1.0 : 1.0;
    QVector<QCPGraphData> stimulusPoints(int(stimulus.size())), responsePoints(int(response.size()));
    for (int k = 0; k < int(stimulus.size()); ++k) {
        const double t = double(k) / RUN_SAMPLE_RATE;
        stimulusPoints[k] = QCPGraphData(t, stimulus[size_t(k)]);
        responsePoints[k] = QCPGraphData(t, sign * response[size_t(k)]);
    }
    m_stimulusData->set(stimulusPoints, true);
    m_responseData->set(responsePoints, true);
    QCustomPlot* plot = ui->graph;
    plot->graph(0)->setData(m_stimulusData);
    plot->graph(1)->setData(m_responseData);
    plot->replot(QCustomPlot::rpRefreshHint);

    ui->dulabel->setText(number(result.du));
    ui->dclabel->setText(number(result.dy));
    ui->Klabel->setText(number(result.gain));
    ui->Tdeadlabel->setText(number(1000.0 * result.deadTime) + QStringLiteral(" ms"));
    ui->Tsetlabel->setText(number(1000.0 * result.settlingTime) + QStringLiteral(" ms"));

    const double lo = result.lo, hi = result.hi, dy = result.dy;
    const double tS = result.edgeTime, t10 = result.time10, t90 = result.time90;
    const double below = lo - 0.1 * dy;
    const double longer = std::max(result.deadTime, result.settlingTime);
    const double amplitudeAt = t90 + 0.3 * longer;
    place(m_riseLine, t10, lo, t90, hi);
    place(m_deadArrow, tS, below, t10, below);
    m_deadText->position->setCoords((tS + t10) / 2.0, below);
    m_deadText->setText(QStringLiteral("Tdead"));
    place(m_settleArrow, t10, below, t90, below);
    m_settleText->position->setCoords((t10 + t90) / 2.0, below);
    m_settleText->setText(QStringLiteral("Tsettle"));
    place(m_amplitudeArrow, amplitudeAt, lo, amplitudeAt, hi);
    m_amplitudeText->position->setCoords(amplitudeAt, (lo + hi) / 2.0);
    m_amplitudeText->setText(QStringLiteral("dy"));

    plot->xAxis->setRange(tS - 0.2 * longer, t90 + longer);
    plot->yAxis->setRange(stim.bias - 0.2 * stim.step, stim.bias + 1.2 * stim.step);
    plot->yAxis2->setRange(lo - 0.2 * dy, lo + 1.2 * dy);
    plot->replot();
}

void WindowStepResponse::clearResult(const QString& why)
{
    for (QLabel* label : {ui->dclabel, ui->dulabel, ui->Klabel, ui->Tdeadlabel, ui->Tsetlabel})
        label->clear();
    ui->invertedLabel->setText(why);
    m_stimulusData->clear();
    m_responseData->clear();
    for (QCPItemLine* line : {m_riseLine, m_deadArrow, m_settleArrow, m_amplitudeArrow})
        place(line, 0.0, 0.0, 0.0, 0.0);
    for (QCPItemText* text : {m_deadText, m_settleText, m_amplitudeText}) {
        text->position->setCoords(0.0, 0.0);
        text->setText(QString());
    }
    ui->graph->replot();
}
