#include "QsLoggerThread.h"

#include "QsLogger.h"

namespace QsLogging {

LoggerThread::LoggerThread(Logger& logger) : m_logger(logger) {}

LoggerThread::~LoggerThread() = default;

void LoggerThread::enqueue(const LogMessage& message)
{
    QMutexLocker lock(&m_queueMutex);
    m_queue.push_back(message);
    m_queueCondition.wakeOne();
}

void LoggerThread::stop()
{
    if (isFinished())
        return;
    {
        QMutexLocker lock(&m_queueMutex);
        requestInterruption();
        m_queueCondition.wakeOne();
    }
    wait();
}

void LoggerThread::run()
{
    for (;;) {
        QMutexLocker lock(&m_queueMutex);
        // A loop, not a single wait: a spurious wake-up must not reach an empty queue.
        while (m_queue.empty() && !isInterruptionRequested())
            m_queueCondition.wait(&m_queueMutex);
        if (isInterruptionRequested())
            return;
        const LogMessage message = m_queue.front();
        m_queue.pop_front();
        // Never hold the queue mutex while writing: statements must not wait for destinations.
        lock.unlock();
        m_logger.write(message);
    }
}

}  // namespace QsLogging
