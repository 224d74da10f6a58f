#include "GraphFrame.h"

#include <QCheckBox>
#include <QLabel>
#include <QLinearGradient>

#include "Globals.h"
#include "VornLibrary.h"

namespace GraphFrame {

namespace {
constexpr int RECORD_BYTES = 256;

struct Rgb
{
    int r, g, b;
};
constexpr Rgb COLOURS[COLOUR_COUNT] = {{255, 255, 135}, {255, 130, 255}, {130, 255, 130}, {130, 210, 250}};
}  // namespace

QColor graphColour(int index)
{
    if (index < 0 || index >= COLOUR_COUNT)
        return QColor(Qt::white);
    const Rgb& c = COLOURS[index];
    return QColor(c.r, c.g, c.b);
}

QString swatchStyleSheet(int index)
{
    const QColor c = graphColour(index);
    const QString rgb = QStringLiteral("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
    return QStringLiteral("QLabel { background-color : %1; color : %1; }").arg(rgb);
}

int boundedGraphCount(int requested, int colours)
{
    return qBound(0, requested, colours);
}

int initialTimeSpan(int displayBufferBytes, int sampFreq)
{
    // A rate of 0 would divide by zero and a negative one would run time backwards.
    if (sampFreq <= 0 || displayBufferBytes <= 0)
        return 0;
    return (displayBufferBytes / RECORD_BYTES) / sampFreq;
}

ShownBpms shownByPresence(int present0, int present1)
{
    if (present0 == 1 && present1 == 1)
        return {true, true};
    if (present0 == 1 && present1 == 0)
        return {true, false};
    if (present0 == 0 && present1 == 1)
        return {false, true};
    return {false, false};
}

ShownBpms queryPresence()
{
    // Zeroed first: a failing call that writes nothing reads as none present.
    int present0 = 0;
    int present1 = 0;
    getZentrims(&present0, &present1);
    return shownByPresence(present0, present1);
}

void addGraphs(QCustomPlot* plot, int count)
{
    for (int i = 0; i < count; ++i) {
        QCPGraph* graph = plot->addGraph();
        // Up to a full display buffer per trace every second: no antialiasing.
        graph->setAntialiased(false);
        graph->setPen(QPen(QBrush(graphColour(i), Qt::SolidPattern), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    }
}

void setInitialTimeRanges(QCustomPlot* plot)
{
    plot->yAxis->setRange(-5e-5, 5e-5);
    // A zero span is refused by the plot, so the library's default range stays.
    const int span = initialTimeSpan(DISPLAY_BUFFER_BYTES, loadSampFreq());
    if (span > 0)
        plot->xAxis->setRange(0, span);
}

void applyBackground(QCustomPlot* plot, int gradientEndY)
{
    QLinearGradient gradient(0, 0, 0, gradientEndY);
    gradient.setColorAt(0, QColor(100, 100, 100));
    gradient.setColorAt(1, QColor(30, 30, 30));
    plot->setBackground(QBrush(gradient));
}

QList<QSharedPointer<QCPGraphDataContainer>> attachContainers(QCustomPlot* plot)
{
    QList<QSharedPointer<QCPGraphDataContainer>> containers;
    for (int i = 0; i < plot->graphCount(); ++i) {
        auto container = QSharedPointer<QCPGraphDataContainer>::create();
        containers.append(container);
        plot->graph(i)->setData(container);
    }
    return containers;
}

void styleAxes(QCustomPlot* plot)
{
    const QPen white(Qt::white, 1);
    plot->yAxis->setLabel(QStringLiteral("yLabel"));
    plot->xAxis->setLabel(QStringLiteral("xLabel"));
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
        axis->setLabelColor(Qt::white);
        axis->setTickLabelColor(Qt::white);
        axis->setTickPen(white);
        axis->setSubTickPen(white);
        axis->setBasePen(white);
    }
    plot->yAxis->setNumberFormat(QStringLiteral("e"));
    plot->yAxis->setNumberPrecision(5);
}

void setInteractions(QCustomPlot* plot)
{
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables | QCP::iSelectAxes);
    plot->axisRect()->setRangeZoom(Qt::Horizontal | Qt::Vertical);
}

void showSwatch(QLabel* swatch, int index)
{
    swatch->setStyleSheet(swatchStyleSheet(index));
    swatch->show();
}

QSharedPointer<QCPGraphDataContainer> containerAt(const QList<QSharedPointer<QCPGraphDataContainer>>& containers,
                                                  int index)
{
    if (index < 0 || index >= containers.size())
        return {};
    return containers.at(index);
}

void setAxisLabels(QCustomPlot* plot, const QString& xLabel, const QString& yLabel)
{
    plot->xAxis->setLabel(xLabel);
    plot->yAxis->setLabel(yLabel);
}

void setGraphNames(QCustomPlot* plot, const QStringList& names)
{
    const int count = qMin(int(names.size()), plot->graphCount());
    for (int i = 0; i < count; ++i)
        plot->graph(i)->setName(names.at(i));
}

void setYNumberFormat(QCustomPlot* plot, const QString& format, int precision)
{
    plot->yAxis->setNumberFormat(format);
    plot->yAxis->setNumberPrecision(precision);
}

void rescaleToVisible(QCustomPlot* plot)
{
    plot->yAxis->rescale(true);
    plot->xAxis->rescale(true);
}

void applyPresence(QCustomPlot* plot, ShownBpms shown, const QCheckBox* box1, const QCheckBox* box2)
{
    if (plot->graphCount() != BPM_COUNT)
        return;
    plot->graph(0)->setVisible(shown.bpm1 && box1->isChecked());
    plot->graph(1)->setVisible(shown.bpm2 && box2->isChecked());
}

void applyBpmHidden(QCustomPlot* plot, int graphIndex, bool hide, QCheckBox* box, QLabel* swatch)
{
    box->setVisible(!hide);
    swatch->setVisible(!hide);
    if (graphIndex >= 0 && graphIndex < plot->graphCount())
        plot->graph(graphIndex)->setVisible(!hide && box->isChecked());
}

}  // namespace GraphFrame
