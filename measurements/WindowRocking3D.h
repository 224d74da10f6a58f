#pragma once
// The raster rocking scan: 64 by 64 points of output channels 1 and 2, at each the
// summed current of BPM1's picoammeter averaged over ten readings, shown as a
// surface that grows point by point, and the raw grid saved on request.
#include <QDialog>

#include <array>

#include "MeasurementFileHeader.h"
#include "RasterScan.h"

class MeasurementClock;
class OutputOwner;
class QCloseEvent;

namespace Ui {
class WindowRocking3D;
}

class WindowRocking3D : public QDialog
{
    Q_OBJECT

public:
    // The scan takes the outputs from `outputs`; every sleep goes through `clock`.
    WindowRocking3D(OutputOwner& outputs, MeasurementClock& clock, QWidget* parent = nullptr);
    ~WindowRocking3D() override;

    // Where the time and host name of a saved file come from.
    void setStampSource(FileStampSource source);

    // Averaged summed current of point (a, i) at a * 64 + i, amperes.
    const std::array<float, RasterScan::CELLS>& rawGrid() const { return m_raw; }
    const std::array<float, RasterScan::CELLS>& normalisedGrid() const { return m_normalised; }
    bool scanning() const { return m_scanning; }

public slots:
    void startMeasurement();
    void measure();
    void stopMeasurement();
    void saveData();

    // Escape closes the dialog too: the scan must not go on unseen.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // One point: the output record, the settling time, ten readings averaged.
    float measurePoint(int picoammeter, int outputs, int a, int i, bool& readingFailed);
    // The raster of the last started scan, or of the form before the first one.
    RasterScan::Raster savedRaster() const;

    Ui::WindowRocking3D* ui = nullptr;
    std::array<float, RasterScan::CELLS> m_raw{};
    std::array<float, RasterScan::CELLS> m_normalised{};
    RasterScan::Raster m_raster;
    quint64 m_stepTimeMs = 0;
    bool m_stop = false;

    OutputOwner& m_outputs;
    MeasurementClock& m_clock;
    FileStampSource m_stamp = &FileStamp::now;
    bool m_started = false;   // a scan has started in this window
    bool m_scanning = false;
};
