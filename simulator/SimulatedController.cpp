#include "SimulatedController.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "BpmStatistics.h"
#include "PlantConstants.h"

using namespace PlantConstants;

namespace {

constexpr const char* CALL_REPORT_VARIABLE = "VORN_SIM_REPORT";

// Loops regulated by each code: bit 0 X, bit 1 Y, bit 2 I0.
constexpr int LOOPS_OF_CODE[7] = {0b001, 0b011, 0b101, 0b010, 0b110, 0b111, 0b100};

double clampOutput(double v) { return std::clamp(v, OUTPUT_MIN_V, OUTPUT_MAX_V); }

int stepsPerRecordAt(int displayHz) { return std::max(1, (INTERNAL_MIN_HZ + displayHz - 1) / displayHz); }

}  // namespace

SimulatedController& SimulatedController::instance()
{
    // Never destroyed: a thread the program does not stop may still call in
    // while the process exits.
    static SimulatedController* controller = new SimulatedController;
    return *controller;
}

namespace {
void writeCallReport()
{
    SimulatedController& sim = SimulatedController::instance();
    std::lock_guard<std::mutex> lock(sim.mutex());
    std::ofstream out(std::getenv(CALL_REPORT_VARIABLE));
    sim.calls().writeReport(out);
}
}  // namespace

SimulatedController::SimulatedController() : m_seed(NOISE_SEED), m_ring(RING_RECORDS)
{
    startState();
    // The end-to-end run asks which calls the program made.
    if (std::getenv(CALL_REPORT_VARIABLE))
        std::atexit(writeCallReport);
}

void SimulatedController::reset()
{
    m_clock.restart();
    m_calls.clear();
    m_seed = NOISE_SEED;
    m_beam.setDisturbances(true);
    startState();
}

void SimulatedController::startState()
{
    m_settings = Settings();
    Settings& s = m_settings;
    for (int b = 0; b < 2; ++b)
        for (int axis = 0; axis < 2; ++axis)
            s.bpmScale[b][axis] = BPM_PHYSICAL_SCALE_UM;
    for (int bpm = 0; bpm < 2; ++bpm) {
        s.rocHigh[3 * bpm] = START_ROC_HALF_WIDTH_UM;
        s.rocHigh[3 * bpm + 1] = START_ROC_HALF_WIDTH_UM;
        s.rocHigh[3 * bpm + 2] = START_BEAM_OFF_A;
    }
    s.timestamp = 20261201;
    s.swVersion = 0x03000001;   // 1.0.03
    s.pidVersion = 0x07000001;  // 1.0.07
    s.sfp[0] = {0x2101, 1, 0x01000002, 1001};
    s.sfp[1] = {0x2101, 1, 0x01000002, 1002};
    s.sfp[2] = {0x2201, 1, 0x01000002, 2001};
    s.sfp[3] = {};

    m_noise.seed(m_seed);
    m_displayHz = DISPLAY_START_HZ;
    m_displayFilter = 0;
    m_stepsPerRecord = stepsPerRecordAt(m_displayHz);
    m_internalHz = m_displayHz * m_stepsPerRecord;
    m_recordCountdown = m_stepsPerRecord;
    m_baseTime = 0.0;
    m_steps = 0;

    m_outputs.fill(START_OUTPUT_V);
    m_registers.fill(START_OUTPUT_V);
    m_dac.fill(START_OUTPUT_V);
    m_lastDac = DacOutputs{};
    m_dacWrites = 0;
    m_feedbackEnabled = false;
    m_fault = 0;
    m_ctrlResets = 0;

    m_beam.reset(m_internalHz, m_outputs);
    for (int b = 0; b < 2; ++b) {
        m_readout[b].reset();
        m_pico[b].reset(0.0);
        m_reading[b] = BpmReading();
    }
    PidParams position;
    position.ki = START_KI;
    position.imax = START_IMAX;
    position.ogain = START_OGAIN;
    m_loops[0].reset(position, START_DIVIDER, START_OUTPUT_V);
    m_loops[1].reset(position, START_DIVIDER, START_OUTPUT_V);
    m_loops[2].reset(PidParams(), START_DIVIDER, START_OUTPUT_V);
    m_generator.reset();
    m_generator.setStepRate(m_internalHz);
    prefillRing();
    // Open files stay open: a window may keep its device across a reset.
}

void SimulatedController::prefillRing()
{
    // One second of the beam at rest, repeated: the ring is full from the start.
    std::vector<DisplayRecord> block(static_cast<size_t>(m_displayHz));
    for (size_t i = 0; i < block.size(); ++i) {
        measure((double(i) + 1.0 - double(block.size())) / m_displayHz);
        fillRecord(block[i]);
    }
    m_ring.fillRepeating(block);
}

void SimulatedController::setNoiseSeed(uint64_t seed)
{
    m_seed = seed;
    m_noise.seed(seed);
    if (m_steps == 0 && m_baseTime == 0.0)
        prefillRing();
}

void SimulatedController::setDisturbances(bool on)
{
    m_beam.setDisturbances(on);
    // Right after a reset the history follows the choice too.
    if (m_steps == 0 && m_baseTime == 0.0)
        prefillRing();
}

// ---- time --------------------------------------------------------------------------

void SimulatedController::advanceToNow()
{
    const double target = m_clock.now();
    for (Picoammeter& p : m_pico)
        p.advanceTo(target);

    const long long targetSteps = (long long)std::floor((target - m_baseTime) * m_internalHz + 1e-6);
    long long todo = targetSteps - m_steps;
    if (todo <= 0)
        return;
    // After a long pause only the last ring's worth is simulated; the beam holds
    // still over the gap.
    const long long cap = (long long)m_ring.capacity() * m_stepsPerRecord;
    if (todo > cap) {
        m_steps += todo - cap;
        m_generator.skip(todo - cap);
        todo = cap;
    }
    while (todo-- > 0)
        runStep();
}

void SimulatedController::runStep()
{
    ++m_steps;
    m_beam.advance(m_settings.outSel[0], m_settings.outSel[1], m_noise);
    const double t = stepTime();

    bool measured = false;
    if (m_feedbackEnabled)
        controlStep(t, measured);

    if (m_generator.enabled()) {
        m_generator.advance();
        for (int c = 0; c < 4; ++c)
            m_outputs[size_t(c)] = clampOutput(m_generator.output(c));
    } else {
        m_outputs = m_settings.outputMux == 0 ? m_dac : m_registers;
    }
    m_beam.push(m_outputs);

    if (--m_recordCountdown <= 0) {
        m_recordCountdown = m_stepsPerRecord;
        if (!measured)
            measure(t);
        fillRecord(m_ring.append());
    }
}

void SimulatedController::setDisplayRate(int hz, uint8_t filter)
{
    m_displayFilter = filter;
    if (hz == m_displayHz)
        return;
    m_baseTime = stepTime();
    m_steps = 0;
    m_displayHz = hz;
    m_stepsPerRecord = stepsPerRecordAt(hz);
    m_internalHz = hz * m_stepsPerRecord;
    m_recordCountdown = m_stepsPerRecord;
    m_beam.changeRate(m_internalHz);
    m_generator.setStepRate(m_internalHz);
}

// ---- measurement and records ---------------------------------------------------------

void SimulatedController::measure(double t)
{
    double angle[2];
    m_beam.angles(t, angle);
    const double peak = std::exp(-(angle[0] * angle[0] + angle[1] * angle[1]) /
                                 (2.0 * INTENSITY_SIGMA_V * INTENSITY_SIGMA_V));
    const bool noisy = m_beam.disturbances();
    for (int b = 0; b < 2; ++b) {
        if (!m_pico[b].present()) {
            m_reading[b] = BpmReading();
            continue;
        }
        double x = GAIN_UM_PER_V[b] * angle[0];
        double y = GAIN_UM_PER_V[b] * angle[1];
        double intensity = INTENSITY_PEAK_A * TRANSMISSION[b] * m_settings.intensityFactor * peak;
        if (noisy) {
            x += POSITION_NOISE_UM * m_noise.normal();
            y += POSITION_NOISE_UM * m_noise.normal();
            intensity *= 1.0 + INTENSITY_NOISE_RELATIVE * m_noise.normal();
        }
        m_reading[b] = m_readout[b].read(x / BPM_PHYSICAL_SCALE_UM, y / BPM_PHYSICAL_SCALE_UM, intensity, m_pico[b]);
    }
}

void SimulatedController::fillRecord(DisplayRecord& record) const
{
    std::memset(&record, 0, sizeof record);
    for (int b = 0; b < 2; ++b) {
        const BpmReading& r = m_reading[b];
        record.word[4 * b] = r.raw[0];
        record.word[4 * b + 1] = r.raw[1];
        record.word[4 * b + 2] = r.intensity;
        for (int c = 0; c < 4; ++c)
            record.word[DisplayRecord::BPM1_CURRENT0 + 4 * b + c] = r.current[c];
    }
    for (int c = 0; c < 4; ++c)
        record.word[DisplayRecord::OUTPUT0 + c] = m_outputs[size_t(c)];
    if (m_generator.enabled())
        record.setReferences(float(m_generator.sine()), float(m_generator.cosine()));
    else
        record.setReferences(0.0f, 0.0f);
}

void SimulatedController::statistics(double* block) const
{
    const size_t records = size_t(std::lround(STATS_WINDOW_S * m_displayHz));
    BpmStatistics::compute(m_ring, std::max<size_t>(1, records), m_displayHz, block);
}

// ---- feedback ---------------------------------------------------------------------

void SimulatedController::controlStep(double t, bool& measured)
{
    const int code = std::clamp<int>(m_settings.pidConf, 0, 6);
    const int loops = LOOPS_OF_CODE[code];
    // The controller's base rate drops while an encoder box is connected.
    double baseHz = PID_BASE_HZ;
    for (const SfpPort& port : m_settings.sfp)
        if (sfpDeviceType(port.id) == SFP_TYPE_KELPO)
            baseHz = PID_BASE_HZ_ENCODER;
    int ticks[3] = {0, 0, 0};
    bool any = false;
    for (int l = 0; l < 3; ++l) {
        if (loops & (1 << l)) {
            ticks[l] = m_loops[l].ticksDue(baseHz, m_internalHz);
            any = any || ticks[l] > 0;
        }
    }
    if (!any)
        return;
    measure(t);
    measured = true;
    if (m_fault == 0)
        m_fault = limitFault();
    if (m_fault != 0)
        return;  // a fault holds the outputs
    // While the program or the generator drives the outputs the loops hold, so
    // that handing the outputs back does not slam them to a wound-up integrator.
    const Settings& s = m_settings;
    if (s.outputMux == 0 || m_generator.enabled())
        return;

    for (int l = 0; l < 3; ++l) {
        if (ticks[l] == 0)
            continue;
        const int bpm = s.bpmSel[l];
        double value;
        if (l < 2)
            value = m_reading[bpm].raw[l] * s.bpmScale[bpm][l] + s.bpmOffset[bpm][l];
        else
            value = m_reading[bpm].intensity;
        for (int k = 0; k < ticks[l]; ++k)
            m_registers[s.outSel[l]] = m_loops[l].update(value, s.setpoint[l]);
    }
}

int SimulatedController::limitFault() const
{
    const Settings& s = m_settings;
    // A lost beam also makes the positions meaningless, so it is reported first.
    for (int b = 0; b < 2; ++b)
        if (s.rocEnable[3 * b + 2] && m_reading[b].intensity < s.rocHigh[3 * b + 2])
            return StatusBeamOff;
    for (int b = 0; b < 2; ++b) {
        for (int axis = 0; axis < 2; ++axis) {
            const int index = 3 * b + axis;
            const double scaled = m_reading[b].raw[axis] * s.bpmScale[b][axis] + s.bpmOffset[b][axis];
            if (s.rocEnable[index] && std::fabs(scaled) > s.rocHigh[index])
                return StatusOutOfRoc;
        }
    }
    return 0;
}

void SimulatedController::setFeedbackEnabled(bool on)
{
    if (on == m_feedbackEnabled)
        return;
    m_feedbackEnabled = on;
    m_fault = 0;  // switching off clears a latched fault; on starts unfaulted
}

void SimulatedController::controlReset()
{
    ++m_ctrlResets;
    m_fault = 0;
    for (PidLoop& l : m_loops)
        l.clearState();
}

int SimulatedController::pidStatus() const
{
    if (!m_feedbackEnabled)
        return StatusOff;
    return m_fault != 0 ? m_fault : StatusOn;
}

// ---- outputs ------------------------------------------------------------------------

void SimulatedController::writeDac(const DacOutputs& record)
{
    m_lastDac = record;
    ++m_dacWrites;
    m_dac = {clampOutput(record.ch1), clampOutput(record.ch2), clampOutput(record.ch3), clampOutput(record.ch4)};
}

SimulatedController::Outputs SimulatedController::appliedOutputs() const
{
    if (m_generator.enabled())
        return m_outputs;
    return m_settings.outputMux == 0 ? m_dac : m_registers;
}

void SimulatedController::configureGenerator(const float amplitude[4], const float offset[4], float hz)
{
    m_generator.configure(amplitude, offset, hz);
}

BpmReading SimulatedController::readNow(int device)
{
    measure(stepTime());
    return m_reading[device];
}

// ---- truth --------------------------------------------------------------------------

double SimulatedController::truePosition(int bpm, int axis) const
{
    return m_beam.positionUm(bpm, axis, stepTime());
}

double SimulatedController::trueIntensity(int bpm) const
{
    return m_beam.intensityA(bpm, stepTime(), m_settings.intensityFactor);
}

// ---- open files ----------------------------------------------------------------------

int SimulatedController::openFile(Device device, int accessMode, const std::string& path)
{
    const int fd = m_nextFd++;
    m_files[fd] = OpenFile{device, accessMode, path};
    return fd;
}

const SimulatedController::OpenFile* SimulatedController::openedFile(int fd) const
{
    const auto it = m_files.find(fd);
    return it == m_files.end() ? nullptr : &it->second;
}

bool SimulatedController::closeFile(int fd) { return m_files.erase(fd) > 0; }

int SimulatedController::openFileCount(const std::string& path) const
{
    int count = 0;
    for (const auto& entry : m_files)
        count += entry.second.path == path ? 1 : 0;
    return count;
}
