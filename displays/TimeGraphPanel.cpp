#include "TimeGraphPanel.h"

#include <QCheckBox>
#include <QLabel>

#include "GraphFrame.h"
#include "PlotRefresher.h"

TimeGraphPanel::TimeGraphPanel(QWidget* parent)
    : QWidget(parent)
{
}

TimeGraphPanel::~TimeGraphPanel() = default;

void TimeGraphPanel::buildFrame(const FormControls& form, int graphCount, const std::function<void()>& onToggle)
{
    m_form = form;
    QCustomPlot* graph = m_form.plot;
    graph->setNoAntialiasingOnDrag(true);

    for (int i = 0; i < m_form.boxes.size(); ++i) {
        m_form.boxes[i]->show();
        m_form.swatches[i]->show();
        connect(m_form.boxes[i], &QCheckBox::toggled, this, onToggle);
        m_form.boxes[i]->setChecked(true);
    }

    GraphFrame::addGraphs(graph, GraphFrame::boundedGraphCount(graphCount, int(m_form.swatches.size())));
    for (int i = 0; i < m_form.swatches.size(); ++i)
        GraphFrame::showSwatch(m_form.swatches[i], i);

    GraphFrame::setInitialTimeRanges(graph);
    GraphFrame::applyBackground(graph, GraphFrame::PROVISIONAL_GRADIENT_END);
    m_graphData = GraphFrame::attachContainers(graph);
    GraphFrame::styleAxes(graph);
    GraphFrame::setInteractions(graph);

    m_refresher = new PlotRefresher(graph);
}

QSharedPointer<QCPGraphDataContainer> TimeGraphPanel::getGraphData(int index) const
{
    return GraphFrame::containerAt(m_graphData, index);
}

void TimeGraphPanel::setYNumberFormat(const QString& format, int precision)
{
    GraphFrame::setYNumberFormat(m_form.plot, format, precision);
}

void TimeGraphPanel::setAxisLabels(const QString& xLabel, const QString& yLabel)
{
    GraphFrame::setAxisLabels(m_form.plot, xLabel, yLabel);
}

void TimeGraphPanel::replot()
{
    if (m_form.autoscale->isChecked())
        GraphFrame::rescaleToVisible(m_form.plot);
    m_refresher->replot();
}

void TimeGraphPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The form's own size is set before the frame exists.
    if (m_form.plot)
        GraphFrame::applyBackground(m_form.plot, m_form.plot->height() - 1);
}
