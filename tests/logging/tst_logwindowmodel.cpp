#include "QsLogWindowModel.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QSignalSpy>
#include <QTest>

using namespace QsLogging;

namespace {
const QDateTime kTime(QDate(2024, 3, 1), QTime(23, 59, 59, 123), Qt::UTC);

LogMessage makeMessage(int level, const QString& text = QStringLiteral("text "))
{
    return LogMessage(text, kTime, static_cast<Level>(level));
}

// Reaches cells outside the three shown columns, as index() refuses them.
class ProbeModel : public LogWindowModel
{
public:
    using LogWindowModel::LogWindowModel;
    QModelIndex cell(int row, int column) const { return createIndex(row, column); }
};
}  // namespace

class TestLogWindowModel : public QObject
{
    Q_OBJECT

private slots:
    void headers();
    void displayColumns();
    void background_data();
    void background();
    void otherRolesAndBadIndexesYieldNothing();
    void addAppendsAtTheEnd();
    void clearEmptiesTheModel();
    void limitDropsTheOldestAsARemoval();
    void addEntriesIsOneInsertion();
};

void TestLogWindowModel::headers()
{
    LogWindowModel model;
    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Time"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Level"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Message"));
    QVERIFY(!model.headerData(3, Qt::Horizontal).isValid());
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
    QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
}

void TestLogWindowModel::displayColumns()
{
    ProbeModel model;
    const LogMessage message = makeMessage(Warn, QStringLiteral("setPIDconf() failed "));
    model.addEntry(message);

    QCOMPARE(model.data(model.index(0, 0)).toString(), kTime.toLocalTime().toString(Qt::TextDate));
    QCOMPARE(model.data(model.index(0, 1)).toString(), QStringLiteral("Warning"));
    QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("setPIDconf() failed "));
    QCOMPARE(model.data(model.cell(0, 100)).toString(), message.formatted);
    QVERIFY(!model.data(model.cell(0, 3)).isValid());
}

void TestLogWindowModel::background_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QColor>("colour");  // invalid: no background of its own

    QTest::newRow("trace: none") << int(Trace) << QColor();
    QTest::newRow("debug: none") << int(Debug) << QColor();
    QTest::newRow("info: none") << int(Info) << QColor();
    QTest::newRow("warn: light yellow") << int(Warn) << QColor(255, 255, 128);
    QTest::newRow("error: light red") << int(Error) << QColor(255, 128, 128);
    QTest::newRow("fatal: red") << int(Fatal) << QColor(255, 0, 0);
    QTest::newRow("unknown level: none") << 9 << QColor();
}

void TestLogWindowModel::background()
{
    QFETCH(int, level);
    QFETCH(QColor, colour);

    LogWindowModel model;
    model.addEntry(makeMessage(level));
    const QVariant value = model.data(model.index(0, 2), Qt::BackgroundRole);
    QCOMPARE(value.isValid(), colour.isValid());
    if (colour.isValid())
        QCOMPARE(value.value<QColor>(), colour);
    // The same for every column of the row.
    QCOMPARE(model.data(model.index(0, 0), Qt::BackgroundRole), value);
    // A coloured row has dark text, readable whatever the theme; others keep the view's.
    const QVariant text = model.data(model.index(0, 1), Qt::ForegroundRole);
    QCOMPARE(text.isValid(), colour.isValid());
    if (colour.isValid())
        QCOMPARE(text.value<QColor>(), QColor(Qt::black));
}

void TestLogWindowModel::otherRolesAndBadIndexesYieldNothing()
{
    ProbeModel model;
    model.addEntry(makeMessage(Error));
    QVERIFY(!model.data(model.index(0, 2), Qt::ToolTipRole).isValid());
    QVERIFY(!model.data(QModelIndex()).isValid());
    QVERIFY(!model.data(model.cell(-1, 0)).isValid());
    QVERIFY(!model.data(model.cell(0, -1)).isValid());
    QVERIFY(!model.data(model.cell(1, 0)).isValid());  // past the last row
}

void TestLogWindowModel::addAppendsAtTheEnd()
{
    LogWindowModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    for (int i = 0; i < 3; ++i)
        model.addEntry(makeMessage(Info, QString::number(i)));

    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(inserted.count(), 3);
    QCOMPARE(inserted.last().at(1).toInt(), 2);
    QCOMPARE(inserted.last().at(2).toInt(), 2);
    QCOMPARE(model.at(0).message, QStringLiteral("0"));
    QCOMPARE(model.at(2).message, QStringLiteral("2"));
}

void TestLogWindowModel::clearEmptiesTheModel()
{
    LogWindowModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.addEntry(makeMessage(Info));
    model.addEntry(makeMessage(Warn));
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.clear();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.rowCount(), 0);
    model.addEntry(makeMessage(Error, QStringLiteral("after clear")));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.at(0).message, QStringLiteral("after clear"));
}

void TestLogWindowModel::limitDropsTheOldestAsARemoval()
{
    LogWindowModel model(3);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    for (int i = 0; i < 5; ++i)
        model.addEntry(makeMessage(Info, QString::number(i)));

    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(removed.count(), 2);
    QCOMPARE(model.at(0).message, QStringLiteral("2"));
    QCOMPARE(model.data(model.index(2, 2)).toString(), QStringLiteral("4"));
}

void TestLogWindowModel::addEntriesIsOneInsertion()
{
    LogWindowModel model(4);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.addEntry(makeMessage(Info, QStringLiteral("first")));
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    model.addEntries({});
    QCOMPARE(inserted.count(), 0);

    std::vector<LogMessage> batch;
    for (int i = 0; i < 5; ++i)
        batch.push_back(makeMessage(Warn, QString::number(i)));
    model.addEntries(batch);

    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 1);
    QCOMPARE(inserted.at(0).at(2).toInt(), 5);
    // Over the limit by two: the two oldest go, in one removal.
    QCOMPARE(removed.count(), 1);
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.at(0).message, QStringLiteral("1"));
    QCOMPARE(model.at(3).message, QStringLiteral("4"));
}

QTEST_GUILESS_MAIN(TestLogWindowModel)
#include "tst_logwindowmodel.moc"
