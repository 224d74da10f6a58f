#include "QsLogNullRotationStrategy.h"

namespace QsLogging {

void NullRotationStrategy::takeFileInfo(const QFile&) {}

void NullRotationStrategy::countMessage(const QString&) {}

void NullRotationStrategy::countBytes(const QByteArray&) {}

bool NullRotationStrategy::shouldRotate()
{
    return false;
}

void NullRotationStrategy::rotate() {}

QIODevice::OpenModeFlag NullRotationStrategy::openModeFlag()
{
    return QIODevice::Truncate;
}

}  // namespace QsLogging
