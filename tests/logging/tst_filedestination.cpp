#include "QsLogDestination.h"
#include "StderrCapture.h"
#include "support/TestDir.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QTest>

using namespace QsLogging;

namespace {
const QDateTime kTime(QDate(2024, 3, 1), QTime(1, 2, 3, 4), Qt::UTC);

// The formatted line is the 5-character tag, a space, 23 characters of time, a
// space and the message: 30 bytes besides an ASCII message.
const int kLineOverhead = 30;

LogMessage messageOfLength(int formattedLength, char fill = 'x')
{
    return LogMessage(QString(formattedLength - kLineOverhead, QLatin1Char(fill)), kTime, Info);
}

using TestFiles::contents;

void putFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

QByteArray lineOf(const LogMessage& message)
{
    return message.formatted.toUtf8() + '\n';
}
}  // namespace

class TestFileDestination : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void nullStrategyEmptiesFileAndNeverRotates();
    void writesUtf8LinesWithNewline();
    void sizeStrategyAppendsToEarlierRun();
    void oversizedFileRotatedBeforeFirstLine();
    void rotatesOnlyWhenCountExceedsMaximum();
    void backupsShiftUpToTheLimit();
    void backupGapStopsTheShift();
    void backupLimitZeroDeletesTheLog();
    void factoryKeepsAtMostTenBackups();
    void unopenableFileIsReportedAndSwallowsLines();

private:
    QString backup(int n) const { return m_path + QLatin1Char('.') + QString::number(n); }

    QTemporaryDir* m_dir = nullptr;
    QString m_path;
};

void TestFileDestination::init()
{
    m_dir = new QTemporaryDir(testDirTemplate(QStringLiteral("tst_filedestination")));
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("vorn.log"));
}

void TestFileDestination::cleanup()
{
    delete m_dir;
    m_dir = nullptr;
}

void TestFileDestination::nullStrategyEmptiesFileAndNeverRotates()
{
    putFile(m_path, "line of an earlier run\n");
    DestinationPtr destination = createFileDestination(m_path, 0, 10, 3);
    QCOMPARE(contents(m_path), QByteArray());
    QCOMPARE(destination->type(), QStringLiteral("file"));
    QVERIFY(destination->isValid());

    QByteArray expected;
    for (int i = 0; i < 5; ++i) {
        const LogMessage message = messageOfLength(100, char('a' + i));
        destination->write(message);
        expected += lineOf(message);
    }
    QCOMPARE(contents(m_path), expected);
    QVERIFY(!QFile::exists(backup(1)));
}

void TestFileDestination::writesUtf8LinesWithNewline()
{
    DestinationPtr destination = createFileDestination(m_path, 0, 0, 0);
    const LogMessage first(QStringLiteral("offset 5 \u00b5m "), kTime, Warn);
    const LogMessage second(QStringLiteral("Started logger "), kTime, Info);
    destination->write(first);
    // Flushed after every line: readable before the next write or the destruction.
    QCOMPARE(contents(m_path), lineOf(first));
    destination->write(second);
    QCOMPARE(contents(m_path), lineOf(first) + lineOf(second));
}

void TestFileDestination::sizeStrategyAppendsToEarlierRun()
{
    putFile(m_path, "line of an earlier run\n");
    DestinationPtr destination = createFileDestination(m_path, 1, 1000, 3);
    const LogMessage message = messageOfLength(40);
    destination->write(message);
    QCOMPARE(contents(m_path), QByteArray("line of an earlier run\n") + lineOf(message));
    QVERIFY(!QFile::exists(backup(1)));
}

void TestFileDestination::oversizedFileRotatedBeforeFirstLine()
{
    const QByteArray earlier(2000, 'e');
    putFile(m_path, earlier);
    DestinationPtr destination = createFileDestination(m_path, 1, 1000, 3);
    const LogMessage message = messageOfLength(40);
    destination->write(message);
    QCOMPARE(contents(backup(1)), earlier);
    QCOMPARE(contents(m_path), lineOf(message));
}

void TestFileDestination::rotatesOnlyWhenCountExceedsMaximum()
{
    DestinationPtr destination = createFileDestination(m_path, 1, 1000, 3);

    const LogMessage exactlyAtMaximum = messageOfLength(1000, 'a');
    destination->write(exactlyAtMaximum);
    QVERIFY(!QFile::exists(backup(1)));

    // Counted towards the old file, written to the new one.
    const LogMessage overTheTop = messageOfLength(31, 'b');
    destination->write(overTheTop);
    QCOMPARE(contents(backup(1)), lineOf(exactlyAtMaximum));
    QCOMPARE(contents(m_path), lineOf(overTheTop));

    // The count restarted from the new file's size when it was opened (0).
    const LogMessage fillsTheNewCount = messageOfLength(1000, 'c');
    destination->write(fillsTheNewCount);
    QVERIFY(!QFile::exists(backup(2)));
    QCOMPARE(contents(m_path), lineOf(overTheTop) + lineOf(fillsTheNewCount));
}

void TestFileDestination::backupsShiftUpToTheLimit()
{
    putFile(m_path, "current");
    putFile(backup(1), "one");
    putFile(backup(2), "two");
    putFile(backup(3), "three");
    DestinationPtr destination = createFileDestination(m_path, 1, 5, 3);
    const LogMessage message = messageOfLength(40);
    destination->write(message);

    QCOMPARE(contents(m_path), lineOf(message));
    QCOMPARE(contents(backup(1)), QByteArray("current"));
    QCOMPARE(contents(backup(2)), QByteArray("one"));
    QCOMPARE(contents(backup(3)), QByteArray("two"));
    QVERIFY(!QFile::exists(backup(4)));
}

void TestFileDestination::backupGapStopsTheShift()
{
    putFile(m_path, "current");
    putFile(backup(1), "one");
    putFile(backup(3), "three");
    DestinationPtr destination = createFileDestination(m_path, 1, 5, 3);
    destination->write(messageOfLength(40));

    QCOMPARE(contents(backup(1)), QByteArray("current"));
    QCOMPARE(contents(backup(2)), QByteArray("one"));
    QCOMPARE(contents(backup(3)), QByteArray("three"));
}

void TestFileDestination::backupLimitZeroDeletesTheLog()
{
    putFile(m_path, "current");
    DestinationPtr destination = createFileDestination(m_path, 1, 100, 0);
    const LogMessage first = messageOfLength(150, 'a');
    destination->write(first);
    QCOMPARE(contents(m_path), lineOf(first));
    QVERIFY(!QFile::exists(backup(1)));

    // The count restarted at 0 with the new file: this line alone goes over.
    const LogMessage second = messageOfLength(120, 'b');
    destination->write(second);
    QCOMPARE(contents(m_path), lineOf(second));
    QVERIFY(!QFile::exists(backup(1)));
}

void TestFileDestination::factoryKeepsAtMostTenBackups()
{
    DestinationPtr destination = createFileDestination(m_path, 1, 10, 25);
    for (int i = 0; i < 14; ++i)
        destination->write(messageOfLength(40, char('a' + i)));

    for (int n = 1; n <= 10; ++n)
        QVERIFY2(QFile::exists(backup(n)), qPrintable(backup(n)));
    QVERIFY(!QFile::exists(backup(11)));
    // The newest backup holds the line before the last one.
    QCOMPARE(contents(backup(1)), lineOf(messageOfLength(40, char('a' + 12))));
}

void TestFileDestination::unopenableFileIsReportedAndSwallowsLines()
{
    const QString path = m_dir->filePath(QStringLiteral("missing-dir/vorn.log"));
    StderrCapture capture;
    DestinationPtr destination = createFileDestination(path, 0, 0, 0);
    destination->write(messageOfLength(40));
    destination->write(messageOfLength(50));
    QCOMPARE(capture.text(), QByteArray("QsLog: could not open log file ") + path.toLocal8Bit());
    QVERIFY(!destination->isValid());
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(TestFileDestination)
#include "tst_filedestination.moc"
