#pragma once
#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>

class QFile;

namespace QsLogging {

// Decides how a file destination opens its file, and when and how it moves
// the file aside.
class RotationStrategy
{
public:
    virtual ~RotationStrategy();
    // Called after every open, with the file's name and size.
    virtual void takeFileInfo(const QFile& file) = 0;
    virtual void countMessage(const QString& message) = 0;
    virtual void countBytes(const QByteArray& bytes) = 0;
    virtual bool shouldRotate() = 0;
    // Runs while the file is closed.
    virtual void rotate() = 0;
    virtual QIODevice::OpenModeFlag openModeFlag() = 0;
};

using RotationStrategyPtr = std::unique_ptr<RotationStrategy>;

}  // namespace QsLogging
