#include "QsLogMessage.h"

namespace QsLogging {

namespace {
// The message goes in last so that percent signs in it are never taken for
// placeholders.
QString formatLine(const QString& message, const QDateTime& time, Level level)
{
    return QStringLiteral("%1 %2 %3")
        .arg(levelTag(level))
        .arg(time.toLocalTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz")))
        .arg(message);
}
}  // namespace

LogMessage::LogMessage(const QString& message_, const QDateTime& time_, Level level_)
    : message(message_), time(time_), level(level_), formatted(formatLine(message_, time_, level_))
{
}

}  // namespace QsLogging
