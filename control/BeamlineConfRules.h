#pragma once
// The beamline configuration's decisions that need no window: the channel-map
// check, which controllers take offsets, and the high-voltage readout texts.
#include <QString>
#include <QStringList>

namespace BeamlineConfRules {

inline constexpr int CHANNELS = 4;
inline constexpr int HV_STATE_BITS = 0xF;
// Controllers after this software version take position offsets.
inline constexpr const char* OFFSETS_SW_VERSION = "1.0.02";

// A channel map, per electrode top, right, bottom, left: the picoammeter
// channel 0..3, or -1 for a combo box without a selection.
struct ChannelMap
{
    int top;
    int right;
    int bottom;
    int left;
};

// Every electrode names a channel 0..3.
bool isComplete(const ChannelMap& map);
// Some channel is named by two electrodes.
bool hasDuplicate(const ChannelMap& map);
// What the "Invalid BPM configuration" label warns about.
inline bool isInvalid(const ChannelMap& map) { return hasDuplicate(map) || !isComplete(map); }

// The channels that two or more electrodes name, as the operator reads them
// ("Ch 2 (top and left)"); empty when there are none.
QStringList repeatedChannels(const ChannelMap& map);

// What one BPM box holds when Save is pressed.
struct BoxEntries
{
    bool orientationChosen;
    ChannelMap map;
    double scaleX;
    double scaleY;
    QStringList unloaded;  // fields neither loaded from the file nor typed since
};

// Why the box may not be sent or stored, one phrase each; empty when it may.
// Every electrode needs a channel, and a scale of 0 would put every position at
// the centre. A repeated channel is not among them: the operator is asked.
QStringList saveProblems(const BoxEntries& entries);

// The widest bias range of the picoammeters' high-voltage supplies, volts either way.
inline constexpr double HV_BIAS_LIMIT_V = 1000.0;
inline bool biasInRange(double volts) { return volts >= -HV_BIAS_LIMIT_V && volts <= HV_BIAS_LIMIT_V; }

// A plain case-sensitive string comparison, not a numeric one: "1.0.10" and
// "1.0.3" are after "1.0.02", while "", "1.0.0" and "1.0.02" itself are not.
bool offsetsAvailable(const QString& swVersion);

// The state in the status word's low four bits as the operator reads it; empty
// for an unknown state.
QString hvStatusText(int statusWord);
// "-500.00V" and "0.25uA".
QString hvVoltageText(float volts);
QString hvCurrentText(float microamps);

}  // namespace BeamlineConfRules
