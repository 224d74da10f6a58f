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

// The configuration group of a loop: "PID_X", "PID_Y", "PID_I0".
QString groupName(int channel);

// The controller clamps a loop's output only while O min is below O max.
bool limitsOrdered(const PidParams& params);

// One loop as the editors hold it: its values, and the labels of the fields
// that were neither read from the file nor typed since (they hold no value).
struct Loop
{
    PidParams params;
    QStringList unloaded;
};

// Why the loop's own values cannot be sent, one phrase each; empty when they can.
QStringList problemsOf(const Loop& loop);

struct Outcome
{
    QList<int> sent;       // loops whose rate and parameters went to the controller
    QList<int> leftOut;    // loops of which nothing was sent or stored
    QStringList why;       // "PID X: ...", one line per loop left out
    // A loop left out had its Offset sent all the same: the three offsets go in
    // one call, and its offset field held a value.
    QList<int> offsetSentAlone;
    QStringList refused;   // what the controller refused
    QList<int> notStored;  // loops sent whose configuration group keeps its earlier values
};

// Every loop whose values can be sent goes out, in this order: the rate
// dividers (from baseFreq and each Freq), the three offsets in one call, then
// per loop X, Y, I0 its parameters; the others are left out and named. Nothing
// goes when an offset field holds no value, since the offsets travel together.
// A refused call does not stop the next; a loop's configuration group is
// written only when its divider, the offsets and its parameters were all taken.
Outcome sendAndStore(MailboxComm& link, ConfigSettings& config, const Loop (&loops)[PID_CHANNEL_COUNT], int baseFreq,
                     ConfigWriteReport& writes);

}  // namespace PidTransfer
