#include "SimControl.h"

#include <mutex>

#include "SimulatedController.h"

namespace SimControl {

namespace {

// Runs `body` on the controller under its lock, brought up to the present first.
template <typename Body>
auto locked(Body&& body)
{
    SimulatedController& sim = SimulatedController::instance();
    std::lock_guard<std::mutex> lock(sim.mutex());
    sim.advanceToNow();
    return body(sim);
}

bool validPort(int port) { return port >= 0 && port < 4; }
bool validDevice(int device) { return device == 0 || device == 1; }

}  // namespace

void useSteppedClock()
{
    locked([](SimulatedController& sim) { sim.clock().useStepped(); });
}

void useWallClock()
{
    locked([](SimulatedController& sim) { sim.clock().useWall(); });
}

void step(double seconds)
{
    locked([&](SimulatedController& sim) {
        sim.clock().step(seconds);
        sim.advanceToNow();
    });
}

double now()
{
    return locked([](SimulatedController& sim) { return sim.clock().now(); });
}

void reset()
{
    locked([](SimulatedController& sim) { sim.reset(); });
}

void setNoiseSeed(uint64_t seed)
{
    locked([&](SimulatedController& sim) { sim.setNoiseSeed(seed); });
}

void setDisturbances(bool enabled)
{
    locked([&](SimulatedController& sim) { sim.setDisturbances(enabled); });
}

void setSfpPort(int port, uint16_t id, uint32_t hwVersion, uint32_t version, uint32_t serial)
{
    locked([&](SimulatedController& sim) {
        if (validPort(port))
            sim.settings().sfp[port] = {id, hwVersion, version, serial};
    });
}

void clearSfpPort(int port)
{
    locked([&](SimulatedController& sim) {
        if (validPort(port))
            sim.settings().sfp[port] = {};
    });
}

void setZentrimPresent(int device, bool present)
{
    locked([&](SimulatedController& sim) {
        if (validDevice(device))
            sim.picoammeter(device).setPresent(present);
    });
}

bool setWiring(int bpm, int orient, int top, int right, int bottom, int left)
{
    auto fits = [](int v, int last) { return v >= 0 && v <= last; };
    if (!validDevice(bpm) || !fits(orient, 1) || !fits(top, 3) || !fits(right, 3) || !fits(bottom, 3) ||
        !fits(left, 3))
        return false;
    return locked([&](SimulatedController& sim) {
        return sim.readout(bpm).setWiring(uint8_t(orient), uint8_t(top), uint8_t(right), uint8_t(bottom),
                                          uint8_t(left));
    });
}

void failCall(const std::string& function, int result)
{
    locked([&](SimulatedController& sim) { sim.calls().failCall(function, result); });
}

void clearFailure(const std::string& function)
{
    locked([&](SimulatedController& sim) { sim.calls().clearFailure(function); });
}

void clearFailures()
{
    locked([](SimulatedController& sim) { sim.calls().clearFailures(); });
}

void failOpen(const std::string& path, int error)
{
    locked([&](SimulatedController& sim) { sim.calls().failOpen(path, error); });
}

void shortRead(const std::string& path, size_t missingBytes)
{
    locked([&](SimulatedController& sim) { sim.calls().shortRead(path, missingBytes); });
}

void failIoctl(const std::string& path, int error)
{
    locked([&](SimulatedController& sim) { sim.calls().failIoctl(path, error); });
}

void shortBuffer(int missingRecords)
{
    locked([&](SimulatedController& sim) { sim.calls().shortBuffer(missingRecords); });
}

void setLockStatus(int level)
{
    locked([&](SimulatedController& sim) { sim.settings().lockStatus = level; });
}

void setVersionWords(uint32_t timestamp, uint32_t swVersion, uint32_t pidVersion)
{
    locked([&](SimulatedController& sim) {
        sim.settings().timestamp = timestamp;
        sim.settings().swVersion = swVersion;
        sim.settings().pidVersion = pidVersion;
    });
}

void setBeamIntensityFactor(double factor)
{
    locked([&](SimulatedController& sim) {
        if (factor >= 0.0)
            sim.settings().intensityFactor = factor;
    });
}

Sent sent()
{
    return locked([](SimulatedController& sim) {
        Sent s{};
        const SimulatedController::Settings& c = sim.settings();
        const SimulatedController::Outputs applied = sim.appliedOutputs();
        for (int ch = 0; ch < 4; ++ch)
            s.outputs[ch] = applied[size_t(ch)];
        s.lastDacWrite = sim.lastDacWrite();
        s.dacWrites = sim.dacWrites();
        s.outputMux = c.outputMux;
        s.fbEnable = sim.feedbackEnabled() ? 1 : 0;
        s.pidConf = c.pidConf;
        for (int l = 0; l < 3; ++l) {
            const PidLoop& loop = sim.loop(l);
            const PidLoopParams& p = loop.params();
            s.pid[l] = {p.kp, p.ki, p.kd, p.emin, p.imax, p.omin, p.omax, p.ogain, loop.divider()};
            s.pidOffset[l] = loop.offset();
            s.setpoint[l] = c.setpoint[l];
            s.outSel[l] = c.outSel[l];
            s.bpmSel[l] = c.bpmSel[l];
        }
        for (int i = 0; i < 6; ++i) {
            s.rocLow[i] = c.rocLow[i];
            s.rocHigh[i] = c.rocHigh[i];
            s.rocEnable[i] = c.rocEnable[i];
        }
        for (int b = 0; b < 2; ++b) {
            for (int axis = 0; axis < 2; ++axis) {
                s.bpmScale[b][axis] = c.bpmScale[b][axis];
                s.bpmOffset[b][axis] = c.bpmOffset[b][axis];
            }
            s.orient[b] = sim.readout(b).orientation();
            for (int e = 0; e < 4; ++e)
                s.crossBar[b][e] = sim.readout(b).channelMap()[e];
            Picoammeter& pico = sim.picoammeter(b);
            s.zentrimRange[b] = pico.range();
            s.hvSetVoltage[b] = pico.hvSetVoltage();
            s.hvEnable[b] = pico.hvEnabled() ? 1 : 0;
        }
        s.displayHz = sim.displayHz();
        s.displayFilter = sim.displayFilter();
        FunctionGenerator& gen = sim.generator();
        for (int ch = 0; ch < 4; ++ch) {
            s.genAmplitude[ch] = gen.amplitude()[ch];
            s.genOffset[ch] = gen.offset()[ch];
        }
        s.genHz = gen.hz();
        s.genEnabled = gen.enabled();
        s.ctrlResets = sim.ctrlResets();
        return s;
    });
}

int callCount(const std::string& function)
{
    return locked([&](SimulatedController& sim) { return sim.calls().count(function); });
}

int callCount(const std::string& function, long firstArgument)
{
    return locked([&](SimulatedController& sim) { return sim.calls().count(function, firstArgument); });
}

int openFileCount(const std::string& path)
{
    return locked([&](SimulatedController& sim) { return sim.openFileCount(path); });
}

double truePosition(int bpm, int axis)
{
    return locked([&](SimulatedController& sim) {
        if (!validDevice(bpm) || (axis != 0 && axis != 1))
            return 0.0;
        return sim.truePosition(bpm, axis);
    });
}

double trueIntensity(int bpm)
{
    return locked([&](SimulatedController& sim) { return validDevice(bpm) ? sim.trueIntensity(bpm) : 0.0; });
}

}  // namespace SimControl
