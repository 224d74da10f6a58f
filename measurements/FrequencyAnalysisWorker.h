#pragma once
// One frequency sweep, on a thread of its own: for each frequency it sets the
// display rate, drives one output with the generator's sine, waits, reads the
// display device and demodulates the measured position against the generator's
// reference words.
#include <QMutex>
#include <QObject>
#include <QVector>
#include <QWaitCondition>

#include <array>
#include <memory>

struct DisplayRecord;
class MeasurementClock;

class FrequencyAnalysisWorker : public QObject
{
    Q_OBJECT

public:
    // `fd` is the open display device; the worker closes it when the sweep ends.
    // `amplitudes` holds the peak-to-peak volts at index outputChannel, 0 elsewhere;
    // `offsets` the four outputs' DC volts.
    FrequencyAnalysisWorker(int fd, const QVector<double>& frequencies, bool savedFilter, int graphId,
                            int outputChannel, double bpmScale, const std::array<float, 4>& amplitudes,
                            const std::array<float, 4>& offsets, int inputWord, bool scaling,
                            QObject* parent = nullptr);
    ~FrequencyAnalysisWorker() override;

    // Real time unless a test steps the simulated clock instead.
    void setMeasurementClock(MeasurementClock& clock);

    // Display rate for frequency f, with the generator periods and the extra
    // settling time to wait.
    static int chooseRate(float f, int& periods, int& settleMs);

    // Waits up to `ms`; false when the sweep was stopped before or meanwhile.
    bool waitFor(int ms);

signals:
    void progressUpdated(int percent);
    void frequencyStepDone(int graph_id, double freq, double amp, double pha);
    void finished();

public slots:
    void run();
    // Any thread.
    void stop();

protected:
    // The read buffer; null when there is no memory for it.
    virtual std::unique_ptr<DisplayRecord[]> allocateRecords(size_t count);

private:
    bool stopRequested();

    const int m_fd;
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

    QMutex m_mutex;
    QWaitCondition m_condition;
    bool m_stop = false;  // under m_mutex
};
