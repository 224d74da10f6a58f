#include "MeasurementFileWriter.h"

#include <QFile>
#include <QSaveFile>

FileWriteResult replaceFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    // Unbuffered: a write that fails only when the buffer is flushed at commit would
    // go unnoticed, and the cut file would replace the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered))
        return {false, file.errorString()};
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {false, reason};
    }
    if (!file.commit())
        return {false, file.errorString()};
    return {true, QString()};
}

FileWriteResult appendToFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    const bool existed = file.exists();
    // Unbuffered, so that a failed write is seen here and not at some later flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text | QIODevice::Unbuffered))
        return {false, file.errorString()};
    const qint64 oldSize = file.size();
    const bool written = file.write(bytes) == bytes.size();
    const QString reason = file.errorString();
    file.close();
    if (written && file.error() == QFileDevice::NoError)
        return {true, QString()};
    // Take back what was appended, so the file holds no half block.
    if (existed)
        QFile::resize(path, oldSize);
    else
        QFile::remove(path);
    return {false, reason};
}
