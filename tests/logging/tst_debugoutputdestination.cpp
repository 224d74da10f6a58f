#include "QsLogDebugOutputDestination.h"
#include "QsLogDestination.h"
#include "StderrCapture.h"

#include <QTest>

using namespace QsLogging;

class TestDebugOutputDestination : public QObject
{
    Q_OBJECT

private slots:
    void writesEachLineWithNewline();
    void kindAndValidity();
};

void TestDebugOutputDestination::writesEachLineWithNewline()
{
    const QDateTime utc(QDate(2024, 3, 1), QTime(1, 2, 3, 4), Qt::UTC);
    const LogMessage first(QStringLiteral("Started logger "), utc, Info);
    const LogMessage second(QStringLiteral("offset 5 \u00b5m "), utc, Warn);

    DestinationPtr destination = createDebugOutputDestination();
    StderrCapture capture;
    destination->write(first);
    destination->write(second);

    QCOMPARE(capture.text(), first.formatted.toLocal8Bit() + '\n' + second.formatted.toLocal8Bit() + '\n');
}

void TestDebugOutputDestination::kindAndValidity()
{
    DestinationPtr destination = createDebugOutputDestination();
    QCOMPARE(destination->type(), QStringLiteral("console"));
    QVERIFY(destination->isValid());
}

QTEST_APPLESS_MAIN(TestDebugOutputDestination)
#include "tst_debugoutputdestination.moc"
