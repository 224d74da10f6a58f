#include "QsLogger.h"

#include "QsLoggerThread.h"

#include <QLatin1String>

namespace QsLogging {

Logger& Logger::instance()
{
    static Logger logger;
    return logger;
}

Logger::Logger() : m_writerThread(std::make_unique<LoggerThread>(*this)), m_level(Info)
{
    m_destinations.reserve(2);
    m_writerThread->start(QThread::LowPriority);
    qRegisterMetaType<QsLogging::LogMessage>("QsLogging::LogMessage");
}

Logger::~Logger()
{
    m_writerThread->stop();
    for (DestinationPtr& destination : m_destinations)
        destination.reset();
    m_destinations.clear();
}

void Logger::setLevel(Level level)
{
    m_level.store(level, std::memory_order_relaxed);
}

Level Logger::level() const
{
    return static_cast<Level>(m_level.load(std::memory_order_relaxed));
}

void Logger::addDestination(DestinationPtr destination)
{
    if (!destination)
        return;
    QMutexLocker lock(&m_mutex);
    m_destinations.push_back(std::move(destination));
}

bool Logger::hasDestinationType(const char* type) const
{
    const QLatin1String wanted(type ? type : "");
    QMutexLocker lock(&m_mutex);
    for (const DestinationPtr& destination : m_destinations) {
        if (destination->type() == wanted)
            return true;
    }
    return false;
}

Level Logger::levelFromLine(const QString& line, bool* ok)
{
    if (ok)
        *ok = true;
    for (Level level : {Trace, Debug, Info, Warn, Error, Fatal}) {
        if (line.startsWith(levelTag(level), Qt::CaseSensitive))
            return level;
    }
    if (ok)
        *ok = false;
    return Off;
}

void Logger::enqueueWrite(const LogMessage& message)
{
    m_writerThread->enqueue(message);
}

void Logger::write(const LogMessage& message)
{
    QMutexLocker lock(&m_mutex);
    for (const DestinationPtr& destination : m_destinations)
        destination->write(message);
}

}  // namespace QsLogging
