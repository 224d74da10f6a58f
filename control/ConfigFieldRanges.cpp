#include "ConfigFieldRanges.h"

namespace ConfigFieldRanges {

namespace {

struct Range
{
    const char* name;
    double min;
    double max;
};

const Range RANGES[] = {
    {"Orient", 0, 1},
    {"Top", 0, 3},
    {"Right", 0, 3},
    {"Bottom", 0, 3},
    {"Left", 0, 3},
    {"Scale_X", 0, 1e8},
    {"Scale_Y", 0, 1e8},
    {"Offset_X", -1e4, 1e8},
    {"Offset_Y", -1e4, 1e8},
    {"RoiX", 0, 1000},
    {"RoiY", 0, 1000},
    {"RoiI0min", 0, 1e-3},  // amperes: up to 1000 uA
    {"RoiI0max", 0, 1e-3},
    {"BeamOffTh", 0, 10},  // amperes: up to 1e7 uA
    {"Freq", 1, 1000},
    {"Kp", 0, 1e7},
    {"Ki", 0, 1e8},
    {"Kd", 0, 1e7},
    {"emin", 0, 1000},
    {"Imax", 0, 1e5},
    {"Omin", -99, 99.99},
    {"Omax", -99, 99.99},
    {"Ogain", -90, 1e5},
    {"Offset", -12, 12},
    {"DAC_posX", 0, 3},
    {"DAC_posY", 0, 3},
    {"DAC_I0", 0, 3},
    {"BPM_posX", 0, 1},
    {"BPM_posY", 0, 1},
    {"BPM_I0", 0, 1},
};

const Range* find(const QString& name)
{
    for (const Range& r : RANGES)
        if (name == QLatin1String(r.name))
            return &r;
    return nullptr;
}

}  // namespace

bool rangeOf(const QString& name, double* min, double* max)
{
    const Range* range = find(name);
    if (!range)
        return false;
    if (min)
        *min = range->min;
    if (max)
        *max = range->max;
    return true;
}

bool contains(const QString& name, double value)
{
    const Range* range = find(name);
    return range && value >= range->min && value <= range->max;
}

}  // namespace ConfigFieldRanges
