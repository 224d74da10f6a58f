#pragma once
// One discrete PID loop of the controller. Per tick:
//   e = measured - setpoint, 0 inside the dead band |e| < emin
//   I += Ki * e, clamped to +-Imax;  D = Kd * (e - previous e)
//   output = Offset + Ogain * (Kp * e + I + D), clamped to Omin..Omax (when
//   Omin < Omax) and to the output unit's range.
// With the plant's positive gains a negative Ogain closes the loop.

struct PidLoopParams
{
    double kp = 0.0, ki = 0.0, kd = 0.0, emin = 0.0, imax = 0.0;
    double omin = -12.0, omax = 12.0, ogain = 1.0;
};

class PidLoop
{
public:
    void reset(const PidLoopParams& params, int divider, double offset);

    const PidLoopParams& params() const { return m_params; }
    void setParams(const PidLoopParams& params) { m_params = params; }
    int divider() const { return m_divider; }
    void setDivider(int divider) { m_divider = divider; }
    double offset() const { return m_offset; }
    void setOffset(double offset) { m_offset = offset; }

    // Number of ticks that fall into one internal step of 1 / internalHz.
    int ticksDue(double baseHz, int internalHz)
    {
        m_phase += loopHz(baseHz) / internalHz;
        int ticks = 0;
        while (m_phase >= 1.0 - 1e-9) {
            m_phase -= 1.0;
            ++ticks;
        }
        return ticks;
    }
    double loopHz(double baseHz) const { return baseHz / (m_divider < 1 ? 1 : m_divider); }

    double update(double measured, double setpoint);
    void clearState();  // integrator and derivative memory

private:
    PidLoopParams m_params;
    int m_divider = 1;
    double m_offset = 0.0;
    double m_integral = 0.0;
    double m_previousError = 0.0;
    bool m_hasPrevious = false;
    double m_phase = 0.0;
};
