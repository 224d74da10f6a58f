#include "QsLogDebugOutputDestination.h"

#include <cstdio>

namespace QsLogging {

void DebugOutputDestination::write(const LogMessage& message)
{
    const QByteArray line = message.formatted.toLocal8Bit();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

bool DebugOutputDestination::isValid()
{
    return true;
}

QString DebugOutputDestination::type() const
{
    return QStringLiteral("console");
}

}  // namespace QsLogging
