// Redraw at once while shown, once on showing again after replots while hidden.
#include <QSignalSpy>
#include <QtTest>

#include <qcustomplot.h>

#include "PlotRefresher.h"

class TestPlotRefresher : public QObject
{
    Q_OBJECT

private slots:
    void visiblePlotIsRedrawnAtOnce();
    void hiddenPlotIsRedrawnOnceWhenShown();
    void showingWithoutPendingReplotDrawsNothing();
    void neverShownPlotWaitsForItsFirstShow();
};

namespace {
void showAndSettle(QCustomPlot& plot)
{
    plot.resize(300, 200);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    QCoreApplication::processEvents();
}
}  // namespace

void TestPlotRefresher::visiblePlotIsRedrawnAtOnce()
{
    QCustomPlot plot;
    auto* refresher = new PlotRefresher(&plot);
    QCOMPARE(refresher->parent(), &plot);
    showAndSettle(plot);

    QSignalSpy drawn(&plot, &QCustomPlot::afterReplot);
    refresher->replot();
    QCOMPARE(drawn.count(), 1);
    QVERIFY(!refresher->pending());
}

void TestPlotRefresher::hiddenPlotIsRedrawnOnceWhenShown()
{
    QCustomPlot plot;
    auto* refresher = new PlotRefresher(&plot);
    showAndSettle(plot);
    plot.hide();

    QSignalSpy drawn(&plot, &QCustomPlot::afterReplot);
    refresher->replot();
    refresher->replot();
    refresher->replot();
    QCOMPARE(drawn.count(), 0);
    QVERIFY(refresher->pending());

    plot.show();
    QCOMPARE(drawn.count(), 1);
    QVERIFY(!refresher->pending());
}

void TestPlotRefresher::showingWithoutPendingReplotDrawsNothing()
{
    QCustomPlot plot;
    auto* refresher = new PlotRefresher(&plot);
    showAndSettle(plot);
    plot.hide();

    QSignalSpy drawn(&plot, &QCustomPlot::afterReplot);
    plot.show();
    QCOMPARE(drawn.count(), 0);
    QVERIFY(!refresher->pending());
}

void TestPlotRefresher::neverShownPlotWaitsForItsFirstShow()
{
    QWidget parent;
    auto* plot = new QCustomPlot(&parent);
    auto* refresher = new PlotRefresher(plot);
    refresher->replot();
    QVERIFY(refresher->pending());

    parent.resize(300, 200);
    parent.show();  // shows the child too
    QVERIFY(!refresher->pending());
}

QTEST_MAIN(TestPlotRefresher)
#include "tst_plotrefresher.moc"
