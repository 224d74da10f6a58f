#include "QsLogLevel.h"

#include <QTest>

using namespace QsLogging;

class TestLogLevel : public QObject
{
    Q_OBJECT

private slots:
    void tagAndDisplayName_data();
    void tagAndDisplayName();
};

void TestLogLevel::tagAndDisplayName_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("displayName");
    QTest::addColumn<bool>("nameIsNull");

    QTest::newRow("trace") << 0 << "TRACE" << "Trace" << false;
    QTest::newRow("debug") << 1 << "DEBUG" << "Debug" << false;
    QTest::newRow("info tag ends in a space") << 2 << "INFO " << "Info" << false;
    QTest::newRow("warn tag ends in a space, name is Warning") << 3 << "WARN " << "Warning" << false;
    QTest::newRow("error") << 4 << "ERROR" << "Error" << false;
    QTest::newRow("fatal") << 5 << "FATAL" << "Fatal" << false;
    QTest::newRow("off: empty tag, null name") << 6 << "" << QString() << true;
    QTest::newRow("7 formats as INFO, null name") << 7 << "INFO " << QString() << true;
    QTest::newRow("negative formats as INFO, null name") << -1 << "INFO " << QString() << true;
}

void TestLogLevel::tagAndDisplayName()
{
    QFETCH(int, level);
    QFETCH(QString, tag);
    QFETCH(QString, displayName);
    QFETCH(bool, nameIsNull);

    QCOMPARE(levelTag(static_cast<Level>(level)), tag);
    QCOMPARE(levelDisplayName(static_cast<Level>(level)), displayName);
    QCOMPARE(levelDisplayName(static_cast<Level>(level)).isNull(), nameIsNull);
    if (level >= Trace && level <= Fatal)
        QCOMPARE(levelTag(static_cast<Level>(level)).size(), 5);
}

QTEST_APPLESS_MAIN(TestLogLevel)
#include "tst_loglevel.moc"
