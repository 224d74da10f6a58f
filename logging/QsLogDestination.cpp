#include "QsLogDestination.h"

#include "QsLogDebugOutputDestination.h"
#include "QsLogFileDestination.h"
#include "QsLogFunctorDestination.h"
#include "QsLogNullRotationStrategy.h"
#include "QsLogSizeRotationStrategy.h"

#include <QObject>

namespace QsLogging {

Destination::~Destination() = default;

DestinationPtr createFunctorDestination(QObject* receiver, const char* member)
{
    auto destination = std::make_unique<FunctorDestination>();
    QObject::connect(destination.get(), "2logMessageReady(QsLogging::LogMessage)", receiver, member,
                     Qt::QueuedConnection);
    return destination;
}

DestinationPtr createFunctorDestination(LogFunction function)
{
    return std::make_unique<FunctorDestination>(function);
}

DestinationPtr createDebugOutputDestination()
{
    return std::make_unique<DebugOutputDestination>();
}

DestinationPtr createFileDestination(const QString& filePath, int rotation, qint64 maxSizeBytes, int backupCount)
{
    RotationStrategyPtr strategy;
    if (rotation == 1) {
        auto sizeStrategy = std::make_unique<SizeRotationStrategy>();
        sizeStrategy->setMaximumBytes(maxSizeBytes);
        sizeStrategy->setBackupLimit(backupCount);
        strategy = std::move(sizeStrategy);
    } else {
        strategy = std::make_unique<NullRotationStrategy>();
    }
    return std::make_unique<FileDestination>(filePath, std::move(strategy));
}

}  // namespace QsLogging
