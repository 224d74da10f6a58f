#include "BpmReadout.h"

#include <algorithm>

#include "Picoammeter.h"

void BpmReadout::reset()
{
    m_orient = ORIENT_90;
    for (uint8_t e = 0; e < 4; ++e)
        m_map[e] = e;
}

bool BpmReadout::setOrientation(uint8_t orient)
{
    if (orient != ORIENT_45 && orient != ORIENT_90)
        return false;
    m_orient = orient;
    return true;
}

bool BpmReadout::setChannelMap(uint8_t top, uint8_t right, uint8_t bottom, uint8_t left)
{
    if (top > 3 || right > 3 || bottom > 3 || left > 3)
        return false;
    m_map[Top] = top;
    m_map[Right] = right;
    m_map[Bottom] = bottom;
    m_map[Left] = left;
    return true;
}

void BpmReadout::electrodeCurrents(double x, double y, double intensity, double out[4]) const
{
    const double quarter = intensity / 4.0;
    if (m_orient == ORIENT_90) {
        // Electrodes on the axes.
        out[Top] = quarter * (1.0 + y);
        out[Bottom] = quarter * (1.0 - y);
        out[Right] = quarter * (1.0 + x);
        out[Left] = quarter * (1.0 - x);
    } else {
        // Electrodes on the diagonals: top upper left, right upper right,
        // bottom lower right, left lower left.
        out[Top] = quarter * (1.0 - x + y);
        out[Right] = quarter * (1.0 + x + y);
        out[Bottom] = quarter * (1.0 + x - y);
        out[Left] = quarter * (1.0 - x - y);
    }
    for (int e = 0; e < 4; ++e)
        out[e] = std::max(0.0, out[e]);
}

BpmReading BpmReadout::read(double x, double y, double intensity, const Picoammeter& pico) const
{
    BpmReading r;
    double electrode[4];
    electrodeCurrents(x, y, intensity, electrode);
    // A channel wired to two electrodes carries both currents.
    double input[4] = {0.0, 0.0, 0.0, 0.0};
    for (int e = 0; e < 4; ++e)
        input[m_map[e]] += electrode[e];
    for (int c = 0; c < 4; ++c) {
        r.current[c] = pico.convert(input[c]);
        r.intensity += r.current[c];
    }

    // The controller reads each electrode from the channel the map names.
    double t = r.current[m_map[Top]], rt = r.current[m_map[Right]];
    double b = r.current[m_map[Bottom]], l = r.current[m_map[Left]];
    auto ratio = [](double num, double den) { return den > 0.0 ? num / den : 0.0; };
    if (m_orient == ORIENT_90) {
        r.raw[0] = ratio(rt - l, rt + l);
        r.raw[1] = ratio(t - b, t + b);
    } else {
        const double sum = t + rt + b + l;
        r.raw[0] = ratio(rt + b - t - l, sum);
        r.raw[1] = ratio(t + rt - b - l, sum);
    }
    return r;
}
