#pragma once
// Moves the three PID loops' parameters between the editors, the controller and
// the configuration file.
#include <QList>
#include <QString>
#include <QStringList>

#include "PidParams.h"

class ConfigSettings;
class ConfigWriteReport;
class MailboxComm;

namespace PidTransfer {

// "PID X", "PID Y", "PID I0"
QString loopName(int channel);

// The loop's ten values from its configuration group; a missing value is 0.
// The keys whose stored value could not be used go to `unread`.
PidParams load(const ConfigSettings& config, int channel, QStringList* unread = nullptr);
bool store(ConfigSettings& config, int channel, const PidParams& params);

// The controller clamps a loop's output only while O min is below O max.
bool limitsOrdered(const PidParams& params);

struct Outcome
{
    QList<int> disordered;  // loops whose limits are not in order: then nothing was sent
    QStringList refused;    // what the controller refused
    QList<int> notStored;   // loops whose configuration group keeps its earlier values
};

// Unless a loop's limits are not in order, in this order: the three rate
// dividers (from baseFreq and each Freq), the three offsets in one call, then
// per loop X, Y, I0 its parameters. A refused call does not stop the next; a
// loop's configuration group is written only when its divider, the offsets and
// its parameters were all taken.
Outcome sendAndStore(MailboxComm& link, ConfigSettings& config, const PidParams (&loops)[PID_CHANNEL_COUNT],
                     int baseFreq, ConfigWriteReport& writes);

}  // namespace PidTransfer
