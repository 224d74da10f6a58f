#pragma once
// The lines that open every measurement file the program writes (saved display
// data and raster scans): who wrote it, on which machine, and when.
#include <QDateTime>
#include <QString>

#include <functional>

// When and where a file is written. Windows take it from a source they are given,
// so that a test can fix the time and host and compare a file byte for byte.
struct FileStamp
{
    QDateTime time;
    QString hostName;

    // The local time now and this machine's host name.
    static FileStamp now();
};

using FileStampSource = std::function<FileStamp()>;

// Lines 1 to 5 of a measurement file, each ended by "\r\n".
QString measurementFileHeader(const FileStamp& stamp);

// The proposed file name: prefix, the time as yyyy-MM-dd_hh-mm-ss, ".csv".
QString measurementFileName(const QString& prefix, const QDateTime& time);
