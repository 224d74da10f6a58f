#pragma once
// Moves the three PID loops' parameters between the editors, the controller and
// the configuration file.
#include <QList>
#include <QString>

#include "PidParams.h"

class ConfigSettings;
class MailboxComm;

namespace PidTransfer {

// "PID X", "PID Y", "PID I0"
QString loopName(int channel);

// The loop's ten values from its configuration group; a missing value is 0.
PidParams load(const ConfigSettings& config, int channel);
void store(ConfigSettings& config, int channel, const PidParams& params);

// With Omin above Omax the controller would drop the output clamp altogether.
bool limitsInverted(const PidParams& params);

// In this order: the three rate dividers (from baseFreq and each Freq), the
// three offsets in one call, then per loop X, Y, I0 its parameters and its
// configuration group. No result is examined: a failed call is logged by the
// link and the file is still written. A loop with inverted limits is not sent
// (a Warn line says so) but still stored. Returns the channels not sent.
QList<int> sendAndStore(MailboxComm& link, ConfigSettings& config, const PidParams (&loops)[PID_CHANNEL_COUNT],
                        int baseFreq);

}  // namespace PidTransfer
