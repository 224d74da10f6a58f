#pragma once
#include "QsLogLevel.h"

#include <QDebug>
#include <QString>

namespace QsLogging {

// One log statement: items streamed in are joined by single spaces (one more
// follows the last); the message is built and queued when it is destroyed.
class LogStatement
{
public:
    explicit LogStatement(Level level);
    ~LogStatement();

    QDebug& stream() { return m_stream; }

private:
    Q_DISABLE_COPY(LogStatement)

    Level m_level;
    QString m_buffer;
    QDebug m_stream;
};

}  // namespace QsLogging
