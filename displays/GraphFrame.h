#pragma once
// What every live graph panel shares: the channel/BPM colours and their swatches,
// the dark background, the axis style and interactions, the initial time range,
// the presence rule and the data containers that the Updater refills.
#include <QColor>
#include <QList>
#include <QSharedPointer>
#include <QString>
#include <QStringList>

#include <qcustomplot.h>

class QCheckBox;
class QLabel;

namespace GraphFrame {

// Colours of graph index 0..3: channel 1..4, or BPM1 and BPM2 for the first two.
constexpr int COLOUR_COUNT = 4;
constexpr int BPM_COUNT = 2;

QColor graphColour(int index);
QString swatchStyleSheet(int index);

// A requested graph count limited to the colours the panel has.
int boundedGraphCount(int requested, int colours);

// Whole seconds one display read spans, in integer arithmetic; 0 when no
// positive span follows (short buffer, or no usable sample rate).
int initialTimeSpan(int displayBufferBytes, int sampFreq);

struct ShownBpms
{
    bool bpm1;
    bool bpm2;
};
// Only the pairs (1,1), (1,0) and (0,1) show anything.
ShownBpms shownByPresence(int present0, int present1);
// Asks the hardware library which picoammeters are present.
ShownBpms queryPresence();

// Construction steps, in the order a panel calls them.
void addGraphs(QCustomPlot* plot, int count);
void setInitialTimeRanges(QCustomPlot* plot);
void applyBackground(QCustomPlot* plot, int gradientEndY);
constexpr int PROVISIONAL_GRADIENT_END = 200;
QList<QSharedPointer<QCPGraphDataContainer>> attachContainers(QCustomPlot* plot);
void styleAxes(QCustomPlot* plot);
void setInteractions(QCustomPlot* plot);
void showSwatch(QLabel* swatch, int index);

QSharedPointer<QCPGraphDataContainer> containerAt(const QList<QSharedPointer<QCPGraphDataContainer>>& containers,
                                                  int index);

void setAxisLabels(QCustomPlot* plot, const QString& xLabel, const QString& yLabel);
// Names beyond the plot's graphs are ignored.
void setGraphNames(QCustomPlot* plot, const QStringList& names);
void setYNumberFormat(QCustomPlot* plot, const QString& format, int precision);

// Both axes to the visible graphs, y first.
void rescaleToVisible(QCustomPlot* plot);

// Graph 0 and 1 of a two-graph plot follow the presence and their boxes.
void applyPresence(QCustomPlot* plot, ShownBpms shown, const QCheckBox* box1, const QCheckBox* box2);
// One BPM's box, swatch and graph hidden or shown by the caller's flag.
void applyBpmHidden(QCustomPlot* plot, int graphIndex, bool hide, QCheckBox* box, QLabel* swatch);

}  // namespace GraphFrame
