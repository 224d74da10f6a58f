#include "WidgetGraphCurrents.h"

#include "GraphFrame.h"
#include "PlotRefresher.h"
#include "ui_widgetgraphcurrents.h"

WidgetGraphCurrents::WidgetGraphCurrents(QWidget* parent, int graphCount)
    : QWidget(parent)
    , ui(new Ui::WidgetGraphCurrents)
{
    ui->setupUi(this);
    ui->graph->setNoAntialiasingOnDrag(true);

    const QList<QCheckBox*> boxes{ui->CheckCh1, ui->CheckCh2, ui->CheckCh3, ui->CheckCh4};
    const QList<QLabel*> swatches{ui->label_1_color, ui->label_2_color, ui->label_3_color, ui->label_4_color};
    for (int i = 0; i < boxes.size(); ++i) {
        boxes[i]->show();
        swatches[i]->show();
        connect(boxes[i], &QCheckBox::toggled, this, &WidgetGraphCurrents::chEnablesChanged);
        boxes[i]->setChecked(true);
    }

    GraphFrame::addGraphs(ui->graph, GraphFrame::boundedGraphCount(graphCount, GraphFrame::COLOUR_COUNT));
    for (int i = 0; i < swatches.size(); ++i)
        GraphFrame::showSwatch(swatches[i], i);

    GraphFrame::setInitialTimeRanges(ui->graph);
    GraphFrame::applyBackground(ui->graph, GraphFrame::PROVISIONAL_GRADIENT_END);
    m_graphData = GraphFrame::attachContainers(ui->graph);
    GraphFrame::styleAxes(ui->graph);
    GraphFrame::setInteractions(ui->graph);

    m_refresher = new PlotRefresher(ui->graph);
}

WidgetGraphCurrents::~WidgetGraphCurrents()
{
    delete ui;
}

QSharedPointer<QCPGraphDataContainer> WidgetGraphCurrents::getGraphData(int index) const
{
    return GraphFrame::containerAt(m_graphData, index);
}

void WidgetGraphCurrents::setAxisLabels(const QString& xLabel, const QString& yLabel)
{
    GraphFrame::setAxisLabels(ui->graph, xLabel, yLabel);
}

void WidgetGraphCurrents::setYNumberFormat(const QString& format, int precision)
{
    GraphFrame::setYNumberFormat(ui->graph, format, precision);
}

void WidgetGraphCurrents::replot()
{
    if (ui->buttonAutoscale->isChecked())
        GraphFrame::rescaleToVisible(ui->graph);
    m_refresher->replot();
}

void WidgetGraphCurrents::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    GraphFrame::applyBackground(ui->graph, ui->graph->height() - 1);
}

void WidgetGraphCurrents::chEnablesChanged()
{
    const QList<QCheckBox*> boxes{ui->CheckCh1, ui->CheckCh2, ui->CheckCh3, ui->CheckCh4};
    const int count = ui->graph->graphCount();
    if (count != 2 && count != 4)
        return;
    for (int i = 0; i < count; ++i)
        ui->graph->graph(i)->setVisible(boxes[i]->isChecked());
}
