#include "LogCollector.h"
#include "QsLogFunctorDestination.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <thread>

using namespace QsLogging;

namespace {
class Receiver : public QObject
{
    Q_OBJECT

public:
    QList<LogMessage> received;
    QList<QThread*> threads;

public slots:
    void addLogMessage(const QsLogging::LogMessage& message)
    {
        received.append(message);
        threads.append(QThread::currentThread());
    }
};

LogMessage makeMessage(int level, const char* text = "text")
{
    return LogMessage(QString::fromLatin1(text), QDateTime::currentDateTimeUtc(), static_cast<Level>(level));
}
}  // namespace

class TestFunctorDestination : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void functionGetsEverythingSignalOnlyAboveTrace_data();
    void functionGetsEverythingSignalOnlyAboveTrace();
    void kindAndValidity();
    void receiverGetsCopyOnItsOwnThread();
    void receiverIsNeverCalledSynchronously();
};

void TestFunctorDestination::init()
{
    LogCollector::clear();
}

void TestFunctorDestination::functionGetsEverythingSignalOnlyAboveTrace_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("emitted");

    QTest::newRow("trace: function only") << int(Trace) << false;
    QTest::newRow("debug: both") << int(Debug) << true;
    QTest::newRow("info: both") << int(Info) << true;
    QTest::newRow("warn: both") << int(Warn) << true;
    QTest::newRow("error: both") << int(Error) << true;
    QTest::newRow("fatal: both") << int(Fatal) << true;
    QTest::newRow("negative level: function only") << -1 << false;
}

void TestFunctorDestination::functionGetsEverythingSignalOnlyAboveTrace()
{
    QFETCH(int, level);
    QFETCH(bool, emitted);

    FunctorDestination destination(&LogCollector::record);
    QSignalSpy spy(&destination, &FunctorDestination::logMessageReady);
    const LogMessage message = makeMessage(level);
    destination.write(message);

    QCOMPARE(LogCollector::count(), 1);
    QCOMPARE(LogCollector::messages().first().formatted, message.formatted);
    QCOMPARE(spy.count(), emitted ? 1 : 0);
    if (emitted)
        QCOMPARE(spy.first().first().value<LogMessage>().formatted, message.formatted);
}

void TestFunctorDestination::kindAndValidity()
{
    DestinationPtr withFunction = createFunctorDestination(&LogCollector::record);
    Receiver receiver;
    DestinationPtr withReceiver = createFunctorDestination(&receiver, SLOT(addLogMessage(QsLogging::LogMessage)));
    QCOMPARE(withFunction->type(), QStringLiteral("functor"));
    QCOMPARE(withReceiver->type(), QStringLiteral("functor"));
    QVERIFY(withFunction->isValid());
    QVERIFY(withReceiver->isValid());

    // Without a function a receiver destination writes nothing but the signal.
    withReceiver->write(makeMessage(Trace));
    QCOMPARE(LogCollector::count(), 0);
}

void TestFunctorDestination::receiverGetsCopyOnItsOwnThread()
{
    Receiver receiver;
    DestinationPtr destination = createFunctorDestination(&receiver, SLOT(addLogMessage(QsLogging::LogMessage)));

    // As on the logger's writer thread.
    std::thread writer([&destination] {
        destination->write(makeMessage(Warn, "from the writer"));
        destination->write(makeMessage(Trace, "trace stays out"));
        destination->write(makeMessage(Error, "second"));
    });
    writer.join();

    QTRY_COMPARE(receiver.received.size(), 2);
    QCOMPARE(receiver.received.at(0).message, QStringLiteral("from the writer"));
    QCOMPARE(receiver.received.at(0).level, Warn);
    QCOMPARE(receiver.received.at(1).message, QStringLiteral("second"));
    QCOMPARE(receiver.threads.at(0), QThread::currentThread());
}

void TestFunctorDestination::receiverIsNeverCalledSynchronously()
{
    Receiver receiver;
    DestinationPtr destination = createFunctorDestination(&receiver, SLOT(addLogMessage(QsLogging::LogMessage)));
    destination->write(makeMessage(Info));
    QCOMPARE(receiver.received.size(), 0);
    QTRY_COMPARE(receiver.received.size(), 1);
}

QTEST_GUILESS_MAIN(TestFunctorDestination)
#include "tst_functordestination.moc"
