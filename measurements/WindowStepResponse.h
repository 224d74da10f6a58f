#pragma once
// The step-response test: a low-high-low step on the output of one loop,
// recorded from the display stream at 50000 samples per second; shows the
// gain, the dead time and the 10-90 % settling time with marker lines.
#include <QDialog>
#include <QSharedPointer>
#include <QString>

#include <optional>
#include <vector>

#include <qcustomplot.h>

#include "StepResponseRun.h"
#include "StepStimulus.h"

class MeasurementClock;
class OutputOwner;
struct StepResponseResult;

namespace Ui {
class WindowStepResponse;
}

class WindowStepResponse : public QDialog
{
    Q_OBJECT

public:
    static constexpr int RUN_SAMPLE_RATE = StepResponseRun::SAMPLE_RATE;
    static constexpr int READ_RECORDS = int(StepResponseRun::READ_RECORDS);
    static constexpr int ANALYSED_RECORDS = READ_RECORDS - 1;

    // A run takes the outputs from `outputs`; every sleep goes through `clock`.
    WindowStepResponse(OutputOwner& outputs, MeasurementClock& clock, QWidget* parent = nullptr);
    ~WindowStepResponse() override;

    // Bias boxes from the PID offsets, then show. An offset outside the output
    // range refuses the runs until its box is set by hand.
    void showWindow();

    // The low and high records and the words to analyse, from the boxes and the DAC map.
    StepStimulus buildStimulus() const;

public slots:
    void selector_radioButton_changed();
    void stepRespProcedure();

private:
    void setupPlot();
    StepStimulus::Loop selectedLoop() const;
    // Why the form may not drive the outputs; empty when it may.
    QString rangeRefusal(const StepStimulus& stim) const;
    // A run whose calls failed: its reasons, and the display device's own box.
    void showFailure(const StepRunOutcome& outcome);
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
    // Stored PID offsets outside the output range, per loop, until the box is edited.
    // The file held the loop's offset in a form that cannot be used (not a number,
    // outside the output range); cleared when the operator sets the bias.
    bool m_storedOffsetUnusable[StepStimulus::LOOPS] = {false, false, false};
    OutputOwner& m_outputs;
    MeasurementClock& m_clock;
};
