#pragma once
#include "QsLogRotationStrategy.h"

namespace QsLogging {

// Appends to the file and, once more bytes than the maximum were counted,
// shifts the numbered backups (P.1 newest) and moves the file to P.1.
class SizeRotationStrategy : public RotationStrategy
{
public:
    static constexpr int MaxBackupCount = 10;

    void takeFileInfo(const QFile& file) override;
    void countMessage(const QString& message) override;
    void countBytes(const QByteArray& bytes) override;
    bool shouldRotate() override;
    void rotate() override;
    QIODevice::OpenModeFlag openModeFlag() override;

    // File system calls, virtual so that rotation can be followed without disk.
    virtual bool removeFile(const QString& path);
    virtual bool fileExists(const QString& path);
    virtual bool renameFile(const QString& from, const QString& to);

    void takeFileInfo(const QString& fileName, int fileSize);
    void setMaximumBytes(qint64 size);
    // Counts above MaxBackupCount are cut down to it.
    void setBackupLimit(int backups);

private:
    QString m_fileName;
    qint64 m_currentSizeInBytes = 0;
    qint64 m_maxSizeInBytes = 0;
    int m_backupsCount = 0;
};

}  // namespace QsLogging
