// Writing a measurement file: whatever fails, no file is left damaged and no
// failure is reported as written.
#include <QTemporaryDir>
#include <QtTest>

#include "MeasurementFileWriter.h"
#include "support/FileSizeLimit.h"
#include "support/TestDir.h"
#include "support/TestFiles.h"

namespace {

using TestFiles::contents;
using TestFiles::put;

// Larger than the size limit of the failing cases; 8 KiB stays in Qt's write
// buffer until the file is closed, 64 KiB goes past it.
QByteArray block(int kib = 64)
{
    return QByteArray(kib * 1024, 'x') + "\r\n";
}

}  // namespace

class TestMeasurementFileWriter : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>(testDirTemplate("filewriter"));
        QVERIFY(m_dir->isValid());
    }

    void replaceAndAppend()
    {
        const QString path = m_dir->filePath("data.csv");
        QVERIFY(appendToFile(path, "one\r\n").ok);
        QCOMPARE(contents(path), QByteArray("one\r\n"));
        QVERIFY(appendToFile(path, "two\r\n").ok);
        QCOMPARE(contents(path), QByteArray("one\r\ntwo\r\n"));
        QVERIFY(replaceFile(path, "three\r\n").ok);
        QCOMPARE(contents(path), QByteArray("three\r\n"));
        QVERIFY(replaceFile(m_dir->filePath("new.csv"), "four\r\n").ok);
        QCOMPARE(contents(m_dir->filePath("new.csv")), QByteArray("four\r\n"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 2);
    }

    void failedOpenReportsTheReason_data()
    {
        QTest::addColumn<bool>("replace");
        QTest::newRow("replace") << true;
        QTest::newRow("append") << false;
    }

    void failedOpenReportsTheReason()
    {
        QFETCH(bool, replace);
        // A plain file where a folder should be: no file can go below it, not even for root.
        put(m_dir->filePath("plain"), "x");
        const QString path = m_dir->filePath("plain/data.csv");

        const FileWriteResult result = replace ? replaceFile(path, "a\r\n") : appendToFile(path, "a\r\n");
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"plain"});
    }

    void failedWriteLeavesNoDamage_data()
    {
        QTest::addColumn<bool>("replace");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<int>("kib");

        QTest::newRow("replace keeps the old file") << true << true << 64;
        QTest::newRow("replace leaves no new file") << true << false << 64;
        QTest::newRow("buffered replace keeps the old file") << true << true << 8;
        QTest::newRow("buffered replace leaves no new file") << true << false << 8;
        QTest::newRow("append takes back the half block") << false << true << 64;
        QTest::newRow("append removes the new file") << false << false << 64;
        QTest::newRow("buffered append takes back the half block") << false << true << 8;
    }

    void failedWriteLeavesNoDamage()
    {
        QFETCH(bool, replace);
        QFETCH(bool, existing);
        QFETCH(int, kib);
        const QString path = m_dir->filePath("data.csv");
        const QByteArray old("old header\r\nold row\r\n");
        if (existing)
            put(path, old);

        FileWriteResult result;
        {
            const FileSizeLimit limit(4096);
            result = replace ? replaceFile(path, block(kib)) : appendToFile(path, block(kib));
        }
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
        if (existing)
            QCOMPARE(contents(path), old);
        else
            QVERIFY(!QFile::exists(path));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), existing ? 1 : 0);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestMeasurementFileWriter)
#include "tst_measurementfilewriter.moc"
