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

}  // namespace MainWindowRules
