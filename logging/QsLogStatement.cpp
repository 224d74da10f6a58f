#include "QsLogStatement.h"

#include "QsLogMessage.h"
#include "QsLogger.h"

#include <QDateTime>

namespace QsLogging {

// QDebug in space mode writes a space after every item; noquote keeps text as it is.
LogStatement::LogStatement(Level level) : m_level(level), m_stream(&m_buffer)
{
    m_stream.noquote();
}

LogStatement::~LogStatement()
{
    const LogMessage message(m_buffer, QDateTime::currentDateTimeUtc(), m_level);
    Logger::instance().enqueueWrite(message);
}

}  // namespace QsLogging
