// The hardware library, simulated. Every call locks the controller, brings it up
// to the present, is counted, and fails without effect when a test asked for it.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "PlantConstants.h"
#include "SimulatedController.h"
#include "VornLibrary.h"

namespace {

constexpr int FAILED = -1;

template <typename Body>
int call(const char* function, std::optional<long> firstArgument, Body&& body)
{
    SimulatedController& sim = SimulatedController::instance();
    std::lock_guard<std::mutex> lock(sim.mutex());
    sim.advanceToNow();
    if (const std::optional<int> injected = sim.calls().enter(function, firstArgument))
        return *injected;
    return body(sim);
}

bool allFinite(double v) { return std::isfinite(v); }
template <typename... T>
bool allFinite(double v, T... rest) { return std::isfinite(v) && allFinite(rest...); }

bool isBpm(long v) { return v == 0 || v == 1; }

}  // namespace

extern "C" {

// ---- presence, versions, status ----------------------------------------------------

int getZentrims(int* present0, int* present1)
{
    return call("getZentrims", std::nullopt, [&](SimulatedController& sim) {
        if (!present0 || !present1)
            return FAILED;
        *present0 = sim.picoammeter(0).present() ? 1 : 0;
        *present1 = sim.picoammeter(1).present() ? 1 : 0;
        return 0;
    });
}

int getSystemVersion(uint32_t* timestamp, uint32_t* swVersion, uint32_t* pidVersion)
{
    return call("getSystemVersion", std::nullopt, [&](SimulatedController& sim) {
        if (!timestamp || !swVersion || !pidVersion)
            return FAILED;
        *timestamp = sim.settings().timestamp;
        *swVersion = sim.settings().swVersion;
        *pidVersion = sim.settings().pidVersion;
        return 0;
    });
}

int getSFPinfo(int port, uint16_t* id, uint32_t* hwVersion, uint32_t* version, uint32_t* serial)
{
    return call("getSFPinfo", port, [&](SimulatedController& sim) {
        if (port < 0 || port > 3 || !id || !hwVersion || !version || !serial)
            return FAILED;
        const SimulatedController::SfpPort& p = sim.settings().sfp[port];
        *id = p.id;
        *hwVersion = p.hwVersion;
        *version = p.version;
        *serial = p.serial;
        return 0;
    });
}

int getBPMStats(double* block)
{
    return call("getBPMStats", std::nullopt, [&](SimulatedController& sim) {
        if (!block)
            return FAILED;
        sim.statistics(block);
        return 0;
    });
}

int getPIDstatus(void)
{
    return call("getPIDstatus", std::nullopt, [](SimulatedController& sim) { return sim.pidStatus(); });
}

// ---- display stream --------------------------------------------------------------------

int getBuffer(double* buffer, int records)
{
    return call("getBuffer", std::nullopt, [&](SimulatedController& sim) {
        if (!buffer || records < 0)
            return FAILED;
        const int wanted = std::max(0, records - sim.calls().bufferShortfall());
        return int(sim.copyNewest(reinterpret_cast<DisplayRecord*>(buffer), size_t(wanted)));
    });
}

int setDisplayFreq(int hz, uint8_t filter)
{
    return call("setDisplayFreq", hz, [&](SimulatedController& sim) {
        if (hz < 1 || hz > PlantConstants::DISPLAY_MAX_HZ)
            return FAILED;
        sim.setDisplayRate(hz, filter);
        return 0;
    });
}

int getDisplayFreq(int* hz, uint8_t* filter)
{
    return call("getDisplayFreq", std::nullopt, [&](SimulatedController& sim) {
        if (!hz || !filter)
            return FAILED;
        *hz = sim.displayHz();
        *filter = sim.displayFilter();
        return 0;
    });
}

// ---- feedback ------------------------------------------------------------------------

int setFBenable(uint8_t on)
{
    return call("setFBenable", on, [&](SimulatedController& sim) {
        sim.setFeedbackEnabled(on != 0);
        return 0;
    });
}

int setCtrlReset(void)
{
    return call("setCtrlReset", std::nullopt, [](SimulatedController& sim) {
        sim.controlReset();
        return 0;
    });
}

int setPIDconf(int8_t code)
{
    return call("setPIDconf", code, [&](SimulatedController& sim) {
        if (code < 0 || code > 6)
            return FAILED;
        sim.settings().pidConf = code;
        return 0;
    });
}

int getPIDconf(uint8_t* code)
{
    return call("getPIDconf", std::nullopt, [&](SimulatedController& sim) {
        if (!code)
            return FAILED;
        *code = uint8_t(sim.settings().pidConf);
        return 0;
    });
}

int setPIDparams(int8_t channel, double kp, double ki, double kd, double emin, double imax, double omin,
                 double omax, double ogain)
{
    return call("setPIDparams", channel, [&](SimulatedController& sim) {
        if (channel < 0 || channel > 2 || !allFinite(kp, ki, kd, emin, imax, omin, omax, ogain))
            return FAILED;
        sim.loop(channel).setParams(PidLoopParams{kp, ki, kd, emin, imax, omin, omax, ogain});
        return 0;
    });
}

int setWindAvg(int channel, int divider)
{
    return call("setWindAvg", channel, [&](SimulatedController& sim) {
        if (channel < 0 || channel > 2 || divider < 1)
            return FAILED;
        sim.loop(channel).setDivider(divider);
        return 0;
    });
}

int setOffset(double x, double y, double i0)
{
    return call("setOffset", std::nullopt, [&](SimulatedController& sim) {
        if (!allFinite(x, y, i0))
            return FAILED;
        sim.loop(0).setOffset(x);
        sim.loop(1).setOffset(y);
        sim.loop(2).setOffset(i0);
        return 0;
    });
}

int setSetpoint2(int axis, double value)
{
    return call("setSetpoint2", axis, [&](SimulatedController& sim) {
        if (axis < 0 || axis > 2 || !allFinite(value))
            return FAILED;
        sim.settings().setpoint[axis] = value;
        return 0;
    });
}

int getSetpoint2(int axis, double* value)
{
    return call("getSetpoint2", axis, [&](SimulatedController& sim) {
        if (axis < 0 || axis > 2 || !value)
            return FAILED;
        *value = sim.settings().setpoint[axis];
        return 0;
    });
}

int setROClimits(int index, double low, double high)
{
    return call("setROClimits", index, [&](SimulatedController& sim) {
        if (index < 0 || index > 5 || !allFinite(low, high))
            return FAILED;
        sim.settings().rocLow[index] = low;
        sim.settings().rocHigh[index] = high;
        return 0;
    });
}

int setROCenable(uint8_t bpm1X, uint8_t bpm1Y, uint8_t bpm1BeamOff, uint8_t bpm2X, uint8_t bpm2Y,
                 uint8_t bpm2BeamOff)
{
    return call("setROCenable", bpm1X, [&](SimulatedController& sim) {
        const uint8_t flags[6] = {bpm1X, bpm1Y, bpm1BeamOff, bpm2X, bpm2Y, bpm2BeamOff};
        std::memcpy(sim.settings().rocEnable, flags, sizeof flags);
        return 0;
    });
}

int getROCenable(uint8_t* bpm1X, uint8_t* bpm1Y, uint8_t* bpm1BeamOff, uint8_t* bpm2X, uint8_t* bpm2Y,
                 uint8_t* bpm2BeamOff)
{
    return call("getROCenable", std::nullopt, [&](SimulatedController& sim) {
        uint8_t* out[6] = {bpm1X, bpm1Y, bpm1BeamOff, bpm2X, bpm2Y, bpm2BeamOff};
        for (uint8_t* p : out)
            if (!p)
                return FAILED;
        for (int i = 0; i < 6; ++i)
            *out[i] = sim.settings().rocEnable[i];
        return 0;
    });
}

int setBPMselector(int x, int y, int i0)
{
    return call("setBPMselector", x, [&](SimulatedController& sim) {
        if (!isBpm(x) || !isBpm(y) || !isBpm(i0))
            return FAILED;
        int* sel = sim.settings().bpmSel;
        sel[0] = x;
        sel[1] = y;
        sel[2] = i0;
        return 0;
    });
}

int getBPMselector(int* x, int* y, int* i0)
{
    return call("getBPMselector", std::nullopt, [&](SimulatedController& sim) {
        if (!x || !y || !i0)
            return FAILED;
        const int* sel = sim.settings().bpmSel;
        *x = sel[0];
        *y = sel[1];
        *i0 = sel[2];
        return 0;
    });
}

int setPIDoutSel(uint8_t x, uint8_t y, uint8_t i0)
{
    return call("setPIDoutSel", x, [&](SimulatedController& sim) {
        if (x > 3 || y > 3 || i0 > 3)
            return FAILED;
        uint8_t* sel = sim.settings().outSel;
        sel[0] = x;
        sel[1] = y;
        sel[2] = i0;
        return 0;
    });
}

int getPIDoutSel(uint8_t* x, uint8_t* y, uint8_t* i0)
{
    return call("getPIDoutSel", std::nullopt, [&](SimulatedController& sim) {
        if (!x || !y || !i0)
            return FAILED;
        const uint8_t* sel = sim.settings().outSel;
        *x = sel[0];
        *y = sel[1];
        *i0 = sel[2];
        return 0;
    });
}

int setOutputMux(uint8_t value)
{
    return call("setOutputMux", value, [&](SimulatedController& sim) {
        if (value > 1)
            return FAILED;
        sim.settings().outputMux = value;
        return 0;
    });
}

int getOutputMux(uint8_t* value)
{
    return call("getOutputMux", std::nullopt, [&](SimulatedController& sim) {
        if (!value)
            return FAILED;
        *value = sim.settings().outputMux;
        return 0;
    });
}

// ---- beam position monitors ---------------------------------------------------------

int setBPMscale(int bpm, double x, double y)
{
    return call("setBPMscale", bpm, [&](SimulatedController& sim) {
        if (!isBpm(bpm) || !allFinite(x, y))
            return FAILED;
        sim.settings().bpmScale[bpm][0] = x;
        sim.settings().bpmScale[bpm][1] = y;
        return 0;
    });
}

int setBPMoffset(int bpm, double x, double y)
{
    return call("setBPMoffset", bpm, [&](SimulatedController& sim) {
        if (!isBpm(bpm) || !allFinite(x, y))
            return FAILED;
        sim.settings().bpmOffset[bpm][0] = x;
        sim.settings().bpmOffset[bpm][1] = y;
        return 0;
    });
}

int setBPMorient(uint8_t bpm, uint8_t orient)
{
    return call("setBPMorient", bpm, [&](SimulatedController& sim) {
        if (!isBpm(bpm) || !sim.readout(bpm).setOrientation(orient))
            return FAILED;
        return 0;
    });
}

int setCrossBar(uint8_t bpm, uint8_t top, uint8_t right, uint8_t bottom, uint8_t left)
{
    return call("setCrossBar", bpm, [&](SimulatedController& sim) {
        if (!isBpm(bpm) || !sim.readout(bpm).setChannelMap(top, right, bottom, left))
            return FAILED;
        return 0;
    });
}

// ---- function generator -----------------------------------------------------------------

int funcGenConfig(float amplitude[4], float offset[4], float hz)
{
    return call("funcGenConfig", std::nullopt, [&](SimulatedController& sim) {
        if (!amplitude || !offset || !allFinite(hz) || hz < 0.0f || hz > PlantConstants::GENERATOR_MAX_HZ)
            return FAILED;
        for (int c = 0; c < 4; ++c)
            if (!allFinite(amplitude[c], offset[c]))
                return FAILED;
        sim.configureGenerator(amplitude, offset, hz);
        return 0;
    });
}

int funcGenEnable(uint8_t on)
{
    return call("funcGenEnable", on, [&](SimulatedController& sim) {
        sim.generator().setEnabled(on != 0);
        return 0;
    });
}

// ---- picoammeters ---------------------------------------------------------------------

int zentrimSetRange(int range, uint8_t device)
{
    return call("zentrimSetRange", range, [&](SimulatedController& sim) {
        if (!isBpm(device) || !sim.picoammeter(device).present() || !sim.picoammeter(device).setRange(range))
            return FAILED;
        return 0;
    });
}

int zentrimHVSetVoltage(uint8_t device, float volts)
{
    return call("zentrimHVSetVoltage", device, [&](SimulatedController& sim) {
        if (!isBpm(device) || !sim.picoammeter(device).present() || !sim.picoammeter(device).setHvVoltage(volts))
            return FAILED;
        return 0;
    });
}

int zentrimHVenable(int on, uint8_t device)
{
    return call("zentrimHVenable", on, [&](SimulatedController& sim) {
        if (!isBpm(device) || !sim.picoammeter(device).present())
            return FAILED;
        sim.picoammeter(device).setHvEnabled(on != 0);
        return 0;
    });
}

// ---- login ----------------------------------------------------------------------------

int getLock(char user[32], char password[32])
{
    return call("getLock", std::nullopt, [&](SimulatedController& sim) {
        if (!user || !password)
            return FAILED;
        // The buffers need not be terminated: compare at most their 32 bytes.
        const std::string u(user, strnlen(user, 32));
        const std::string p(password, strnlen(password, 32));
        static const struct { const char* user; const char* password; int level; } accounts[] = {
            {"cruise", "cruise", 0}, {"user", "user", 1}, {"admin", "admin", 2}};
        for (const auto& a : accounts) {
            if (u == a.user && p == a.password) {
                sim.settings().lockStatus = a.level;
                return a.level;
            }
        }
        return FAILED;
    });
}

int getLockStatus(void)
{
    return call("getLockStatus", std::nullopt, [](SimulatedController& sim) { return sim.settings().lockStatus; });
}

}  // extern "C"
