#pragma once
// What the plant really did during a scan, for the scans' truth tests. The scan's
// clock hook records, before each wait, the outputs applied and BPM1's true beam
// angles (nothing moves between waits, so the readings fall on recorded times).
// From the outputs alone and the plant's constants (dead time, one plant step of
// hold, low-pass) follows where the steering put the beam; the rest of the true
// angle is what the plant's disturbances (50 Hz line, drift) added at that moment.
#include <algorithm>
#include <cmath>
#include <vector>

#include "PlantConstants.h"
#include "SimControl.h"

class BeamTruth
{
public:
    // The output channels that steer X and Y (the loops' output selection).
    explicit BeamTruth(int channelX = 0, int channelY = 1)
        : m_channel{channelX, channelY}
    {
    }

    // Before the scan (the beam at rest there) and from the clock's hook.
    void record()
    {
        Entry e;
        e.t = SimControl::now();
        const SimControl::Sent sent = SimControl::sent();
        for (int axis = 0; axis < 2; ++axis) {
            e.output[axis] = sent.outputs[m_channel[axis]];
            e.angle[axis] = SimControl::truePosition(0, axis) / PlantConstants::GAIN_UM_PER_V[0];
        }
        if (!m_log.empty() && m_log.back().t == e.t)
            m_log.back() = e;
        else
            m_log.push_back(e);
        if (m_changes.empty() || m_changes.back().output[0] != e.output[0] || m_changes.back().output[1] != e.output[1])
            m_changes.push_back(e);
    }

    bool recordedAt(double t) const { return find(t) != nullptr; }

    // Steering angle (volts from the centre) that the outputs alone give at t.
    double steered(int axis, double t) const
    {
        using namespace PlantConstants;
        // An output written now enters the plant with its next step, held over it,
        // and reaches the low-pass one dead time later.
        const double delay = DEAD_TIME_S + 1.0 / internalStepHz(DISPLAY_START_HZ);
        // Changes older than this have arrived in full.
        const double settled = t - delay - 60.0 * TIME_CONSTANT_S;
        auto j = std::lower_bound(m_changes.begin(), m_changes.end(), settled,
                                  [](const Entry& e, double v) { return e.t < v; });
        if (j != m_changes.begin())
            --j;
        double angle = j->output[axis] - CENTRE_OUTPUT_V;
        for (auto k = j + 1; k != m_changes.end() && k->t < t; ++k) {
            const double age = t - k->t - delay;
            if (age > 0.0)
                angle += (k->output[axis] - (k - 1)->output[axis]) * (1.0 - std::exp(-age / TIME_CONSTANT_S));
        }
        return angle;
    }

    // What the line and the drift added to the angle at a recorded time t.
    double disturbance(int axis, double t) const
    {
        const Entry* e = find(t);
        return e ? e->angle[axis] - steered(axis, t) : NAN;
    }

    // BPM1's intensity at steering angles ax, ay (volts from the centre).
    static double intensity(double ax, double ay)
    {
        using namespace PlantConstants;
        return INTENSITY_PEAK_A * TRANSMISSION[0] *
               std::exp(-(ax * ax + ay * ay) / (2.0 * INTENSITY_SIGMA_V * INTENSITY_SIGMA_V));
    }

private:
    struct Entry
    {
        double t = 0.0;
        double output[2] = {0.0, 0.0};
        double angle[2] = {0.0, 0.0};
    };

    const Entry* find(double t) const
    {
        const auto it = std::lower_bound(m_log.begin(), m_log.end(), t - 1e-9,
                                         [](const Entry& e, double v) { return e.t < v; });
        return it != m_log.end() && std::fabs(it->t - t) < 1e-9 ? &*it : nullptr;
    }

    int m_channel[2];
    std::vector<Entry> m_log;
    std::vector<Entry> m_changes;  // the entries where an output changed, and the first
};
