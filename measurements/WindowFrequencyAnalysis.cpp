#include "WindowFrequencyAnalysis.h"

#include <QCloseEvent>
#include <QMutexLocker>
#include <QThread>

#include "BodeExport.h"
#include "DacOutputsWriter.h"
#include "DisplayReader.h"
#include "FrequencyAnalysisWorker.h"
#include "FrequencyResponse.h"
#include "Globals.h"
#include "GraphFrame.h"
#include "MailboxComm.h"
#include "MeasurementClock.h"
#include "OutputOwner.h"
#include "PlotRefresher.h"
#include "Prompts.h"
#include "QsLog.h"
#include "UnloadedFields.h"
#include "VornLibrary.h"
#include "VornRecords.h"
#include "ui_windowfrequencyanalysis.h"

namespace {

// The name the outputs are held under: the window's title.
const QString TOOL_NAME = QStringLiteral("Frequency Analysis Tool");

constexpr int SWEEP_COLOURS[6][3] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                                     {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};

// What a display field shows for a controller read that failed.
const QString NO_READING = QString::fromUtf8(UnloadedFields::DASH);

// A settings field holding a value the sweep refuses.
const QString REFUSED_FIELD_STYLE = QStringLiteral("QLineEdit { border: 2px solid #e06060; }");
const char* const REFUSED_PROPERTY = "refused";

QString hz(double f) { return QString::number(f, 'g', 4); }

QSharedPointer<QCPAxisTickerLog> logTicker()
{
    auto ticker = QSharedPointer<QCPAxisTickerLog>::create();
    ticker->setLogBase(10);
    ticker->setSubTickCount(8);
    ticker->setTickCount(4);
    return ticker;
}

void styleBodePlot(QCustomPlot* plot)
{
    GraphFrame::applyBackground(plot, GraphFrame::PROVISIONAL_GRADIENT_END);
    GraphFrame::styleAxes(plot);
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis})
        axis->grid()->setSubGridVisible(true);
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables | QCP::iSelectAxes |
                          QCP::iSelectLegend);
    plot->axisRect()->setRangeDrag(Qt::Horizontal | Qt::Vertical);
    plot->axisRect()->setRangeZoom(Qt::Horizontal | Qt::Vertical);

    plot->xAxis->setScaleType(QCPAxis::stLogarithmic);
    plot->xAxis->setTicker(logTicker());
    plot->xAxis->setLabel(QStringLiteral("Frequency [Hz]"));
    plot->xAxis->setRange(1, 100);
}

}  // namespace

WindowFrequencyAnalysis::WindowFrequencyAnalysis(OutputOwner& outputs, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::WindowFrequencyAnalysis)
    , m_outputs(outputs)
    , m_clock(&MeasurementClock::system())
{
    ui->setupUi(this);
    setupPlots();

    connect(ui->StartSweepPushButton, &QPushButton::clicked, this, &WindowFrequencyAnalysis::slotStartSweepPushButton);
    connect(ui->StopSweepPushButton, &QPushButton::clicked, this, &WindowFrequencyAnalysis::slotStopSweepPushButton);
    connect(ui->outputChComboBox, &QComboBox::currentIndexChanged, this,
            &WindowFrequencyAnalysis::outputChComboBoxChanged);
    connect(ui->inputChComboBox, &QComboBox::currentIndexChanged, this,
            &WindowFrequencyAnalysis::inputChComboBoxChanged);
    connect(ui->plotsTree, &QTreeWidget::itemChanged, this, &WindowFrequencyAnalysis::onPlotsTreeItemChanged);
    connect(ui->exportMeasPushButton, &QPushButton::clicked, this, &WindowFrequencyAnalysis::slotExportMeasPushButton);
    connect(ui->useBPMscalingCheckBox, &QCheckBox::stateChanged, this,
            &WindowFrequencyAnalysis::slotUseBPMscalingCheckBox);
    connect(ui->pushButtonAutoscale, &QPushButton::clicked, this, &WindowFrequencyAnalysis::slotPushButtonAutoscale);
    connect(ui->clearGraphsPushButton, &QPushButton::clicked, this,
            &WindowFrequencyAnalysis::slotClearGraphsPushButton);
    for (QLineEdit* field : {ui->startFreqLineEdit, ui->stopFreqLineEdit, ui->lengthLineEdit}) {
        connect(field, &QLineEdit::textChanged, this, [this] { markRefusedFields(true); });
        connect(field, &QLineEdit::editingFinished, this, [this] { markRefusedFields(); });
    }
    ui->sweepNoteLabel->hide();

    outputChComboBoxChanged();
    inputChComboBoxChanged();
    useBPMscaling = true;
    ui->progressBar->setValue(0);
    ui->StopSweepPushButton->setEnabled(false);
}

WindowFrequencyAnalysis::~WindowFrequencyAnalysis()
{
    // The sweep thread is our child: it must have ended before it is destroyed.
    stopSweep();
    // Their queued quit would never be delivered now; an earlier sweep's thread
    // may still be on its way out too.
    for (QThread* thread : findChildren<QThread*>(QString(), Qt::FindDirectChildrenOnly)) {
        thread->quit();
        thread->wait();
    }
    funcGenEnable(0);
    // The sweep's end may never be delivered now that the event loop is over.
    m_lease.reset();
    delete ui;
}

void WindowFrequencyAnalysis::setMeasurementClock(MeasurementClock& clock)
{
    m_clock = &clock;
}

void WindowFrequencyAnalysis::setupPlots()
{
    QCustomPlot* mg = ui->graphMg;
    styleBodePlot(mg);
    mg->yAxis->setScaleType(QCPAxis::stLogarithmic);
    mg->yAxis->setTicker(logTicker());
    mg->yAxis->setLabel(QStringLiteral("Magnitude"));
    mg->yAxis->setNumberFormat(QStringLiteral("e"));
    mg->yAxis->setNumberPrecision(2);

    QCustomPlot* ph = ui->graphPh;
    styleBodePlot(ph);
    ph->yAxis->setTicker(QSharedPointer<QCPAxisTicker>::create());
    ph->yAxis->setLabel(QStringLiteral("Phase [deg]"));
    ph->yAxis->setRange(-360, 360);
    ph->yAxis->setNumberFormat(QStringLiteral("f"));
    ph->yAxis->setNumberPrecision(2);

    m_refreshMg = new PlotRefresher(mg);
    m_refreshPh = new PlotRefresher(ph);
}

void WindowFrequencyAnalysis::replotBoth()
{
    m_refreshMg->replot();
    m_refreshPh->replot();
}

void WindowFrequencyAnalysis::showWindow()
{
    outputChComboBoxChanged();
    inputChComboBoxChanged();
    getOutputChValue();
    // What was refused before it was closed is still refused.
    markRefusedFields();
    show();
    raise();
    activateWindow();
}

void WindowFrequencyAnalysis::markField(QLineEdit* field, bool refused, const QString& allowed)
{
    if (field->property(REFUSED_PROPERTY).toBool() == refused)
        return;
    field->setProperty(REFUSED_PROPERTY, refused);
    field->setStyleSheet(refused ? REFUSED_FIELD_STYLE : QString());
    field->setToolTip(refused ? tr("Not allowed: %1").arg(allowed) : QString());
}

void WindowFrequencyAnalysis::markRefusedFields(bool onlyClear)
{
    const FrequencyResponse::RefusedFields refused = FrequencyResponse::refusedFields(
        ui->startFreqLineEdit->text(), ui->stopFreqLineEdit->text(), ui->lengthLineEdit->text());
    const auto mark = [&](QLineEdit* field, bool isRefused, const QString& allowed) {
        if (!onlyClear || !isRefused)
            markField(field, isRefused, allowed);
    };
    mark(ui->startFreqLineEdit, refused.start, tr("0.1 to 500 Hz, below the stop frequency"));
    mark(ui->stopFreqLineEdit, refused.stop, tr("1 to 1000 Hz, above the start frequency"));
    mark(ui->lengthLineEdit, refused.length, tr("a whole number of 2 to 1001 points"));
}

// ---- settings ---------------------------------------------------------------------

int WindowFrequencyAnalysis::buildFrequencyList()
{
    const int length = ui->lengthLineEdit->text().toInt();
    const double start = ui->startFreqLineEdit->text().toDouble();
    const double stop = ui->stopFreqLineEdit->text().toDouble();

    const FrequencyResponse::Refusal refusal = FrequencyResponse::checkSettings(start, stop, length);
    if (refusal != FrequencyResponse::Refusal::None)
        markRefusedFields();
    switch (refusal) {
    case FrequencyResponse::Refusal::Start:
        Prompts::critical(this, QStringLiteral("Start frequency not allowed ...\n"),
                          QStringLiteral("Range of allowed Start frequency values: [0.1, 500] Hz  \n\n"));
        return -1;
    case FrequencyResponse::Refusal::Stop:
        Prompts::critical(this, QStringLiteral("Stop frequency not allowed ...\n"),
                          QStringLiteral("Range of allowed Stop frequency values: [1, 1000] Hz  \n\n"));
        return -1;
    case FrequencyResponse::Refusal::StartNotBelowStop:
        Prompts::critical(this, QStringLiteral("Start/Stop frequency not allowed ...\n"),
                          QStringLiteral("Stop freq must always be greater than Start freq! \n\n"));
        return -1;
    case FrequencyResponse::Refusal::Length:
        Prompts::critical(this, QStringLiteral("Number of frequency points not allowed ...\n"),
                          QStringLiteral("Range of allowed frequency points: [2, 1001]   \n\n"));
        return -1;
    case FrequencyResponse::Refusal::None:
        break;
    }
    const bool linear = ui->sweepTypeComboBox->currentText() == QStringLiteral("lin");
    m_frequencies = FrequencyResponse::frequencyList(start, stop, length, linear);
    return length;
}

int WindowFrequencyAnalysis::getOutputWordIndex(int& c)
{
    uint8_t x = 0, y = 0, i0 = 0;
    m_outputChannelRead = MAILBOX_COMM->getPIDoutSel(&x, &y, &i0) >= 0;
    // A failed read names no channel: nothing is driven from it.
    if (!m_outputChannelRead) {
        c = -1;
        return -1;
    }
    c = ui->outputChComboBox->currentText() == QStringLiteral("x") ? x : y;
    return FrequencyResponse::outputWord(c);
}

int WindowFrequencyAnalysis::inputBpm()
{
    int x = 0, y = 0, i0 = 0;
    if (MAILBOX_COMM->getBPMselector(&x, &y, &i0) < 0)
        return -1;
    const int selected = ui->inputChComboBox->currentText() == QStringLiteral("x") ? x : y;
    return selected == 0 ? 0 : 1;
}

int WindowFrequencyAnalysis::getInputWordIndex()
{
    const int bpm = inputBpm();
    if (bpm < 0)
        return -1;
    return FrequencyResponse::inputWord(ui->inputChComboBox->currentText() == QStringLiteral("x"), bpm);
}

void WindowFrequencyAnalysis::getBPMScale()
{
    const int bpm = inputBpm();
    if (bpm < 0)
        return;
    m_bpmScale = ui->inputChComboBox->currentText() == QStringLiteral("x") ? POS_SCALE_X[bpm] : POS_SCALE_Y[bpm];
}

void WindowFrequencyAnalysis::outputChComboBoxChanged()
{
    getOutputWordIndex(m_outputChannel);
    ui->outOrvaneChLineEdit->setText(m_outputChannelRead ? QStringLiteral("OUT") + QString::number(m_outputChannel + 1)
                                                         : NO_READING);
    getOutputChValue();
}

void WindowFrequencyAnalysis::getOutputChValue()
{
    showOutputVoltages(readOutputVoltages());
}

void WindowFrequencyAnalysis::showOutputVoltages(const OutputVoltages& read)
{
    // A voltage that could not be read is shown as none, never as the one read before.
    if (!read.valid())
        QLOG_WARN() << "Frequency analysis: the output voltages were not read:" << read.error;
    if (!read.valid() || m_outputChannel < 0 || m_outputChannel > 3) {
        ui->offsetspinBox->clear();
        return;
    }
    ui->offsetspinBox->setText(
        QString::number(read.volts[size_t(m_outputChannel)], 'g', 6).replace(QLatin1Char('.'), QLatin1Char(',')));
}

void WindowFrequencyAnalysis::inputChComboBoxChanged()
{
    int x = 0, y = 0, i0 = 0;
    const bool read = MAILBOX_COMM->getBPMselector(&x, &y, &i0) >= 0;
    const bool xAxis = ui->inputChComboBox->currentText() == QStringLiteral("x");
    ui->inZentrimChLineEdit->setText(xAxis ? QStringLiteral("X") : QStringLiteral("Y"));
    ui->inBpmChLineEdit->setText(read ? QString::number((xAxis ? x : y) + 1) : NO_READING);
}

void WindowFrequencyAnalysis::slotUseBPMscalingCheckBox(int)
{
    useBPMscaling = ui->useBPMscalingCheckBox->isChecked();
}

// ---- sweeps --------------------------------------------------------------------------

void WindowFrequencyAnalysis::refuseForRead(const QString& text)
{
    QLOG_WARN() << "Frequency analysis: the sweep was not started:" << text;
    Prompts::critical(this, QStringLiteral("Error"), text + tr("\n\nThe sweep was not started."));
}

void WindowFrequencyAnalysis::slotStartSweepPushButton()
{
    // Start is disabled while a sweep runs; a click already on its way starts nothing.
    if (m_lease)
        return;
    // Before anything reaches the controller; given back if the start is refused below.
    std::unique_ptr<OutputLease> lease = m_outputs.takeOrExplain(this, TOOL_NAME, [this] { stopSweep(); });
    if (!lease)
        return;

    bool savedFilter = false;
    bool filterRead = false;
    const double rateBefore = MAILBOX_COMM->getDisplayFreq(&savedFilter, &filterRead);
    if (!filterRead) {
        // The sweep could not put the filter back as it found it.
        Prompts::critical(this, QStringLiteral("Error"),
                          tr("getDisplayFreq() failed: the display filter setting could not be read.\n\n"
                             "The sweep was not started."));
        return;
    }

    // Read now, not as last polled: the sweep must not drive a beam the feedback holds.
    const PID_Status_Type status = getPIDstatus();
    if (status < 0) {
        refuseForRead(tr("getPIDstatus() failed: whether the feedback is off could not be read."));
        return;
    }
    if (status != PID_STATUS_OFF) {
        Prompts::critical(this, QStringLiteral("PID Running"), QStringLiteral("Stop feedback before Frequency Analysis"));
        return;
    }
    if (buildFrequencyList() < 1)
        return;

    const QString loop = ui->outputChComboBox->currentText() == QStringLiteral("x") ? tr("X") : tr("Y");
    int c = -1;
    const int outputWord = getOutputWordIndex(c);
    ui->outOrvaneChLineEdit->setText(m_outputChannelRead ? QStringLiteral("OUT") + QString::number(c + 1) : NO_READING);
    if (!m_outputChannelRead) {
        m_outputChannel = -1;
        ui->offsetspinBox->clear();
        refuseForRead(tr("getPIDoutSel() failed: the output that the %1 loop drives could not be read.").arg(loop));
        return;
    }
    if (outputWord < 0) {
        // The generator and the output records have four channels only.
        Prompts::critical(this, QStringLiteral("Output channel not allowed ...\n"),
                          QStringLiteral("The feedback drives output channel %1; only OUT1 to OUT4 can be swept.  \n\n")
                              .arg(c + 1));
        return;
    }
    m_outputChannel = c;

    const int inputWord = getInputWordIndex();
    if (inputWord < 0) {
        ui->inBpmChLineEdit->setText(NO_READING);
        refuseForRead(tr("getBPMselector() failed: the BPM that feeds the %1 loop could not be read.")
                          .arg(ui->inputChComboBox->currentText() == QStringLiteral("x") ? tr("X") : tr("Y")));
        return;
    }

    auto display = std::make_unique<DisplayReader>();
    if (!display->isOpen()) {
        QLOG_WARN() << "Frequency analysis:" << display->openError();
        Prompts::critical(this, QStringLiteral("Error"), QStringLiteral("Cannot open /dev/vorn_dma_displ"));
        return;
    }
    // The sine runs around the voltages the outputs hold now: a scan, manual control
    // or the feedback may have moved them since the window last read them.
    const OutputVoltages present = readOutputVoltages(*display);
    showOutputVoltages(present);
    if (!present.valid()) {
        Prompts::critical(this, QStringLiteral("Error"),
                          tr("The output voltages could not be read (%1).\n\nThe sweep was not started.")
                              .arg(present.error));
        return;
    }
    // The output unit cannot follow a sine beyond its range: the peaks would be cut.
    const double vpp = ui->amplspinBox->value();
    const double centre = present.volts[size_t(c)];
    if (centre - 0.5 * vpp < DAC_OUTPUT_MIN_V || centre + 0.5 * vpp > DAC_OUTPUT_MAX_V) {
        Prompts::critical(this, QStringLiteral("Error"),
                          tr("A sine of %1 Vpp around the %2 V that OUT%3 holds leaves the output range of %4 to "
                             "%5 V.\n\nThe sweep was not started.")
                              .arg(vpp)
                              .arg(centre)
                              .arg(c + 1)
                              .arg(DAC_OUTPUT_MIN_V)
                              .arg(DAC_OUTPUT_MAX_V));
        return;
    }
    getBPMScale();

    std::array<float, 4> amplitudes{0.0f, 0.0f, 0.0f, 0.0f};
    amplitudes[size_t(c)] = float(vpp);
    std::array<float, 4> offsets{};
    for (size_t k = 0; k < offsets.size(); ++k)
        offsets[k] = float(present.volts[k]);

    const int id = addSweepGraphs();
    m_sweepRow = id;
    m_stepsDone = 0;
    m_sweepFailed = false;
    m_leftOut.clear();
    m_lease = std::move(lease);
    ui->StartSweepPushButton->setEnabled(false);
    ui->StopSweepPushButton->setEnabled(true);
    ui->progressBar->setFormat(QStringLiteral("%p%"));
    ui->progressBar->setValue(0);

    auto* thread = new QThread(this);
    auto* worker = new FrequencyAnalysisWorker(std::move(display), m_frequencies, savedFilter, id, c, m_bpmScale,
                                               amplitudes, offsets, inputWord, useBPMscaling);
    worker->setMeasurementClock(*m_clock);
    worker->setDisplayRateBefore(int(rateBefore));
    {
        QMutexLocker lock(&m_workerLock);
        m_worker = worker;
    }
    worker->moveToThread(thread);

    connect(thread, &QThread::started, worker, &FrequencyAnalysisWorker::run);
    connect(worker, &FrequencyAnalysisWorker::progressUpdated, ui->progressBar, &QProgressBar::setValue);
    connect(worker, &FrequencyAnalysisWorker::frequencyStepDone, this, &WindowFrequencyAnalysis::onFrequencyStepDone);
    connect(worker, &FrequencyAnalysisWorker::frequencyStepUnreliable, this,
            &WindowFrequencyAnalysis::onFrequencyStepUnreliable);
    connect(worker, &FrequencyAnalysisWorker::pointLeftOut, this, &WindowFrequencyAnalysis::onPointLeftOut);
    // Every frequency the sweep got through, whatever it showed for it.
    connect(worker, &FrequencyAnalysisWorker::progressUpdated, this, [this] { ++m_stepsDone; });
    connect(worker, &FrequencyAnalysisWorker::failed, this, &WindowFrequencyAnalysis::sweepFailed);
    connect(worker, &FrequencyAnalysisWorker::finished, thread, &QThread::quit);
    connect(worker, &FrequencyAnalysisWorker::finished, worker, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    // On the sweep thread, before the worker can be deleted: Stop must not reach it afterwards.
    connect(worker, &FrequencyAnalysisWorker::finished, this, [this] { forgetWorker(); }, Qt::DirectConnection);
    connect(worker, &FrequencyAnalysisWorker::finished, this, [this] { sweepEnded(); });
    thread->start(QThread::InheritPriority);
}

void WindowFrequencyAnalysis::slotStopSweepPushButton()
{
    ui->progressBar->setValue(0);
    stopSweep();
}

void WindowFrequencyAnalysis::stopSweep()
{
    QMutexLocker lock(&m_workerLock);
    if (m_worker)
        m_worker->stop();
}

bool WindowFrequencyAnalysis::sweepRunning() const
{
    QMutexLocker lock(&m_workerLock);
    return m_worker != nullptr;
}

void WindowFrequencyAnalysis::forgetWorker()
{
    QMutexLocker lock(&m_workerLock);
    m_worker = nullptr;
}

void WindowFrequencyAnalysis::sweepEnded()
{
    ui->StartSweepPushButton->setEnabled(true);
    ui->StopSweepPushButton->setEnabled(false);
    m_lease.reset();
    showProgressEnd();
    const int row = m_sweepRow;
    m_sweepRow = -1;
    if (row >= 0 && row < m_entries.size() && m_entries[row].measured == 0 && m_entries[row].notes.isEmpty())
        removeEntry(row);
    if (!m_leftOut.isEmpty())
        Prompts::warning(this, tr("Frequency analysis"),
                         tr("No point is shown for these frequencies:\n") + m_leftOut.join(QLatin1Char('\n')));
}

void WindowFrequencyAnalysis::showProgressEnd()
{
    const int total = int(m_frequencies.size());
    // Where it ended, not how far it had come when it was last told.
    if (m_stepsDone >= total && !m_sweepFailed)
        ui->progressBar->setFormat(QStringLiteral("%p%"));
    else if (m_sweepFailed)
        ui->progressBar->setFormat(tr("Failed after %1 of %2 frequencies").arg(m_stepsDone).arg(total));
    else
        ui->progressBar->setFormat(tr("Stopped after %1 of %2 frequencies").arg(m_stepsDone).arg(total));
}

void WindowFrequencyAnalysis::sweepFailed(const QString& reason)
{
    m_sweepFailed = true;
    Prompts::warning(this, tr("Frequency analysis failed"), reason);
}

void WindowFrequencyAnalysis::removeEntry(int row)
{
    if (row < 0 || row >= m_entries.size())
        return;
    ui->graphMg->removeGraph(row);
    ui->graphPh->removeGraph(row);
    ui->graphMg->removePlottable(m_entries[row].unreliableMg);
    ui->graphPh->removePlottable(m_entries[row].unreliablePh);
    m_magnitudes.removeAt(row);
    m_phases.removeAt(row);
    m_scaled.removeAt(row);
    m_entries.removeAt(row);
    delete ui->plotsTree->takeTopLevelItem(row);
    m_sweepCount = int(m_entries.size());
    updateNote();
    replotBoth();
}

void WindowFrequencyAnalysis::updateNote()
{
    QStringList notes;
    for (const Entry& entry : m_entries)
        notes += entry.notes;
    if (notes.isEmpty()) {
        ui->sweepNoteLabel->clear();
        ui->sweepNoteLabel->hide();
        return;
    }
    ui->sweepNoteLabel->setText(tr("Not measured reliably, drawn as open circles apart from the curves and left out "
                                   "of the export:\n") +
                                notes.join(QLatin1Char('\n')));
    ui->sweepNoteLabel->show();
}

int WindowFrequencyAnalysis::addSweepGraphs()
{
    const QString name = QStringLiteral("plot_%1_%2_%3")
                             .arg(ui->outputChComboBox->currentText(), ui->inputChComboBox->currentText())
                             .arg(m_sweepCount);
    auto* item = new QTreeWidgetItem;
    item->setText(0, name);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    item->setCheckState(0, Qt::Checked);
    // Graphs first: inserting the item may already report its check state.
    const int* rgb = SWEEP_COLOURS[m_sweepCount % 6];
    const QPen pen(QBrush(QColor(rgb[0], rgb[1], rgb[2])), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    for (QCustomPlot* plot : {ui->graphMg, ui->graphPh}) {
        QCPGraph* graph = plot->addGraph();
        graph->setPen(pen);
        graph->setAntialiased(false);
        auto data = GraphData::create();
        graph->setData(data);
        (plot == ui->graphMg ? m_magnitudes : m_phases).append(data);
    }
    // Points measured but not reliably: open circles of the sweep's colour, never joined to its curve.
    Entry entry;
    for (QCustomPlot* plot : {ui->graphMg, ui->graphPh}) {
        auto* curve = new QCPCurve(plot->xAxis, plot->yAxis);
        curve->setLineStyle(QCPCurve::lsNone);
        curve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, pen.color(), 9));
        curve->setPen(pen);
        (plot == ui->graphMg ? entry.unreliableMg : entry.unreliablePh) = curve;
    }
    m_entries.append(entry);
    // The export states the scaling the sweep ran with, whatever the box says by then.
    m_scaled.append(useBPMscaling);
    ui->plotsTree->insertTopLevelItem(m_sweepCount, item);
    item->setSelected(true);
    return m_sweepCount++;
}

void WindowFrequencyAnalysis::onFrequencyStepDone(int graph_id, double freq, double amp, double pha)
{
    if (graph_id < 0 || graph_id >= m_magnitudes.size() || graph_id >= m_phases.size())
        return;
    m_magnitudes[graph_id]->add(QCPGraphData(freq, amp));
    m_phases[graph_id]->add(QCPGraphData(freq, pha));
    if (graph_id < m_entries.size())
        ++m_entries[graph_id].measured;
    slotPushButtonAutoscale();
}

void WindowFrequencyAnalysis::onFrequencyStepUnreliable(int graph_id, double freq, double amp, double pha,
                                                        const QString& reason)
{
    if (graph_id < 0 || graph_id >= m_entries.size())
        return;
    Entry& entry = m_entries[graph_id];
    entry.unreliableMg->addData(freq, amp);
    entry.unreliablePh->addData(freq, pha);
    const QTreeWidgetItem* item = ui->plotsTree->topLevelItem(graph_id);
    entry.notes << tr("%1 at %2 Hz: %3").arg(item ? item->text(0) : QString(), hz(freq), reason);
    updateNote();
    slotPushButtonAutoscale();
}

void WindowFrequencyAnalysis::onPointLeftOut(int graph_id, double freq, const QString& reason)
{
    Q_UNUSED(graph_id)
    m_leftOut << tr("%1 Hz: %2").arg(hz(freq), reason);
}

// ---- the plots -----------------------------------------------------------------------

void WindowFrequencyAnalysis::onPlotsTreeItemChanged(QTreeWidgetItem* item, int col)
{
    const int row = ui->plotsTree->indexOfTopLevelItem(item);
    if (row < 0 || row >= ui->graphMg->graphCount() || row >= ui->graphPh->graphCount())
        return;
    const bool visible = item->checkState(col) == Qt::Checked;
    ui->graphMg->graph(row)->setVisible(visible);
    ui->graphPh->graph(row)->setVisible(visible);
    if (row < m_entries.size()) {
        m_entries[row].unreliableMg->setVisible(visible);
        m_entries[row].unreliablePh->setVisible(visible);
    }
    replotBoth();
}

void WindowFrequencyAnalysis::slotPushButtonAutoscale()
{
    ui->graphMg->rescaleAxes(false);
    ui->graphPh->rescaleAxes(false);
    replotBoth();
}

void WindowFrequencyAnalysis::slotClearGraphsPushButton()
{
    // The graphs and the points drawn apart from them.
    ui->graphMg->clearPlottables();
    ui->graphPh->clearPlottables();
    m_magnitudes.clear();
    m_phases.clear();
    m_scaled.clear();
    m_entries.clear();
    ui->plotsTree->clear();
    m_sweepCount = 0;
    // A sweep still running has no entry any more.
    m_sweepRow = -1;
    updateNote();
    replotBoth();
}

void WindowFrequencyAnalysis::slotExportMeasPushButton()
{
    const QList<QTreeWidgetItem*> selected = ui->plotsTree->selectedItems();
    if (selected.isEmpty()) {
        Prompts::critical(this, QStringLiteral("0 selected graphs ...\n"),
                          QStringLiteral("There are no selected graphs!  \n\n"));
        return;
    }
    const QString path = Prompts::saveFileName(this, QStringLiteral("Select a file to export the data"), QString(),
                                               QStringLiteral("CSV files (*.csv);;All Files (*)"));
    if (path.isEmpty())
        return;

    QStringList failed;
    for (QTreeWidgetItem* item : selected) {
        const int row = ui->plotsTree->indexOfTopLevelItem(item);
        if (row < 0 || row >= m_magnitudes.size() || row >= m_phases.size() || row >= m_scaled.size())
            continue;
        const QString name = BodeExport::fileName(path, item->text(0));
        const FileWriteResult written = BodeExport::write(name, m_scaled[row], *m_magnitudes[row], *m_phases[row]);
        if (!written.ok)
            failed << QStringLiteral("%1: %2").arg(name, written.error);
    }
    // The other files are written; the operator must not take a missing one for saved.
    if (!failed.isEmpty())
        Prompts::warning(this, QStringLiteral("Export failed"),
                         QStringLiteral("These files could not be written:\n") + failed.join(QLatin1Char('\n')));
}

void WindowFrequencyAnalysis::endOnClose()
{
    // The stop comes first: a step whose sine is switched off under it is then not shown.
    stopSweep();
    funcGenEnable(0);
}

void WindowFrequencyAnalysis::done(int result)
{
    endOnClose();
    QDialog::done(result);
}

void WindowFrequencyAnalysis::closeEvent(QCloseEvent* event)
{
    // A shown dialog closes through done(); a hidden one has only the generator left.
    if (!isVisible())
        endOnClose();
    QDialog::closeEvent(event);
}
