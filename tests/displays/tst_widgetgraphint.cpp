// The intensity panel against the simulated picoammeters: its frame, the
// presence rule, setBpmHidden, the graph names and the shared containers.
#include <QtTest>

#include <optional>

#include "GraphPanelChecks.h"
#include "Globals.h"
#include "SimControl.h"
#include "WidgetGraphInt.h"
#include "support/ProgramFixture.h"

using namespace GraphPanelChecks;

class TestWidgetGraphInt : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void frame();
    void graphCountIsBoundedByTwoColours();
    void getGraphData_data();
    void getGraphData();
    void labelsAndNames();
    void namesBeyondTheGraphsAreIgnored();
    void presenceRule_data();
    void presenceRule();
    void uncheckAndCheckRestoresGraph();
    void failedPresenceQueryHidesBoth();
    void setBpmHidden_data();
    void setBpmHidden();
    void setBpmHiddenAsksNoHardware();
    void autoscaleAndFixedRanges();
    void backgroundFollowsHeight();

private:
    std::optional<ProgramFixture> m_program;
};

void TestWidgetGraphInt::init()
{
    m_program.emplace(ProgramFixture::Options().noConfig().noLink());
}

void TestWidgetGraphInt::cleanup()
{
    m_program.reset();
}

void TestWidgetGraphInt::frame()
{
    WidgetGraphInt w(nullptr, 2);
    QCustomPlot* plot = plotOf(&w);
    QVERIFY(plot);
    QVERIFY(plot->noAntialiasingOnDrag());
    QCOMPARE(plot->graphCount(), 2);
    QCOMPARE(plot->graph(0)->pen().color(), QColor(255, 255, 135));
    QCOMPARE(plot->graph(1)->pen().color(), QColor(255, 130, 255));
    QCOMPARE(plot->graph(0)->pen().widthF(), 1.0);
    QVERIFY(!plot->graph(0)->antialiased() && !plot->graph(1)->antialiased());

    QCOMPARE(boxOf(&w, 1)->text(), QStringLiteral("BPM1"));
    QCOMPARE(boxOf(&w, 2)->text(), QStringLiteral("BPM2"));
    QVERIFY(boxOf(&w, 1)->isChecked() && boxOf(&w, 2)->isChecked());
    QVERIFY(!boxOf(&w, 3) && !swatchOf(&w, 3));
    QCOMPARE(swatchOf(&w, 1)->styleSheet(),
             QStringLiteral("QLabel { background-color : rgb(255,255,135); color : rgb(255,255,135); }"));
    QCOMPARE(swatchOf(&w, 2)->styleSheet(),
             QStringLiteral("QLabel { background-color : rgb(255,130,255); color : rgb(255,130,255); }"));
    QCOMPARE(swatchOf(&w, 1)->size(), QSize(20, 20));
    QVERIFY(autoscaleOf(&w)->isChecked());

    QCOMPARE(plot->yAxis->range(), QCPRange(-5e-5, 5e-5));
    QCOMPARE(plot->xAxis->range(), QCPRange(0, 14));
    QCOMPARE(plot->xAxis->label(), QStringLiteral("xLabel"));
    QCOMPARE(plot->yAxis->label(), QStringLiteral("yLabel"));
    QCOMPARE(plot->yAxis->numberFormat(), QStringLiteral("e"));
    QCOMPARE(plot->yAxis->numberPrecision(), 5);
    QCOMPARE(plot->yAxis->tickLabelColor(), QColor(Qt::white));
    QCOMPARE(int(plot->interactions()), 27);
    QCOMPARE(plot->axisRect()->rangeZoom(), Qt::Horizontal | Qt::Vertical);
}

void TestWidgetGraphInt::graphCountIsBoundedByTwoColours()
{
    WidgetGraphInt big(nullptr, 4);
    QCOMPARE(plotOf(&big)->graphCount(), 2);
    QVERIFY(big.getGraphData(1));
    QVERIFY(!big.getGraphData(2));
}

void TestWidgetGraphInt::getGraphData_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("valid");
    QTest::newRow("-1 is null") << -1 << false;
    QTest::newRow("BPM1") << 0 << true;
    QTest::newRow("BPM2") << 1 << true;
    QTest::newRow("2 is null") << 2 << false;
}

void TestWidgetGraphInt::getGraphData()
{
    QFETCH(int, index);
    QFETCH(bool, valid);
    WidgetGraphInt w(nullptr, 2);
    QCustomPlot* plot = plotOf(&w);
    const QSharedPointer<QCPGraphDataContainer> data = w.getGraphData(index);
    QCOMPARE(!data.isNull(), valid);
    if (!valid)
        return;
    QCOMPARE(data, plot->graph(index)->data());
    QVERIFY(data != w.getGraphData(1 - index));

    fill(data, 14336, 0.0, 0.001, 50.0, 10.0);
    w.show();
    w.replot();
    QCOMPARE(plot->graph(index)->data(), data);
    QCOMPARE(plot->graph(index)->dataCount(), 14336);
    QCOMPARE(plot->xAxis->range(), QCPRange(0.0, 14.335));
    QVERIFY(plot->yAxis->range().lower >= 40.0 - 1e-9 && plot->yAxis->range().upper <= 60.0 + 1e-9);
}

void TestWidgetGraphInt::labelsAndNames()
{
    WidgetGraphInt w(nullptr, 2);
    QCustomPlot* plot = plotOf(&w);
    w.setAxisLabels(QStringLiteral("Time [s]"), QStringLiteral("Intensity [A]"), QStringList{QStringLiteral("Int BPM1"), QStringLiteral("Int BPM2")});
    QCOMPARE(plot->xAxis->label(), QStringLiteral("Time [s]"));
    QCOMPARE(plot->yAxis->label(), QStringLiteral("Intensity [A]"));
    QCOMPARE(plot->graph(0)->name(), QStringLiteral("Int BPM1"));
    QCOMPARE(plot->graph(1)->name(), QStringLiteral("Int BPM2"));

    w.setYNumberFormat(QStringLiteral("g"), 3);
    QCOMPARE(plot->yAxis->numberFormat(), QStringLiteral("g"));
    QCOMPARE(plot->yAxis->numberPrecision(), 3);
}

void TestWidgetGraphInt::namesBeyondTheGraphsAreIgnored()
{
    WidgetGraphInt w(nullptr, 2);
    QCustomPlot* plot = plotOf(&w);
    const QString untouched = plot->graph(1)->name();
    w.setAxisLabels(QStringLiteral("t"), QStringLiteral("v"), {QStringLiteral("a")});
    QCOMPARE(plot->graph(0)->name(), QStringLiteral("a"));
    QCOMPARE(plot->graph(1)->name(), untouched);
    w.setAxisLabels(QStringLiteral("t"), QStringLiteral("v"),
                    {QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")});
    QCOMPARE(plot->graphCount(), 2);
    QCOMPARE(plot->graph(0)->name(), QStringLiteral("b"));
    QCOMPARE(plot->graph(1)->name(), QStringLiteral("c"));
}

void TestWidgetGraphInt::presenceRule_data()
{
    QTest::addColumn<bool>("present0");
    QTest::addColumn<bool>("present1");
    QTest::addColumn<bool>("check1");
    QTest::addColumn<bool>("check2");
    QTest::addColumn<bool>("visible0");
    QTest::addColumn<bool>("visible1");
    QTest::newRow("both present, both boxes") << true << true << true << true << true << true;
    QTest::newRow("both present, CheckCh2 off shows graph 0 only") << true << true << true << false << true << false;
    QTest::newRow("both present, no boxes") << true << true << false << false << false << false;
    QTest::newRow("BPM1 only") << true << false << true << true << true << false;
    QTest::newRow("BPM1 only, CheckCh1 off") << true << false << false << true << false << false;
    QTest::newRow("BPM2 only") << false << true << true << true << false << true;
    QTest::newRow("none present, both boxes") << false << false << true << true << false << false;
}

void TestWidgetGraphInt::presenceRule()
{
    QFETCH(bool, present0);
    QFETCH(bool, present1);
    QFETCH(bool, check1);
    QFETCH(bool, check2);
    QFETCH(bool, visible0);
    QFETCH(bool, visible1);
    SimControl::setZentrimPresent(0, present0);
    SimControl::setZentrimPresent(1, present1);
    WidgetGraphInt w(nullptr, 2);
    verifyPresenceRule(w, check1, check2, visible0, visible1);
}

void TestWidgetGraphInt::uncheckAndCheckRestoresGraph()
{
    WidgetGraphInt w(nullptr, 2);
    QCustomPlot* plot = plotOf(&w);
    boxOf(&w, 2)->setChecked(false);
    QVERIFY(plot->graph(0)->visible());
    QVERIFY(!plot->graph(1)->visible());

    const int queries = SimControl::callCount("getZentrims");
    boxOf(&w, 1)->setChecked(false);
    QVERIFY(!plot->graph(0)->visible());
    boxOf(&w, 1)->setChecked(true);
    QVERIFY(plot->graph(0)->visible());
    QVERIFY(!plot->graph(1)->visible());
    QCOMPARE(SimControl::callCount("getZentrims"), queries + 2);  // asked at every toggle
}

void TestWidgetGraphInt::failedPresenceQueryHidesBoth()
{
    WidgetGraphInt w(nullptr, 2);
    SimControl::failCall("getZentrims");
    verifyPresenceRule(w, true, true, false, false);
}

void TestWidgetGraphInt::setBpmHidden_data()
{
    QTest::addColumn<bool>("hide1");
    QTest::addColumn<bool>("hide2");
    QTest::addColumn<bool>("check1");
    QTest::addColumn<bool>("check2");
    QTest::newRow("hide BPM1, boxes checked") << true << false << true << true;
    QTest::newRow("hide BPM2, boxes checked") << false << true << true << true;
    QTest::newRow("hide both") << true << true << true << true;
    QTest::newRow("show both") << false << false << true << true;
    QTest::newRow("shown but CheckCh1 off") << false << false << false << true;
}

void TestWidgetGraphInt::setBpmHidden()
{
    QFETCH(bool, hide1);
    QFETCH(bool, hide2);
    QFETCH(bool, check1);
    QFETCH(bool, check2);
    WidgetGraphInt w(nullptr, 2);
    verifyBpmHidden(w, hide1, hide2, check1, check2);
    if (QTest::currentTestFailed())
        return;
    // And back: presence returned, the boxes' state decides again.
    verifyBpmHidden(w, false, false, check1, check2);
}

void TestWidgetGraphInt::setBpmHiddenAsksNoHardware()
{
    WidgetGraphInt w(nullptr, 2);
    SimControl::setZentrimPresent(0, true);
    SimControl::setZentrimPresent(1, true);
    const int queries = SimControl::callCount("getZentrims");
    w.setBpmHidden(true, true);
    w.setBpmHidden(false, true);
    QCOMPARE(SimControl::callCount("getZentrims"), queries);
    QVERIFY(plotOf(&w)->graph(0)->visible());
    QVERIFY(!plotOf(&w)->graph(1)->visible());
}

void TestWidgetGraphInt::autoscaleAndFixedRanges()
{
    WidgetGraphInt w(nullptr, 2);
    QCustomPlot* plot = plotOf(&w);
    fill(w.getGraphData(0), 1000, 0.0, 0.001, 5.0, 1.0);
    fill(w.getGraphData(1), 1000, 0.0, 0.01, -300.0, 1.0);
    boxOf(&w, 2)->setChecked(false);
    w.replot();
    QCOMPARE(plot->xAxis->range().upper, 0.999);
    QVERIFY(plot->yAxis->range().lower > 0.0);

    autoscaleOf(&w)->setChecked(false);
    plot->xAxis->setRange(0.25, 0.5);
    plot->yAxis->setRange(1.0, 2.0);
    boxOf(&w, 2)->setChecked(true);
    w.replot();
    QCOMPARE(plot->xAxis->range(), QCPRange(0.25, 0.5));
    QCOMPARE(plot->yAxis->range(), QCPRange(1.0, 2.0));
}

void TestWidgetGraphInt::backgroundFollowsHeight()
{
    WidgetGraphInt w(nullptr, 2);
    verifyBackgroundFollowsHeight(&w, 700);
}

QTEST_MAIN(TestWidgetGraphInt)
#include "tst_widgetgraphint.moc"
