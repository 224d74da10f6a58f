#pragma once
// The kinds of step record the step analysis must either measure within its
// tolerances or refuse, each made over many seeds with the plant's
// disturbances. Shared by the analysis test and its benchmark; plain C++.
#include <cmath>
#include <string>
#include <vector>

#include "StepResponseAnalysis.h"
#include "SyntheticStepRecord.h"

struct StepAnalysisCase
{
    std::string name;
    SyntheticStepRecord record;
    bool answers = true;  // false: the beam does not answer, so no seed may give a result
    // Of the seeds, at least this share (percent) must give a result: a tool
    // that refuses everything measures nothing.
    int shownAtLeastPercent = 0;
};

inline std::vector<StepAnalysisCase> stepAnalysisCases()
{
    const double ms = 1e-3;
    std::vector<StepAnalysisCase> cases;
    // Most kinds at the window's own step of 0.1 V must nearly always be measured.
    auto add = [&](const std::string& name, auto change) {
        StepAnalysisCase c{name, SyntheticStepRecord(), true, 90};
        change(c);
        if (!c.answers || c.record.step < 0.1 || c.record.timeConstant > 0.01 ||
            (c.record.deadTime > 0.05 && c.record.rise > 4000))
            c.shownAtLeastPercent = 0;
        if (c.record.step >= 1.0 && c.answers)
            c.shownAtLeastPercent = 100;
        cases.push_back(c);
    };
    add("no response, disturbances on", [](StepAnalysisCase& c) {
        c.record.gain = 0.0;
        c.answers = false;
    });
    add("no response, no disturbances", [](StepAnalysisCase& c) {
        c.record.gain = 0.0;
        c.record.disturbances = false;
        c.answers = false;
    });
    add("no response, 1 V step", [](StepAnalysisCase& c) {
        c.record.gain = 0.0;
        c.record.step = 1.0;
        c.answers = false;
    });
    for (double step : {0.01, 0.05, 0.1, 1.0})
        add("step " + std::to_string(step).substr(0, 4) + " V", [step](StepAnalysisCase& c) { c.record.step = step; });
    for (double tau : {2.0, 5.0, 20.0})
        add("time constant " + std::to_string(int(tau)) + " ms",
            [tau, ms](StepAnalysisCase& c) { c.record.timeConstant = tau * ms; });
    for (double dead : {0.2, 1.0, 5.0})
        add("dead time " + std::to_string(dead).substr(0, 3) + " ms",
            [dead, ms](StepAnalysisCase& c) { c.record.deadTime = dead * ms; });
    add("short high phase, 30 ms", [](StepAnalysisCase& c) {
        c.record.fall = c.record.rise + 1500;
        c.shownAtLeastPercent = 80;
    });
    // With the run's own timing the fall has no time to settle after 70 ms: refused.
    add("long dead time, 70 ms", [ms](StepAnalysisCase& c) { c.record.deadTime = 70.0 * ms; });
    add("long dead time, 70 ms, step early in the record", [ms](StepAnalysisCase& c) {
        c.record.deadTime = 70.0 * ms;
        c.record.rise = 3300;
        c.record.fall = 8300;
    });
    for (double drift : {0.5, 2.5, -2.5})
        add("steady drift " + std::to_string(int(std::lround(drift * 100))) + " % of the step",
            [drift](StepAnalysisCase& c) { c.record.steadyDrift = drift; });
    add("steady drift 250 %, step 0.01 V", [](StepAnalysisCase& c) {
        c.record.steadyDrift = 2.5;
        c.record.step = 0.01;
    });
    add("negative response", [](StepAnalysisCase& c) { c.record.gain = -c.record.gain; });
    add("negative response, step 0.05 V, drift -250 %", [](StepAnalysisCase& c) {
        c.record.gain = -c.record.gain;
        c.record.step = 0.05;
        c.record.steadyDrift = -2.5;
    });
    add("BPM2's gain", [](StepAnalysisCase& c) {
        c.record.gain = PlantConstants::GAIN_UM_PER_V[1] / PlantConstants::BPM_PHYSICAL_SCALE_UM;
        c.record.disturbanceGain = c.record.gain;
    });
    return cases;
}

// How one seed of a case came out.
enum class StepOutcome { Within, Refused, Outside };

// What a shown figure must meet: K within 5 %, Tdead within 0.3 ms, Tset within 1.5 ms.
inline constexpr double STEP_TRUTH_GAIN = 0.05;
inline constexpr double STEP_TRUTH_DEAD_S = 0.3e-3;
inline constexpr double STEP_TRUTH_SETTLING_S = 1.5e-3;

inline StepOutcome judgeStepResult(const SyntheticStepRecord& record, const StepResponseResult& r)
{
    if (!r.valid())
        return StepOutcome::Refused;
    const bool within = std::fabs(r.gain - record.trueGain()) <= STEP_TRUTH_GAIN * record.trueGain() &&
                        std::fabs(r.deadTime - record.trueDeadTime()) <= STEP_TRUTH_DEAD_S &&
                        std::fabs(r.settlingTime - record.trueSettlingTime()) <= STEP_TRUTH_SETTLING_S &&
                        r.inverted == (record.gain < 0.0);
    return within && record.gain != 0.0 ? StepOutcome::Within : StepOutcome::Outside;
}
