#pragma once
// One beam position monitor as the controller reads it. The electrode currents
// follow from the beam's position and intensity by the monitor's real
// orientation, reach the picoammeter channels by its real cabling, and are
// turned back into normalised current differences through the orientation and
// channel map the program configured. Only when both agree are the positions true.
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

    // The monitor's wiring from the plant constants, and the controller configured to match.
    void reset(int bpm);

    // What the program configured (setBPMorient, setCrossBar).
    uint8_t orientation() const { return m_orient; }
    bool setOrientation(uint8_t orient);
    const uint8_t* channelMap() const { return m_map; }  // top, right, bottom, left
    bool setChannelMap(uint8_t top, uint8_t right, uint8_t bottom, uint8_t left);

    // How the monitor is really built and cabled.
    uint8_t wiredOrientation() const { return m_wiredOrient; }
    const uint8_t* wiredChannels() const { return m_wired; }  // top, right, bottom, left
    bool setWiring(uint8_t orient, uint8_t top, uint8_t right, uint8_t bottom, uint8_t left);

    // x, y: normalised position (true position / BPM_PHYSICAL_SCALE_UM); by the real orientation.
    void electrodeCurrents(double x, double y, double intensity, double out[4]) const;
    BpmReading read(double x, double y, double intensity, const Picoammeter& pico) const;

private:
    static bool validMap(uint8_t top, uint8_t right, uint8_t bottom, uint8_t left);

    uint8_t m_orient = ORIENT_90;
    uint8_t m_map[4] = {0, 1, 2, 3};
    uint8_t m_wiredOrient = ORIENT_90;
    uint8_t m_wired[4] = {0, 1, 2, 3};
};
