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
// Each output is held over one plant step, which delays the beam by half a step
// beyond DEAD_TIME_S. At display rates that divide INTERNAL_MIN_HZ (all the
// frequency sweep uses) the step is 1 / INTERNAL_MIN_HZ.
inline constexpr double HOLD_DELAY_S = 0.5 / INTERNAL_MIN_HZ;
inline constexpr int DISPLAY_START_HZ = 1000;
inline constexpr int DISPLAY_MAX_HZ = 100000;
inline constexpr int RING_RECORDS = 131072;
inline constexpr double STATS_WINDOW_S = 1.0;
inline constexpr double STATS_FILTER_HZ = 10.0;     // corner of the filtered deviation
inline constexpr double GENERATOR_MAX_HZ = 50000.0;

// Start PID parameters: an integrating loop that is stable on this plant.
inline constexpr double START_KI = 0.002;
inline constexpr double START_IMAX = 100.0;
inline constexpr double START_OGAIN = -1.0;
inline constexpr double START_ROC_HALF_WIDTH_UM = 100.0;
inline constexpr double START_BEAM_OFF_A = 1e-6;

}  // namespace PlantConstants
