#include "QsLogSizeRotationStrategy.h"
#include "StderrCapture.h"

#include <QMap>
#include <QTest>

using namespace QsLogging;

using FileSet = QMap<QString, QString>;  // path -> contents
Q_DECLARE_METATYPE(FileSet)

namespace {
// Rotation against an in-memory file set; renames or removals can be made to fail.
class FakeFilesStrategy : public SizeRotationStrategy
{
public:
    FileSet files;
    bool failRenames = false;
    bool failRemovals = false;

    bool removeFile(const QString& path) override
    {
        if (failRemovals)
            return false;
        return files.remove(path) > 0;
    }
    bool fileExists(const QString& path) override { return files.contains(path); }
    bool renameFile(const QString& from, const QString& to) override
    {
        if (failRenames || !files.contains(from) || files.contains(to))
            return false;
        files.insert(to, files.take(from));
        return true;
    }
};

// Files named by suffix: "" is the log P itself, "1" is P.1 and so on.
FileSet named(std::initializer_list<std::pair<const char*, const char*>> entries)
{
    FileSet set;
    for (const auto& [suffix, text] : entries) {
        const QString name = *suffix ? QStringLiteral("P.") + QLatin1String(suffix) : QStringLiteral("P");
        set.insert(name, QLatin1String(text));
    }
    return set;
}
}  // namespace

class TestSizeRotationStrategy : public QObject
{
    Q_OBJECT

private slots:
    void rotate_data();
    void rotate();
    void shouldRotate_data();
    void shouldRotate();
    void countsMessagesAsUtf8();
    void opensForAppending();
    void reportsFailuresOnStderr();
};

void TestSizeRotationStrategy::rotate_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<FileSet>("before");
    QTest::addColumn<FileSet>("after");

    QTest::newRow("limit 3, all present: P.3 replaced by P.2, P.2 by P.1, P.1 by P")
        << 3 << named({{"", "p"}, {"1", "one"}, {"2", "two"}, {"3", "three"}})
        << named({{"1", "p"}, {"2", "one"}, {"3", "two"}});
    QTest::newRow("limit 3, gap at P.2: only P.1 moves, P.3 stays")
        << 3 << named({{"", "p"}, {"1", "one"}, {"3", "three"}})
        << named({{"1", "p"}, {"2", "one"}, {"3", "three"}});
    QTest::newRow("limit 3, no backups yet") << 3 << named({{"", "p"}}) << named({{"1", "p"}});
    QTest::newRow("limit 3, P.4 beyond the limit is left alone")
        << 3 << named({{"", "p"}, {"1", "one"}, {"2", "two"}, {"3", "three"}, {"4", "four"}})
        << named({{"1", "p"}, {"2", "one"}, {"3", "two"}, {"4", "four"}});
    QTest::newRow("limit 1: P.1 replaced by P") << 1 << named({{"", "p"}, {"1", "one"}}) << named({{"1", "p"}});
    QTest::newRow("limit 0: the log is deleted, backups untouched")
        << 0 << named({{"", "p"}, {"1", "one"}}) << named({{"1", "one"}});
    QTest::newRow("negative limit behaves like 1")
        << -2 << named({{"", "p"}, {"1", "one"}, {"2", "two"}}) << named({{"1", "p"}, {"2", "two"}});
    QTest::newRow("limit 25 keeps 10")
        << 25
        << named({{"", "p"}, {"1", "1"}, {"2", "2"}, {"3", "3"}, {"4", "4"}, {"5", "5"}, {"6", "6"},
                  {"7", "7"}, {"8", "8"}, {"9", "9"}, {"10", "10"}})
        << named({{"1", "p"}, {"2", "1"}, {"3", "2"}, {"4", "3"}, {"5", "4"}, {"6", "5"}, {"7", "6"},
                  {"8", "7"}, {"9", "8"}, {"10", "9"}});
}

void TestSizeRotationStrategy::rotate()
{
    QFETCH(int, limit);
    QFETCH(FileSet, before);
    QFETCH(FileSet, after);

    FakeFilesStrategy strategy;
    strategy.files = before;
    strategy.setBackupLimit(limit);
    strategy.takeFileInfo(QStringLiteral("P"), 0);
    strategy.rotate();
    QCOMPARE(strategy.files, after);
}

void TestSizeRotationStrategy::shouldRotate_data()
{
    QTest::addColumn<int>("sizeAtOpen");
    QTest::addColumn<int>("counted");
    QTest::addColumn<bool>("rotate");

    QTest::newRow("999 of 1000") << 0 << 999 << false;
    QTest::newRow("exactly 1000 is not over") << 0 << 1000 << false;
    QTest::newRow("1001 is over") << 0 << 1001 << true;
    QTest::newRow("size at open counts") << 990 << 11 << true;
    QTest::newRow("file already over the maximum") << 1500 << 0 << true;
}

void TestSizeRotationStrategy::shouldRotate()
{
    QFETCH(int, sizeAtOpen);
    QFETCH(int, counted);
    QFETCH(bool, rotate);

    SizeRotationStrategy strategy;
    strategy.setMaximumBytes(1000);
    strategy.takeFileInfo(QStringLiteral("P"), sizeAtOpen);
    strategy.countBytes(QByteArray(counted, 'x'));
    QCOMPARE(strategy.shouldRotate(), rotate);
}

void TestSizeRotationStrategy::countsMessagesAsUtf8()
{
    SizeRotationStrategy strategy;
    strategy.setMaximumBytes(2);
    strategy.takeFileInfo(QStringLiteral("P"), 0);
    strategy.countMessage(QStringLiteral("\u00b5"));  // two bytes in UTF-8
    QVERIFY(!strategy.shouldRotate());
    strategy.countMessage(QStringLiteral("a"));
    QVERIFY(strategy.shouldRotate());
}

void TestSizeRotationStrategy::opensForAppending()
{
    SizeRotationStrategy strategy;
    QCOMPARE(strategy.openModeFlag(), QIODevice::Append);
}

void TestSizeRotationStrategy::reportsFailuresOnStderr()
{
    {
        FakeFilesStrategy strategy;
        strategy.files = named({{"", "p"}, {"1", "one"}});
        strategy.failRenames = true;
        strategy.setBackupLimit(3);
        strategy.takeFileInfo(QStringLiteral("P"), 0);
        StderrCapture capture;
        strategy.rotate();
        QCOMPARE(capture.text(), QByteArray("QsLog: could not rename backup P.1 to P.2"
                                            "QsLog: could not rename log P to P.1"));
    }
    {
        FakeFilesStrategy strategy;
        strategy.files = named({{"", "p"}});
        strategy.failRemovals = true;
        strategy.setBackupLimit(0);
        strategy.takeFileInfo(QStringLiteral("P"), 0);
        StderrCapture capture;
        strategy.rotate();
        QCOMPARE(capture.text(), QByteArray("QsLog: backup delete failed P"));
    }
}

QTEST_APPLESS_MAIN(TestSizeRotationStrategy)
#include "tst_sizerotationstrategy.moc"
