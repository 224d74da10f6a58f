#include "ConfigWriteReport.h"

#include <QDir>
#include <QFileInfo>

#include "ConfigSettings.h"
#include "Prompts.h"

ConfigWriteReport::ConfigWriteReport(const ConfigSettings& config)
    : m_path(QDir::toNativeSeparators(QFileInfo(config.path()).absoluteFilePath()))
{
}

bool ConfigWriteReport::note(bool written)
{
    m_failed = m_failed || !written;
    return written;
}

bool ConfigWriteReport::tell(QWidget* parent) const
{
    if (!m_failed)
        return true;
    Prompts::warning(parent, title(), text(m_path));
    return false;
}

bool ConfigWriteReport::tell(QWidget* parent, const QStringList& refused) const
{
    if (!refused.isEmpty())
        Prompts::warning(parent, QStringLiteral("Controller refused"),
                         QStringLiteral("The controller refused: %1.\nThe configuration file keeps the earlier values "
                                        "of these.")
                             .arg(refused.join(QStringLiteral(", "))));
    const bool stored = tell(parent);
    return refused.isEmpty() && stored;
}

QString ConfigWriteReport::title()
{
    return QStringLiteral("Settings not stored");
}

QString ConfigWriteReport::text(const QString& path)
{
    return QStringLiteral("The configuration file %1 could not be written.\n\n"
                          "The settings the controller took hold only until the program restarts.")
        .arg(path);
}
