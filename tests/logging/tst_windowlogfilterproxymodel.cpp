#include "QsLogWindowLogFilterProxyModel.h"
#include "QsLogWindowModel.h"

#include <QTest>

using namespace QsLogging;

class TestWindowLogFilterProxyModel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void startsAtInfoUnfrozen();
    void levelFilter_data();
    void levelFilter();
    void frozenRowsStillFollowTheLevel();
    void frozenHoldsBackNewRows();
    void frozenAtNoRowHoldsBackEverything();

private:
    QStringList visible() const;

    LogWindowModel m_model;
    std::unique_ptr<WindowLogFilterProxyModel> m_proxy;
};

void TestWindowLogFilterProxyModel::init()
{
    m_model.clear();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // One row per level, Trace to Fatal, named after it.
    for (int level = Trace; level <= Fatal; ++level)
        m_model.addEntry(LogMessage(levelTag(static_cast<Level>(level)).trimmed(), now, static_cast<Level>(level)));
    m_proxy = std::make_unique<WindowLogFilterProxyModel>();
    m_proxy->setSourceModel(&m_model);
}

QStringList TestWindowLogFilterProxyModel::visible() const
{
    QStringList texts;
    for (int row = 0; row < m_proxy->rowCount(); ++row)
        texts.append(m_proxy->index(row, 2).data().toString());
    return texts;
}

void TestWindowLogFilterProxyModel::startsAtInfoUnfrozen()
{
    QCOMPARE(m_proxy->filterLevel, int(Info));
    QVERIFY(!m_proxy->frozen);
    QCOMPARE(m_proxy->frozenRowCount, 0);
    QCOMPARE(visible(), QStringList({"INFO", "WARN", "ERROR", "FATAL"}));
}

void TestWindowLogFilterProxyModel::levelFilter_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("trace shows all") << int(Trace) << QStringList({"TRACE", "DEBUG", "INFO", "WARN", "ERROR", "FATAL"});
    QTest::newRow("warning hides info and below") << int(Warn) << QStringList({"WARN", "ERROR", "FATAL"});
    QTest::newRow("fatal only") << int(Fatal) << QStringList({"FATAL"});
    QTest::newRow("off hides everything") << int(Off) << QStringList();
}

void TestWindowLogFilterProxyModel::levelFilter()
{
    QFETCH(int, level);
    QFETCH(QStringList, shown);
    m_proxy->filterLevel = level;
    m_proxy->invalidateFilter();
    QCOMPARE(visible(), shown);
}

void TestWindowLogFilterProxyModel::frozenRowsStillFollowTheLevel()
{
    m_proxy->frozen = true;
    m_proxy->frozenRowCount = 4;  // TRACE to WARN
    m_proxy->filterLevel = Debug;
    m_proxy->invalidateFilter();
    QCOMPARE(visible(), QStringList({"DEBUG", "INFO", "WARN"}));
    m_proxy->filterLevel = Error;
    m_proxy->invalidateFilter();
    QCOMPARE(visible(), QStringList());
}

void TestWindowLogFilterProxyModel::frozenHoldsBackNewRows()
{
    QCOMPARE(visible(), QStringList({"INFO", "WARN", "ERROR", "FATAL"}));
    // As the window pauses: frozen at the rows of the whole log, without re-filtering.
    m_proxy->frozen = true;
    m_proxy->frozenRowCount = m_model.rowCount();
    m_model.addEntry(LogMessage(QStringLiteral("late"), QDateTime::currentDateTimeUtc(), Fatal));
    QCOMPARE(visible(), QStringList({"INFO", "WARN", "ERROR", "FATAL"}));
}

void TestWindowLogFilterProxyModel::frozenAtNoRowHoldsBackEverything()
{
    m_model.clear();
    m_proxy->frozen = true;
    m_proxy->frozenRowCount = 0;
    m_model.addEntry(LogMessage(QStringLiteral("late"), QDateTime::currentDateTimeUtc(), Fatal));
    QCOMPARE(visible(), QStringList());
    m_proxy->frozen = false;
    m_proxy->invalidateFilter();
    QCOMPARE(visible(), QStringList({"late"}));
}

QTEST_GUILESS_MAIN(TestWindowLogFilterProxyModel)
#include "tst_windowlogfilterproxymodel.moc"
