#include "ConfigReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <cmath>

#include "QsLog.h"

namespace {

QString rawText(const QVariant& raw)
{
    // A value with a comma reads as a list.
    if (raw.typeId() == QMetaType::QStringList)
        return raw.toStringList().join(QLatin1Char(','));
    return raw.toString();
}

}  // namespace

ConfigReader::ConfigReader(const QString& path, QStringList* unread)
    : m_settings(path, QSettings::IniFormat)
    , m_path(path)
    , m_unread(unread)
{
    QFile file(path);
    m_unreadable = file.exists() && !file.open(QIODevice::ReadOnly);
}

ConfigReader::~ConfigReader()
{
    if (m_unreadable && !m_unreadKeys.isEmpty())
        QLOG_WARN() << QStringLiteral("Configuration keys %1 read as missing: the file %2 cannot be read")
                           .arg(m_unreadKeys.join(QStringLiteral(", ")),
                                QDir::toNativeSeparators(QFileInfo(m_path).absoluteFilePath()));
}

QString ConfigReader::fullKey(const QString& key) const
{
    const QString prefix = m_settings.group();
    return prefix.isEmpty() ? key : prefix + QLatin1Char('/') + key;
}

void ConfigReader::list(const QString& name)
{
    if (m_unread && !m_unread->contains(name))
        m_unread->append(name);
}

void ConfigReader::warn(const QString& key, const QString& text, const QString& wanted) const
{
    QLOG_WARN() << QStringLiteral("Configuration key %1 holds \"%2\", not %3; it reads as missing")
                       .arg(fullKey(key), text, wanted);
}

QString ConfigReader::text(const QString& key, bool listed, Found* found)
{
    if (m_unreadable) {
        m_unreadKeys << fullKey(key);
        if (listed)
            list(key.section(QLatin1Char('/'), -1));
        *found = Found::Unusable;
        return QString();
    }
    const QVariant raw = m_settings.value(key);
    if (!raw.isValid()) {
        *found = Found::Absent;
        return QString();
    }
    *found = Found::Usable;
    return rawText(raw).trimmed();
}

ConfigReader::Found ConfigReader::read(const QString& key, double* value, bool listed)
{
    Found found = Found::Absent;
    const QString stored = text(key, listed, &found);
    if (found != Found::Usable)
        return found;
    bool ok = false;
    const double number = stored.toDouble(&ok);
    if (ok && std::isfinite(number)) {
        *value = number;
        return Found::Usable;
    }
    warn(key, stored, QStringLiteral("a finite number"));
    if (listed)
        list(key.section(QLatin1Char('/'), -1));
    return Found::Unusable;
}

ConfigReader::Found ConfigReader::readWhole(const QString& key, int* value, bool listed)
{
    Found found = Found::Absent;
    const QString stored = text(key, listed, &found);
    if (found != Found::Usable)
        return found;
    bool ok = false;
    // "7.0" is 7; "1.5" is no channel and no orientation.
    const double number = stored.toDouble(&ok);
    if (ok && std::isfinite(number) && std::trunc(number) == number && number >= double(INT_MIN)
        && number <= double(INT_MAX)) {
        *value = int(number);
        return Found::Usable;
    }
    warn(key, stored, QStringLiteral("a whole number"));
    if (listed)
        list(key.section(QLatin1Char('/'), -1));
    return Found::Unusable;
}

double ConfigReader::number(const QString& key, double fallback)
{
    double value = fallback;
    return read(key, &value) == Found::Usable ? value : fallback;
}

int ConfigReader::integer(const QString& key, int fallback)
{
    int value = fallback;
    return readWhole(key, &value) == Found::Usable ? value : fallback;
}
