#include "PidTransfer.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "ConfigFieldRanges.h"
#include "ConfigSettings.h"
#include "ConfigWriteReport.h"
#include "MailboxComm.h"
#include "QsLog.h"

namespace PidTransfer {

QString loopName(int channel)
{
    switch (channel) {
    case PID_CHANNEL_X:
        return QStringLiteral("PID X");
    case PID_CHANNEL_Y:
        return QStringLiteral("PID Y");
    case PID_CHANNEL_I0:
        return QStringLiteral("PID I0");
    default:
        return QString();
    }
}

PidParams load(const ConfigSettings& config, int channel, QStringList* unread)
{
    PidParams p;
    switch (channel) {
    case PID_CHANNEL_X:
        config.loadPIDX(&p.Freq, &p.Kp, &p.Ki, &p.Kd, &p.emin, &p.Imax, &p.Omin, &p.Omax, &p.Ogain, &p.Offset,
                        unread);
        break;
    case PID_CHANNEL_Y:
        config.loadPIDY(&p.Freq, &p.Kp, &p.Ki, &p.Kd, &p.emin, &p.Imax, &p.Omin, &p.Omax, &p.Ogain, &p.Offset,
                        unread);
        break;
    case PID_CHANNEL_I0:
        config.loadPIDI0(&p.Freq, &p.Kp, &p.Ki, &p.Kd, &p.emin, &p.Imax, &p.Omin, &p.Omax, &p.Ogain, &p.Offset,
                         unread);
        break;
    default:
        break;
    }
    return p;
}

bool store(ConfigSettings& config, int channel, const PidParams& p)
{
    switch (channel) {
    case PID_CHANNEL_X:
        return config.savePIDX(p.Freq, p.Kp, p.Ki, p.Kd, p.emin, p.Imax, p.Omin, p.Omax, p.Ogain, p.Offset);
    case PID_CHANNEL_Y:
        return config.savePIDY(p.Freq, p.Kp, p.Ki, p.Kd, p.emin, p.Imax, p.Omin, p.Omax, p.Ogain, p.Offset);
    case PID_CHANNEL_I0:
        return config.savePIDI0(p.Freq, p.Kp, p.Ki, p.Kd, p.emin, p.Imax, p.Omin, p.Omax, p.Ogain, p.Offset);
    default:
        return false;
    }
}

QString groupName(int channel)
{
    switch (channel) {
    case PID_CHANNEL_X:
        return QStringLiteral("PID_X");
    case PID_CHANNEL_Y:
        return QStringLiteral("PID_Y");
    case PID_CHANNEL_I0:
        return QStringLiteral("PID_I0");
    default:
        return QString();
    }
}

bool limitsOrdered(const PidParams& params)
{
    return params.Omin < params.Omax;
}

namespace {
const char* const KEYS[10] = {"Freq", "Kp", "Ki", "Kd", "emin", "Imax", "Omin", "Omax", "Ogain", "Offset"};

QList<double> valuesOf(const PidParams& p)
{
    return {p.Freq, p.Kp, p.Ki, p.Kd, p.emin, p.Imax, p.Omin, p.Omax, p.Ogain, p.Offset};
}

QString loopNames(const QList<int>& channels)
{
    QStringList names;
    for (int channel : channels)
        names << loopName(channel);
    return names.join(QStringLiteral(", "));
}
}  // namespace

QStringList problemsOf(const Loop& loop)
{
    QStringList problems;
    if (!loop.unloaded.isEmpty())
        problems << QStringLiteral("%1 not read from the configuration file")
                        .arg(loop.unloaded.join(QStringLiteral(", ")));
    // The editors keep every value within its field; a caller that does not
    // still gets nothing out of range to the controller.
    const QList<double> values = valuesOf(loop.params);
    for (int i = 0; i < values.size(); ++i) {
        const QString key = QString::fromLatin1(KEYS[i]);
        if (!std::isfinite(values[i]) || !ConfigFieldRanges::contains(key, values[i]))
            problems << QStringLiteral("%1 = %2 is outside its field").arg(key, ConfigSettings::numberText(values[i]));
    }
    const bool omin = loop.unloaded.contains(QStringLiteral("O min"));
    const bool omax = loop.unloaded.contains(QStringLiteral("O max"));
    if (!omin && !omax && !limitsOrdered(loop.params))
        problems << QStringLiteral("O min (%1) is not below O max (%2), and only then does the controller clamp the "
                                   "output")
                        .arg(ConfigSettings::numberText(loop.params.Omin), ConfigSettings::numberText(loop.params.Omax));
    return problems;
}

Outcome sendAndStore(MailboxComm& link, ConfigSettings& config, const Loop (&loops)[PID_CHANNEL_COUNT], int baseFreq,
                     ConfigWriteReport& writes)
{
    Outcome outcome;
    QList<int> noOffset;
    for (int channel = 0; channel < PID_CHANNEL_COUNT; ++channel) {
        const QStringList problems = problemsOf(loops[channel]);
        const double offset = loops[channel].params.Offset;
        if (loops[channel].unloaded.contains(QStringLiteral("Offset"))
            || !ConfigFieldRanges::contains(QStringLiteral("Offset"), offset))
            noOffset << channel;
        if (problems.isEmpty()) {
            outcome.sent << channel;
            continue;
        }
        outcome.leftOut << channel;
        outcome.why << QStringLiteral("%1: %2").arg(loopName(channel), problems.join(QStringLiteral("; ")));
    }
    if (!noOffset.isEmpty()) {
        // The offsets travel in one call: without all three, no loop can be sent.
        for (int channel : std::as_const(outcome.sent)) {
            outcome.leftOut << channel;
            outcome.why << QStringLiteral("%1: the three offsets go to the controller in one call, and the Offset "
                                          "of %2 holds no value to send")
                               .arg(loopName(channel), loopNames(noOffset));
        }
        outcome.sent.clear();
        std::sort(outcome.leftOut.begin(), outcome.leftOut.end());
    }
    for (const QString& line : std::as_const(outcome.why))
        QLOG_WARN() << qPrintable(line.section(QLatin1Char(':'), 0, 0)) << "parameters not sent:"
                    << qPrintable(line.section(QLatin1Char(':'), 1).trimmed());
    if (outcome.sent.isEmpty())
        return outcome;

    QLOG_TRACE() << "Loading PID parameters to FPGA and config_bivorn.ini";
    bool taken[PID_CHANNEL_COUNT] = {true, true, true};
    for (int channel : std::as_const(outcome.sent)) {
        if (link.setWindAvg(channel, PidRate::divider(baseFreq, loops[channel].params.Freq)) < 0) {
            taken[channel] = false;
            outcome.refused << QStringLiteral("the rate of %1").arg(loopName(channel));
        }
    }
    outcome.offsetSentAlone = outcome.leftOut;
    if (link.setOffset(loops[PID_CHANNEL_X].params.Offset, loops[PID_CHANNEL_Y].params.Offset,
                       loops[PID_CHANNEL_I0].params.Offset)
        < 0) {
        std::fill(std::begin(taken), std::end(taken), false);
        outcome.refused << QStringLiteral("the offsets");
    }
    for (int channel : std::as_const(outcome.sent)) {
        const PidParams& p = loops[channel].params;
        if (link.setPIDparams(static_cast<int8_t>(channel), p.Kp, p.Ki, p.Kd, p.emin, p.Imax, p.Omin, p.Omax,
                              p.Ogain) < 0) {
            taken[channel] = false;
            outcome.refused << QStringLiteral("the parameters of %1").arg(loopName(channel));
        }
        if (!taken[channel] || !writes.note(store(config, channel, p)))
            outcome.notStored << channel;
    }
    return outcome;
}

}  // namespace PidTransfer
