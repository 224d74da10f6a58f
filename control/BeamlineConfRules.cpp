#include "BeamlineConfRules.h"

#include <algorithm>
#include <array>

namespace BeamlineConfRules {

namespace {
std::array<int, CHANNELS> asArray(const ChannelMap& map)
{
    return {map.top, map.right, map.bottom, map.left};
}
}  // namespace

bool isComplete(const ChannelMap& map)
{
    const std::array<int, CHANNELS> channels = asArray(map);
    return std::all_of(channels.begin(), channels.end(), [](int c) { return c >= 0 && c < CHANNELS; });
}

bool hasDuplicate(const ChannelMap& map)
{
    std::array<int, CHANNELS> channels = asArray(map);
    std::sort(channels.begin(), channels.end());
    return std::adjacent_find(channels.begin(), channels.end()) != channels.end();
}

QStringList repeatedChannels(const ChannelMap& map)
{
    const std::array<int, CHANNELS> channels = asArray(map);
    const char* const sides[CHANNELS] = {"top", "right", "bottom", "left"};
    QStringList repeated;
    for (int channel = 0; channel < CHANNELS; ++channel) {
        QStringList at;
        for (int e = 0; e < CHANNELS; ++e)
            if (channels[e] == channel)
                at << QLatin1String(sides[e]);
        if (at.size() < 2)
            continue;
        const QString last = at.takeLast();
        repeated << QStringLiteral("Ch %1 (%2 and %3)").arg(channel + 1).arg(at.join(QStringLiteral(", ")), last);
    }
    return repeated;
}

QStringList saveProblems(const BoxEntries& entries)
{
    QStringList problems;
    if (!entries.orientationChosen)
        problems << QStringLiteral("no orientation is chosen");
    if (!isComplete(entries.map))
        problems << QStringLiteral("an electrode has no channel");
    const bool xUnloaded = entries.unloaded.contains(QStringLiteral("X scaling"));
    const bool yUnloaded = entries.unloaded.contains(QStringLiteral("Y scaling"));
    if (!xUnloaded && !(entries.scaleX > 0.0))
        problems << QStringLiteral("X scaling is 0");
    if (!yUnloaded && !(entries.scaleY > 0.0))
        problems << QStringLiteral("Y scaling is 0");
    for (const QString& field : entries.unloaded)
        problems << QStringLiteral("%1 was not read from the configuration file").arg(field);
    return problems;
}

bool offsetsAvailable(const QString& swVersion)
{
    return QString::compare(swVersion, QLatin1String(OFFSETS_SW_VERSION), Qt::CaseSensitive) > 0;
}

QString hvStatusText(int statusWord)
{
    switch (statusWord & HV_STATE_BITS) {
    case 0:
        return QStringLiteral("HV OFF");
    case 1:
        return QStringLiteral("HV ON");
    case 3:
        return QStringLiteral("HV rising");
    case 5:
        return QStringLiteral("HV falling");
    default:
        return QString();
    }
}

QString hvVoltageText(float volts)
{
    return QString::number(double(volts), 'f', 2) + QLatin1Char('V');
}

QString hvCurrentText(float microamps)
{
    return QString::number(double(microamps), 'f', 2) + QStringLiteral("uA");
}

}  // namespace BeamlineConfRules
