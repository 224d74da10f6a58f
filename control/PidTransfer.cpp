#include "PidTransfer.h"

#include <algorithm>
#include <iterator>

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

bool limitsOrdered(const PidParams& params)
{
    return params.Omin < params.Omax;
}

Outcome sendAndStore(MailboxComm& link, ConfigSettings& config, const PidParams (&loops)[PID_CHANNEL_COUNT],
                     int baseFreq, ConfigWriteReport& writes)
{
    Outcome outcome;
    for (int channel = 0; channel < PID_CHANNEL_COUNT; ++channel) {
        const PidParams& p = loops[channel];
        if (!limitsOrdered(p)) {
            QLOG_WARN() << qPrintable(loopName(channel)) << "parameters not sent: O min" << p.Omin
                        << "is not below O max" << p.Omax;
            outcome.disordered << channel;
        }
    }
    if (!outcome.disordered.isEmpty())
        return outcome;

    QLOG_TRACE() << "Loading PID parameters to FPGA and config_bivorn.ini";
    bool taken[PID_CHANNEL_COUNT] = {true, true, true};
    for (int channel = 0; channel < PID_CHANNEL_COUNT; ++channel) {
        if (link.setWindAvg(channel, PidRate::divider(baseFreq, loops[channel].Freq)) < 0) {
            taken[channel] = false;
            outcome.refused << QStringLiteral("the rate of %1").arg(loopName(channel));
        }
    }
    if (link.setOffset(loops[PID_CHANNEL_X].Offset, loops[PID_CHANNEL_Y].Offset, loops[PID_CHANNEL_I0].Offset) < 0) {
        std::fill(std::begin(taken), std::end(taken), false);
        outcome.refused << QStringLiteral("the offsets");
    }
    for (int channel = 0; channel < PID_CHANNEL_COUNT; ++channel) {
        const PidParams& p = loops[channel];
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
