#pragma once
// Records exchanged with the hardware library and the driver's devices.
// All little-endian, as the controller's host is.
#include <cstddef>
#include <cstdint>
#include <cstring>

// One sample of the display stream: 32 doubles.
struct DisplayRecord
{
    double word[32];

    static constexpr int BPM1_X = 0, BPM1_Y = 1, BPM1_I0 = 2;
    static constexpr int BPM2_X = 4, BPM2_Y = 5, BPM2_I0 = 6;
    static constexpr int REFERENCE = 7;   // two float32: in-phase, quadrature
    static constexpr int OUTPUT0 = 8;     // output channel c at OUTPUT0 + c
    static constexpr int BPM1_CURRENT0 = 24;
    static constexpr int BPM2_CURRENT0 = 28;

    float inPhaseReference() const
    {
        float v;
        std::memcpy(&v, reinterpret_cast<const unsigned char*>(&word[REFERENCE]), sizeof v);
        return v;
    }
    float quadratureReference() const
    {
        float v;
        std::memcpy(&v, reinterpret_cast<const unsigned char*>(&word[REFERENCE]) + 4, sizeof v);
        return v;
    }
    void setReferences(float inPhase, float quadrature)
    {
        auto* bytes = reinterpret_cast<unsigned char*>(&word[REFERENCE]);
        std::memcpy(bytes, &inPhase, sizeof inPhase);
        std::memcpy(bytes + 4, &quadrature, sizeof quadrature);
    }
};
static_assert(sizeof(DisplayRecord) == 256, "DisplayRecord is 256 bytes");

// Status block of one picoammeter. Its doubles sit at offsets that are not
// multiples of 8, so the fields are read and written through memcpy.
struct ZentrimStatus
{
    unsigned char bytes[64];

    static constexpr size_t HV_CURRENT = 12;  // float32, microamperes
    static constexpr size_t HV_VOLTAGE = 16;  // float32, volts
    static constexpr size_t HV_STATUS = 20;   // int32, low four bits: 0 off, 1 on, 3 rising, 5 falling
    static constexpr size_t CH4_CURRENT = 28; // float64, then ch3, ch2, ch1 every 8 bytes

    float hvCurrent() const { return get<float>(HV_CURRENT); }
    float hvVoltage() const { return get<float>(HV_VOLTAGE); }
    int32_t hvStatus() const { return get<int32_t>(HV_STATUS); }
    // channel 0..3 for CH1..CH4; the block stores CH4 first
    double channelCurrent(int channel) const { return get<double>(CH4_CURRENT + 8 * (3 - channel)); }

    void setHvCurrent(float v) { set(HV_CURRENT, v); }
    void setHvVoltage(float v) { set(HV_VOLTAGE, v); }
    void setHvStatus(int32_t v) { set(HV_STATUS, v); }
    void setChannelCurrent(int channel, double v) { set(CH4_CURRENT + 8 * (3 - channel), v); }

private:
    template <typename T> T get(size_t offset) const
    {
        T v;
        std::memcpy(&v, bytes + offset, sizeof v);
        return v;
    }
    template <typename T> void set(size_t offset, T v) { std::memcpy(bytes + offset, &v, sizeof v); }
};
static_assert(sizeof(ZentrimStatus) == 64, "ZentrimStatus is 64 bytes");

// One reading of a picoammeter's currents, amperes; channel index c at element 3 - c.
struct ZentrimCurrentSample
{
    double current[4];

    double channel(int c) const { return current[3 - c]; }
};
static_assert(sizeof(ZentrimCurrentSample) == 32, "ZentrimCurrentSample is 32 bytes");
static_assert(offsetof(ZentrimCurrentSample, current) == 0, "ch4 first");

// Output voltages written to the output unit; every writer sets flag to 1.
struct DacOutputs
{
    double ch1;
    double ch2;
    double ch3;
    double ch4;
    int32_t flag;
};
static_assert(offsetof(DacOutputs, ch1) == 0 && offsetof(DacOutputs, ch2) == 8 &&
                  offsetof(DacOutputs, ch3) == 16 && offsetof(DacOutputs, ch4) == 24 &&
                  offsetof(DacOutputs, flag) == 32,
              "DacOutputs layout");
static_assert(sizeof(DacOutputs) == 40, "DacOutputs: 36 bytes of data, 40 with alignment");

// One SFP port.
#pragma pack(push, 1)
struct SfpInfo
{
    uint16_t id;         // high byte: device type
    uint32_t hwVersion;
    uint32_t version;    // four version bytes
    uint32_t serial;
};
#pragma pack(pop)
static_assert(sizeof(SfpInfo) == 14, "SfpInfo is 14 packed bytes");
static_assert(offsetof(SfpInfo, hwVersion) == 2 && offsetof(SfpInfo, version) == 6 &&
                  offsetof(SfpInfo, serial) == 10,
              "SfpInfo layout");

inline constexpr uint8_t SFP_TYPE_ZENTRIM = 0x21;  // picoammeter
inline constexpr uint8_t SFP_TYPE_KELPO = 0x23;    // encoder box
inline constexpr uint8_t sfpDeviceType(uint16_t id) { return static_cast<uint8_t>(id >> 8); }

// Statistics block of getBPMStats.
struct BpmStats
{
    double value[19];

    // BPM b (0, 1): base index 1 + 9 b
    static constexpr int X_MEAN = 1, X_STD = 2, X_STD_FILTERED = 3;
    static constexpr int Y_MEAN = 4, Y_STD = 5, Y_STD_FILTERED = 6;
    static constexpr int I0_MEAN = 7, I0_STD = 8;
    static constexpr int BPM2_OFFSET = 9;

    double at(int bpm, int field) const { return value[field + BPM2_OFFSET * bpm]; }
};
static_assert(sizeof(BpmStats) == 19 * sizeof(double), "BpmStats is 19 doubles");
