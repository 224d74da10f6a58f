#pragma once
// One-dimensional rocking-curve scan: steps one steering output over a voltage
// range while the other stands at its loop's offset, and draws the two BPM1
// currents facing the scanned direction and their sum against the voltage.
#include <QDialog>

class MeasurementClock;
class OutputOwner;
class PlotRefresher;

namespace Ui {
class WindowRockingCurve;
}

class WindowRockingCurve : public QDialog
{
    Q_OBJECT

public:
    // A scan takes the outputs from `outputs`; every sleep goes through `clock`.
    WindowRockingCurve(OutputOwner& outputs, MeasurementClock& clock, QWidget* parent = nullptr);
    ~WindowRockingCurve() override;

    // The level the other steering output holds: the X loop's offset while Y
    // is scanned, the Y loop's while X is.
    double heldOutputLevel(bool scanY) const;

    bool scanning() const { return m_scanning; }

public slots:
    void startMeasurement();
    void minMaxChanged();
    void clearGraph();

private:
    void setupPlot();
    void runScan(int dacX, int dacY, int top, int right, int bottom, int left);

    Ui::WindowRockingCurve* ui;
    OutputOwner& m_outputs;
    MeasurementClock& m_clock;
    PlotRefresher* m_refresher = nullptr;
    bool m_scanning = false;
};
