#pragma once
// Writes a measurement file in one go and says whether every byte arrived. A
// failed write never leaves a damaged file behind: a replaced file keeps its old
// contents, an appended one its old length, and a new one is removed.
#include <QByteArray>
#include <QString>

struct FileWriteResult
{
    bool ok = false;
    QString error;  // the system's reason when not ok
};

// Replaces the file's contents; the old file stays untouched until the new one is complete.
FileWriteResult replaceFile(const QString& path, const QByteArray& bytes);

// Appends to the file, creating it when it does not exist.
FileWriteResult appendToFile(const QString& path, const QByteArray& bytes);
