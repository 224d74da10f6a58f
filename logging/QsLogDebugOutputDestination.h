#pragma once
#include "QsLogDestination.h"

namespace QsLogging {

// Writes each formatted line to standard error.
class DebugOutputDestination : public Destination
{
public:
    void write(const LogMessage& message) override;
    bool isValid() override;
    QString type() const override;
};

}  // namespace QsLogging
