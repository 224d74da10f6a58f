#include "QsLogFileDestination.h"

#include <cstdio>

namespace QsLogging {

namespace {
void reportToStderr(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}
}  // namespace

FileDestination::FileDestination(const QString& filePath, RotationStrategyPtr strategy)
    : m_rotationStrategy(std::move(strategy))
{
    m_file.setFileName(filePath);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Text | m_rotationStrategy->openModeFlag()))
        reportToStderr(QStringLiteral("QsLog: could not open log file ") + filePath);
    m_outputStream.setDevice(&m_file);
    m_rotationStrategy->takeFileInfo(m_file);
}

FileDestination::~FileDestination() = default;

void FileDestination::write(const LogMessage& message)
{
    const QByteArray utf8Message = message.formatted.toUtf8();
    m_rotationStrategy->countBytes(utf8Message);

    if (m_rotationStrategy->shouldRotate()) {
        m_outputStream.setDevice(nullptr);
        m_file.close();
        m_rotationStrategy->rotate();
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Text | m_rotationStrategy->openModeFlag()))
            reportToStderr(QStringLiteral("QsLog: could not reopen log file ") + m_file.fileName());
        m_rotationStrategy->takeFileInfo(m_file);
        m_outputStream.setDevice(&m_file);
    }

    // A file that did not open swallows the line (rather than have Qt warn
    // about a closed device on every message).
    if (!m_file.isOpen())
        return;
    m_outputStream << utf8Message << '\n';
    m_outputStream.flush();
}

bool FileDestination::isValid()
{
    return m_file.isOpen();
}

QString FileDestination::type() const
{
    return QStringLiteral("file");
}

}  // namespace QsLogging
