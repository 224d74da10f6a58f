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
class UnloadedFields;
class QDoubleSpinBox;
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

    // Bias boxes from the PID offsets, then show. A stored offset the window
    // cannot use (not read, or outside the output range) shows a dash and
    // refuses the runs until its box is set by hand.
    void showWindow();

    // The low and high records and the words to analyse, from the boxes and the
    // DAC map; the map's keys that could not be read go to `unread`.
    StepStimulus buildStimulus(QStringList* unread = nullptr) const;

public slots:
    void selector_radioButton_changed();
    void stepRespProcedure();

private:
    void setupPlot();
    StepStimulus::Loop selectedLoop() const;
    QDoubleSpinBox* biasBox(int loop) const;
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
    // Bias boxes whose stored offset could not be used: a dash until the operator sets them.
    UnloadedFields* m_unloaded = nullptr;
    // Per loop, why its stored offset could not be used; empty when it could.
    QString m_offsetProblem[StepStimulus::LOOPS];
    OutputOwner& m_outputs;
    MeasurementClock& m_clock;
};
