#pragma once
#include "QsLogRotationStrategy.h"

namespace QsLogging {

// Never rotates; the file is emptied when it is opened.
class NullRotationStrategy : public RotationStrategy
{
public:
    void takeFileInfo(const QFile& file) override;
    void countMessage(const QString& message) override;
    void countBytes(const QByteArray& bytes) override;
    bool shouldRotate() override;
    void rotate() override;
    QIODevice::OpenModeFlag openModeFlag() override;
};

}  // namespace QsLogging
