#include "LogCollector.h"
#include "QsLog.h"
#include "QsLoggerThread.h"

#include <QSemaphore>
#include <QTest>

#include <thread>

using namespace QsLogging;

namespace {
// Holds the writer inside its pass over the destinations while it writes
// "gate"; keeps the text of everything it was given.
class GateDestination : public Destination
{
public:
    QSemaphore entered;
    QSemaphore release;

    void write(const LogMessage& message) override
    {
        if (message.message == QLatin1String("gate")) {
            entered.release();
            release.acquire();
        }
        QMutexLocker lock(&m_mutex);
        m_seen.append(message.message);
    }

    QStringList seen()
    {
        QMutexLocker lock(&m_mutex);
        return m_seen;
    }

    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_seen.clear();
    }

    bool isValid() override { return true; }
    QString type() const override { return QStringLiteral("gate"); }

private:
    QMutex m_mutex;
    QStringList m_seen;
};

LogMessage makeMessage(const char* text)
{
    return LogMessage(QString::fromLatin1(text), QDateTime::currentDateTimeUtc(), Info);
}
}  // namespace

class TestLoggerThread : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void destinationAddedLateGetsQueuedMessages();
    void stopDropsMessagesStillQueued();

private:
    GateDestination* m_gate = nullptr;
};

void TestLoggerThread::initTestCase()
{
    auto gate = std::make_unique<GateDestination>();
    m_gate = gate.get();
    Logger::instance().addDestination(std::move(gate));
}

void TestLoggerThread::init()
{
    LogCollector::clear();
    m_gate->clear();
}

void TestLoggerThread::destinationAddedLateGetsQueuedMessages()
{
    LoggerThread writer(Logger::instance());
    writer.enqueue(makeMessage("first"));
    writer.enqueue(makeMessage("second"));

    // Destinations are looked up when a message is written, not when it is queued.
    Logger::instance().addDestination(createFunctorDestination(&LogCollector::record));
    writer.start();

    QTRY_COMPARE(LogCollector::texts(), QStringList({QStringLiteral("first"), QStringLiteral("second")}));
    writer.stop();
    QVERIFY(writer.isFinished());
}

void TestLoggerThread::stopDropsMessagesStillQueued()
{
    LoggerThread writer(Logger::instance());
    writer.start();
    writer.enqueue(makeMessage("gate"));
    QVERIFY(m_gate->entered.tryAcquire(1, 10000));

    writer.enqueue(makeMessage("queued 1"));
    writer.enqueue(makeMessage("queued 2"));

    std::thread stopper([&writer] { writer.stop(); });
    QTRY_VERIFY(writer.isInterruptionRequested());
    m_gate->release.release();
    stopper.join();

    QVERIFY(writer.isFinished());
    QCOMPARE(m_gate->seen(), QStringList({QStringLiteral("gate")}));
}

QTEST_GUILESS_MAIN(TestLoggerThread)
#include "tst_loggerthread.moc"
