#pragma once
// One beam position monitor as the controller reads it: four electrode currents
// from the beam's position and intensity (by orientation), routed to picoammeter
// channels by the channel map, converted, and turned back into normalised
// current differences by the same orientation and map.
#include <cstdint>

class Picoammeter;

struct BpmReading
{
    double raw[2] = {0.0, 0.0};  // normalised differences X, Y
    double intensity = 0.0;      // sum of the channel currents, amperes
    double current[4] = {0.0, 0.0, 0.0, 0.0};  // per picoammeter channel
};

class BpmReadout
{
public:
    enum Electrode { Top = 0, Right = 1, Bottom = 2, Left = 3 };
    static constexpr uint8_t ORIENT_45 = 0, ORIENT_90 = 1;

    void reset();

    uint8_t orientation() const { return m_orient; }
    bool setOrientation(uint8_t orient);
    const uint8_t* channelMap() const { return m_map; }  // top, right, bottom, left
    bool setChannelMap(uint8_t top, uint8_t right, uint8_t bottom, uint8_t left);

    // x, y: normalised position (true position / BPM_PHYSICAL_SCALE_UM).
    void electrodeCurrents(double x, double y, double intensity, double out[4]) const;
    BpmReading read(double x, double y, double intensity, const Picoammeter& pico) const;

private:
    uint8_t m_orient = ORIENT_90;
    uint8_t m_map[4] = {0, 1, 2, 3};
};
