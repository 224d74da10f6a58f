#include "FrequencyAnalysisWorker.h"

#include <QMutexLocker>

#include <new>
#include <vector>

#include <armadillo>

#include "DeviceIo.h"
#include "FrequencyResponse.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "MeasurementClock.h"
#include "QsLog.h"
#include "VornLibrary.h"
#include "VornRecords.h"

using namespace FrequencyResponse;

FrequencyAnalysisWorker::FrequencyAnalysisWorker(int fd, const QVector<double>& frequencies, bool savedFilter,
                                                 int graphId, int outputChannel, double bpmScale,
                                                 const std::array<float, 4>& amplitudes,
                                                 const std::array<float, 4>& offsets, int inputWord, bool scaling,
                                                 QObject* parent)
    : QObject(parent)
    , m_fd(fd)
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

void FrequencyAnalysisWorker::run()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stop = false;
    }
    const int readRecords = READ_BYTES / RECORD_BYTES;
    std::unique_ptr<DisplayRecord[]> records = allocateRecords(size_t(readRecords));
    const bool channelValid = m_outputChannel >= 0 && m_outputChannel < 4;
    if (!records || !channelValid) {
        // Nothing was changed yet; the window must still learn that the sweep is over.
        if (!records)
            QLOG_ERROR() << "Frequency analysis: no memory for the display read";
        else
            QLOG_ERROR() << "Frequency analysis: output channel" << m_outputChannel << "does not exist";
        DeviceIo::close(m_fd);
        emit finished();
        return;
    }

    const int savedRate = loadSampFreq();
    arma::vec signal(RECORDS_PER_STEP, arma::fill::zeros);
    arma::vec refA(RECORDS_PER_STEP, arma::fill::zeros);
    arma::vec refB(RECORDS_PER_STEP, arma::fill::zeros);
    const int n = int(m_frequencies.size());
    std::vector<double> magnitudes(size_t(n), 0.0);
    std::vector<double> phases(size_t(n), 0.0);
    const double scale = m_scaling ? m_bpmScale : 1.0;

    for (int i = 0; i < n && !stopRequested(); ++i) {
        const float f = float(m_frequencies[i]);
        int periods = 0;
        int settleMs = 0;
        storeSampFreq(chooseRate(f, periods, settleMs));
        MAILBOX_COMM->setDisplayFreq(0);

        float amplitude[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        amplitude[m_outputChannel] = 0.5f * m_amplitudes[size_t(m_outputChannel)];
        float offset[4];
        for (int c = 0; c < 4; ++c)
            offset[c] = m_offsets[size_t(c)];
        funcGenConfig(amplitude, offset, f);
        funcGenEnable(1);

        if (!waitFor(stepWaitMs(f))) {
            funcGenEnable(0);
            break;
        }

        const ssize_t got = DeviceIo::read(m_fd, records.get(), size_t(READ_BYTES));
        const int wholeRecords = got > 0 ? int(got / RECORD_BYTES) : 0;
        if (!extractNewest(records.get(), wholeRecords, m_inputWord, scale, signal, refA, refB)) {
            funcGenEnable(0);
            QLOG_WARN() << "Frequency analysis: display read gave" << wholeRecords << "records at" << f
                        << "Hz, sweep ended";
            break;
        }

        const Phasor response = demodulate(signal, refA, refB);
        magnitudes[size_t(i)] = magnitude(response, amplitude[m_outputChannel]);
        const double phase = phaseDegrees(response);
        phases[size_t(i)] = i == 0 ? phase : unwrap(phases[size_t(i - 1)], phase);

        funcGenEnable(0);
        emit frequencyStepDone(m_graphId, double(f), magnitudes[size_t(i)], phases[size_t(i)]);
        emit progressUpdated(100 * (i + 1) / n);
    }

    storeSampFreq(savedRate);
    MAILBOX_COMM->setDisplayFreq(m_savedFilter ? 1 : 0);
    records.reset();
    DeviceIo::close(m_fd);
    emit finished();
}
