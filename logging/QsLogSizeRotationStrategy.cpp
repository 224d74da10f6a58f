#include "QsLogSizeRotationStrategy.h"

#include <QFile>

#include <algorithm>
#include <cstdio>

namespace QsLogging {

namespace {
void reportToStderr(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}
}  // namespace

void SizeRotationStrategy::takeFileInfo(const QFile& file)
{
    m_fileName = file.fileName();
    m_currentSizeInBytes = file.size();
}

void SizeRotationStrategy::takeFileInfo(const QString& fileName, int fileSize)
{
    m_fileName = fileName;
    m_currentSizeInBytes = fileSize;
}

void SizeRotationStrategy::countMessage(const QString& message)
{
    countBytes(message.toUtf8());
}

void SizeRotationStrategy::countBytes(const QByteArray& bytes)
{
    m_currentSizeInBytes += bytes.size();
}

bool SizeRotationStrategy::shouldRotate()
{
    return m_currentSizeInBytes > m_maxSizeInBytes;
}

void SizeRotationStrategy::rotate()
{
    if (m_backupsCount == 0) {
        if (!removeFile(m_fileName))
            reportToStderr(QStringLiteral("QsLog: backup delete failed ") + m_fileName);
        return;
    }

    const QString backupPattern = m_fileName + QStringLiteral(".%1");

    // Only the unbroken run P.1, P.2, ... is shifted; the last slot is dropped.
    int lastToMove = 0;
    for (int n = 1; n <= m_backupsCount; ++n) {
        if (!fileExists(backupPattern.arg(n)))
            break;
        lastToMove = std::min(n, m_backupsCount - 1);
    }

    for (int n = lastToMove; n >= 1; --n) {
        const QString from = backupPattern.arg(n);
        const QString to = backupPattern.arg(n + 1);
        removeFile(to);
        if (!renameFile(from, to))
            reportToStderr(QStringLiteral("QsLog: could not rename backup ") + from + QStringLiteral(" to ") + to);
    }

    const QString newest = backupPattern.arg(1);
    if (fileExists(newest))
        removeFile(newest);
    if (!renameFile(m_fileName, newest))
        reportToStderr(QStringLiteral("QsLog: could not rename log ") + m_fileName + QStringLiteral(" to ") + newest);
}

QIODevice::OpenModeFlag SizeRotationStrategy::openModeFlag()
{
    return QIODevice::Append;
}

bool SizeRotationStrategy::removeFile(const QString& path)
{
    return QFile::remove(path);
}

bool SizeRotationStrategy::fileExists(const QString& path)
{
    return QFile::exists(path);
}

bool SizeRotationStrategy::renameFile(const QString& from, const QString& to)
{
    return QFile::rename(from, to);
}

void SizeRotationStrategy::setMaximumBytes(qint64 size)
{
    m_maxSizeInBytes = size;
}

void SizeRotationStrategy::setBackupLimit(int backups)
{
    m_backupsCount = std::min(backups, MaxBackupCount);
}

}  // namespace QsLogging
