#pragma once
// The step-response test: a low-high-low step on the output of one loop,
// recorded from the display stream at 50000 samples per second; shows the
// gain, the dead time and the 10-90 % settling time with marker lines.
#include <QDialog>
#include <QSharedPointer>
#include <QString>

#include <vector>

#include <qcustomplot.h>

#include "StepStimulus.h"

class MeasurementClock;
class OutputOwner;
struct DisplayRecord;
struct StepResponseResult;

namespace Ui {
class WindowStepResponse;
}

class WindowStepResponse : public QDialog
{
    Q_OBJECT

public:
    static constexpr int RUN_SAMPLE_RATE = 50000;
    static constexpr int READ_RECORDS = 14336;              // 3670016 bytes
    static constexpr int ANALYSED_RECORDS = READ_RECORDS - 1;
    // Low, high, low: how long each record stands before the next step.
    static constexpr long LOW_US = 100000;
    static constexpr long HIGH_US = 100000;
    static constexpr long TAIL_US = 120000;

    // A run takes the outputs from `outputs`; every sleep goes through `clock`.
    WindowStepResponse(OutputOwner& outputs, MeasurementClock& clock, QWidget* parent = nullptr);
    ~WindowStepResponse() override;

    // Bias boxes from the PID offsets, then show.
    void showWindow();

    // The low and high records and the words to analyse, from the boxes and the DAC map.
    StepStimulus buildStimulus() const;

public slots:
    void selector_radioButton_changed();
    void stepRespProcedure();

private:
    void setupPlot();
    StepStimulus::Loop selectedLoop() const;
    // Reads one block of the display stream; false (and the reason) when it
    // did not deliver every record.
    bool readDisplay(int fd, std::vector<DisplayRecord>& records, QString* failure) const;
    void showResult(const StepResponseResult& result, const std::vector<double>& stimulus,
                    const std::vector<double>& response, const StepStimulus& stim);
    // Labels, curves and markers back to empty, with `why` in the remark line.
    void clearResult(const QString& why);

    Ui::WindowStepResponse* ui;
    QSharedPointer<QCPGraphDataContainer> m_stimulusData;
    QSharedPointer<QCPGraphDataContainer> m_responseData;
    QCPItemLine* m_riseLine = nullptr;
    QCPItemLine* m_deadArrow = nullptr;
    QCPItemLine* m_settleArrow = nullptr;
    QCPItemLine* m_amplitudeArrow = nullptr;
    QCPItemText* m_deadText = nullptr;
    QCPItemText* m_settleText = nullptr;
    QCPItemText* m_amplitudeText = nullptr;
    OutputOwner& m_outputs;
    MeasurementClock& m_clock;
};
