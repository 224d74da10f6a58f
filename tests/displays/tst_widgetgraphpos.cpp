// The position panel against the simulated picoammeters: its frame, the
// presence rule, setBpmHidden, the graph names and the shared containers.
#include <QtTest>

#include <optional>

#include "GraphPanelChecks.h"
#include "Globals.h"
#include "SimControl.h"
#include "WidgetGraphPos.h"
#include "support/ProgramFixture.h"

using namespace GraphPanelChecks;

class TestWidgetGraphPos : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void frame_data();
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

void TestWidgetGraphPos::init()
{
    m_program.emplace(ProgramFixture::Options().noConfig().noLink());
}

void TestWidgetGraphPos::cleanup()
{
    m_program.reset();
}

void TestWidgetGraphPos::frame_data()
{
    QTest::addColumn<int>("axis");
    QTest::newRow("X") << 0;
    QTest::newRow("Y") << 1;
}

void TestWidgetGraphPos::frame()
{
    QFETCH(int, axis);
    WidgetGraphPos w(nullptr, axis, 2);
    QCOMPARE(w.axis(), axis);
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

void TestWidgetGraphPos::graphCountIsBoundedByTwoColours()
{
    WidgetGraphPos big(nullptr, 1, 4);
    QCOMPARE(plotOf(&big)->graphCount(), 2);
    QVERIFY(big.getGraphData(1));
    QVERIFY(!big.getGraphData(2));
}

void TestWidgetGraphPos::getGraphData_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("valid");
    QTest::newRow("-1 is null") << -1 << false;
    QTest::newRow("BPM1") << 0 << true;
    QTest::newRow("BPM2") << 1 << true;
    QTest::newRow("2 is null") << 2 << false;
}

void TestWidgetGraphPos::getGraphData()
{
    QFETCH(int, index);
    QFETCH(bool, valid);
    WidgetGraphPos w(nullptr, 0, 2);
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

void TestWidgetGraphPos::labelsAndNames()
{
    WidgetGraphPos w(nullptr, 0, 2);
    QCustomPlot* plot = plotOf(&w);
    w.setAxisLabels(QStringLiteral("Time [s]"), QStringLiteral("Position [um]"), QStringList{QStringLiteral("X (BPM1)"), QStringLiteral("X (BPM2)")});
    QCOMPARE(plot->xAxis->label(), QStringLiteral("Time [s]"));
    QCOMPARE(plot->yAxis->label(), QStringLiteral("Position [um]"));
    QCOMPARE(plot->graph(0)->name(), QStringLiteral("X (BPM1)"));
    QCOMPARE(plot->graph(1)->name(), QStringLiteral("X (BPM2)"));

    w.setYNumberFormat(QStringLiteral("g"), 3);
    QCOMPARE(plot->yAxis->numberFormat(), QStringLiteral("g"));
    QCOMPARE(plot->yAxis->numberPrecision(), 3);
}

void TestWidgetGraphPos::namesBeyondTheGraphsAreIgnored()
{
    WidgetGraphPos w(nullptr, 0, 2);
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

void TestWidgetGraphPos::presenceRule_data()
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

void TestWidgetGraphPos::presenceRule()
{
    QFETCH(bool, present0);
    QFETCH(bool, present1);
    QFETCH(bool, check1);
    QFETCH(bool, check2);
    QFETCH(bool, visible0);
    QFETCH(bool, visible1);
    SimControl::setZentrimPresent(0, present0);
    SimControl::setZentrimPresent(1, present1);
    WidgetGraphPos w(nullptr, 0, 2);
    verifyPresenceRule(w, check1, check2, visible0, visible1);
}

void TestWidgetGraphPos::uncheckAndCheckRestoresGraph()
{
    WidgetGraphPos w(nullptr, 0, 2);
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

void TestWidgetGraphPos::failedPresenceQueryHidesBoth()
{
    WidgetGraphPos w(nullptr, 0, 2);
    SimControl::failCall("getZentrims");
    verifyPresenceRule(w, true, true, false, false);
}

void TestWidgetGraphPos::setBpmHidden_data()
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

void TestWidgetGraphPos::setBpmHidden()
{
    QFETCH(bool, hide1);
    QFETCH(bool, hide2);
    QFETCH(bool, check1);
    QFETCH(bool, check2);
    WidgetGraphPos w(nullptr, 0, 2);
    verifyBpmHidden(w, hide1, hide2, check1, check2);
    if (QTest::currentTestFailed())
        return;
    // And back: presence returned, the boxes' state decides again.
    verifyBpmHidden(w, false, false, check1, check2);
}

void TestWidgetGraphPos::setBpmHiddenAsksNoHardware()
{
    WidgetGraphPos w(nullptr, 0, 2);
    SimControl::setZentrimPresent(0, true);
    SimControl::setZentrimPresent(1, true);
    const int queries = SimControl::callCount("getZentrims");
    w.setBpmHidden(true, true);
    w.setBpmHidden(false, true);
    QCOMPARE(SimControl::callCount("getZentrims"), queries);
    QVERIFY(plotOf(&w)->graph(0)->visible());
    QVERIFY(!plotOf(&w)->graph(1)->visible());
}

void TestWidgetGraphPos::autoscaleAndFixedRanges()
{
    WidgetGraphPos w(nullptr, 0, 2);
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

void TestWidgetGraphPos::backgroundFollowsHeight()
{
    WidgetGraphPos w(nullptr, 0, 2);
    verifyBackgroundFollowsHeight(&w, 700);
}

QTEST_MAIN(TestWidgetGraphPos)
#include "tst_widgetgraphpos.moc"
