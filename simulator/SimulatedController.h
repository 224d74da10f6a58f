#pragma once
// The simulated controller: beam, monitors, picoammeters, output unit, PID loops,
// function generator and display stream, advanced lazily to the clock whenever a
// call arrives. One mutex guards everything; callers hold it for a whole call.
#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "BeamModel.h"
#include "BpmReadout.h"
#include "CallRecorder.h"
#include "DisplayRing.h"
#include "FunctionGenerator.h"
#include "NoiseSource.h"
#include "Picoammeter.h"
#include "PidLoop.h"
#include "SimClock.h"
#include "VornRecords.h"

class SimulatedController
{
public:
    using Outputs = BeamModel::Outputs;

    enum PidStatus { StatusOff = 0, StatusOutOfRoc = 1, StatusBeamOff = 2, StatusOn = 3 };
    enum class Device { Display, Zentrim0, Zentrim1, Orvane };

    struct SfpPort
    {
        uint16_t id = 0;
        uint32_t hwVersion = 0, version = 0, serial = 0;
    };

    // Settings without side effects; the library writes and reads them directly.
    struct Settings
    {
        uint8_t outputMux = 1;
        int8_t pidConf = 0;
        double setpoint[3] = {0.0, 0.0, 0.0};
        double rocLow[6] = {};
        double rocHigh[6] = {};
        uint8_t rocEnable[6] = {};
        uint8_t outSel[3] = {0, 1, 2};
        int bpmSel[3] = {0, 0, 0};
        double bpmScale[2][2] = {};
        double bpmOffset[2][2] = {};
        int lockStatus = 1;
        uint32_t timestamp = 0, swVersion = 0, pidVersion = 0;
        SfpPort sfp[4];
        double intensityFactor = 1.0;
    };

    struct OpenFile
    {
        Device device;
        int accessMode;
        std::string path;
    };

    static SimulatedController& instance();
    std::mutex& mutex() { return m_mutex; }

    // ---- everything below expects mutex() to be held ---------------------------
    SimClock& clock() { return m_clock; }
    CallRecorder& calls() { return m_calls; }
    Settings& settings() { return m_settings; }

    void advanceToNow();
    void reset();  // start state; the clock mode is kept
    void setNoiseSeed(uint64_t seed);
    void setDisturbances(bool on);

    // Display stream
    int displayHz() const { return m_displayHz; }
    uint8_t displayFilter() const { return m_displayFilter; }
    void setDisplayRate(int hz, uint8_t filter);
    size_t copyNewest(DisplayRecord* target, size_t records) const { return m_ring.copyNewest(target, records); }
    size_t ringCapacity() const { return m_ring.capacity(); }
    void statistics(double* block) const;

    // Feedback
    bool feedbackEnabled() const { return m_feedbackEnabled; }
    void setFeedbackEnabled(bool on);
    void controlReset();
    int ctrlResets() const { return m_ctrlResets; }
    int pidStatus() const;
    PidLoop& loop(int channel) { return m_loops[channel]; }
    const PidLoop& loop(int channel) const { return m_loops[channel]; }

    // Outputs: what the unit puts out now, a device write or multiplexer change included
    Outputs appliedOutputs() const;
    void writeDac(const DacOutputs& record);
    const DacOutputs& lastDacWrite() const { return m_lastDac; }
    int dacWrites() const { return m_dacWrites; }

    FunctionGenerator& generator() { return m_generator; }
    void configureGenerator(const float amplitude[4], const float offset[4], float hz);

    // Monitors and picoammeters
    BpmReadout& readout(int bpm) { return m_readout[bpm]; }
    Picoammeter& picoammeter(int device) { return m_pico[device]; }
    // A picoammeter's reading now, independent of the display rate.
    BpmReading readNow(int device);

    // Truth at the present step
    double truePosition(int bpm, int axis) const;
    double trueIntensity(int bpm) const;

    // Open device files
    int openFile(Device device, int accessMode, const std::string& path);
    const OpenFile* openedFile(int fd) const;
    bool closeFile(int fd);
    int openFileCount(const std::string& path) const;

private:
    SimulatedController();
    void startState();
    void prefillRing();
    double stepTime() const { return m_baseTime + double(m_steps) / m_internalHz; }
    void runStep();
    void controlStep(double t, bool& measured);
    int limitFault() const;
    void measure(double t);
    void fillRecord(DisplayRecord& record) const;

    std::mutex m_mutex;
    SimClock m_clock;
    CallRecorder m_calls;
    Settings m_settings;
    NoiseSource m_noise;
    uint64_t m_seed;

    // Time: step k of the present rate lies at m_baseTime + k / m_internalHz.
    double m_baseTime = 0.0;
    long long m_steps = 0;
    int m_internalHz = 0;
    int m_stepsPerRecord = 1;
    int m_recordCountdown = 1;
    int m_displayHz = 0;
    uint8_t m_displayFilter = 0;

    BeamModel m_beam;
    BpmReadout m_readout[2];
    Picoammeter m_pico[2];
    BpmReading m_reading[2];  // of the last measurement
    PidLoop m_loops[3];
    FunctionGenerator m_generator;
    DisplayRing m_ring;

    Outputs m_outputs{};    // applied now
    Outputs m_registers{};  // the loops' output registers (multiplexer 1)
    Outputs m_dac{};        // the output device's values (multiplexer 0)
    DacOutputs m_lastDac{};
    int m_dacWrites = 0;
    bool m_feedbackEnabled = false;
    int m_fault = 0;  // latched status 1 or 2, 0 for none
    int m_ctrlResets = 0;

    std::map<int, OpenFile> m_files;
    int m_nextFd = 1000;
};
