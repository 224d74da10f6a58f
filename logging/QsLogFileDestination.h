#pragma once
#include "QsLogDestination.h"
#include "QsLogRotationStrategy.h"

#include <QFile>
#include <QTextStream>

namespace QsLogging {

// Appends each formatted line to a text file, rotating it as the strategy says.
class FileDestination : public Destination
{
public:
    FileDestination(const QString& filePath, RotationStrategyPtr strategy);
    ~FileDestination() override;

    void write(const LogMessage& message) override;
    bool isValid() override;
    QString type() const override;

private:
    Q_DISABLE_COPY(FileDestination)

    // Destroyed in reverse: strategy, stream, then the file (which closes it).
    QFile m_file;
    QTextStream m_outputStream;
    RotationStrategyPtr m_rotationStrategy;
};

}  // namespace QsLogging
