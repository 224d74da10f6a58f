#include "WindowFrequencyAnalysis.h"

#include <QCloseEvent>
#include <QMutexLocker>
#include <QThread>

#include "BodeExport.h"
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
#include "VornLibrary.h"
#include "VornRecords.h"
#include "ui_windowfrequencyanalysis.h"

namespace {

// The name the outputs are held under: the window's title.
const QString TOOL_NAME = QStringLiteral("Frequency Analysis Tool");

constexpr int SWEEP_COLOURS[6][3] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                                     {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};

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
    show();
    raise();
    activateWindow();
}

// ---- settings ---------------------------------------------------------------------

int WindowFrequencyAnalysis::buildFrequencyList()
{
    const int length = ui->lengthLineEdit->text().toInt();
    const double start = ui->startFreqLineEdit->text().toDouble();
    const double stop = ui->stopFreqLineEdit->text().toDouble();

    switch (FrequencyResponse::checkSettings(start, stop, length)) {
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
    getPIDoutSel(&x, &y, &i0);
    c = ui->outputChComboBox->currentText() == QStringLiteral("x") ? x : y;
    return FrequencyResponse::outputWord(c);
}

int WindowFrequencyAnalysis::inputBpm()
{
    int x = 0, y = 0, i0 = 0;
    MAILBOX_COMM->getBPMselector(&x, &y, &i0);
    const int selected = ui->inputChComboBox->currentText() == QStringLiteral("x") ? x : y;
    return selected == 0 ? 0 : 1;
}

int WindowFrequencyAnalysis::getInputWordIndex()
{
    return FrequencyResponse::inputWord(ui->inputChComboBox->currentText() == QStringLiteral("x"), inputBpm());
}

void WindowFrequencyAnalysis::getBPMScale()
{
    const int bpm = inputBpm();
    m_bpmScale = ui->inputChComboBox->currentText() == QStringLiteral("x") ? POS_SCALE_X[bpm] : POS_SCALE_Y[bpm];
}

void WindowFrequencyAnalysis::outputChComboBoxChanged()
{
    getOutputWordIndex(m_outputChannel);
    ui->outOrvaneChLineEdit->setText(QStringLiteral("OUT") + QString::number(m_outputChannel + 1));
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
    MAILBOX_COMM->getBPMselector(&x, &y, &i0);
    if (ui->inputChComboBox->currentText() == QStringLiteral("x")) {
        ui->inZentrimChLineEdit->setText(QStringLiteral("X"));
        ui->inBpmChLineEdit->setText(QString::number(x + 1));
    } else {
        ui->inZentrimChLineEdit->setText(QStringLiteral("Y"));
        ui->inBpmChLineEdit->setText(QString::number(y + 1));
    }
}

void WindowFrequencyAnalysis::slotUseBPMscalingCheckBox(int)
{
    useBPMscaling = ui->useBPMscalingCheckBox->isChecked();
}

// ---- sweeps --------------------------------------------------------------------------

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
    MAILBOX_COMM->getDisplayFreq(&savedFilter, &filterRead);
    if (!filterRead) {
        // The sweep could not put the filter back as it found it.
        Prompts::critical(this, QStringLiteral("Error"),
                          tr("getDisplayFreq() failed: the display filter setting could not be read.\n\n"
                             "The sweep was not started."));
        return;
    }

    if (MAILBOX_COMM->pidStatus() != PID_STATUS_OFF) {
        Prompts::critical(this, QStringLiteral("PID Running"), QStringLiteral("Stop feedback before Frequency Analysis"));
        return;
    }
    if (buildFrequencyList() < 1)
        return;

    int c = -1;
    if (getOutputWordIndex(c) < 0) {
        // The generator and the output records have four channels only.
        Prompts::critical(this, QStringLiteral("Output channel not allowed ...\n"),
                          QStringLiteral("The feedback drives output channel %1; only OUT1 to OUT4 can be swept.  \n\n")
                              .arg(c + 1));
        return;
    }
    m_outputChannel = c;

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
    const int inputWord = getInputWordIndex();
    getBPMScale();

    std::array<float, 4> amplitudes{0.0f, 0.0f, 0.0f, 0.0f};
    amplitudes[size_t(c)] = float(ui->amplspinBox->value());
    std::array<float, 4> offsets{};
    for (size_t k = 0; k < offsets.size(); ++k)
        offsets[k] = float(present.volts[k]);

    const int id = addSweepGraphs();
    m_lease = std::move(lease);
    ui->StartSweepPushButton->setEnabled(false);
    ui->StopSweepPushButton->setEnabled(true);
    ui->progressBar->setValue(0);

    auto* thread = new QThread(this);
    auto* worker = new FrequencyAnalysisWorker(std::move(display), m_frequencies, savedFilter, id, c, m_bpmScale,
                                               amplitudes, offsets, inputWord, useBPMscaling);
    worker->setMeasurementClock(*m_clock);
    {
        QMutexLocker lock(&m_workerLock);
        m_worker = worker;
    }
    worker->moveToThread(thread);

    connect(thread, &QThread::started, worker, &FrequencyAnalysisWorker::run);
    connect(worker, &FrequencyAnalysisWorker::progressUpdated, ui->progressBar, &QProgressBar::setValue);
    connect(worker, &FrequencyAnalysisWorker::frequencyStepDone, this, &WindowFrequencyAnalysis::onFrequencyStepDone);
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
}

void WindowFrequencyAnalysis::sweepFailed(const QString& reason)
{
    Prompts::warning(this, tr("Frequency analysis failed"), reason);
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
    slotPushButtonAutoscale();
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
    ui->graphMg->clearGraphs();
    ui->graphPh->clearGraphs();
    m_magnitudes.clear();
    m_phases.clear();
    m_scaled.clear();
    ui->plotsTree->clear();
    m_sweepCount = 0;
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
