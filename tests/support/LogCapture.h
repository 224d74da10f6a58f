#pragma once
// Collects what the logger writes, for tests that check log lines. The logger
// writes on its own thread, so readers wait with QTRY_*.
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

#include "QsLog.h"

class LogCapture
{
public:
    // Installs the capturing destination once per process.
    static void install()
    {
        static bool installed = false;
        if (!installed) {
            QsLogging::Logger::instance().addDestination(QsLogging::createFunctorDestination(&LogCapture::collect));
            installed = true;
        }
        clear();
    }

    static void clear()
    {
        QMutexLocker lock(&mutex());
        lines().clear();
        messages().clear();
    }

    static QStringList formattedLines()
    {
        QMutexLocker lock(&mutex());
        return lines();
    }

    // The message texts of the lines at the given level.
    static QStringList messagesAt(QsLogging::Level level)
    {
        QMutexLocker lock(&mutex());
        QStringList out;
        for (const auto& m : messages())
            if (m.first == level)
                out << m.second;
        return out;
    }

private:
    static void collect(const QsLogging::LogMessage& message)
    {
        QMutexLocker lock(&mutex());
        lines() << message.formatted;
        messages().append({QsLogging::Level(message.level), message.message});
    }
    static QMutex& mutex()
    {
        static QMutex m;
        return m;
    }
    static QStringList& lines()
    {
        static QStringList l;
        return l;
    }
    static QList<QPair<QsLogging::Level, QString>>& messages()
    {
        static QList<QPair<QsLogging::Level, QString>> m;
        return m;
    }
};
