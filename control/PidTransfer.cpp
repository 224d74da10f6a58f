#include "PidTransfer.h"

#include "ConfigSettings.h"
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

PidParams load(const ConfigSettings& config, int channel)
{
    PidParams p;
    switch (channel) {
    case PID_CHANNEL_X:
        config.loadPIDX(&p.Freq, &p.Kp, &p.Ki, &p.Kd, &p.emin, &p.Imax, &p.Omin, &p.Omax, &p.Ogain, &p.Offset);
        break;
    case PID_CHANNEL_Y:
        config.loadPIDY(&p.Freq, &p.Kp, &p.Ki, &p.Kd, &p.emin, &p.Imax, &p.Omin, &p.Omax, &p.Ogain, &p.Offset);
        break;
    case PID_CHANNEL_I0:
        config.loadPIDI0(&p.Freq, &p.Kp, &p.Ki, &p.Kd, &p.emin, &p.Imax, &p.Omin, &p.Omax, &p.Ogain, &p.Offset);
        break;
    default:
        break;
    }
    return p;
}

void store(ConfigSettings& config, int channel, const PidParams& p)
{
    switch (channel) {
    case PID_CHANNEL_X:
        config.savePIDX(p.Freq, p.Kp, p.Ki, p.Kd, p.emin, p.Imax, p.Omin, p.Omax, p.Ogain, p.Offset);
        break;
    case PID_CHANNEL_Y:
        config.savePIDY(p.Freq, p.Kp, p.Ki, p.Kd, p.emin, p.Imax, p.Omin, p.Omax, p.Ogain, p.Offset);
        break;
    case PID_CHANNEL_I0:
        config.savePIDI0(p.Freq, p.Kp, p.Ki, p.Kd, p.emin, p.Imax, p.Omin, p.Omax, p.Ogain, p.Offset);
        break;
    default:
        break;
    }
}

bool limitsInverted(const PidParams& params)
{
    return params.Omin > params.Omax;
}

QList<int> sendAndStore(MailboxComm& link, ConfigSettings& config, const PidParams (&loops)[PID_CHANNEL_COUNT],
                        int baseFreq)
{
    QLOG_TRACE() << "Loading PID parameters to FPGA and config_bivorn.ini";
    for (int channel = 0; channel < PID_CHANNEL_COUNT; ++channel)
        link.setWindAvg(channel, PidRate::divider(baseFreq, loops[channel].Freq));
    link.setOffset(loops[PID_CHANNEL_X].Offset, loops[PID_CHANNEL_Y].Offset, loops[PID_CHANNEL_I0].Offset);

    QList<int> notSent;
    for (int channel = 0; channel < PID_CHANNEL_COUNT; ++channel) {
        const PidParams& p = loops[channel];
        if (limitsInverted(p)) {
            QLOG_WARN() << qPrintable(loopName(channel)) << "parameters not sent: O min" << p.Omin
                        << "is above O max" << p.Omax;
            notSent << channel;
        } else {
            link.setPIDparams(static_cast<int8_t>(channel), p.Kp, p.Ki, p.Kd, p.emin, p.Imax, p.Omin, p.Omax,
                              p.Ogain);
        }
        store(config, channel, p);
    }
    return notSent;
}

}  // namespace PidTransfer
