// The four-trace time panel (channel currents and output voltages): its frame,
// the shared containers, autoscale, the channel boxes and the time range.
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>
#include <optional>

#include "GraphPanelChecks.h"
#include "Globals.h"
#include "WidgetGraphCurrents.h"
#include "support/ProgramFixture.h"

using namespace GraphPanelChecks;

class TestWidgetGraphCurrents : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void frameBuildsFourStyledGraphs();
    void channelBoxesAndSwatches();
    void axisStyleAndInteractions();
    void initialRanges_data();
    void initialRanges();
    void graphCountIsBoundedByColours_data();
    void graphCountIsBoundedByColours();
    void getGraphData_data();
    void getGraphData();
    void graphsDrawFromTheSharedContainers();
    void autoscaleFollowsVisibleGraphsOnly();
    void autoscaleOffKeepsZoomedRanges();
    void nonFiniteTimesNeverReachTheAxes();
    void boxTogglesItsTrace_data();
    void boxTogglesItsTrace();
    void twoGraphPanelUsesFirstTwoBoxes();
    void otherGraphCountsIgnoreBoxes();
    void labelsAndNumberFormat();
    void backgroundFollowsHeight();
    void hiddenPanelRedrawsWhenShownAgain();

private:
    std::optional<ProgramFixture> m_program;
};

void TestWidgetGraphCurrents::init()
{
    m_program.emplace(ProgramFixture::Options().noConfig().noLink());
}

void TestWidgetGraphCurrents::cleanup()
{
    m_program.reset();
}

void TestWidgetGraphCurrents::frameBuildsFourStyledGraphs()
{
    WidgetGraphCurrents w(nullptr, 4);
    QCustomPlot* plot = plotOf(&w);
    QVERIFY(plot);
    QVERIFY(plot->noAntialiasingOnDrag());
    QCOMPARE(plot->graphCount(), 4);

    const QColor colours[] = {QColor(255, 255, 135), QColor(255, 130, 255), QColor(130, 255, 130),
                              QColor(130, 210, 250)};
    for (int i = 0; i < 4; ++i) {
        QCPGraph* g = plot->graph(i);
        QVERIFY(!g->antialiased());
        QVERIFY(g->visible());
        QVERIFY(g->adaptiveSampling());
        QCOMPARE(g->pen().color(), colours[i]);
        QCOMPARE(g->pen().brush().style(), Qt::SolidPattern);
        QCOMPARE(g->pen().widthF(), 1.0);
        QCOMPARE(g->pen().style(), Qt::SolidLine);
        QCOMPARE(g->pen().capStyle(), Qt::SquareCap);
        QCOMPARE(g->pen().joinStyle(), Qt::BevelJoin);
    }
}

void TestWidgetGraphCurrents::channelBoxesAndSwatches()
{
    WidgetGraphCurrents w(nullptr, 4);
    const char* colours[] = {"rgb(255,255,135)", "rgb(255,130,255)", "rgb(130,255,130)", "rgb(130,210,250)"};
    for (int ch = 1; ch <= 4; ++ch) {
        QCheckBox* box = boxOf(&w, ch);
        QLabel* swatch = swatchOf(&w, ch);
        QVERIFY(box);
        QVERIFY(swatch);
        QCOMPARE(box->text(), QStringLiteral("Ch %1").arg(ch));
        QVERIFY(box->isChecked());
        QVERIFY(!box->isHidden());
        QVERIFY(!swatch->isHidden());
        QVERIFY(swatch->text().isEmpty());
        QCOMPARE(swatch->minimumSize(), QSize(20, 20));
        QCOMPARE(swatch->maximumSize(), QSize(20, 20));
        const QString rgb = QString::fromLatin1(colours[ch - 1]);
        QCOMPARE(swatch->styleSheet(),
                 QStringLiteral("QLabel { background-color : %1; color : %1; }").arg(rgb));
    }
    QCheckBox* autoscale = autoscaleOf(&w);
    QVERIFY(autoscale);
    QCOMPARE(autoscale->text(), QStringLiteral("Autoscale"));
    QVERIFY(autoscale->isChecked());
}

void TestWidgetGraphCurrents::axisStyleAndInteractions()
{
    WidgetGraphCurrents w(nullptr, 4);
    QCustomPlot* plot = plotOf(&w);
    QCOMPARE(plot->xAxis->label(), QStringLiteral("xLabel"));
    QCOMPARE(plot->yAxis->label(), QStringLiteral("yLabel"));
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
        QCOMPARE(axis->labelColor(), QColor(Qt::white));
        QCOMPARE(axis->tickLabelColor(), QColor(Qt::white));
        QCOMPARE(axis->tickPen(), QPen(Qt::white, 1));
        QCOMPARE(axis->subTickPen(), QPen(Qt::white, 1));
        QCOMPARE(axis->basePen(), QPen(Qt::white, 1));
    }
    QCOMPARE(plot->yAxis->numberFormat(), QStringLiteral("e"));
    QCOMPARE(plot->yAxis->numberPrecision(), 5);
    // The x axis keeps the library's default format.
    QCOMPARE(plot->xAxis->numberFormat(), QCPAxis(plot->axisRect(), QCPAxis::atBottom).numberFormat());
    QCOMPARE(int(plot->interactions()), 27);
    QCOMPARE(plot->axisRect()->rangeZoom(), Qt::Horizontal | Qt::Vertical);
}

void TestWidgetGraphCurrents::initialRanges_data()
{
    QTest::addColumn<int>("bufferBytes");
    QTest::addColumn<int>("sampFreq");
    QTest::addColumn<double>("xUpper");  // 0 means the library's default range

    QTest::newRow("14336 records at 1000 Hz give 0 to 14 s") << 3670016 << 1000 << 14.0;
    QTest::newRow("2048 records at 1000 Hz give 0 to 2 s") << 2048 * 256 << 1000 << 2.0;
    QTest::newRow("14336 records at 5000 Hz truncate to 2 s") << 3670016 << 5000 << 2.0;
    QTest::newRow("fewer records than one second keeps the default") << 512 * 256 << 1000 << 0.0;
    QTest::newRow("rate 0 keeps the default") << 3670016 << 0 << 0.0;
    QTest::newRow("negative rate keeps the default") << 3670016 << -1000 << 0.0;
}

void TestWidgetGraphCurrents::initialRanges()
{
    QFETCH(int, bufferBytes);
    QFETCH(int, sampFreq);
    QFETCH(double, xUpper);
    DISPLAY_BUFFER_BYTES = bufferBytes;
    storeSampFreq(sampFreq);

    WidgetGraphCurrents w(nullptr, 4);
    QCustomPlot* plot = plotOf(&w);
    QCOMPARE(plot->yAxis->range().lower, -5e-5);
    QCOMPARE(plot->yAxis->range().upper, 5e-5);
    const QCPRange x = plot->xAxis->range();
    QVERIFY(finiteRange(x));
    if (xUpper > 0) {
        QCOMPARE(x.lower, 0.0);
        QCOMPARE(x.upper, xUpper);
    } else {
        QCustomPlot fresh;
        QCOMPARE(x, fresh.xAxis->range());
    }
}

void TestWidgetGraphCurrents::graphCountIsBoundedByColours_data()
{
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("graphs");
    QTest::newRow("4") << 4 << 4;
    QTest::newRow("2") << 2 << 2;
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("more than the colours") << 7 << 4;
    QTest::newRow("negative") << -1 << 0;
}

void TestWidgetGraphCurrents::graphCountIsBoundedByColours()
{
    QFETCH(int, requested);
    QFETCH(int, graphs);
    WidgetGraphCurrents w(nullptr, requested);
    QCOMPARE(plotOf(&w)->graphCount(), graphs);
    QVERIFY(w.getGraphData(graphs - 1) || graphs == 0);
    QVERIFY(!w.getGraphData(graphs));
}

void TestWidgetGraphCurrents::getGraphData_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("valid");
    QTest::newRow("-1 is null") << -1 << false;
    QTest::newRow("0") << 0 << true;
    QTest::newRow("3") << 3 << true;
    QTest::newRow("4 is null") << 4 << false;
}

void TestWidgetGraphCurrents::getGraphData()
{
    QFETCH(int, index);
    QFETCH(bool, valid);
    WidgetGraphCurrents w(nullptr, 4);
    const QSharedPointer<QCPGraphDataContainer> data = w.getGraphData(index);
    QCOMPARE(!data.isNull(), valid);
    if (valid) {
        QCOMPARE(data, plotOf(&w)->graph(index)->data());
        QVERIFY(data->isEmpty());
    }
}

void TestWidgetGraphCurrents::graphsDrawFromTheSharedContainers()
{
    WidgetGraphCurrents w(nullptr, 4);
    QCustomPlot* plot = plotOf(&w);
    QList<QSharedPointer<QCPGraphDataContainer>> handedOut;
    for (int i = 0; i < 4; ++i)
        handedOut << w.getGraphData(i);
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j)
            QVERIFY(handedOut[i] != handedOut[j]);

    // Two ticks, as the Updater does them: clear and refill in place.
    for (int tick = 0; tick < 2; ++tick) {
        for (int i = 0; i < 4; ++i)
            fill(handedOut[i], 14336, 0.0, 0.001, 1e-6 * (i + 1), 1e-7);
        w.show();
        w.replot();
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(w.getGraphData(i), handedOut[i]);
            QCOMPARE(plot->graph(i)->data(), handedOut[i]);
            QCOMPARE(plot->graph(i)->dataCount(), 14336);
        }
    }
    QCOMPARE(plot->xAxis->range().lower, 0.0);
    QCOMPARE(plot->xAxis->range().upper, 14.335);
    QVERIFY(plot->yAxis->range().lower < 1e-6 && plot->yAxis->range().upper > 4e-6);
}

void TestWidgetGraphCurrents::autoscaleFollowsVisibleGraphsOnly()
{
    WidgetGraphCurrents w(nullptr, 4);
    QCustomPlot* plot = plotOf(&w);
    fill(w.getGraphData(0), 1000, 0.0, 0.001, 0.0, 1.0);
    fill(w.getGraphData(3), 1000, 0.0, 0.1, 500.0, 100.0);  // to 99.9 s, values 400..600
    boxOf(&w, 4)->setChecked(false);

    w.replot();
    QCOMPARE(plot->xAxis->range().upper, 0.999);
    QVERIFY(plot->yAxis->range().upper < 2.0);

    boxOf(&w, 4)->setChecked(true);
    w.replot();
    QCOMPARE(plot->xAxis->range().upper, 99.9);
    QVERIFY(plot->yAxis->range().upper > 500.0);

    // Nothing visible: the ranges stay where they were.
    for (int ch = 1; ch <= 4; ++ch)
        boxOf(&w, ch)->setChecked(false);
    const QCPRange x = plot->xAxis->range();
    const QCPRange y = plot->yAxis->range();
    w.replot();
    QCOMPARE(plot->xAxis->range(), x);
    QCOMPARE(plot->yAxis->range(), y);
}

void TestWidgetGraphCurrents::autoscaleOffKeepsZoomedRanges()
{
    WidgetGraphCurrents w(nullptr, 4);
    QCustomPlot* plot = plotOf(&w);
    autoscaleOf(&w)->setChecked(false);
    plot->xAxis->setRange(2.0, 3.0);
    plot->yAxis->setRange(-7.0, 7.0);
    fill(w.getGraphData(0), 14336, 0.0, 0.001, 100.0, 1.0);

    w.replot();
    QCOMPARE(plot->xAxis->range(), QCPRange(2.0, 3.0));
    QCOMPARE(plot->yAxis->range(), QCPRange(-7.0, 7.0));

    autoscaleOf(&w)->setChecked(true);
    w.replot();
    QCOMPARE(plot->xAxis->range(), QCPRange(0.0, 14.335));
}

void TestWidgetGraphCurrents::nonFiniteTimesNeverReachTheAxes()
{
    // A rate of 0 makes the time step infinite: the first time is NaN, the rest inf.
    WidgetGraphCurrents w(nullptr, 4);
    QCustomPlot* plot = plotOf(&w);
    const double inf = std::numeric_limits<double>::infinity();
    for (int i = 0; i < 4; ++i) {
        QSharedPointer<QCPGraphDataContainer> data = w.getGraphData(i);
        for (int r = 0; r < 100; ++r)
            data->add(QCPGraphData(r * inf, 1e-6 * r));
    }
    w.replot();
    QVERIFY(finiteRange(plot->xAxis->range()));
    QVERIFY(finiteRange(plot->yAxis->range()));
}

void TestWidgetGraphCurrents::boxTogglesItsTrace_data()
{
    QTest::addColumn<int>("channel");
    for (int ch = 1; ch <= 4; ++ch)
        QTest::addRow("Ch %d", ch) << ch;
}

void TestWidgetGraphCurrents::boxTogglesItsTrace()
{
    QFETCH(int, channel);
    WidgetGraphCurrents w(nullptr, 4);
    QCustomPlot* plot = plotOf(&w);
    QCheckBox* box = boxOf(&w, channel);

    box->setChecked(false);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(plot->graph(i)->visible(), i != channel - 1);
    box->setChecked(true);
    for (int i = 0; i < 4; ++i)
        QVERIFY(plot->graph(i)->visible());
}

void TestWidgetGraphCurrents::twoGraphPanelUsesFirstTwoBoxes()
{
    WidgetGraphCurrents w(nullptr, 2);
    QCustomPlot* plot = plotOf(&w);
    boxOf(&w, 2)->setChecked(false);
    QVERIFY(plot->graph(0)->visible());
    QVERIFY(!plot->graph(1)->visible());
    boxOf(&w, 3)->setChecked(false);  // no third graph: nothing to change, nothing to crash on
    boxOf(&w, 2)->setChecked(true);
    QVERIFY(plot->graph(1)->visible());
}

void TestWidgetGraphCurrents::otherGraphCountsIgnoreBoxes()
{
    WidgetGraphCurrents w(nullptr, 3);
    QCustomPlot* plot = plotOf(&w);
    boxOf(&w, 1)->setChecked(false);
    boxOf(&w, 3)->setChecked(false);
    for (int i = 0; i < 3; ++i)
        QVERIFY(plot->graph(i)->visible());
}

void TestWidgetGraphCurrents::labelsAndNumberFormat()
{
    WidgetGraphCurrents w(nullptr, 4);
    QCustomPlot* plot = plotOf(&w);
    w.setAxisLabels(QStringLiteral("Time [s]"), QStringLiteral("Voltage [V]"));
    QCOMPARE(plot->xAxis->label(), QStringLiteral("Time [s]"));
    QCOMPARE(plot->yAxis->label(), QStringLiteral("Voltage [V]"));
    w.setYNumberFormat(QStringLiteral("f"), 2);
    QCOMPARE(plot->yAxis->numberFormat(), QStringLiteral("f"));
    QCOMPARE(plot->yAxis->numberPrecision(), 2);
}

void TestWidgetGraphCurrents::backgroundFollowsHeight()
{
    WidgetGraphCurrents w(nullptr, 4);
    verifyBackgroundFollowsHeight(&w, 640);
}

void TestWidgetGraphCurrents::hiddenPanelRedrawsWhenShownAgain()
{
    // As a dock tab that is not in front: no drawing until it is shown, then
    // at once with the data the containers hold by then.
    WidgetGraphCurrents w(nullptr, 4);
    QCustomPlot* plot = plotOf(&w);
    w.resize(500, 300);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCoreApplication::processEvents();

    QSignalSpy drawn(plot, &QCustomPlot::afterReplot);
    w.replot();
    QCOMPARE(drawn.count(), 1);

    w.hide();
    fill(w.getGraphData(0), 2000, 0.0, 0.001, 3.0, 1.0);
    w.replot();
    w.replot();
    QCOMPARE(drawn.count(), 1);
    QCOMPARE(plot->xAxis->range().upper, 1.999);  // the ranges still follow the data

    w.show();
    QCOMPARE(drawn.count(), 2);
    QCOMPARE(plot->graph(0)->dataCount(), 2000);
}

QTEST_MAIN(TestWidgetGraphCurrents)
#include "tst_widgetgraphcurrents.moc"
