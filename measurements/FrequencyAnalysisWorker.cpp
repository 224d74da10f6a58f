#include "FrequencyAnalysisWorker.h"

#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <new>

#include <armadillo>

#include "DisplayReader.h"
#include "FrequencyResponse.h"
#include "Globals.h"
#include "LockInFit.h"
#include "MailboxComm.h"
#include "MeasurementClock.h"
#include "QsLog.h"
#include "VornLibrary.h"
#include "VornRecords.h"

using namespace FrequencyResponse;

FrequencyAnalysisWorker::FrequencyAnalysisWorker(std::unique_ptr<DisplayReader> display,
                                                 const QVector<double>& frequencies, bool savedFilter, int graphId,
                                                 int outputChannel, double bpmScale,
                                                 const std::array<float, 4>& amplitudes,
                                                 const std::array<float, 4>& offsets, int inputWord, bool scaling,
                                                 QObject* parent)
    : QObject(parent)
    , m_display(std::move(display))
    , m_frequencies(frequencies)
    , m_savedFilter(savedFilter)
    , m_graphId(graphId)
    , m_outputChannel(outputChannel)
    , m_amplitudes(amplitudes)
    , m_offsets(offsets)
    , m_inputWord(inputWord)
    , m_scaling(scaling)
    , m_bpmScale(bpmScale)
    , m_clock(&MeasurementClock::system())
{
}

FrequencyAnalysisWorker::~FrequencyAnalysisWorker() = default;

void FrequencyAnalysisWorker::setMeasurementClock(MeasurementClock& clock)
{
    m_clock = &clock;
}

void FrequencyAnalysisWorker::setDisplayRateBefore(int hz)
{
    m_rateBefore = hz;
}

int FrequencyAnalysisWorker::chooseRate(float f, int& periods, int& settleMs)
{
    const RateChoice choice = FrequencyResponse::chooseRate(f);
    periods = choice.periods;
    settleMs = choice.settleMs;
    return choice.rateHz;
}

bool FrequencyAnalysisWorker::waitFor(int ms)
{
    QMutexLocker lock(&m_mutex);
    // A stop that came before the wait is not lost.
    if (m_stop)
        return false;
    m_clock->waitOn(m_condition, m_mutex, ms);
    return !m_stop;
}

void FrequencyAnalysisWorker::stop()
{
    QMutexLocker lock(&m_mutex);
    m_stop = true;
    m_condition.wakeAll();
}

bool FrequencyAnalysisWorker::stopRequested()
{
    QMutexLocker lock(&m_mutex);
    return m_stop;
}

std::unique_ptr<DisplayRecord[]> FrequencyAnalysisWorker::allocateRecords(size_t count)
{
    return std::unique_ptr<DisplayRecord[]>(new (std::nothrow) DisplayRecord[count]);
}

size_t FrequencyAnalysisWorker::readDisplay(DisplayRecord* into, size_t count, QString& error)
{
    return m_display->read(into, count, error);
}

// The read buffer: allocated once per run.
struct FrequencyAnalysisWorker::RunBuffers
{
    std::unique_ptr<DisplayRecord[]> records;
};

// The samples of one record, oldest first.
struct FrequencyAnalysisWorker::Record
{
    arma::vec signal;
    arma::vec refA;
    arma::vec refB;
};

void FrequencyAnalysisWorker::noteFailure(const QString& reason)
{
    QLOG_WARN() << "Frequency analysis:" << reason;
    m_failures << reason;
}

void FrequencyAnalysisWorker::noteStepFailure(const QString& call, float f)
{
    noteFailure(tr("%1 failed at %2 Hz: the sweep was ended, and no point is shown for that frequency.")
                    .arg(call, QString::number(double(f), 'g', 6)));
}

bool FrequencyAnalysisWorker::switchGeneratorOff()
{
    if (funcGenEnable(0) >= 0)
        return true;
    noteFailure(tr("funcGenEnable(0) failed: the function generator may still be driving OUT%1.")
                    .arg(m_outputChannel + 1));
    return false;
}

void FrequencyAnalysisWorker::run()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stop = false;
    }
    m_failures.clear();
    m_lines = SweepPoint::Lines();
    m_lastPhase.reset();
    RunBuffers buffers;
    buffers.records = allocateRecords(size_t(RECORDS_PER_READ));
    if (!buffers.records)
        noteFailure(tr("No memory for the display read: the sweep did not start."));
    else if (m_outputChannel < 0 || m_outputChannel > 3)
        noteFailure(tr("Output channel %1 does not exist: the sweep did not start.").arg(m_outputChannel + 1));
    else if (!m_display || !m_display->isOpen())
        noteFailure(tr("The display device is not open: the sweep did not start."));

    if (m_failures.isEmpty()) {
        const int savedRate = loadSampFreq();
        learnLinesFromHistory(buffers, m_rateBefore > 0 ? m_rateBefore : savedRate);
        const int n = int(m_frequencies.size());
        for (int i = 0; i < n && !stopRequested(); ++i)
            if (!measureStep(i, buffers))
                break;

        storeSampFreq(savedRate);
        if (MAILBOX_COMM->setDisplayFreq(m_savedFilter ? 1 : 0) < 0)
            noteFailure(tr("setDisplayFreq() failed: the display could not be set back to %1 Hz with the filter %2.")
                            .arg(savedRate)
                            .arg(m_savedFilter ? tr("on") : tr("off")));
    }
    buffers.records.reset();
    m_display.reset();
    if (!m_failures.isEmpty())
        emit failed(m_failures.join(QStringLiteral("\n\n")));
    emit finished();
}

void FrequencyAnalysisWorker::learnLinesFromHistory(RunBuffers& b, int rateHz)
{
    // What the display holds already, at the rate in force: the beam without
    // the generator, so any line in it is a disturbance. Only a hint of where
    // lines are; a failed or short read just gives none.
    if (rateHz <= 0)
        return;
    QString ignored;
    const size_t got = readDisplay(b.records.get(), size_t(RECORDS_PER_READ), ignored);
    if (got < 2)
        return;
    // Back to where the generator last ran: its reference words change while it does.
    const DisplayRecord& newest = b.records[got - 1];
    size_t quiet = 1;
    while (quiet < got && b.records[got - 1 - quiet].word[DisplayRecord::REFERENCE] ==
                              newest.word[DisplayRecord::REFERENCE])
        ++quiet;
    constexpr size_t MIN_HISTORY_RECORDS = 1024;
    constexpr double HISTORY_LINE_SHARE_OF_NOISE = 0.25;
    if (quiet < MIN_HISTORY_RECORDS)
        return;
    const double scale = m_scaling ? m_bpmScale : 1.0;
    arma::vec signal(quiet);
    for (size_t k = 0; k < quiet; ++k)
        signal[k] = b.records[got - quiet + k].word[m_inputWord] * scale;
    if (!signal.is_finite())
        return;
    const LockInFit::Fit history = LockInFit::fit(signal, nullptr, nullptr, double(rateHz), LockInFit::Settings());
    std::vector<LockInFit::Line> lines;
    for (LockInFit::Line line : history.lines) {
        // A history pieced together (a ring filled by repetition, rates changed
        // within it) shows narrow peaks well below its noise; real disturbances
        // worth a longer record stand out of it.
        if (!(line.amplitude >= HISTORY_LINE_SHARE_OF_NOISE * history.residualRms))
            continue;
        // Through the display filter a line looks smaller than it is.
        line.amplitudeKnown = !m_savedFilter;
        lines.push_back(line);
    }
    m_lines.merge(lines, history.durationS);
}

bool FrequencyAnalysisWorker::takeRecord(float f, int rateHz, int waitMs, RunBuffers& b, size_t& got)
{
    storeSampFreq(rateHz);
    if (MAILBOX_COMM->setDisplayFreq(0) < 0) {
        noteStepFailure(QStringLiteral("setDisplayFreq()"), f);
        return false;
    }

    float amplitude[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    amplitude[m_outputChannel] = 0.5f * m_amplitudes[size_t(m_outputChannel)];
    float offset[4];
    for (int c = 0; c < 4; ++c)
        offset[c] = m_offsets[size_t(c)];
    if (funcGenConfig(amplitude, offset, f) < 0) {
        noteStepFailure(QStringLiteral("funcGenConfig()"), f);
        return false;
    }
    if (funcGenEnable(1) < 0) {
        noteStepFailure(QStringLiteral("funcGenEnable(1)"), f);
        switchGeneratorOff();
        return false;
    }
    if (!waitFor(waitMs)) {
        switchGeneratorOff();
        return false;
    }

    QString readError;
    got = readDisplay(b.records.get(), size_t(RECORDS_PER_READ), readError);
    if (got < size_t(RECORDS_PER_STEP)) {
        noteFailure(tr("The display read at %1 Hz gave %2 of the %3 records a step needs%4: the sweep was ended, "
                       "and no point is shown for that frequency.")
                        .arg(QString::number(double(f), 'g', 6))
                        .arg(got)
                        .arg(RECORDS_PER_STEP)
                        .arg(readError.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(readError)));
        switchGeneratorOff();
        return false;
    }
    if (!switchGeneratorOff())
        return false;
    // Closing the window switches the generator off at once: the records of a step
    // stopped meanwhile may hold no sine.
    return !stopRequested();
}

bool FrequencyAnalysisWorker::extract(const RunBuffers& b, size_t got, int count, Record& into) const
{
    const int whole = int(std::min<size_t>(got, size_t(RECORDS_PER_READ)));
    if (!extractNewest(b.records.get(), whole, m_inputWord, m_scaling ? m_bpmScale : 1.0, into.signal, into.refA,
                       into.refB, std::min(count, whole)))
        return false;
    return into.signal.is_finite() && into.refA.is_finite() && into.refB.is_finite();
}

bool FrequencyAnalysisWorker::measureStep(int i, RunBuffers& b)
{
    const float f = float(m_frequencies[i]);
    int periods = 0;
    int settleMs = 0;
    const int rate = chooseRate(f, periods, settleMs);
    const int waitMs = stepWaitMs(f);
    size_t got = 0;
    if (!takeRecord(f, rate, waitMs, b, got))
        return false;

    // The value comes from the newest records; the check, of the response's
    // steadiness and of the lines, looks at every record since the generator settled.
    const QString notFinite = tr("the display read held a sample that is not a number");
    Record window, settled;
    const int settledCount = std::max(RECORDS_PER_STEP, settledRecords(waitMs, rate));
    if (!extract(b, got, RECORDS_PER_STEP, window) || !extract(b, got, settledCount, settled)) {
        leaveOut(i, f, notFinite);
        return true;
    }
    LockInFit::Settings settings;
    settings.excitationHz = double(f);
    settings.knownLines = m_lines.all();
    LockInFit::Fit value = LockInFit::fit(window.signal, &window.refA, &window.refB, rate, settings);
    LockInFit::Settings checking = settings;
    checking.modulation = true;
    const LockInFit::Fit check = LockInFit::fit(settled.signal, &settled.refA, &settled.refB, rate, checking);
    m_lines.merge(value.lines, value.durationS);
    m_lines.merge(check.lines, check.durationS);

    const double longerS = longRecordSeconds(f);
    SweepPoint::Assessment verdict = SweepPoint::assess(value, check, double(f), longerS);
    if (verdict.verdict != SweepPoint::Verdict::Measured && settled.signal.n_elem > window.signal.n_elem) {
        // The settled records resolve lines the newest ones alone cannot.
        settings.knownLines = m_lines.all();
        LockInFit::Fit wider = LockInFit::fit(settled.signal, &settled.refA, &settled.refB, rate, settings);
        const SweepPoint::Assessment widerVerdict = SweepPoint::assess(wider, check, double(f), longerS);
        if (widerVerdict.verdict == SweepPoint::Verdict::Measured ||
            verdict.verdict == SweepPoint::Verdict::Unreliable) {
            value = wider;
            verdict = widerVerdict;
        }
    }

    if (verdict.verdict == SweepPoint::Verdict::NeedsLongerRecord) {
        const int longRate = longRecordRate(f);
        QLOG_INFO() << "Frequency analysis: measuring" << double(f) << "Hz again over"
                    << QString::number(longerS, 'f', 1) << "s: a disturbance lies close to it";
        if (!takeRecord(f, longRate, longRecordWaitMs(f), b, got))
            return false;
        Record longer;
        if (!extract(b, got, RECORDS_PER_READ, longer)) {
            leaveOut(i, f, notFinite);
            return true;
        }
        settings.knownLines = m_lines.all();
        value = LockInFit::fit(longer.signal, &longer.refA, &longer.refB, longRate, settings);
        checking.knownLines = settings.knownLines;
        const LockInFit::Fit longCheck =
            LockInFit::fit(longer.signal, &longer.refA, &longer.refB, longRate, checking);
        m_lines.merge(value.lines, value.durationS);
        verdict = SweepPoint::assess(value, longCheck, double(f), 0.0);
    }
    reportPoint(i, f, value, verdict, 0.5f * m_amplitudes[size_t(m_outputChannel)]);
    return true;
}

void FrequencyAnalysisWorker::reportPoint(int i, float f, const LockInFit::Fit& fit,
                                          const SweepPoint::Assessment& assessment, float amplitudeSent)
{
    const Phasor response{fit.inPhase, fit.quadrature};
    const double amp = magnitude(response, amplitudeSent);
    // Nothing to draw on a logarithmic axis.
    if (!fit.ok || !std::isfinite(amp) || !(amp > 0.0)) {
        leaveOut(i, f, assessment.reason.isEmpty() ? tr("the record gave no response") : assessment.reason);
        return;
    }
    const double raw = phaseDegrees(response);
    // Unwrapped from the last point shown as measured, never from an unreliable one.
    const double phase = m_lastPhase ? unwrap(*m_lastPhase, raw) : raw;
    if (assessment.verdict == SweepPoint::Verdict::Measured) {
        m_lastPhase = phase;
        emit frequencyStepDone(m_graphId, double(f), amp, phase);
    } else {
        QLOG_WARN() << "Frequency analysis: the point at" << QString::number(double(f), 'g', 6)
                    << "Hz is shown as unreliable:" << assessment.reason;
        emit frequencyStepUnreliable(m_graphId, double(f), amp, phase, assessment.reason);
    }
    emit progressUpdated(100 * (i + 1) / int(m_frequencies.size()));
}

void FrequencyAnalysisWorker::leaveOut(int i, float f, const QString& reason)
{
    QLOG_WARN() << "Frequency analysis: no point at" << QString::number(double(f), 'g', 6) << "Hz:" << reason;
    emit pointLeftOut(m_graphId, double(f), reason);
    emit progressUpdated(100 * (i + 1) / int(m_frequencies.size()));
}
