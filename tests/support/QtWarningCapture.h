#pragma once
// Collects Qt's own warnings (qWarning, qCritical and the like, not the
// program's logger) while it lives, for tests that want none of them.
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

class QtWarningCapture
{
public:
    QtWarningCapture()
    {
        {
            QMutexLocker lock(&mutex());
            messages().clear();
        }
        m_previous = qInstallMessageHandler(&QtWarningCapture::handle);
    }
    ~QtWarningCapture() { qInstallMessageHandler(m_previous); }
    QtWarningCapture(const QtWarningCapture&) = delete;
    QtWarningCapture& operator=(const QtWarningCapture&) = delete;

    QStringList warnings() const
    {
        QMutexLocker lock(&mutex());
        return messages();
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (type == QtDebugMsg || type == QtInfoMsg)
            return;
        QMutexLocker lock(&mutex());
        messages().append(text);
    }
    static QMutex& mutex()
    {
        static QMutex m;
        return m;
    }
    static QStringList& messages()
    {
        static QStringList m;
        return m;
    }

    QtMessageHandler m_previous = nullptr;
};
