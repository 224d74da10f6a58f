#pragma once
// Redirects file descriptor 2 into a temporary file for the lifetime of the
// object; text() gives what was written meanwhile.
#include <QByteArray>
#include <QFile>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

class StderrCapture
{
public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_savedFd = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }

    ~StderrCapture() { restore(); }

    QByteArray text()
    {
        restore();
        QFile reader(m_file.fileName());
        reader.open(QIODevice::ReadOnly);
        return reader.readAll();
    }

private:
    void restore()
    {
        if (m_savedFd < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_savedFd, STDERR_FILENO);
        ::close(m_savedFd);
        m_savedFd = -1;
    }

    QTemporaryFile m_file;
    int m_savedFd = -1;
};
