#include "LogCollector.h"
#include "QsLog.h"

#include <QMetaType>
#include <QMutex>
#include <QTest>
#include <QThread>

#include <memory>

using namespace QsLogging;

namespace {
// Stands in for the log window: the slot the start-up connects.
class Receiver : public QObject
{
    Q_OBJECT

public:
    QStringList texts;
    QList<QThread*> threads;

public slots:
    void addLogMessage(const QsLogging::LogMessage& message)
    {
        texts.append(message.message);
        threads.append(QThread::currentThread());
    }
};

// Records into one shared sequence so that the order across destinations shows.
QMutex orderMutex;
QStringList orderSeen;

class ProbeDestination : public Destination
{
public:
    ProbeDestination(QString name, QString type, bool valid) : m_name(std::move(name)), m_type(std::move(type)), m_valid(valid) {}

    void write(const LogMessage& message) override
    {
        QMutexLocker lock(&orderMutex);
        orderSeen.append(m_name + QLatin1Char(':') + message.message);
    }
    bool isValid() override { return m_valid; }
    QString type() const override { return m_type; }

private:
    QString m_name;
    QString m_type;
    bool m_valid;
};

int orderSeenSize()
{
    QMutexLocker lock(&orderMutex);
    return int(orderSeen.size());
}

QStringList takeOrderSeen()
{
    QMutexLocker lock(&orderMutex);
    QStringList seen = orderSeen;
    orderSeen.clear();
    return seen;
}
}  // namespace

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void startsAtInfoWithNoDestination();
    void registersMessageMetaType();
    void traceReachesFunctionButNeverTheSignal();
    void debugReachesSignalAtTraceLevel();
    void writesEveryDestinationInOrderEvenInvalidOnes();
    void keepsEachThreadsOrder();
    void addDestinationEmptiesHandle();
    void hasDestinationType_data();
    void hasDestinationType();
    void levelFromLine_data();
    void levelFromLine();

private:
    Level m_levelAtCreation = Off;
    bool m_hadFunctorAtCreation = true;
    bool m_hadNullTypeAtCreation = true;
    Receiver m_receiver;
};

void TestLogger::initTestCase()
{
    Logger& logger = Logger::instance();
    m_levelAtCreation = logger.level();
    m_hadFunctorAtCreation = logger.hasDestinationType("functor");
    m_hadNullTypeAtCreation = logger.hasDestinationType(nullptr);

    logger.addDestination(createFunctorDestination(&LogCollector::record));
    logger.addDestination(createFunctorDestination(&m_receiver, SLOT(addLogMessage(QsLogging::LogMessage))));
    logger.addDestination(std::make_unique<ProbeDestination>(QStringLiteral("first"), QStringLiteral("probe"), true));
    logger.addDestination(std::make_unique<ProbeDestination>(QStringLiteral("second"), QString(), false));
}

void TestLogger::init()
{
    Logger::instance().setLevel(Info);
    LogCollector::clear();
    m_receiver.texts.clear();
    m_receiver.threads.clear();
    takeOrderSeen();
}

void TestLogger::startsAtInfoWithNoDestination()
{
    QCOMPARE(m_levelAtCreation, Info);
    QVERIFY(!m_hadFunctorAtCreation);
    QVERIFY(!m_hadNullTypeAtCreation);
}

void TestLogger::registersMessageMetaType()
{
    const QMetaType type = QMetaType::fromName("QsLogging::LogMessage");
    QVERIFY(type.isValid());
    QCOMPARE(type, QMetaType::fromType<LogMessage>());
}

void TestLogger::traceReachesFunctionButNeverTheSignal()
{
    Logger::instance().setLevel(Trace);
    QLOG_TRACE() << "trace line";
    QLOG_INFO() << "info line";

    QTRY_COMPARE(LogCollector::texts(), QStringList({QStringLiteral("trace line "), QStringLiteral("info line ")}));
    // The Trace emission, had there been one, would have been queued first.
    QTRY_COMPARE(m_receiver.texts, QStringList({QStringLiteral("info line ")}));
}

void TestLogger::debugReachesSignalAtTraceLevel()
{
    QLOG_DEBUG() << "hidden at Info";
    Logger::instance().setLevel(Trace);
    QLOG_DEBUG() << "shown at Trace";

    QTRY_COMPARE(m_receiver.texts, QStringList({QStringLiteral("shown at Trace ")}));
    // The slot runs on the receiver's thread, not on the writer thread.
    QCOMPARE(m_receiver.threads.first(), QThread::currentThread());
    QCOMPARE(LogCollector::texts(), QStringList({QStringLiteral("shown at Trace ")}));
}

void TestLogger::writesEveryDestinationInOrderEvenInvalidOnes()
{
    QLOG_INFO() << "one";
    QLOG_ERROR() << "two";
    QTRY_COMPARE(LogCollector::count(), 2);
    // The collector may see "two" before the probes behind it do.
    QTRY_COMPARE(orderSeenSize(), 4);
    // "second" reports itself invalid and still gets every message.
    QCOMPARE(takeOrderSeen(), QStringList({QStringLiteral("first:one "), QStringLiteral("second:one "),
                                           QStringLiteral("first:two "), QStringLiteral("second:two ")}));
}

void TestLogger::keepsEachThreadsOrder()
{
    const int perThread = 300;
    auto producer = [perThread](char prefix) {
        return QThread::create([perThread, prefix] {
            for (int i = 0; i < perThread; ++i)
                QLOG_INFO() << QString(QLatin1Char(prefix)) << i;
        });
    };
    std::unique_ptr<QThread> a(producer('A'));
    std::unique_ptr<QThread> b(producer('B'));
    a->start();
    b->start();
    QVERIFY(a->wait());
    QVERIFY(b->wait());

    QTRY_COMPARE(LogCollector::count(), 2 * perThread);
    int nextA = 0;
    int nextB = 0;
    for (const QString& text : LogCollector::texts()) {
        const QStringList parts = text.split(QLatin1Char(' '));
        int& next = parts.at(0) == QLatin1String("A") ? nextA : nextB;
        QCOMPARE(parts.at(1).toInt(), next);
        ++next;
    }
    QCOMPARE(nextA, perThread);
    QCOMPARE(nextB, perThread);
}

void TestLogger::addDestinationEmptiesHandle()
{
    DestinationPtr handle = createFunctorDestination(static_cast<LogFunction>(nullptr));
    Logger::instance().addDestination(std::move(handle));
    QVERIFY(!handle);
}

void TestLogger::hasDestinationType_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<bool>("isNull");
    QTest::addColumn<bool>("found");

    QTest::newRow("functor is installed") << QByteArray("functor") << false << true;
    QTest::newRow("probe is installed") << QByteArray("probe") << false << true;
    QTest::newRow("no file destination") << QByteArray("file") << false << false;
    QTest::newRow("no console destination") << QByteArray("console") << false << false;
    QTest::newRow("case matters") << QByteArray("Functor") << false << false;
    QTest::newRow("prefix is not enough") << QByteArray("func") << false << false;
    QTest::newRow("longer is not enough") << QByteArray("functors") << false << false;
    QTest::newRow("empty text matches the empty type") << QByteArray("") << false << true;
    QTest::newRow("null text reads as empty") << QByteArray() << true << true;
}

void TestLogger::hasDestinationType()
{
    QFETCH(QByteArray, type);
    QFETCH(bool, isNull);
    QFETCH(bool, found);
    QCOMPARE(Logger::instance().hasDestinationType(isNull ? nullptr : type.constData()), found);
}

void TestLogger::levelFromLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("ok");

    QTest::newRow("WARN tag") << "WARN  2024-03-02T05:29:59.123 setPIDconf() failed " << int(Warn) << true;
    QTest::newRow("Warn in other case") << "Warn 2024-03-02T05:29:59.123 x" << int(Off) << false;
    QTest::newRow("TRACE tag") << "TRACE x" << int(Trace) << true;
    QTest::newRow("DEBUG tag") << "DEBUG x" << int(Debug) << true;
    QTest::newRow("INFO tag with its space") << "INFO  x" << int(Info) << true;
    QTest::newRow("INFO without the space is no tag") << "INFO" << int(Off) << false;
    QTest::newRow("ERROR tag, rest ignored") << "ERRORS" << int(Error) << true;
    QTest::newRow("FATAL tag alone") << "FATAL" << int(Fatal) << true;
    QTest::newRow("leading space") << " WARN  x" << int(Off) << false;
    QTest::newRow("empty line") << "" << int(Off) << false;
}

void TestLogger::levelFromLine()
{
    QFETCH(QString, line);
    QFETCH(int, level);
    QFETCH(bool, ok);

    bool flag = !ok;
    QCOMPARE(int(Logger::levelFromLine(line, &flag)), level);
    QCOMPARE(flag, ok);
    QCOMPARE(int(Logger::instance().levelFromLine(line)), level);
}

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
