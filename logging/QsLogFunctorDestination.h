#pragma once
#include "QsLogDestination.h"

#include <QObject>

namespace QsLogging {

// Hands each message to a plain function and, above Trace, emits it for the
// log window. The signal is emitted on the writer thread.
class FunctorDestination : public QObject, public Destination
{
    Q_OBJECT

public:
    explicit FunctorDestination(LogFunction function = nullptr);

    void write(const LogMessage& message) override;
    bool isValid() override;
    QString type() const override;

signals:
    void logMessageReady(const QsLogging::LogMessage& message);

private:
    LogFunction m_function;
};

}  // namespace QsLogging
