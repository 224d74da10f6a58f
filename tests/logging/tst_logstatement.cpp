#include "LogCollector.h"
#include "QsLog.h"

#include <QTest>

using namespace QsLogging;

class TestLogStatement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void levelGate_data();
    void levelGate();
    void itemsJoinedBySpaces();
    void timeIsTakenInUtcAtTheEnd();
    void unbracedIfElseBindsAsWritten();

private:
    void waitForMarker();
};

namespace {
int evaluations = 0;

const char* countedItem()
{
    ++evaluations;
    return "item";
}

void logAt(Level level)
{
    switch (level) {
    case Trace:
        QLOG_TRACE() << countedItem();
        break;
    case Debug:
        QLOG_DEBUG() << countedItem();
        break;
    case Info:
        QLOG_INFO() << countedItem();
        break;
    case Warn:
        QLOG_WARN() << countedItem();
        break;
    case Error:
        QLOG_ERROR() << countedItem();
        break;
    case Fatal:
        QLOG_FATAL() << countedItem();
        break;
    case Off:
        break;
    }
}
}  // namespace

void TestLogStatement::initTestCase()
{
    Logger::instance().addDestination(createFunctorDestination(&LogCollector::record));
}

void TestLogStatement::init()
{
    Logger::instance().setLevel(Info);
    evaluations = 0;
    LogCollector::clear();
}

// A Fatal marker goes behind whatever the test logged; once it is written, any
// earlier message would have been written too (one queue, one writer).
void TestLogStatement::waitForMarker()
{
    Logger::instance().setLevel(Trace);
    QLOG_FATAL() << "marker";
    QTRY_VERIFY(LogCollector::texts().endsWith(QStringLiteral("marker ")));
}

void TestLogStatement::levelGate_data()
{
    QTest::addColumn<int>("loggerLevel");
    QTest::addColumn<int>("statementLevel");
    QTest::addColumn<bool>("written");

    QTest::newRow("at Info, Trace produces nothing") << int(Info) << int(Trace) << false;
    QTest::newRow("at Info, Debug produces nothing") << int(Info) << int(Debug) << false;
    QTest::newRow("at Info, Info is written") << int(Info) << int(Info) << true;
    QTest::newRow("at Info, Warn is written") << int(Info) << int(Warn) << true;
    QTest::newRow("at Info, Fatal is written") << int(Info) << int(Fatal) << true;
    QTest::newRow("at Trace, Trace is written") << int(Trace) << int(Trace) << true;
    QTest::newRow("at Debug, Trace produces nothing") << int(Debug) << int(Trace) << false;
    QTest::newRow("at Error, Warn produces nothing") << int(Error) << int(Warn) << false;
    QTest::newRow("at Off, even Fatal produces nothing") << int(Off) << int(Fatal) << false;
}

void TestLogStatement::levelGate()
{
    QFETCH(int, loggerLevel);
    QFETCH(int, statementLevel);
    QFETCH(bool, written);

    Logger::instance().setLevel(static_cast<Level>(loggerLevel));
    logAt(static_cast<Level>(statementLevel));
    // Below the level the items are not even evaluated.
    QCOMPARE(evaluations, written ? 1 : 0);

    waitForMarker();
    const QList<LogMessage> messages = LogCollector::messages();
    QCOMPARE(messages.size(), written ? 2 : 1);
    if (written) {
        QCOMPARE(messages.first().message, QStringLiteral("item "));
        QCOMPARE(int(messages.first().level), statementLevel);
    }
}

void TestLogStatement::itemsJoinedBySpaces()
{
    QLOG_INFO() << "Started logger";
    QLOG_WARN() << "setOutputMux(" << 1 << ") failed";
    QLOG_WARN() << QStringLiteral("text \"as is\"") << QByteArray("bytes") << 'c';
    QLOG_INFO() << 3.14159265 << 0.1 + 0.2 << 1e-7 << -42 << 4000000000LL << 12345678.9;
    QLOG_ERROR() << "";
    waitForMarker();

    const QStringList expected = {
        QStringLiteral("Started logger "),
        QStringLiteral("setOutputMux( 1 ) failed "),
        QStringLiteral("text \"as is\" bytes c "),
        QStringLiteral("3.14159 0.3 1e-07 -42 4000000000 1.23457e+07 "),
        QStringLiteral(" "),
        QStringLiteral("marker "),
    };
    QCOMPARE(LogCollector::texts(), expected);

    const LogMessage warn = LogCollector::messages().at(1);
    QCOMPARE(warn.level, Warn);
    QVERIFY(warn.formatted.startsWith(QLatin1String("WARN  ")));
    QVERIFY(warn.formatted.endsWith(QLatin1String(" setOutputMux( 1 ) failed ")));
}

void TestLogStatement::timeIsTakenInUtcAtTheEnd()
{
    const QDateTime before = QDateTime::currentDateTimeUtc();
    QLOG_INFO() << "now";
    const QDateTime after = QDateTime::currentDateTimeUtc();
    waitForMarker();

    const LogMessage message = LogCollector::messages().first();
    QCOMPARE(message.time.timeSpec(), Qt::UTC);
    QVERIFY(message.time >= before);
    QVERIFY(message.time <= after);
    QCOMPARE(message.formatted, LogMessage(message.message, message.time, Info).formatted);
}

void TestLogStatement::unbracedIfElseBindsAsWritten()
{
    bool elseTaken = false;
    const bool condition = false;
    if (condition)
        QLOG_INFO() << "not logged";
    else
        elseTaken = true;
    QVERIFY(elseTaken);

    elseTaken = false;
    if (!condition)
        QLOG_INFO() << "logged";
    else
        elseTaken = true;
    QVERIFY(!elseTaken);

    waitForMarker();
    QCOMPARE(LogCollector::texts(), QStringList({QStringLiteral("logged "), QStringLiteral("marker ")}));
}

QTEST_GUILESS_MAIN(TestLogStatement)
#include "tst_logstatement.moc"
