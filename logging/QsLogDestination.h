#pragma once
#include "QsLogMessage.h"

#include <QString>

#include <memory>

class QObject;

namespace QsLogging {

// Where the writer thread delivers each message. Only the writer thread calls
// write, with the logger's mutex held, so implementations need no lock.
class Destination
{
public:
    virtual ~Destination();
    virtual void write(const LogMessage& message) = 0;
    virtual bool isValid() = 0;
    // Names the kind of destination ("functor", "console", "file").
    virtual QString type() const = 0;
};

using DestinationPtr = std::unique_ptr<Destination>;

using LogFunction = void (*)(const LogMessage& message);

// Messages above Trace reach member of receiver through a queued connection;
// member is a slot signature as SLOT() gives it, e.g. "1addLogMessage(QsLogging::LogMessage)".
DestinationPtr createFunctorDestination(QObject* receiver, const char* member);
// Every message, Trace included, is passed to function on the writer thread.
DestinationPtr createFunctorDestination(LogFunction function);

// Each formatted line to standard error.
DestinationPtr createDebugOutputDestination();

// Each formatted line appended to filePath. rotation 1 rotates by size into
// filePath.1 .. filePath.N (N = backupCount, at most 10) once more than
// maxSizeBytes were counted; any other value empties the file at start and
// never rotates.
DestinationPtr createFileDestination(const QString& filePath, int rotation, qint64 maxSizeBytes, int backupCount);

}  // namespace QsLogging
