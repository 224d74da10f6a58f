#include "Updater.h"

#include <QCoreApplication>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "DeviceIo.h"
#include "MailboxComm.h"
#include "Prompts.h"
#include "QsLog.h"
#include "VornLibrary.h"

namespace {
GraphData freshContainer() { return GraphData::create(); }

const char* const ZENTRIM_DEVICES[2] = {DEVICE_ZENTRIM0, DEVICE_ZENTRIM1};
}  // namespace

Updater::Updater(QObject* parent)
    : QObject(parent)
{
    std::memset(m_status, 0, sizeof m_status);
    for (QString& problem : m_statusProblem)
        problem = QStringLiteral("not read yet");
    for (int b = 0; b < 2; ++b) {
        m_scatter[b] = freshContainer();
        m_spectrum[b] = freshContainer();
        m_posX[b] = freshContainer();
        m_posY[b] = freshContainer();
        m_intensity[b] = freshContainer();
        for (auto& c : m_currents[b])
            c = freshContainer();
    }
    for (auto& c : m_outputs)
        c = freshContainer();
    // Allocated once, far above the largest read, and reused by every tick.
    m_records = static_cast<DisplayRecord*>(std::calloc(RECORD_BUFFER_BYTES / sizeof(DisplayRecord),
                                                        sizeof(DisplayRecord)));
}

Updater::~Updater() { std::free(m_records); }

void Updater::setGraphData(unsigned kind, int index, GraphData data)
{
    auto inRange = [index](int count) { return index >= 0 && index < count; };
    switch (kind) {
    case KindScatterBpm1:
        m_scatter[0] = data;
        break;
    case KindScatterBpm2:
        m_scatter[1] = data;
        break;
    case KindSpectrum:
        if (inRange(2))
            m_spectrum[index] = data;
        break;
    case KindCurrentsBpm1:
    case KindCurrentsBpm2:
        if (inRange(4))
            m_currents[kind - KindCurrentsBpm1][index] = data;
        break;
    case KindPositionX:
        if (inRange(2))
            m_posX[index] = data;
        break;
    case KindPositionY:
        if (inRange(2))
            m_posY[index] = data;
        break;
    case KindIntensity:
        if (inRange(2))
            m_intensity[index] = data;
        break;
    case KindOutputVoltage:
        if (inRange(4))
            m_outputs[index] = data;
        break;
    default:
        break;
    }
}

void Updater::updateZentrims()
{
    for (int b = 0; b < 2; ++b) {
        const QString device = QString::fromLatin1(ZENTRIM_DEVICES[b]);
        const int fd = DeviceIo::open(ZENTRIM_DEVICES[b], O_RDONLY);
        m_present[b] = fd >= 0;
        if (fd < 0) {
            m_statusProblem[b] =
                QStringLiteral("%1 cannot be opened: %2").arg(device, QString::fromLocal8Bit(std::strerror(errno)));
            continue;
        }
        if (DeviceIo::ioctl(fd, IOCTL_ZENTRIM_STATUS, &m_status[b]) < 0)
            m_statusProblem[b] = QStringLiteral("%1 gave no status: %2")
                                     .arg(device, QString::fromLocal8Bit(std::strerror(errno)));
        else
            m_statusProblem[b].clear();
        DeviceIo::close(fd);
    }
}

void Updater::updateGraphs()
{
    updateZentrims();
    // A fatal read is being reported, or the program is quitting after it.
    if (m_paused || m_fatalShown)
        return;

    const int sampFreq = loadSampFreq();
    const int requested = DISPLAY_BUFFER_BYTES / int(sizeof(DisplayRecord));
    const int maxRecords = RECORD_BUFFER_BYTES / int(sizeof(DisplayRecord));
    const int n = (requested > 0 && requested <= maxRecords)
                      ? getBuffer(m_records[0].word, requested)
                      : -1;

    if (QsLogging::Logger::instance().level() <= QsLogging::Debug)
        QLOG_DEBUG() << "updateGraphs read" << n << "samples";

    if (n != requested || n < 0) {
        reportShortRead();
        return;
    }

    // A rate of 0 or below would put inf or NaN keys into every graph.
    const double period = sampFreq > 0 ? 1.0 / sampFreq : 0.0;
    // Records taken before the last rate change belong on another time axis:
    // the block starts with the first record taken at the rate in force.
    const std::optional<long long> sinceChange =
        MAILBOX_COMM ? MAILBOX_COMM->microsecondsSinceRateChange() : std::nullopt;
    const int shown = recordsAtCurrentRate(sinceChange, sampFreq, n);
    const DisplayRecord* block = m_records + (n - shown);
    fillTimeGraphs(block, shown, period);

    FftSettings settings;
    settings.length = m_fftLength;
    settings.sourceColumn = m_fftSource;
    settings.removeMean = m_removeMean;
    settings.cumulative = m_cumulative != 0;
    for (int b = 0; b < 2; ++b) {
        if (m_present[b])
            m_spectra.compute(block, shown, b, settings, sampFreq, POS_SCALE_X, POS_SCALE_Y, *m_spectrum[b]);
        else
            m_spectrum[b]->clear();
    }

    emit replotGraphs();
}

void Updater::setPaused(bool paused)
{
    if (paused == m_paused)
        return;
    m_paused = paused;
    emit pausedChanged(paused);
}

int Updater::recordsAtCurrentRate(std::optional<long long> ageUs, int sampFreq, int n)
{
    if (n <= 0)
        return 0;
    if (!ageUs || sampFreq <= 0)
        return n;
    const double taken = std::floor(double(std::max(0LL, *ageUs)) * 1e-6 * double(sampFreq)) - 1.0;
    if (taken <= 0.0)
        return 0;
    return taken >= double(n) ? n : int(taken);
}

void Updater::fillTimeGraphs(const DisplayRecord* records, int n, double period)
{
    for (int b = 0; b < 2; ++b)
        for (auto& c : m_currents[b])
            c->clear();
    for (int i = 0; i < n; ++i) {
        const double t = i * period;
        for (int c = 0; c < 4; ++c) {
            if (m_present[0])
                m_currents[0][c]->add(QCPGraphData(t, records[i].word[DisplayRecord::BPM1_CURRENT0 + c]));
            if (m_present[1])
                m_currents[1][c]->add(QCPGraphData(t, records[i].word[DisplayRecord::BPM2_CURRENT0 + c]));
        }
    }

    const int first = n > SCATTER_POINTS ? n - SCATTER_POINTS : 0;
    for (int b = 0; b < 2; ++b) {
        m_scatter[b]->clear();
        if (!m_present[b])
            continue;
        const double sx = POS_SCALE_X[b], sy = POS_SCALE_Y[b];
        for (int i = first; i < n; ++i)
            m_scatter[b]->add(QCPGraphData(records[i].word[4 * b] * sx, records[i].word[4 * b + 1] * sy));
    }

    // X, then Y, then intensity, each for both BPMs.
    GraphData* perAxis[3] = {m_posX, m_posY, m_intensity};
    for (int axis = 0; axis < 3; ++axis) {
        for (int b = 0; b < 2; ++b) {
            QCPGraphDataContainer& data = *perAxis[axis][b];
            data.clear();
            if (!m_present[b])
                continue;
            const double scale = axis == 0 ? POS_SCALE_X[b] : axis == 1 ? POS_SCALE_Y[b] : 1.0;
            const int word = 4 * b + axis;
            for (int i = 0; i < n; ++i)
                data.add(QCPGraphData(i * period, records[i].word[word] * scale));
        }
    }

    for (int c = 0; c < 4; ++c) {
        QCPGraphDataContainer& data = *m_outputs[c];
        data.clear();
        for (int i = 0; i < n; ++i)
            data.add(QCPGraphData(i * period, records[i].word[DisplayRecord::OUTPUT0 + c]));
    }
}

void Updater::reportShortRead()
{
    // One box at a time: the display timer keeps ticking while it is open.
    m_fatalShown = true;
    Prompts::critical(nullptr, QStringLiteral("Cannot open file"),
                      QStringLiteral("System file /dev/vorn_dma_displ could not be opened.\n\n"
                                     "Please check if VORN driver is loaded.\nApplication will now quit.\n"),
                      QMessageBox::Ok);
    QCoreApplication::quit();
}

void Updater::setFFTlength(int length) { m_fftLength = length; }
void Updater::setFFTsource(int column) { m_fftSource = column; }
void Updater::ChangeFFTremoveDC(bool removeDC) { m_removeMean = removeDC; }
void Updater::ChangeFFTgraph(int index) { m_cumulative = index == 0 ? 0 : 1; }
