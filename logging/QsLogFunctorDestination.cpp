#include "QsLogFunctorDestination.h"

namespace QsLogging {

FunctorDestination::FunctorDestination(LogFunction function) : m_function(function) {}

void FunctorDestination::write(const LogMessage& message)
{
    if (m_function)
        m_function(message);
    // Trace lines are for the function only; the log window never shows them.
    if (message.level > Trace)
        emit logMessageReady(message);
}

bool FunctorDestination::isValid()
{
    return true;
}

QString FunctorDestination::type() const
{
    return QStringLiteral("functor");
}

}  // namespace QsLogging
