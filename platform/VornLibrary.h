#pragma once
// The controller's hardware library, as the program calls it. Every call returns
// a negative value on failure.
#include <cstdint>

extern "C" {

// Presence, versions, status
int getZentrims(int* present0, int* present1);
int getSystemVersion(uint32_t* timestamp, uint32_t* swVersion, uint32_t* pidVersion);
int getSFPinfo(int port, uint16_t* id, uint32_t* hwVersion, uint32_t* version, uint32_t* serial);
int getBPMStats(double* block);  // 19 doubles
int getPIDstatus(void);

// Display stream
int getBuffer(double* buffer, int records);  // returns the number of records copied
int setDisplayFreq(int hz, uint8_t filter);
int getDisplayFreq(int* hz, uint8_t* filter);

// Feedback
int setFBenable(uint8_t on);
int setCtrlReset(void);
int setPIDconf(int8_t code);
int getPIDconf(uint8_t* code);
int setPIDparams(int8_t channel, double kp, double ki, double kd, double emin, double imax,
                 double omin, double omax, double ogain);
int setWindAvg(int channel, int divider);
int setOffset(double x, double y, double i0);
int setSetpoint2(int axis, double value);
int getSetpoint2(int axis, double* value);
int setROClimits(int index, double low, double high);
int setROCenable(uint8_t bpm1X, uint8_t bpm1Y, uint8_t bpm1BeamOff,
                 uint8_t bpm2X, uint8_t bpm2Y, uint8_t bpm2BeamOff);
int getROCenable(uint8_t* bpm1X, uint8_t* bpm1Y, uint8_t* bpm1BeamOff,
                 uint8_t* bpm2X, uint8_t* bpm2Y, uint8_t* bpm2BeamOff);
int setBPMselector(int x, int y, int i0);
int getBPMselector(int* x, int* y, int* i0);
int setPIDoutSel(uint8_t x, uint8_t y, uint8_t i0);
int getPIDoutSel(uint8_t* x, uint8_t* y, uint8_t* i0);
int setOutputMux(uint8_t value);
int getOutputMux(uint8_t* value);

// Beam position monitors
int setBPMscale(int bpm, double x, double y);
int setBPMoffset(int bpm, double x, double y);
int setBPMorient(uint8_t bpm, uint8_t orient);
int setCrossBar(uint8_t bpm, uint8_t top, uint8_t right, uint8_t bottom, uint8_t left);

// Function generator
int funcGenConfig(float amplitude[4], float offset[4], float hz);
int funcGenEnable(uint8_t on);

// Picoammeters
int zentrimSetRange(int range, uint8_t device);
int zentrimHVSetVoltage(uint8_t device, float volts);
int zentrimHVenable(int on, uint8_t device);

// Login
int getLock(char user[32], char password[32]);
int getLockStatus(void);

}  // extern "C"
