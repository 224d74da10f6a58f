#include "QsLogLevel.h"

#include <QObject>

namespace QsLogging {

QString levelTag(Level level)
{
    switch (level) {
    case Trace:
        return QStringLiteral("TRACE");
    case Debug:
        return QStringLiteral("DEBUG");
    case Info:
        return QStringLiteral("INFO ");
    case Warn:
        return QStringLiteral("WARN ");
    case Error:
        return QStringLiteral("ERROR");
    case Fatal:
        return QStringLiteral("FATAL");
    case Off:
        return QStringLiteral("");
    }
    return QStringLiteral("INFO ");
}

QString levelDisplayName(Level level)
{
    switch (level) {
    case Trace:
        return QObject::tr("Trace");
    case Debug:
        return QObject::tr("Debug");
    case Info:
        return QObject::tr("Info");
    case Warn:
        return QObject::tr("Warning");
    case Error:
        return QObject::tr("Error");
    case Fatal:
        return QObject::tr("Fatal");
    case Off:
        return QString();
    }
    return QString();
}

}  // namespace QsLogging
