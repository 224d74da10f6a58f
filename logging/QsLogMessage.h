#pragma once
#include "QsLogLevel.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>

namespace QsLogging {

// One log record. Copyable, so that it can travel through queued connections.
struct LogMessage
{
    LogMessage() = default;
    // time is kept as given (UTC); the formatted line shows it in local time.
    LogMessage(const QString& message, const QDateTime& time, Level level);

    QString message;
    QDateTime time;
    Level level = Info;
    QString formatted;
};

}  // namespace QsLogging

Q_DECLARE_METATYPE(QsLogging::LogMessage)
