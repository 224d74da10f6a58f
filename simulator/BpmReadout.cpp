#include "BpmReadout.h"

#include <algorithm>

#include "Picoammeter.h"
#include "PlantConstants.h"

void BpmReadout::reset(int bpm)
{
    const uint8_t* wired = PlantConstants::WIRED_CHANNEL[bpm];
    setWiring(PlantConstants::WIRED_ORIENT[bpm], wired[Top], wired[Right], wired[Bottom], wired[Left]);
    m_orient = m_wiredOrient;
    std::copy(m_wired, m_wired + 4, m_map);
}

bool BpmReadout::validMap(uint8_t top, uint8_t right, uint8_t bottom, uint8_t left)
{
    return top <= 3 && right <= 3 && bottom <= 3 && left <= 3;
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
    if (!validMap(top, right, bottom, left))
        return false;
    m_map[Top] = top;
    m_map[Right] = right;
    m_map[Bottom] = bottom;
    m_map[Left] = left;
    return true;
}

bool BpmReadout::setWiring(uint8_t orient, uint8_t top, uint8_t right, uint8_t bottom, uint8_t left)
{
    if ((orient != ORIENT_45 && orient != ORIENT_90) || !validMap(top, right, bottom, left))
        return false;
    m_wiredOrient = orient;
    m_wired[Top] = top;
    m_wired[Right] = right;
    m_wired[Bottom] = bottom;
    m_wired[Left] = left;
    return true;
}

void BpmReadout::electrodeCurrents(double x, double y, double intensity, double out[4]) const
{
    const double quarter = intensity / 4.0;
    if (m_wiredOrient == ORIENT_90) {
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
    // A channel cabled to two electrodes carries both currents.
    double input[4] = {0.0, 0.0, 0.0, 0.0};
    for (int e = 0; e < 4; ++e)
        input[m_wired[e]] += electrode[e];
    for (int c = 0; c < 4; ++c) {
        r.current[c] = pico.convert(input[c]);
        r.intensity += r.current[c];
    }

    // The controller takes each electrode from the channel its configured map
    // names, and combines them by the configured orientation.
    const double t = r.current[m_map[Top]], rt = r.current[m_map[Right]];
    const double b = r.current[m_map[Bottom]], l = r.current[m_map[Left]];
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
