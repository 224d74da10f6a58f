#include "StepResponseRun.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "DacOutputsWriter.h"
#include "DeviceIo.h"
#include "DisplaySnapshot.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "MeasurementClock.h"
#include "QsLog.h"
#include "ScanSession.h"

namespace {

void note(QStringList& problems, const QString& problem)
{
    QLOG_WARN() << "Step Response:" << problem;
    problems << problem;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

StepRunOutcome StepResponseRun::run(const StepStimulus& stimulus, MeasurementClock& clock)
{
    StepRunOutcome out;
    const int outputFd = DeviceIo::open(DEVICE_ORVANE, O_RDWR | O_SYNC);
    if (outputFd < 0) {
        note(out.problems, tr("The output device %1 could not be opened (%2).")
                               .arg(QString::fromLatin1(DEVICE_ORVANE), systemError(errno)));
        return out;
    }

    // What the run puts back: the controller's own rate and filter, and the
    // program's SAMP_FREQ, even where the two disagree.
    bool filter = false, rateRead = false;
    const int controllerRate = int(MAILBOX_COMM->getDisplayFreq(&filter, &rateRead));
    const int savedSampFreq = loadSampFreq();
    if (!rateRead) {
        note(out.problems, tr("The controller's display rate could not be read (getDisplayFreq failed), "
                              "so it could not have been put back after the run."));
        DeviceIo::close(outputFd);
        return out;
    }

    // A step against a live loop measures the loop: a feedback that did not go off ends the run here.
    if (MAILBOX_COMM->pidStatus() != PID_STATUS_OFF) {
        const QString feedbackProblem = ScanSession::switchFeedbackOff();
        if (!feedbackProblem.isEmpty()) {
            note(out.problems, feedbackProblem);
            DeviceIo::close(outputFd);
            return out;
        }
    }

    storeSampFreq(SAMPLE_RATE);
    const bool rateSet = MAILBOX_COMM->setDisplayFreq(1) >= 0;
    bool muxTaken = false;
    if (!rateSet) {
        note(out.problems, tr("The controller did not take the display rate of %1 Hz (setDisplayFreq failed).")
                               .arg(SAMPLE_RATE));
    } else if (MAILBOX_COMM->setOutputMux(0) < 0) {
        muxTaken = true;  // it may have switched all the same
        note(out.problems, tr("The outputs could not be taken from the feedback (setOutputMux(0) failed)."));
    } else {
        muxTaken = true;
        struct Phase
        {
            const std::array<double, StepStimulus::OUTPUT_CHANNELS>& record;
            long us;
            bool high;
        };
        const Phase phases[] = {{stimulus.low, LOW_US, false}, {stimulus.high, HIGH_US, true},
                                {stimulus.low, TAIL_US, false}};
        bool written = true, highWritten = false;
        // Each phase is timed from its write's start: a write that takes long
        // (the simulated controller computes its steps then) shortens the wait
        // after it rather than pushing the read late.
        for (const Phase& phase : phases) {
            const long long due = clock.nowMicroseconds() + phase.us;
            const auto& r = phase.record;
            if (!writeDacOutputs(outputFd, r[0], r[1], r[2], r[3])) {
                note(out.problems, tr("The output unit did not take the %1 record (%2).")
                                       .arg(phase.high ? tr("high") : tr("low"), systemError(errno)));
                written = false;
                break;
            }
            highWritten = highWritten || phase.high;
            clock.sleepMicroseconds(long(std::max(0LL, due - clock.nowMicroseconds())));
        }
        if (!written && highWritten) {
            // Not left standing at the step.
            const auto& r = stimulus.low;
            writeDacOutputs(outputFd, r[0], r[1], r[2], r[3]);
        }
        if (written) {
            DisplaySnapshot snapshot = readDisplaySnapshot(READ_RECORDS);
            if (snapshot.openFailed) {
                out.displayOpenError = snapshot.error;
                QLOG_WARN() << "Step Response:" << snapshot.error;
            } else if (!snapshot.complete()) {
                note(out.problems, tr("The display stream could not be read in full: %1.").arg(snapshot.error));
            } else {
                out.records = std::move(snapshot.records);
            }
        }
    }

    if (muxTaken && MAILBOX_COMM->setOutputMux(1) < 0)
        note(out.problems, tr("The outputs could not be handed back to the feedback (setOutputMux(1) failed)."));
    if (rateSet) {
        storeSampFreq(controllerRate);
        if (MAILBOX_COMM->setDisplayFreq(filter ? 1 : 0) < 0)
            note(out.problems, tr("The display rate could not be put back to %1 Hz with the filter %2 "
                                  "(setDisplayFreq failed).")
                                   .arg(controllerRate)
                                   .arg(filter ? tr("on") : tr("off")));
    }
    storeSampFreq(savedSampFreq);
    DeviceIo::close(outputFd);
    return out;
}
