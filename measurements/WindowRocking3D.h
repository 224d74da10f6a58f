#pragma once
// The raster rocking scan: 64 by 64 points of output channels 1 and 2, at each the
// summed current of BPM1's picoammeter averaged over ten readings, shown as a
// surface that grows point by point, and the raw grid saved on request.
#include <array>

#include "MeasurementFileHeader.h"
#include "RasterScan.h"
#include "ScanWindow.h"

class MeasurementClock;
class OutputOwner;
class ScanSession;

namespace Ui {
class WindowRocking3D;
}

class WindowRocking3D : public ScanWindow
{
    Q_OBJECT

public:
    // The scan takes the outputs from `outputs`; every wait goes through `clock`.
    WindowRocking3D(OutputOwner& outputs, MeasurementClock& clock, QWidget* parent = nullptr);
    ~WindowRocking3D() override;

    // Where the time and host name of a saved file come from.
    void setStampSource(FileStampSource source);

    // Averaged summed current of point (a, i) at a * 64 + i, amperes; 0 where not
    // measured yet, RasterScan::MISSING where a reading failed.
    const std::array<float, RasterScan::CELLS>& rawGrid() const { return m_raw; }
    const std::array<float, RasterScan::CELLS>& normalisedGrid() const { return m_normalised; }

public slots:
    void startMeasurement();
    void measure();
    void stopMeasurement();
    void saveData();

private:
    void scan(ScanSession& session);
    // One point: the output record, the settling time, ten readings averaged into
    // its cell. False when the run ends in it (a failed write, a stop); a cell
    // with a failed reading is missing.
    bool measurePoint(ScanSession& session, int a, int i);
    // The normalised grid to the view, repainted.
    void showGrid();
    // The raster of the last started scan, or of the form before the first one.
    RasterScan::Raster savedRaster() const;

    Ui::WindowRocking3D* ui = nullptr;
    std::array<float, RasterScan::CELLS> m_raw{};
    std::array<float, RasterScan::CELLS> m_normalised{};
    RasterScan::Raster m_raster;
    quint64 m_stepTimeMs = 0;

    FileStampSource m_stamp = &FileStamp::now;
    bool m_started = false;   // a scan has started in this window
};
