#pragma once
// "Frequency Analysis Tool": Bode plots of the beam position's response to a
// sine on one output, one pair of graphs per sweep; each sweep runs a
// FrequencyAnalysisWorker on a thread of its own.
#include <QDialog>
#include <QList>
#include <QMutex>
#include <QSharedPointer>
#include <QVector>

#include <array>
#include <memory>

#include <qcustomplot.h>

#include "OutputVoltages.h"

class FrequencyAnalysisWorker;
class MeasurementClock;
class OutputLease;
class OutputOwner;
class PlotRefresher;
class QTreeWidgetItem;

namespace Ui {
class WindowFrequencyAnalysis;
}

class WindowFrequencyAnalysis : public QDialog
{
    Q_OBJECT

public:
    // A sweep takes the outputs from `outputs` and gives them back when it has ended.
    explicit WindowFrequencyAnalysis(OutputOwner& outputs, QWidget* parent = nullptr);
    ~WindowFrequencyAnalysis() override;

    // Real time unless a test steps the simulated clock instead; used by the next sweep.
    void setMeasurementClock(MeasurementClock& clock);

    void showWindow();
    int buildFrequencyList();
    int addSweepGraphs();
    // The display record word of the swept output, or -1; c receives the channel.
    int getOutputWordIndex(int& c);
    int getInputWordIndex();

    const QVector<double>& frequencyList() const { return m_frequencies; }
    bool sweepRunning() const;

public slots:
    void slotStartSweepPushButton();
    void slotStopSweepPushButton();
    void outputChComboBoxChanged();
    // Reads the output voltages and shows the swept channel's; a failed read shows none.
    void getOutputChValue();
    void inputChComboBoxChanged();
    void onPlotsTreeItemChanged(QTreeWidgetItem* item, int col);
    void slotExportMeasPushButton();
    void slotUseBPMscalingCheckBox(int state);
    void getBPMScale();
    void slotPushButtonAutoscale();
    void slotClearGraphsPushButton();
    void onFrequencyStepDone(int graph_id, double freq, double amp, double pha);

    // Closing the window (close box, Escape, any reject) also ends a running sweep.
    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    using GraphData = QSharedPointer<QCPGraphDataContainer>;

    void setupPlots();
    void replotBoth();
    void sweepEnded();
    void sweepFailed(const QString& reason);
    void forgetWorker();
    // Only asks: the sweep ends on its thread after the call in progress.
    void stopSweep();
    // Stops the sweep and switches the generator off, as a closed window does.
    void endOnClose();
    // The loops' BPM (0 or 1) for the chosen input axis.
    int inputBpm();
    void showOutputVoltages(const OutputVoltages& read);

    Ui::WindowFrequencyAnalysis* ui;
    OutputOwner& m_outputs;
    PlotRefresher* m_refreshMg = nullptr;
    PlotRefresher* m_refreshPh = nullptr;

    QList<GraphData> m_magnitudes;
    QList<GraphData> m_phases;
    // Per sweep: whether its positions were scaled to micrometres.
    QList<bool> m_scaled;
    int m_sweepCount = 0;
    QVector<double> m_frequencies;
    bool useBPMscaling = true;
    double m_bpmScale = 1.0;
    int m_outputChannel = 0;

    MeasurementClock* m_clock;
    // Held from the start of a sweep until its worker has finished.
    std::unique_ptr<OutputLease> m_lease;

    // Stop may be pressed while the worker ends on its thread: the worker is
    // forgotten under this lock before it can be deleted.
    mutable QMutex m_workerLock;
    FrequencyAnalysisWorker* m_worker = nullptr;
};
