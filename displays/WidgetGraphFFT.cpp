#include "WidgetGraphFFT.h"

#include <iterator>

#include "Globals.h"
#include "GraphFrame.h"
#include "PlotRefresher.h"
#include "Updater.h"
#include "VornLibrary.h"
#include "ui_widgetgraphfft.h"

namespace {

constexpr int LENGTHS[] = {64, 128, 256, 512, 1024, 2048, 8192};
// BPM1's record words; the Updater reads four words higher for BPM2.
constexpr int COLUMNS[] = {24, 25, 26, 27, 0, 1, 2};

constexpr int X_LOG_TICKS = 4;
constexpr int Y_LOG_TICKS = 6;
constexpr double X_LOG_FLOOR = 10.0;
constexpr double Y_LOG_FLOOR = 1e-15;
constexpr double LOG_DEFAULT_UPPER = 1000.0;

void setLogScale(QCPAxis* axis, int tickCount)
{
    QSharedPointer<QCPAxisTickerLog> ticker(new QCPAxisTickerLog);
    ticker->setLogBase(10);
    ticker->setSubTickCount(8);
    ticker->setTickCount(tickCount);
    axis->setScaleType(QCPAxis::stLogarithmic);
    axis->setTicker(ticker);
}

// A log axis cannot start at or below zero. The upper bound stays unless it
// is not above the new lower one (a range that was negative throughout).
void raiseLowerBound(QCPAxis* axis, double floor)
{
    if (axis->range().lower > 0.0)
        return;
    const double upper = axis->range().upper > floor ? axis->range().upper : LOG_DEFAULT_UPPER;
    axis->setRange(floor, upper);
}

void setLinearScale(QCPAxis* axis)
{
    axis->setScaleType(QCPAxis::stLinear);
    axis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
}

}  // namespace

WidgetGraphFFT::WidgetGraphFFT(QWidget* parent, int graphCount)
    : QWidget(parent)
    , ui(new Ui::WidgetGraphFFT)
{
    ui->setupUi(this);
    QCustomPlot* plot = ui->graph;
    plot->setNoAntialiasingOnDrag(true);

    int present0 = 0;
    int present1 = 0;
    getZentrims(&present0, &present1);

    ui->CheckCh1->show();
    ui->CheckCh2->show();
    ui->CheckCh1->setText(QStringLiteral("BPM1"));
    ui->CheckCh2->setText(QStringLiteral("BPM2"));
    connect(ui->CheckCh1, &QCheckBox::toggled, this, &WidgetGraphFFT::chEnablesChanged);
    connect(ui->CheckCh2, &QCheckBox::toggled, this, &WidgetGraphFFT::chEnablesChanged);
    ui->CheckCh1->setChecked(present0 == 1);
    ui->CheckCh2->setChecked(present1 == 1);

    GraphFrame::showSwatch(ui->label_1_color, 0);
    GraphFrame::showSwatch(ui->label_2_color, 1);
    GraphFrame::addGraphs(plot, GraphFrame::boundedGraphCount(graphCount, GraphFrame::BPM_COUNT));

    fftSelectorChanged(ui->selectorComboBox->currentIndex());

    connect(ui->xAxisComboBox, &QComboBox::currentIndexChanged, this, &WidgetGraphFFT::xAxesChanged);
    connect(ui->yAxisComboBox, &QComboBox::currentIndexChanged, this, &WidgetGraphFFT::yAxesChanged);
    connect(ui->fFTLengthComboBox, &QComboBox::currentIndexChanged, this, &WidgetGraphFFT::fftLengthChanged);
    connect(ui->selectorComboBox, &QComboBox::currentIndexChanged, this, &WidgetGraphFFT::fftSelectorChanged);
    connect(ui->removeDCCheckBox, &QCheckBox::toggled, UPDATER, &Updater::ChangeFFTremoveDC);
    connect(ui->comboBoxGraph, &QComboBox::currentIndexChanged, UPDATER, &Updater::ChangeFFTgraph);
    connect(plot, &QCustomPlot::mousePress, this, &WidgetGraphFFT::graphClicked);

    GraphFrame::applyBackground(plot, GraphFrame::PROVISIONAL_GRADIENT_END);
    m_graphData = GraphFrame::attachContainers(plot);
    GraphFrame::styleAxes(plot);

    setLogScale(plot->yAxis, Y_LOG_TICKS);
    setLogScale(plot->xAxis, X_LOG_TICKS);
    plot->xAxis->grid()->setSubGridVisible(true);
    plot->yAxis->grid()->setSubGridVisible(true);
    plot->yAxis->setRange(1e-12, LOG_DEFAULT_UPPER);
    plot->xAxis->setRange(10, LOG_DEFAULT_UPPER);
    GraphFrame::setInteractions(plot);

    m_refresher = new PlotRefresher(plot);
}

WidgetGraphFFT::~WidgetGraphFFT()
{
    delete ui;
}

QSharedPointer<QCPGraphDataContainer> WidgetGraphFFT::getGraphData(int index) const
{
    return GraphFrame::containerAt(m_graphData, index);
}

void WidgetGraphFFT::setAxisLabels(const QString& xLabel, const QString& yLabel)
{
    GraphFrame::setAxisLabels(ui->graph, xLabel, yLabel);
}

void WidgetGraphFFT::setBpmHidden(bool hideBpm1, bool hideBpm2)
{
    ui->CheckCh1->setVisible(!hideBpm1);
    ui->label_1_color->setVisible(!hideBpm1);
    ui->CheckCh2->setVisible(!hideBpm2);
    ui->label_2_color->setVisible(!hideBpm2);
}

int WidgetGraphFFT::fftLengthForIndex(int index)
{
    if (index < 0 || index >= int(std::size(LENGTHS)))
        return LENGTHS[0];
    return LENGTHS[index];
}

int WidgetGraphFFT::sourceColumnForIndex(int index)
{
    if (index < 0 || index >= int(std::size(COLUMNS)))
        return 0;
    return COLUMNS[index];
}

void WidgetGraphFFT::replot()
{
    if (ui->checkBoxAutoscale->isChecked())
        GraphFrame::rescaleToVisible(ui->graph);
    m_refresher->replot();
}

void WidgetGraphFFT::xAxesChanged(int index)
{
    QCPAxis* axis = ui->graph->xAxis;
    if (index == 0) {
        axis->setScaleType(QCPAxis::stLogarithmic);
        raiseLowerBound(axis, X_LOG_FLOOR);
        setLogScale(axis, X_LOG_TICKS);
    } else {
        setLinearScale(axis);
    }
}

void WidgetGraphFFT::yAxesChanged(int index)
{
    QCPAxis* axis = ui->graph->yAxis;
    if (index == 0) {
        axis->setScaleType(QCPAxis::stLogarithmic);
        raiseLowerBound(axis, Y_LOG_FLOOR);
        setLogScale(axis, Y_LOG_TICKS);
    } else {
        setLinearScale(axis);
        axis->rescale(true);
    }
}

void WidgetGraphFFT::fftLengthChanged(int index)
{
    UPDATER->setFFTlength(fftLengthForIndex(index));
}

void WidgetGraphFFT::graphClicked(QMouseEvent* event)
{
    const QPoint pixel = event->position().toPoint();
    const double x = ui->graph->xAxis->pixelToCoord(pixel.x());
    const double y = ui->graph->yAxis->pixelToCoord(pixel.y());
    ui->lineEditCursorX->setText(QString::number(x, 'e', 3));
    ui->lineEditCursorY->setText(QString::number(y, 'e', 3));
}

void WidgetGraphFFT::fftSelectorChanged(int index)
{
    UPDATER->setFFTsource(sourceColumnForIndex(index));
}

void WidgetGraphFFT::chEnablesChanged()
{
    GraphFrame::applyPresence(ui->graph, GraphFrame::queryPresence(), ui->CheckCh1, ui->CheckCh2);
}

void WidgetGraphFFT::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    GraphFrame::applyBackground(ui->graph, ui->graph->height() - 1);
}
