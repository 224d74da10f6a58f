#pragma once
#include "QsLogMessage.h"

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <deque>

namespace QsLogging {

class Logger;

// Drains the message queue into the logger's destinations, first in, first out.
class LoggerThread : public QThread
{
    Q_OBJECT

public:
    explicit LoggerThread(Logger& logger);
    ~LoggerThread() override;

    // Any thread: queue a copy of message for writing.
    void enqueue(const LogMessage& message);
    // Ends the writer loop and waits for it; messages still queued are dropped.
    void stop();

protected:
    void run() override;

private:
    Logger& m_logger;
    QMutex m_queueMutex;
    QWaitCondition m_queueCondition;
    std::deque<LogMessage> m_queue;
};

}  // namespace QsLogging
