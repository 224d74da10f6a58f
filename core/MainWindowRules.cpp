#include "MainWindowRules.h"

#include <limits>

#include <QFile>
#include <QTextStream>

#include "Prompts.h"

namespace MainWindowRules {

QString readBuildNumber(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        Prompts::information(nullptr, "error", file.errorString(), QMessageBox::Ok);
        return QString();
    }
    QTextStream in(&file);
    return in.readLine();
}

QString windowTitle(const QString& buildNumber)
{
    return QString(TITLE_PREFIX) + VERSION + "." + buildNumber;
}

bool displaySettingsAvailable(const QString& swVersion)
{
    return QString::compare(swVersion, FIXED_RATE_SW_VERSION, Qt::CaseSensitive) > 0;
}

int displayRateFrom(double hardwareRate)
{
    // The library hands an int over as a double, so the range check only guards the cast.
    if (!(hardwareRate >= 1.0) || hardwareRate > double(std::numeric_limits<int>::max()))
        return FIXED_DISPLAY_RATE;
    return static_cast<int>(hardwareRate);
}

StartRate startRate(const QString& swVersion, const std::function<bool(double&)>& readRate)
{
    StartRate start;
    // No version read is no version: nothing is decided from it, and the
    // operator learns what that costs.
    if (swVersion.isEmpty()) {
        start.problem = QStringLiteral("The controller's versions could not be read (getSystemVersion failed): "
                                       "Display Settings and the BPM offsets are not offered, and the display "
                                       "rate is taken as %1 Hz.")
                            .arg(FIXED_DISPLAY_RATE);
        return start;
    }
    if (!displaySettingsAvailable(swVersion))
        return start;

    start.displaySettingsShown = true;
    double hz = 0.0;
    if (!readRate(hz)) {
        start.problem = QStringLiteral("The controller's display rate could not be read (getDisplayFreq failed): "
                                       "the time axes take it as %1 Hz until a rate is set in Display Settings.")
                            .arg(FIXED_DISPLAY_RATE);
        return start;
    }
    start.hz = displayRateFrom(hz);
    if (double(start.hz) != hz)
        start.problem = QStringLiteral("The controller reported a display rate of %1 Hz, which no time axis can "
                                       "use: the time axes take it as %2 Hz until a rate is set in Display "
                                       "Settings.")
                            .arg(hz)
                            .arg(FIXED_DISPLAY_RATE);
    return start;
}

QString titleWhilePaused(const QString& title, bool paused)
{
    return paused ? title + QStringLiteral(" [display paused]") : title;
}

QString pausedNote(const QString& since)
{
    return QStringLiteral("Display paused since %1: the graphs are not live. Untick Pause in "
                          "Settings \u203a Display Settings to resume.")
        .arg(since);
}

}  // namespace MainWindowRules
