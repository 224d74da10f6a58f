#pragma once
#include "QsLogDestination.h"
#include "QsLogLevel.h"
#include "QsLogMessage.h"

#include <QMutex>

#include <atomic>
#include <memory>
#include <vector>

namespace QsLogging {

class LoggerThread;

// The process-wide logger: statements on any thread queue messages, its own
// low-priority thread writes them to every destination in the order added.
class Logger
{
public:
    // Created on first call; destroyed at process exit, dropping what is still queued.
    static Logger& instance();

    void setLevel(Level level);
    Level level() const;

    // Takes ownership; destination is left empty.
    void addDestination(DestinationPtr destination);
    // Whether a destination's type() is exactly type; a null type reads as "".
    bool hasDestinationType(const char* type) const;

    // The level whose tag starts line, or Off (and *ok false) when none does.
    static Level levelFromLine(const QString& line, bool* ok = nullptr);

    // Writer thread only: message to every destination, in order.
    void write(const LogMessage& message);

private:
    friend class LogStatement;

    Logger();
    ~Logger();
    Q_DISABLE_COPY(Logger)

    // Called at the end of each statement, on the statement's thread.
    void enqueueWrite(const LogMessage& message);

    // Declared first so that it is built first and destroyed last.
    std::unique_ptr<LoggerThread> m_writerThread;
    mutable QMutex m_mutex;
    // Read by statements on every thread without a lock.
    std::atomic<int> m_level;
    std::vector<DestinationPtr> m_destinations;
};

}  // namespace QsLogging
