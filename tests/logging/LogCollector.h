#pragma once
// A function-pointer destination that keeps what the writer thread hands it.
// The writer thread fills it while the test thread reads it, hence the mutex.
#include "QsLog.h"

#include <QList>
#include <QMutex>
#include <QStringList>

class LogCollector
{
public:
    static void record(const QsLogging::LogMessage& message)
    {
        QMutexLocker lock(&state().mutex);
        state().messages.append(message);
    }

    static QList<QsLogging::LogMessage> messages()
    {
        QMutexLocker lock(&state().mutex);
        return state().messages;
    }

    static QStringList texts()
    {
        QStringList result;
        for (const QsLogging::LogMessage& message : messages())
            result.append(message.message);
        return result;
    }

    static int count()
    {
        QMutexLocker lock(&state().mutex);
        return state().messages.size();
    }

    static void clear()
    {
        QMutexLocker lock(&state().mutex);
        state().messages.clear();
    }

private:
    struct State
    {
        QMutex mutex;
        QList<QsLogging::LogMessage> messages;
    };

    static State& state()
    {
        static State s;
        return s;
    }
};
