#pragma once
// "Frequency Analysis Tool": Bode plots of the beam position's response to a
// sine on one output, one pair of graphs per sweep; each sweep runs a
// FrequencyAnalysisWorker on a thread of its own. Points the sweep could not
// measure reliably are drawn apart and named in a note; a controller read that
// failed is shown as missing and keeps a sweep from starting.
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
class QLineEdit;
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
    // -1 also when getPIDoutSel failed; c is then -1 too.
    int getOutputWordIndex(int& c);
    // -1 when getBPMselector failed.
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
    // Drawn apart from the sweep's curve, named in the note, left out of the export.
    void onFrequencyStepUnreliable(int graph_id, double freq, double amp, double pha, const QString& reason);
    // Told when the sweep has ended.
    void onPointLeftOut(int graph_id, double freq, const QString& reason);

    // Closing the window (close box, Escape, any reject) also ends a running sweep.
    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    using GraphData = QSharedPointer<QCPGraphDataContainer>;

    // What a sweep's entry holds besides its two graphs.
    struct Entry
    {
        QCPCurve* unreliableMg = nullptr;
        QCPCurve* unreliablePh = nullptr;
        QStringList notes;  // one per unreliable point
        int measured = 0;
    };

    void setupPlots();
    void replotBoth();
    void sweepEnded();
    void sweepFailed(const QString& reason);
    // A stopped or failed sweep with nothing to show leaves no entry behind.
    void removeEntry(int row);
    void updateNote();
    void showProgressEnd();
    // Refuses the start for a read that failed: told, logged, nothing sent.
    void refuseForRead(const QString& text);
    // Marks the settings fields that hold a value the sweep refuses; with
    // `onlyClear`, takes marks away but adds none (while the operator types).
    void markRefusedFields(bool onlyClear = false);
    static void markField(QLineEdit* field, bool refused, const QString& allowed);
    void forgetWorker();
    // Only asks: the sweep ends on its thread after the call in progress.
    void stopSweep();
    // Stops the sweep and switches the generator off, as a closed window does.
    void endOnClose();
    // The loops' BPM (0 or 1) for the chosen input axis; -1 when getBPMselector failed.
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
    QList<Entry> m_entries;
    int m_sweepCount = 0;
    QVector<double> m_frequencies;
    bool useBPMscaling = true;
    double m_bpmScale = 1.0;
    int m_outputChannel = 0;
    bool m_outputChannelRead = false;  // the last getPIDoutSel succeeded

    // The running sweep: its entry (-1 once cleared), its frequencies done,
    // whether it failed, and the points it left out.
    int m_sweepRow = -1;
    int m_stepsDone = 0;
    bool m_sweepFailed = false;
    QStringList m_leftOut;

    MeasurementClock* m_clock;
    // Held from the start of a sweep until its worker has finished.
    std::unique_ptr<OutputLease> m_lease;

    // Stop may be pressed while the worker ends on its thread: the worker is
    // forgotten under this lock before it can be deleted.
    mutable QMutex m_workerLock;
    FrequencyAnalysisWorker* m_worker = nullptr;
};
