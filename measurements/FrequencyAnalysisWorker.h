#pragma once
// One frequency sweep, on a thread of its own: for each frequency it sets the
// display rate, drives one output with the generator's sine, waits, reads the
// display device and demodulates the measured position against the generator's
// reference words, together with the disturbance lines the records hold. A
// point that a line too close to its frequency leaves uncertain is measured
// again over a longer record; one that still cannot be trusted is handed on as
// unreliable, with the reason. A failed call ends the sweep: no point comes
// from a step whose calls failed, and the reason is handed to the window.
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWaitCondition>

#include <array>
#include <memory>
#include <optional>

#include "SweepPoint.h"

struct DisplayRecord;
class DisplayReader;
class MeasurementClock;

class FrequencyAnalysisWorker : public QObject
{
    Q_OBJECT

public:
    // `display` is the open display device; the worker closes it when the sweep ends.
    // `amplitudes` holds the peak-to-peak volts at index outputChannel, 0 elsewhere;
    // `offsets` the four outputs' DC volts.
    FrequencyAnalysisWorker(std::unique_ptr<DisplayReader> display, const QVector<double>& frequencies,
                            bool savedFilter, int graphId, int outputChannel, double bpmScale,
                            const std::array<float, 4>& amplitudes, const std::array<float, 4>& offsets, int inputWord,
                            bool scaling, QObject* parent = nullptr);
    ~FrequencyAnalysisWorker() override;

    // Real time unless a test steps the simulated clock instead.
    void setMeasurementClock(MeasurementClock& clock);
    // The rate the controller reported for the display stream before the sweep,
    // which the records it already holds were taken at; unset, SAMP_FREQ.
    void setDisplayRateBefore(int hz);

    // Display rate for frequency f, with the generator periods and the extra
    // settling time to wait.
    static int chooseRate(float f, int& periods, int& settleMs);

    // Waits up to `ms`; false when the sweep was stopped before or meanwhile.
    bool waitFor(int ms);

signals:
    void progressUpdated(int percent);
    void frequencyStepDone(int graph_id, double freq, double amp, double pha);
    // A point measured, but not well enough to be trusted: `reason` says why.
    void frequencyStepUnreliable(int graph_id, double freq, double amp, double pha, const QString& reason);
    // No point at this frequency, and why (a record that held a sample that is not a number).
    void pointLeftOut(int graph_id, double freq, const QString& reason);
    // A call failed: what went wrong and what it left, for the operator. Comes
    // once per sweep, just before finished.
    void failed(const QString& reason);
    void finished();

public slots:
    void run();
    // Any thread.
    void stop();

protected:
    // The read buffer; null when there is no memory for it.
    virtual std::unique_ptr<DisplayRecord[]> allocateRecords(size_t count);
    // One read of the display device: whole records, oldest first.
    virtual size_t readDisplay(DisplayRecord* into, size_t count, QString& error);

private:
    struct RunBuffers;

    struct Record;

    bool stopRequested();
    // The lines of the display's recent history, before the sweep changes anything.
    void learnLinesFromHistory(RunBuffers& buffers, int rateHz);
    // Frequency i: false when the sweep must end (stopped, or a call failed).
    bool measureStep(int i, RunBuffers& buffers);
    // Drives the generator at f with the display at `rateHz`, waits `waitMs` and
    // reads; false when the sweep must end. The generator is off again on return.
    bool takeRecord(float f, int rateHz, int waitMs, RunBuffers& buffers, size_t& got);
    // The newest `count` records of the read (at most all of it) as signal and
    // references; false when one of their samples is not a finite number.
    bool extract(const RunBuffers& buffers, size_t got, int count, Record& into) const;
    void reportPoint(int i, float f, const LockInFit::Fit& fit, const SweepPoint::Assessment& assessment,
                     float amplitudeSent);
    void leaveOut(int i, float f, const QString& reason);
    // False, and noted, when the generator may still be running.
    bool switchGeneratorOff();
    void noteFailure(const QString& reason);
    void noteStepFailure(const QString& call, float f);

    std::unique_ptr<DisplayReader> m_display;
    const QVector<double> m_frequencies;
    const bool m_savedFilter;
    const int m_graphId;
    const int m_outputChannel;
    const std::array<float, 4> m_amplitudes;
    const std::array<float, 4> m_offsets;
    const int m_inputWord;
    const bool m_scaling;
    const double m_bpmScale;

    MeasurementClock* m_clock;
    int m_rateBefore = 0;
    QStringList m_failures;  // of this run, on the sweep thread
    SweepPoint::Lines m_lines;          // disturbance lines seen in this run
    std::optional<double> m_lastPhase;  // of the last point shown as measured

    QMutex m_mutex;
    QWaitCondition m_condition;
    bool m_stop = false;  // under m_mutex
};
