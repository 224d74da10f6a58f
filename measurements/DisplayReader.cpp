#include "DisplayReader.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "DeviceIo.h"

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

DisplayReader::DisplayReader()
    : m_fd(DeviceIo::open(DEVICE_DISPLAY, O_RDONLY))
{
    if (m_fd < 0)
        m_openError = QStringLiteral("%1 could not be opened: %2")
                          .arg(QString::fromLatin1(DEVICE_DISPLAY), systemReason(errno));
}

DisplayReader::~DisplayReader()
{
    if (m_fd >= 0)
        DeviceIo::close(m_fd);
}

size_t DisplayReader::read(DisplayRecord* into, size_t count, QString& error)
{
    error.clear();
    if (m_fd < 0) {
        error = m_openError;
        return 0;
    }
    const size_t bytes = count * sizeof(DisplayRecord);
    const ssize_t got = DeviceIo::read(m_fd, into, bytes);
    if (got < 0) {
        const int reason = errno;
        std::perror("read failed");
        error = QStringLiteral("%1 could not be read: %2")
                    .arg(QString::fromLatin1(DEVICE_DISPLAY), systemReason(reason));
        return 0;
    }
    if (size_t(got) < bytes)
        error = QStringLiteral("%1 returned %2 of %3 bytes")
                    .arg(QString::fromLatin1(DEVICE_DISPLAY))
                    .arg(got)
                    .arg(bytes);
    // Only whole records count.
    return size_t(got) / sizeof(DisplayRecord);
}
