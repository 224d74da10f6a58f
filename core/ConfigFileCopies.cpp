#include "ConfigFileCopies.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSettings>
#include <QTemporaryFile>

#include "QsLog.h"

namespace ConfigFileCopies {

namespace {

// The content of each file this process last found safe to rewrite, or has
// copied away, by path: the checks run again only when the file changed.
QMutex& checkedMutex()
{
    static QMutex mutex;
    return mutex;
}

QHash<QString, QByteArray>& checkedContent()
{
    static QHash<QString, QByteArray> content;
    return content;
}

QByteArray digestOf(const QByteArray& content)
{
    return QCryptographicHash::hash(content, QCryptographicHash::Sha256);
}

// An earlier copy beside the file that holds exactly this content.
QString existingCopy(const QString& path, const char* marker, const QByteArray& content)
{
    const QFileInfo info(path);
    const QDir dir = info.absoluteDir();
    const QStringList names =
        dir.entryList({info.fileName() + QLatin1String(marker) + QLatin1Char('*')}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QFile copy(dir.filePath(name));
        if (copy.size() == content.size() && copy.open(QIODevice::ReadOnly) && copy.readAll() == content)
            return copy.fileName();
    }
    return QString();
}

// Writes a file that did not exist before; never replaces an earlier copy.
QString writeNewCopy(const QString& path, const char* marker, const QByteArray& data)
{
    const QString base =
        path + QLatin1String(marker) + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    for (int attempt = 1; attempt < 1000; ++attempt) {
        const QString name = attempt == 1 ? base : base + QLatin1Char('-') + QString::number(attempt);
        QFile copy(name);
        if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (copy.exists())
                continue;
            return QString();
        }
        if (copy.write(data) != data.size() || !copy.flush()) {
            copy.close();
            copy.remove();
            return QString();
        }
        copy.close();
        return name;
    }
    return QString();
}

}  // namespace

// QSettings parses a file once and serves every later object from its cache,
// without the error; a private copy of the bytes gives a status of its own.
bool isUnparsable(const QByteArray& content)
{
    QTemporaryFile probe(QDir::tempPath() + QStringLiteral("/vorn-config-check-XXXXXX.ini"));
    // Unchecked is treated as unparsable: one copy too many is cheap.
    if (!probe.open() || probe.write(content) != content.size() || !probe.flush())
        return true;
    QSettings settings(probe.fileName(), QSettings::IniFormat);
    // Sections are parsed on first use: listing every key parses them all.
    settings.allKeys();
    return settings.status() == QSettings::FormatError;
}

bool holdsComments(const QByteArray& content)
{
    for (const QByteArray& rawLine : content.split('\n')) {
        // QSettings takes "#" for part of a key, or for a line it cannot parse.
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith(';'))
            return true;
        // QSettings ends a value at a ";" outside quotes and drops the rest.
        bool quoted = false;
        for (char c : line) {
            if (c == '"')
                quoted = !quoted;
            else if (c == ';' && !quoted)
                return true;
        }
    }
    return false;
}

bool beforeRewrite(const QString& path)
{
    // A missing or unreadable file has nothing to lose; QSettings leaves an
    // unreadable one alone.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QByteArray content = file.readAll();
    file.close();
    const QByteArray digest = digestOf(content);

    QMutexLocker lock(&checkedMutex());
    if (checkedContent().value(absolute) == digest)
        return true;
    const bool unparsable = isUnparsable(content);
    if (!unparsable && !holdsComments(content)) {
        checkedContent().insert(absolute, digest);
        return true;
    }

    const char* marker = unparsable ? UNPARSABLE : COMMENTED;
    const QString shownPath = QDir::toNativeSeparators(absolute);
    const QString earlier = existingCopy(absolute, marker, content);
    if (!earlier.isEmpty()) {
        checkedContent().insert(absolute, digest);
        QLOG_INFO() << "Configuration file" << shownPath << "is rewritten; a copy of it as it was is kept in"
                    << QDir::toNativeSeparators(earlier);
        return true;
    }
    const QString copy = writeNewCopy(absolute, marker, content);
    if (copy.isEmpty()) {
        // Comments are worth a copy but not a lost setting.
        if (!unparsable) {
            checkedContent().insert(absolute, digest);
            QLOG_WARN() << "Configuration file" << shownPath
                        << "holds comments, which saving drops, and no copy of it could be made";
            return true;
        }
        QLOG_ERROR() << "Configuration file" << shownPath
                     << "has lines that cannot be parsed and no copy of it could be made; the change is not written";
        return false;
    }
    checkedContent().insert(absolute, digest);
    if (unparsable)
        QLOG_WARN() << "Configuration file" << shownPath << "has lines that cannot be parsed; kept a copy in"
                    << QDir::toNativeSeparators(copy);
    else
        QLOG_INFO() << "Configuration file" << shownPath
                    << "holds comments, which saving drops; kept a copy with them in" << QDir::toNativeSeparators(copy);
    return true;
}

void rewritten(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray digest = digestOf(file.readAll());
    QMutexLocker lock(&checkedMutex());
    checkedContent().insert(QFileInfo(path).absoluteFilePath(), digest);
}

}  // namespace ConfigFileCopies
