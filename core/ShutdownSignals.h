#pragma once
// Turns SIGTERM and SIGINT into a normal end of the event loop, so that the
// shutdown steps after it (function generator off, device thread stopped) run
// also when the session ends or the operator presses Ctrl+C in a terminal.
#include <QObject>

class QSocketNotifier;

class ShutdownSignals : public QObject
{
    Q_OBJECT

public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

signals:
    void shutdownRequested();

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};
