#pragma once
// The frequency analysis window's form for its tests, found by object name,
// and what they read from it: the prompts shown, the plotted points, the
// exported rows; and a window whose sweeps step the simulated clock.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include <qcustomplot.h>

#include "OutputOwner.h"
#include "Prompts.h"
#include "WindowFrequencyAnalysis.h"
#include "support/FormChild.h"
#include "support/SteppedMeasurementClock.h"

namespace FrequencyWindowForm {

using FormChild::child;

constexpr int SWEEP_TIMEOUT_MS = 60000;

// The window's form, found by object name.
struct Form
{
    explicit Form(const QWidget& w)
        : mg(child<QCustomPlot>(w, "graphMg"))
        , ph(child<QCustomPlot>(w, "graphPh"))
        , autoscale(child<QPushButton>(w, "pushButtonAutoscale"))
        , tree(child<QTreeWidget>(w, "plotsTree"))
        , clear(child<QPushButton>(w, "clearGraphsPushButton"))
        , exportMeas(child<QPushButton>(w, "exportMeasPushButton"))
        , progress(child<QProgressBar>(w, "progressBar"))
        , start(child<QPushButton>(w, "StartSweepPushButton"))
        , stop(child<QPushButton>(w, "StopSweepPushButton"))
        , input(child<QComboBox>(w, "inputChComboBox"))
        , zentrim(child<QLineEdit>(w, "inZentrimChLineEdit"))
        , bpm(child<QLineEdit>(w, "inBpmChLineEdit"))
        , scaling(child<QCheckBox>(w, "useBPMscalingCheckBox"))
        , startFreq(child<QLineEdit>(w, "startFreqLineEdit"))
        , stopFreq(child<QLineEdit>(w, "stopFreqLineEdit"))
        , length(child<QLineEdit>(w, "lengthLineEdit"))
        , sweepType(child<QComboBox>(w, "sweepTypeComboBox"))
        , output(child<QComboBox>(w, "outputChComboBox"))
        , orvane(child<QLineEdit>(w, "outOrvaneChLineEdit"))
        , amplitude(child<QDoubleSpinBox>(w, "amplspinBox"))
        , offset(child<QLineEdit>(w, "offsetspinBox"))
        , note(child<QLabel>(w, "sweepNoteLabel"))
    {
    }

    void settings(const QString& from, const QString& to, const QString& points, const QString& type = "log") const
    {
        startFreq->setText(from);
        stopFreq->setText(to);
        length->setText(points);
        sweepType->setCurrentText(type);
    }

    QCustomPlot *mg, *ph;
    QPushButton* autoscale;
    QTreeWidget* tree;
    QPushButton *clear, *exportMeas;
    QProgressBar* progress;
    QPushButton *start, *stop;
    QComboBox* input;
    QLineEdit *zentrim, *bpm;
    QCheckBox* scaling;
    QLineEdit *startFreq, *stopFreq, *length;
    QComboBox *sweepType, *output;
    QLineEdit* orvane;
    QDoubleSpinBox* amplitude;
    QLineEdit* offset;
    QLabel* note;
};

inline QStringList titlesShown()
{
    QStringList titles;
    for (const Prompts::Shown& s : Prompts::shown())
        titles << s.title;
    return titles;
}

inline QList<QPair<double, double>> points(const QCPGraph* graph)
{
    QList<QPair<double, double>> out;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        out.append({it->key, it->value});
    return out;
}

inline QList<QStringList> csvRows(const QString& path, QString* header)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QList<QStringList> rows;
    for (int i = 1; i < lines.size(); ++i)
        rows << lines[i].split(',');
    if (header && !lines.isEmpty())
        *header = lines.first();
    return rows;
}

inline bool sameNumber(const QString& text, double value)
{
    // Six significant digits in the file.
    return qAbs(text.toDouble() - value) <= 1e-5 * qMax(1e-300, qAbs(value));
}

// A window whose sweeps step the simulated clock; the clock outlives the sweep thread.
struct SteppedWindow
{
    explicit SteppedWindow(OutputOwner& outputs)
        : window(outputs)
        , form(window)
    {
        window.setMeasurementClock(clock);
    }

    SteppedMeasurementClock clock;
    WindowFrequencyAnalysis window;
    const Form form;
};

}  // namespace FrequencyWindowForm
