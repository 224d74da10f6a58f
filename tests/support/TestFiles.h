#pragma once
// Whole files read and written by tests.
#include <QByteArray>
#include <QFile>
#include <QtTest>

namespace TestFiles {

// A file's bytes; "<absent>" for a file that cannot be read, which no test
// writes, so that a missing file never passes for an empty one.
inline QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

// Replaces the file with the bytes.
inline void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// An INI text whose `key=...` line (of the form `line` gives) is set aside as a
// comment, with `line` added at the end: the last group then holds it instead.
inline QByteArray replacingKey(QByteArray file, const QByteArray& line)
{
    const QByteArray key = line.left(line.indexOf('='));
    file.replace(QByteArray("\n") + key + "=", QByteArray("\n;") + key + "=");
    return file + line + "\n";
}

}  // namespace TestFiles
