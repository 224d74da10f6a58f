#include "MeasurementFileHeader.h"

#include <QHostInfo>

FileStamp FileStamp::now()
{
    return {QDateTime::currentDateTime(), QHostInfo::localHostName()};
}

QString measurementFileHeader(const FileStamp& stamp)
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("Tarquel Instruments VORN") + crlf + QStringLiteral("VORN") + crlf + crlf +
           QStringLiteral("Time and Date: ") + stamp.time.toString(QStringLiteral("hh:mm:ss dd.MM.yyyy")) + crlf +
           QStringLiteral("Host Name: ") + stamp.hostName + crlf;
}

QString measurementFileName(const QString& prefix, const QDateTime& time)
{
    return prefix + time.toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss")) + QStringLiteral(".csv");
}
