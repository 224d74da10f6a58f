#pragma once
// One run of a scan that steers the beam and reads BPM1's picoammeter (the
// rocking curve and the raster scan). It borrows the outputs, opens both devices,
// switches the feedback off and hands the outputs to the program; at its end,
// however it ends, it gives the outputs back to the feedback loop, closes the
// devices, returns the outputs to their owner and tells the operator what failed.
#include <QString>
#include <QWidget>

#include <QPointer>

#include <array>
#include <memory>

class MeasurementClock;
class OutputLease;
class OutputOwner;
struct ZentrimCurrentSample;

class ScanSession
{
public:
    // Waited once the outputs have moved to where a scan (or a raster row) starts,
    // before its first reading: a few time constants of the beam steering plus its
    // dead time, so the first point is not read on the way there.
    static constexpr long long SETTLE_US = 20000;
    // During a scan the window redraws at most this often (and once at its end).
    static constexpr long long DRAW_INTERVAL_US = 100000;
    // Time lost to drawing, the display tick or a busy machine that later pauses
    // make up for, at most.
    static constexpr long long MAX_CATCH_UP_US = 200000;

    // `window` parents the messages, `tool` names the run (the window's title).
    ScanSession(QWidget* window, const QString& tool, OutputOwner& outputs, MeasurementClock& clock);
    ~ScanSession();
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;

    // Takes the outputs, opens the picoammeter and the output device, switches the
    // feedback off and the outputs to the program. False, with the reason shown,
    // when the run may not start: nothing has changed then.
    bool begin();

    // Writes output channels 1..4. False when a channel lies outside the output
    // range (nothing is written then) or the driver did not take the record: the
    // run is over (end() says so), and nothing may be read against it.
    bool write(const std::array<double, 4>& volts);
    // One reading of BPM1's four currents. False when it failed: the caller leaves
    // that point out; the first failure is logged, end() tells how many there were.
    bool read(ZentrimCurrentSample& sample);

    // Waits `us` from now, as long as the beam needs after a write, whatever the
    // schedule. False, at once, when the run is asked to stop.
    bool wait(long long us);
    bool settle() { return wait(SETTLE_US); }
    // Waits `us` on the run's schedule: time lost before (sleeps that overshoot, a
    // redraw, the display tick) is made up by shortening pauses, down to none, so a
    // scan takes its waits and little more. False as wait().
    bool pause(long long us);

    // True when the window should redraw: the first time, then at most once per
    // DRAW_INTERVAL_US of the clock.
    bool drawDue();

    // Only sets the flag: the run ends at its next wait.
    void requestStop() { m_stop = true; }
    bool stopRequested() const { return m_stop; }

    // Outputs back to the feedback loop, devices closed, lease released; then the
    // operator is told of a failed write, failed readings or a failed hand-back
    // (unless the program itself is ending). Runs once; the destructor calls it.
    void end();

    // Switches the feedback off and checks that the controller took it; the
    // reason when it did not, empty when it is off. The step test uses it too.
    static QString switchFeedbackOff();

private:
    QString failureText() const;

    QPointer<QWidget> m_window;
    QString m_tool;
    OutputOwner& m_outputs;
    MeasurementClock& m_clock;
    std::unique_ptr<OutputLease> m_lease;
    int m_picoammeter = -1;
    int m_outputDevice = -1;
    bool m_begun = false;
    bool m_stop = false;

    // Moves the schedule on by `us` and waits until `earliest` or the schedule, the later.
    bool waitOnSchedule(long long us, long long earliest, long long now);

    long long m_due = 0;        // where the schedule says the last wait ended
    long long m_lastDraw = 0;
    bool m_drawn = false;

    QString m_rangeError;       // the point outside the output range that ended the run
    QString m_writeError;       // why the write that ended the run failed
    int m_readings = 0;
    int m_failedReadings = 0;
    QString m_readError;        // why the first failed reading failed
    bool m_handBackFailed = false;
};
