#include "RasterScan.h"

#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace RasterScan {

double voltage(double minimum, double span, int k)
{
    return minimum + (double(k) / double(POINTS - 1)) * span;
}

double summedCurrent(const ZentrimCurrentSample& sample)
{
    return ((sample.channel(0) + sample.channel(1)) + sample.channel(2)) + sample.channel(3);
}

bool isMissing(float cell)
{
    return !std::isfinite(cell);
}

void normalise(const float* raw, float* normalised, int cells)
{
    float smallest = std::numeric_limits<float>::infinity();
    float largest = -smallest;
    for (int k = 0; k < cells; ++k)
        if (!isMissing(raw[k])) {
            smallest = std::min(smallest, raw[k]);
            largest = std::max(largest, raw[k]);
        }
    const float range = largest - smallest;  // unused when every cell is missing
    for (int k = 0; k < cells; ++k)
        normalised[k] = isMissing(raw[k]) ? MISSING : range > 0.0f ? (raw[k] - smallest) / range : 0.0f;
}

QByteArray fileContents(const FileStamp& stamp, const Raster& raster, const float* raw)
{
    QString text;
    QTextStream out(&text);
    out << measurementFileHeader(stamp) << "ch0,ch1,I0\r\n";
    for (int a = 0; a < POINTS; ++a)
        for (int i = 0; i < POINTS; ++i) {
            out << voltage(raster.xMin, raster.xSpan, a) << ',' << voltage(raster.yMin, raster.ySpan, i) << ',';
            const float cell = raw[a * POINTS + i];
            if (isMissing(cell))
                out << "nan";
            else
                out << cell;
            out << "\r\n";
        }
    out.flush();
    return text.toUtf8();
}

}  // namespace RasterScan
