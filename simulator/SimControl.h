#pragma once
// Control of the simulated controller, for tests. Not part of the platform seam:
// the program itself never includes this header.
#include <cerrno>
#include <cstdint>
#include <string>

#include "PlantConstants.h"
#include "VornRecords.h"

namespace SimControl {

// ---- clock ---------------------------------------------------------------
// The running program uses the wall clock. Tests switch to the stepped clock,
// under which simulated time moves only with step().
void useSteppedClock();
void useWallClock();
void step(double seconds);
double now();  // simulated seconds since start

// Back to the start state (ports, devices, versions, lock, every setting, a full
// display ring, no failures, call counts zero). The clock mode is kept.
void reset();
void setNoiseSeed(uint64_t seed);
void setDisturbances(bool enabled);  // white noise, 50 Hz line and drift; on at start

// ---- ports and devices -----------------------------------------------------
void setSfpPort(int port, uint16_t id, uint32_t hwVersion = 1, uint32_t version = PlantConstants::SFP_START_VERSION,
                uint32_t serial = 1000);
void clearSfpPort(int port);
// A picoammeter that is absent fails getZentrims' flag and its device's open (ENOENT).
void setZentrimPresent(int device, bool present);

// ---- the beamline's cabling, which the program never sets ---------------------
// The monitor's real orientation (1 90°, 0 45°) and the picoammeter channel cabled
// to its top, right, bottom and left electrode; reset() restores the plant's.
// Out-of-range values change nothing and give false.
bool setWiring(int bpm, int orient, int top, int right, int bottom, int left);

// ---- failures ----------------------------------------------------------------
// Every later call of the named library function returns `result` without effect.
void failCall(const std::string& function, int result = -1);
void clearFailure(const std::string& function);
void clearFailures();  // calls and devices
// open() of the device path fails with `error`.
void failOpen(const std::string& path, int error = ENOENT);
// read() of the device path returns `missingBytes` fewer bytes than asked.
void shortRead(const std::string& path, size_t missingBytes);
// ioctl() on the device path fails with `error`.
void failIoctl(const std::string& path, int error = EIO);
// getBuffer() copies `missingRecords` fewer records than asked.
void shortBuffer(int missingRecords);

// ---- state the program reads ---------------------------------------------------
void setLockStatus(int level);
void setVersionWords(uint32_t timestamp, uint32_t swVersion, uint32_t pidVersion);
void setBeamIntensityFactor(double factor);  // 1 normal, 0 beam lost

// ---- what the program last sent --------------------------------------------------
struct PidChannel
{
    double kp, ki, kd, emin, imax, omin, omax, ogain;
    int windAvg;
};

struct Sent
{
    double outputs[4];          // output voltages now applied (mux, feedback or device)
    DacOutputs lastDacWrite;    // the last record written to the output device
    int dacWrites;
    uint8_t outputMux;
    uint8_t fbEnable;
    int8_t pidConf;             // regulation code
    PidChannel pid[3];          // X, Y, I0
    double pidOffset[3];
    double setpoint[3];
    double rocLow[6], rocHigh[6];
    uint8_t rocEnable[6];
    uint8_t outSel[3];
    int bpmSel[3];
    double bpmScale[2][2];      // [bpm][x, y]
    double bpmOffset[2][2];
    uint8_t orient[2];
    uint8_t crossBar[2][4];     // top, right, bottom, left
    int displayHz;
    uint8_t displayFilter;
    float genAmplitude[4], genOffset[4], genHz;
    bool genEnabled;
    int zentrimRange[2];
    float hvSetVoltage[2];
    int hvEnable[2];
    int ctrlResets;
};
Sent sent();

// How often a library function was called since start or the last reset.
int callCount(const std::string& function);
// How often it was called with this first integer argument (e.g. funcGenEnable with 0).
int callCount(const std::string& function, long firstArgument);
// How many descriptors of the device path are open now.
int openFileCount(const std::string& path);

// ---- truth, for tests ---------------------------------------------------------------
double truePosition(int bpm, int axis);  // micrometres, axis 0 X, 1 Y
double trueIntensity(int bpm);           // amperes

}  // namespace SimControl
