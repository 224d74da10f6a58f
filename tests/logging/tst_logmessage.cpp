#include "QsLogMessage.h"

#include <QTest>

#include <ctime>

using namespace QsLogging;

// A zone 5 h 30 min east of UTC without daylight saving, so that local and UTC
// times differ in hour, minute and (near midnight) date.
static const int kZoneOffsetSeconds = 5 * 3600 + 30 * 60;

class TestLogMessage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void formattedLine_data();
    void formattedLine();
    void keepsTimeInUtc();
    void copiesKeepEveryField();
};

void TestLogMessage::initTestCase()
{
    qputenv("TZ", "VRN-05:30");
    tzset();
    const QDateTime probe(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC);
    QCOMPARE(probe.toLocalTime().offsetFromUtc(), kZoneOffsetSeconds);
}

void TestLogMessage::formattedLine_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QDateTime>("utc");
    QTest::addColumn<QString>("formatted");

    const QDateTime nearMidnight(QDate(2024, 3, 1), QTime(23, 59, 59, 123), Qt::UTC);
    const QDateTime afternoon(QDate(2023, 12, 31), QTime(13, 4, 5, 7), Qt::UTC);

    QTest::newRow("info: tag carries its own space, local date rolls over")
        << int(Info) << "Started logger " << nearMidnight << "INFO  2024-03-02T05:29:59.123 Started logger ";
    QTest::newRow("warn: message keeps its trailing space")
        << int(Warn) << "setPIDconf() failed " << nearMidnight << "WARN  2024-03-02T05:29:59.123 setPIDconf() failed ";
    QTest::newRow("placeholders in the message stay literal")
        << int(Error) << "%1 of %2 at 50%3 " << nearMidnight << "ERROR 2024-03-02T05:29:59.123 %1 of %2 at 50%3 ";
    QTest::newRow("24-hour time, zero-padded milliseconds")
        << int(Debug) << "x" << afternoon << "DEBUG 2023-12-31T18:34:05.007 x";
    QTest::newRow("trace") << int(Trace) << "t" << afternoon << "TRACE 2023-12-31T18:34:05.007 t";
    QTest::newRow("fatal") << int(Fatal) << "f" << afternoon << "FATAL 2023-12-31T18:34:05.007 f";
    QTest::newRow("off: empty tag") << int(Off) << "o" << afternoon << " 2023-12-31T18:34:05.007 o";
    QTest::newRow("unknown level formats as INFO") << 42 << "u" << afternoon << "INFO  2023-12-31T18:34:05.007 u";
}

void TestLogMessage::formattedLine()
{
    QFETCH(int, level);
    QFETCH(QString, message);
    QFETCH(QDateTime, utc);
    QFETCH(QString, formatted);

    const LogMessage record(message, utc, static_cast<Level>(level));
    QCOMPARE(record.formatted, formatted);
    QCOMPARE(record.message, message);
    QCOMPARE(int(record.level), level);
}

void TestLogMessage::keepsTimeInUtc()
{
    const QDateTime utc(QDate(2024, 3, 1), QTime(23, 59, 59, 123), Qt::UTC);
    const LogMessage record(QStringLiteral("m"), utc, Info);
    QCOMPARE(record.time.timeSpec(), Qt::UTC);
    QCOMPARE(record.time.time(), QTime(23, 59, 59, 123));
    QVERIFY(record.formatted.contains(QLatin1String("05:29:59.123")));
}

void TestLogMessage::copiesKeepEveryField()
{
    const QDateTime utc(QDate(2024, 3, 1), QTime(1, 2, 3), Qt::UTC);
    const LogMessage original(QStringLiteral("copy me "), utc, Fatal);
    const QVariant carried = QVariant::fromValue(original);
    const LogMessage copy = carried.value<LogMessage>();
    QCOMPARE(copy.message, original.message);
    QCOMPARE(copy.time, original.time);
    QCOMPARE(copy.level, original.level);
    QCOMPARE(copy.formatted, original.formatted);
}

QTEST_APPLESS_MAIN(TestLogMessage)
#include "tst_logmessage.moc"
