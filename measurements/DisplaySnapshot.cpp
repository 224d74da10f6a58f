#include "DisplaySnapshot.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "DeviceIo.h"

DisplaySnapshot readDisplaySnapshot(size_t records)
{
    DisplaySnapshot snapshot;
    const int fd = DeviceIo::open(DEVICE_DISPLAY, O_RDONLY);
    if (fd < 0) {
        snapshot.openFailed = true;
        snapshot.error = QStringLiteral("%1 could not be opened: %2")
                             .arg(QString::fromLatin1(DEVICE_DISPLAY), QString::fromLocal8Bit(std::strerror(errno)));
        return snapshot;
    }
    snapshot.records.resize(records);
    const size_t bytes = records * sizeof(DisplayRecord);
    const ssize_t got = DeviceIo::read(fd, snapshot.records.data(), bytes);
    if (got < 0) {
        const int error = errno;
        std::perror("read failed");
        snapshot.error = QStringLiteral("%1 could not be read: %2")
                             .arg(QString::fromLatin1(DEVICE_DISPLAY), QString::fromLocal8Bit(std::strerror(error)));
        snapshot.records.clear();
    } else if (size_t(got) < bytes) {
        snapshot.error = QStringLiteral("%1 returned %2 of %3 bytes")
                             .arg(QString::fromLatin1(DEVICE_DISPLAY))
                             .arg(got)
                             .arg(bytes);
        // Only whole records that arrived are kept.
        snapshot.records.resize(size_t(got) / sizeof(DisplayRecord));
    }
    DeviceIo::close(fd);
    return snapshot;
}
