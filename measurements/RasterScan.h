#pragma once
// The computations of the raster rocking scan: the raster's voltages, the
// normalised grid for the view, and the saved file.
#include <QByteArray>

#include <limits>

#include "MeasurementFileHeader.h"
#include "VornRecords.h"

namespace RasterScan {

inline constexpr int POINTS = 64;  // per axis
inline constexpr int CELLS = POINTS * POINTS;
inline constexpr int READINGS_PER_POINT = 10;

// A cell whose readings failed: it has no current. Not a number, so that it can
// never pass for one; the surface leaves it out and the file writes "nan".
inline constexpr float MISSING = std::numeric_limits<float>::quiet_NaN();
bool isMissing(float cell);

// Voltage of raster step k (0 to 63): the minimum at 0, minimum + span at 63.
double voltage(double minimum, double span, int k);

// The four channel currents of one reading, summed in channel order.
double summedCurrent(const ZentrimCurrentSample& sample);

// (raw - smallest) / (largest - smallest) for every cell, so the grid spans 0 to 1;
// all 0 when the grid is flat. Missing cells take no part and stay missing.
void normalise(const float* raw, float* normalised, int cells);

// The scan's first voltages and spans, channel 1 (x) and channel 2 (y).
struct Raster
{
    double xMin = 0.0;
    double xSpan = 0.0;
    double yMin = 0.0;
    double ySpan = 0.0;
};

// The file: the header lines, "ch0,ch1,I0", then one row per point with the two
// voltages and the raw current, in scan order; every line ends with "\r\n". A
// missing cell keeps its row, with "nan" for its current: what C's strtod,
// numpy, pandas and MATLAB read as not-a-number, never as a current.
QByteArray fileContents(const FileStamp& stamp, const Raster& raster, const float* raw);

}  // namespace RasterScan
