#pragma once
// Every constant of the simulated beamline and controller, in one place. The
// tests read the true answers (gain, corner, dead time, ...) from here.
#include <cstdint>

namespace PlantConstants {

inline constexpr double PI = 3.14159265358979323846;

// ---- beam --------------------------------------------------------------------
// Beam position at monitor b = GAIN_UM_PER_V[b] * (steering output - CENTRE_OUTPUT_V),
// through a first-order low-pass and a pure dead time.
inline constexpr double GAIN_UM_PER_V[2] = {40.0, 60.0};
inline constexpr double CENTRE_OUTPUT_V = 5.0;
inline constexpr double CORNER_HZ = 30.0;
inline constexpr double TIME_CONSTANT_S = 1.0 / (2.0 * PI * CORNER_HZ);
inline constexpr double DEAD_TIME_S = 0.001;

// Intensity: a Gaussian peak in the two steering outputs around CENTRE_OUTPUT_V.
inline constexpr double INTENSITY_PEAK_A = 100e-6;       // at BPM1
inline constexpr double TRANSMISSION[2] = {1.0, 0.8};   // BPM2 sees less of the beam
inline constexpr double INTENSITY_SIGMA_V = 0.4;

// A normalised current difference of 1 is this far from the centre.
inline constexpr double BPM_PHYSICAL_SCALE_UM = 1000.0;

// ---- monitor wiring ----------------------------------------------------------------
// How each monitor is really built and cabled at the beamline; the program never
// sets this. Orientation 1: electrodes on the axes (90°), 0: on the diagonals
// (45°, top at the upper left). WIRED_CHANNEL[b] is the picoammeter channel
// cabled to the top, right, bottom and left electrode. The controller starts
// configured to match, as if the program had sent this before.
inline constexpr uint8_t WIRED_ORIENT[2] = {1, 0};
inline constexpr uint8_t WIRED_CHANNEL[2][4] = {{0, 1, 2, 3}, {1, 2, 3, 0}};

// ---- disturbances (SimControl::setDisturbances(false) turns all of them off) ----
inline constexpr double POSITION_NOISE_UM = 0.2;        // white, rms, per monitor and axis
inline constexpr double INTENSITY_NOISE_RELATIVE = 0.002;  // white, rms
inline constexpr double LINE_HZ = 50.0;
inline constexpr double LINE_AMPLITUDE_V[2] = {0.010, 0.005};  // X, Y, referred to the steering input
inline constexpr double DRIFT_RMS_V = 0.05;             // X and Y, referred to the steering input
inline constexpr double DRIFT_TIME_CONSTANT_S = 60.0;
inline constexpr double DRIFT_UPDATE_S = 0.01;
inline constexpr uint64_t NOISE_SEED = 0x5eed2026ULL;

// ---- picoammeters ------------------------------------------------------------------
inline constexpr double RANGE_FULL_SCALE_A[2] = {10e-6, 1e-3};  // range 0, range 1
inline constexpr int RANGE_AUTO = 2;
inline constexpr double ADC_COUNTS_PER_FULL_SCALE = 524288.0;   // 20-bit bipolar converter
inline constexpr double HV_RAMP_V_PER_S = 50.0;
inline constexpr double HV_MAX_V = 1000.0;                      // magnitude the supply accepts
inline constexpr double HV_LEAKAGE_UA_PER_V = 0.0005;

// ---- output unit -----------------------------------------------------------------------
inline constexpr double OUTPUT_MIN_V = -12.0;
inline constexpr double OUTPUT_MAX_V = 12.0;
inline constexpr double START_OUTPUT_V = CENTRE_OUTPUT_V;

// ---- controller timing ----------------------------------------------------------------
inline constexpr double PID_BASE_HZ = 100000.0;     // loop rate = PID_BASE_HZ / divider
inline constexpr double PID_BASE_HZ_ENCODER = 5000.0;  // while an encoder box is on an SFP port
inline constexpr int START_DIVIDER = 100;           // 1 kHz
inline constexpr int INTERNAL_MIN_HZ = 10000;       // plant step: a multiple of the display rate, at least this
// The plant's step rate at a display rate: its smallest whole multiple reaching INTERNAL_MIN_HZ.
inline constexpr int internalStepHz(int displayHz)
{
    return displayHz * (displayHz >= INTERNAL_MIN_HZ ? 1 : (INTERNAL_MIN_HZ + displayHz - 1) / displayHz);
}
// Each applied output is held over one plant step, so it acts on the beam half
// a step later, on average, than the record that first shows it.
inline constexpr double OUTPUT_HOLD_DELAY_STEPS = 0.5;
// The same delay in seconds at display rates that divide INTERNAL_MIN_HZ (all
// that the frequency sweep uses), where the plant steps at INTERNAL_MIN_HZ.
inline constexpr double HOLD_DELAY_S = OUTPUT_HOLD_DELAY_STEPS / INTERNAL_MIN_HZ;
inline constexpr int DISPLAY_START_HZ = 1000;
inline constexpr int DISPLAY_MAX_HZ = 100000;
inline constexpr int RING_RECORDS = 131072;
inline constexpr double STATS_WINDOW_S = 1.0;
inline constexpr double STATS_FILTER_HZ = 100.0;    // corner of the filtered deviation ("at 100 Hz")
inline constexpr double GENERATOR_MAX_HZ = 50000.0;

// Start PID parameters: an integrating loop that is stable on this plant.
inline constexpr double START_KI = 0.002;
inline constexpr double START_IMAX = 100.0;
inline constexpr double START_OGAIN = -1.0;
inline constexpr double START_ROC_HALF_WIDTH_UM = 100.0;
inline constexpr double START_BEAM_OFF_A = 1e-6;

// ---- SFP ports -------------------------------------------------------------------------
// A device's version word: four character codes, most significant first ("1.0.0.2").
inline constexpr uint32_t SFP_START_VERSION = 0x31303032;

}  // namespace PlantConstants
