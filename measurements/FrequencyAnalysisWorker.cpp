#include "FrequencyAnalysisWorker.h"

#include <QMutexLocker>

#include <new>
#include <vector>

#include <armadillo>

#include "DisplayReader.h"
#include "FrequencyResponse.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "MeasurementClock.h"
#include "QsLog.h"
#include "VornLibrary.h"
#include "VornRecords.h"

using namespace FrequencyResponse;

namespace {
constexpr int READ_RECORDS = READ_BYTES / RECORD_BYTES;
}  // namespace

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

// The read buffer, the three demodulated vectors and the results: allocated once per run.
struct FrequencyAnalysisWorker::RunBuffers
{
    std::unique_ptr<DisplayRecord[]> records;
    arma::vec signal = arma::vec(RECORDS_PER_STEP, arma::fill::zeros);
    arma::vec refA = arma::vec(RECORDS_PER_STEP, arma::fill::zeros);
    arma::vec refB = arma::vec(RECORDS_PER_STEP, arma::fill::zeros);
    std::vector<double> magnitudes;
    std::vector<double> phases;
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
    RunBuffers buffers;
    buffers.records = allocateRecords(size_t(READ_RECORDS));
    if (!buffers.records)
        noteFailure(tr("No memory for the display read: the sweep did not start."));
    else if (m_outputChannel < 0 || m_outputChannel > 3)
        noteFailure(tr("Output channel %1 does not exist: the sweep did not start.").arg(m_outputChannel + 1));
    else if (!m_display || !m_display->isOpen())
        noteFailure(tr("The display device is not open: the sweep did not start."));

    if (m_failures.isEmpty()) {
        const int savedRate = loadSampFreq();
        const int n = int(m_frequencies.size());
        buffers.magnitudes.assign(size_t(n), 0.0);
        buffers.phases.assign(size_t(n), 0.0);
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

bool FrequencyAnalysisWorker::measureStep(int i, RunBuffers& b)
{
    const float f = float(m_frequencies[i]);
    int periods = 0;
    int settleMs = 0;
    storeSampFreq(chooseRate(f, periods, settleMs));
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
    if (!waitFor(stepWaitMs(f))) {
        switchGeneratorOff();
        return false;
    }

    QString readError;
    const size_t got = m_display->read(b.records.get(), size_t(READ_RECORDS), readError);
    const double scale = m_scaling ? m_bpmScale : 1.0;
    if (!extractNewest(b.records.get(), int(got), m_inputWord, scale, b.signal, b.refA, b.refB)) {
        noteFailure(tr("The display read at %1 Hz gave %2 of the %3 records a step needs%4: the sweep was ended, "
                       "and no point is shown for that frequency.")
                        .arg(QString::number(double(f), 'g', 6))
                        .arg(got)
                        .arg(RECORDS_PER_STEP)
                        .arg(readError.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(readError)));
        switchGeneratorOff();
        return false;
    }
    const Phasor response = demodulate(b.signal, b.refA, b.refB);
    if (!switchGeneratorOff())
        return false;
    // Closing the window switches the generator off at once: the records of a step
    // stopped meanwhile may hold no sine.
    if (stopRequested())
        return false;

    const size_t k = size_t(i);
    b.magnitudes[k] = magnitude(response, amplitude[m_outputChannel]);
    const double phase = phaseDegrees(response);
    b.phases[k] = i == 0 ? phase : unwrap(b.phases[k - 1], phase);
    emit frequencyStepDone(m_graphId, double(f), b.magnitudes[k], b.phases[k]);
    emit progressUpdated(100 * (i + 1) / int(m_frequencies.size()));
    return true;
}
