#include "WidgetGraphPos.h"

#include "GraphFrame.h"
#include "PlotRefresher.h"
#include "ui_widgetgraphpos.h"

WidgetGraphPos::WidgetGraphPos(QWidget* parent, int axis, int graphCount)
    : QWidget(parent)
    , ui(new Ui::WidgetGraphPos)
    , m_axis(axis)
{
    ui->setupUi(this);
    ui->graph->setNoAntialiasingOnDrag(true);

    ui->CheckCh1->setText(QStringLiteral("BPM1"));
    ui->CheckCh2->setText(QStringLiteral("BPM2"));
    const QList<QCheckBox*> boxes{ui->CheckCh1, ui->CheckCh2};
    const QList<QLabel*> swatches{ui->label_1_color, ui->label_2_color};
    for (int i = 0; i < boxes.size(); ++i) {
        boxes[i]->show();
        swatches[i]->show();
        connect(boxes[i], &QCheckBox::toggled, this, &WidgetGraphPos::chEnablesChanged);
        boxes[i]->setChecked(true);
    }

    GraphFrame::addGraphs(ui->graph, GraphFrame::boundedGraphCount(graphCount, GraphFrame::BPM_COUNT));
    for (int i = 0; i < swatches.size(); ++i)
        GraphFrame::showSwatch(swatches[i], i);

    GraphFrame::setInitialTimeRanges(ui->graph);
    GraphFrame::applyBackground(ui->graph, GraphFrame::PROVISIONAL_GRADIENT_END);
    m_graphData = GraphFrame::attachContainers(ui->graph);
    GraphFrame::styleAxes(ui->graph);
    GraphFrame::setInteractions(ui->graph);

    m_refresher = new PlotRefresher(ui->graph);
}

WidgetGraphPos::~WidgetGraphPos()
{
    delete ui;
}

QSharedPointer<QCPGraphDataContainer> WidgetGraphPos::getGraphData(int index) const
{
    return GraphFrame::containerAt(m_graphData, index);
}

void WidgetGraphPos::setAxisLabels(const QString& xLabel, const QString& yLabel, const QStringList& names)
{
    GraphFrame::setAxisLabels(ui->graph, xLabel, yLabel);
    GraphFrame::setGraphNames(ui->graph, names);
}

void WidgetGraphPos::setYNumberFormat(const QString& format, int precision)
{
    GraphFrame::setYNumberFormat(ui->graph, format, precision);
}

void WidgetGraphPos::setBpmHidden(bool hideBpm1, bool hideBpm2)
{
    GraphFrame::applyBpmHidden(ui->graph, 0, hideBpm1, ui->CheckCh1, ui->label_1_color);
    GraphFrame::applyBpmHidden(ui->graph, 1, hideBpm2, ui->CheckCh2, ui->label_2_color);
}

void WidgetGraphPos::replot()
{
    if (ui->buttonAutoscale->isChecked())
        GraphFrame::rescaleToVisible(ui->graph);
    m_refresher->replot();
}

void WidgetGraphPos::chEnablesChanged()
{
    GraphFrame::applyPresence(ui->graph, GraphFrame::queryPresence(), ui->CheckCh1, ui->CheckCh2);
}

void WidgetGraphPos::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    GraphFrame::applyBackground(ui->graph, ui->graph->height() - 1);
}
