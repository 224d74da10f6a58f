// The spectrum view against the simulated controller and a real Updater: its
// frame, the length and source mappings, mode and mean removal, the lin/log
// switches, the cursor readout, presence and what reaches the Updater.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <cmath>
#include <memory>
#include <optional>

#include <qcustomplot.h>

#include "Globals.h"
#include "GraphPanelChecks.h"
#include "SimControl.h"
#include "Updater.h"
#include "WidgetGraphFFT.h"
#include "support/ProgramFixture.h"

namespace {

using GraphPanelChecks::plotOf;

template <class T>
T* child(QWidget* panel, const char* name)
{
    T* found = panel->findChild<T*>(name);
    if (!found)
        qWarning("no child %s", name);
    return found;
}

QStringList itemsOf(QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

bool finitePositive(const QCPRange& r)
{
    return std::isfinite(r.lower) && std::isfinite(r.upper) && r.lower > 0.0 && r.lower < r.upper;
}

QSharedPointer<QCPAxisTickerLog> logTicker(QCPAxis* axis)
{
    return axis->ticker().dynamicCast<QCPAxisTickerLog>();
}

// Moves a combo to `index` so that its signal fires even when it already stood there.
void select(QComboBox* combo, int index)
{
    combo->setCurrentIndex(index == 0 ? 1 : 0);
    combo->setCurrentIndex(index);
}

}  // namespace

class TestWidgetGraphFFT : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void frame();
    void boxesFollowPresenceAtStart_data();
    void boxesFollowPresenceAtStart();
    void lengthMapping_data();
    void lengthMapping();
    void sourceMapping_data();
    void sourceMapping();
    void clearedCombosFallBack();
    void modeAndMeanRemoval_data();
    void modeAndMeanRemoval();
    void settingsReachTheTick();
    void axisSwitches_data();
    void axisSwitches();
    void cursorFields_data();
    void cursorFields();
    void presenceRule_data();
    void presenceRule();
    void setBpmHidden_data();
    void setBpmHidden();
    void autoscale();
    void rateNotPositiveKeepsRangesFinite_data();
    void rateNotPositiveKeepsRangesFinite();
    void backgroundFollowsHeight();

private:
    std::unique_ptr<WidgetGraphFFT> shownPanel();
    void tick();

    std::optional<ProgramFixture> m_program;
};

void TestWidgetGraphFFT::init()
{
    m_program.emplace(
        ProgramFixture::Options().noConfig().noLink().withUpdater().atUserLevel(USER_LEVEL_USER).withPosScale(1000.0));
}

void TestWidgetGraphFFT::cleanup()
{
    m_program.reset();
}

std::unique_ptr<WidgetGraphFFT> TestWidgetGraphFFT::shownPanel()
{
    auto panel = std::make_unique<WidgetGraphFFT>(nullptr, 2);
    panel->resize(900, 500);
    panel->show();
    if (!QTest::qWaitForWindowExposed(panel.get()))
        return nullptr;
    plotOf(panel.get())->replot();
    return panel;
}

// One display tick into the panel's own containers.
void TestWidgetGraphFFT::tick()
{
    SimControl::step(1.0);
    UPDATER->updateGraphs();
}

void TestWidgetGraphFFT::frame()
{
    UPDATER->setFFTlength(123);
    WidgetGraphFFT panel(nullptr, 2);
    QCustomPlot* plot = plotOf(&panel);
    QVERIFY(plot);
    QVERIFY(plot->noAntialiasingOnDrag());
    QCOMPARE(plot->graphCount(), 2);
    QCOMPARE(plot->graph(0)->pen().color(), QColor(255, 255, 135));
    QCOMPARE(plot->graph(1)->pen().color(), QColor(255, 130, 255));
    QCOMPARE(plot->graph(0)->pen().widthF(), 1.0);
    QVERIFY(!plot->graph(0)->antialiased() && !plot->graph(1)->antialiased());

    QCOMPARE(child<QCheckBox>(&panel, "CheckCh1")->text(), QStringLiteral("BPM1"));
    QCOMPARE(child<QCheckBox>(&panel, "CheckCh2")->text(), QStringLiteral("BPM2"));
    QCOMPARE(child<QLabel>(&panel, "label_1_color")->styleSheet(),
             QStringLiteral("QLabel { background-color : rgb(255,255,135); color : rgb(255,255,135); }"));
    QCOMPARE(child<QLabel>(&panel, "label_2_color")->styleSheet(),
             QStringLiteral("QLabel { background-color : rgb(255,130,255); color : rgb(255,130,255); }"));
    QCOMPARE(child<QLabel>(&panel, "label_1_color")->size(), QSize(20, 20));
    QVERIFY(child<QCheckBox>(&panel, "checkBoxAutoscale")->isChecked());
    QCOMPARE(child<QCheckBox>(&panel, "checkBoxAutoscale")->text(), QStringLiteral("Autoscale"));

    QCOMPARE(itemsOf(child<QComboBox>(&panel, "comboBoxGraph")), QStringList({"FFT", "CSP"}));
    QCOMPARE(itemsOf(child<QComboBox>(&panel, "selectorComboBox")),
             QStringList({"Zentrim, Ch 1", "Zentrim, Ch 2", "Zentrim, Ch 3", "Zentrim, Ch 4", "PosX", "PosY", "I0"}));
    QCOMPARE(child<QComboBox>(&panel, "selectorComboBox")->currentIndex(), 0);
    QCOMPARE(itemsOf(child<QComboBox>(&panel, "fFTLengthComboBox")),
             QStringList({"64", "128", "256", "512", "1024", "2048", "8192"}));
    QCOMPARE(child<QComboBox>(&panel, "fFTLengthComboBox")->currentText(), QStringLiteral("8192"));
    QCOMPARE(itemsOf(child<QComboBox>(&panel, "xAxisComboBox")), QStringList({"Log", "Lin"}));
    QCOMPARE(itemsOf(child<QComboBox>(&panel, "yAxisComboBox")), QStringList({"Log", "Lin"}));
    QCheckBox* removeDC = child<QCheckBox>(&panel, "removeDCCheckBox");
    QVERIFY(!removeDC->isChecked() && removeDC->text().isEmpty());
    const QList<QPair<const char*, QString>> labels{{"label", "Graph"},          {"selectorLabel", "Selector: "},
                                                    {"fFTLengthLabel", "FFT Length:"}, {"removeDCLabel", "Remove DC:"},
                                                    {"xAxisLabel", "X Axis:"},   {"yAxisLabel", "Y Axis:"},
                                                    {"label_3", "Cursor X"},     {"label_4", "Cursor Y"}};
    for (const auto& [name, text] : labels)
        QCOMPARE(child<QLabel>(&panel, name)->text(), text);
    QVERIFY(child<QLineEdit>(&panel, "lineEditCursorX") && child<QLineEdit>(&panel, "lineEditCursorY"));

    QCOMPARE(plot->xAxis->label(), QStringLiteral("xLabel"));
    QCOMPARE(plot->yAxis->label(), QStringLiteral("yLabel"));
    QCOMPARE(plot->yAxis->numberFormat(), QStringLiteral("e"));
    QCOMPARE(plot->yAxis->numberPrecision(), 5);
    QCOMPARE(plot->xAxis->tickLabelColor(), QColor(Qt::white));
    QCOMPARE(plot->xAxis->scaleType(), QCPAxis::stLogarithmic);
    QCOMPARE(plot->yAxis->scaleType(), QCPAxis::stLogarithmic);
    for (auto [axis, ticks] : {std::pair{plot->xAxis, 4}, std::pair{plot->yAxis, 6}}) {
        QSharedPointer<QCPAxisTickerLog> ticker = logTicker(axis);
        QVERIFY(ticker);
        QCOMPARE(ticker->logBase(), 10.0);
        QCOMPARE(ticker->subTickCount(), 8);
        QCOMPARE(ticker->tickCount(), ticks);
        QVERIFY(axis->grid()->subGridVisible());
    }
    QCOMPARE(plot->yAxis->range(), QCPRange(1e-12, 1000));
    QCOMPARE(plot->xAxis->range(), QCPRange(10, 1000));
    QCOMPARE(int(plot->interactions()), 27);
    QCOMPARE(plot->axisRect()->rangeZoom(), Qt::Horizontal | Qt::Vertical);

    // Built with the first selector item; the length is the Updater's own 8192, not sent.
    QCOMPARE(UPDATER->fftSource(), 24);
    QCOMPARE(UPDATER->fftLength(), 123);

    QVERIFY(panel.getGraphData(0) && panel.getGraphData(1));
    QCOMPARE(panel.getGraphData(0), plot->graph(0)->data());
    QCOMPARE(panel.getGraphData(1), plot->graph(1)->data());
    QVERIFY(!panel.getGraphData(-1) && !panel.getGraphData(2));

    panel.setAxisLabels(QStringLiteral("Frequency [Hz]"), QString());
    QCOMPARE(plot->xAxis->label(), QStringLiteral("Frequency [Hz]"));
    QCOMPARE(plot->yAxis->label(), QString());
}

void TestWidgetGraphFFT::boxesFollowPresenceAtStart_data()
{
    QTest::addColumn<bool>("present0");
    QTest::addColumn<bool>("present1");
    QTest::addColumn<bool>("failQuery");

    QTest::newRow("both present: both checked") << true << true << false;
    QTest::newRow("only BPM2 present: CheckCh1 unchecked, CheckCh2 checked") << false << true << false;
    QTest::newRow("only BPM1 present") << true << false << false;
    QTest::newRow("none present: neither") << false << false << false;
    QTest::newRow("failed query reads as none") << true << true << true;
}

void TestWidgetGraphFFT::boxesFollowPresenceAtStart()
{
    QFETCH(bool, present0);
    QFETCH(bool, present1);
    QFETCH(bool, failQuery);

    SimControl::setZentrimPresent(0, present0);
    SimControl::setZentrimPresent(1, present1);
    if (failQuery)
        SimControl::failCall("getZentrims");
    WidgetGraphFFT panel(nullptr, 2);
    QCOMPARE(child<QCheckBox>(&panel, "CheckCh1")->isChecked(), present0 && !failQuery);
    QCOMPARE(child<QCheckBox>(&panel, "CheckCh2")->isChecked(), present1 && !failQuery);
    QVERIFY(!child<QCheckBox>(&panel, "CheckCh1")->isHidden());
    QVERIFY(!child<QLabel>(&panel, "label_2_color")->isHidden());
}

void TestWidgetGraphFFT::lengthMapping_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("length");

    QTest::newRow("64") << 0 << 64;
    QTest::newRow("128") << 1 << 128;
    QTest::newRow("256") << 2 << 256;
    QTest::newRow("512") << 3 << 512;
    QTest::newRow("1024") << 4 << 1024;
    QTest::newRow("2048") << 5 << 2048;
    QTest::newRow("8192 at index 6: there is no 4096 item") << 6 << 8192;
}

void TestWidgetGraphFFT::lengthMapping()
{
    QFETCH(int, index);
    QFETCH(int, length);

    WidgetGraphFFT panel(nullptr, 2);
    QComboBox* combo = child<QComboBox>(&panel, "fFTLengthComboBox");
    select(combo, index);
    QCOMPARE(combo->currentText(), QString::number(length));
    QCOMPARE(UPDATER->fftLength(), length);
    QCOMPARE(WidgetGraphFFT::fftLengthForIndex(index), length);
}

void TestWidgetGraphFFT::sourceMapping_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("column");

    QTest::newRow("Zentrim, Ch 1") << 0 << 24;
    QTest::newRow("Zentrim, Ch 2") << 1 << 25;
    QTest::newRow("Zentrim, Ch 3") << 2 << 26;
    QTest::newRow("Zentrim, Ch 4") << 3 << 27;
    QTest::newRow("PosX") << 4 << 0;
    QTest::newRow("PosY") << 5 << 1;
    QTest::newRow("I0") << 6 << 2;
}

void TestWidgetGraphFFT::sourceMapping()
{
    QFETCH(int, index);
    QFETCH(int, column);

    WidgetGraphFFT panel(nullptr, 2);
    QComboBox* combo = child<QComboBox>(&panel, "selectorComboBox");
    select(combo, index);
    QCOMPARE(UPDATER->fftSource(), column);
    QCOMPARE(WidgetGraphFFT::sourceColumnForIndex(index), column);
}

void TestWidgetGraphFFT::clearedCombosFallBack()
{
    WidgetGraphFFT panel(nullptr, 2);
    select(child<QComboBox>(&panel, "fFTLengthComboBox"), 3);
    select(child<QComboBox>(&panel, "selectorComboBox"), 2);
    // A cleared combo reports index -1.
    child<QComboBox>(&panel, "fFTLengthComboBox")->clear();
    child<QComboBox>(&panel, "selectorComboBox")->clear();
    QCOMPARE(UPDATER->fftLength(), 64);
    QCOMPARE(UPDATER->fftSource(), 0);
    for (int index : {-1, 7, 100}) {
        QCOMPARE(WidgetGraphFFT::fftLengthForIndex(index), 64);
        QCOMPARE(WidgetGraphFFT::sourceColumnForIndex(index), 0);
    }
}

void TestWidgetGraphFFT::modeAndMeanRemoval_data()
{
    QTest::addColumn<int>("graphIndex");
    QTest::addColumn<bool>("removeDC");
    QTest::addColumn<int>("cumulative");

    QTest::newRow("CSP, mean removed") << 1 << true << 1;
    QTest::newRow("FFT, mean removed") << 0 << true << 0;
    QTest::newRow("CSP, mean kept") << 1 << false << 1;
    QTest::newRow("FFT, mean kept") << 0 << false << 0;
}

void TestWidgetGraphFFT::modeAndMeanRemoval()
{
    QFETCH(int, graphIndex);
    QFETCH(bool, removeDC);
    QFETCH(int, cumulative);

    WidgetGraphFFT panel(nullptr, 2);
    QCOMPARE(UPDATER->fftCumulative(), 0);
    QVERIFY(!UPDATER->fftRemoveDC());
    select(child<QComboBox>(&panel, "comboBoxGraph"), graphIndex);
    QCheckBox* box = child<QCheckBox>(&panel, "removeDCCheckBox");
    box->setChecked(!removeDC);
    box->click();
    QCOMPARE(box->isChecked(), removeDC);
    QCOMPARE(UPDATER->fftRemoveDC(), removeDC);
    QCOMPARE(UPDATER->fftCumulative(), cumulative);
}

void TestWidgetGraphFFT::settingsReachTheTick()
{
    WidgetGraphFFT panel(nullptr, 2);
    UPDATER->setGraphData(Updater::KindSpectrum, 0, panel.getGraphData(0));
    UPDATER->setGraphData(Updater::KindSpectrum, 1, panel.getGraphData(1));

    select(child<QComboBox>(&panel, "fFTLengthComboBox"), 0);
    tick();
    const int bins64 = panel.getGraphData(0)->size();
    select(child<QComboBox>(&panel, "fFTLengthComboBox"), 2);
    tick();
    const int bins256 = panel.getGraphData(0)->size();
    QVERIFY(bins64 > 0);
    QVERIFY2(bins256 > 3 * bins64, qPrintable(QStringLiteral("%1 %2").arg(bins64).arg(bins256)));
    QCOMPARE(panel.getGraphData(1)->size(), bins256);
    // Keys are frequencies up to half the sample rate.
    QVERIFY(panel.getGraphData(0)->at(bins256 - 1)->key <= 500.0 + 1e-9);
}

void TestWidgetGraphFFT::axisSwitches_data()
{
    QTest::addColumn<bool>("xAxis");
    QTest::addColumn<QPointF>("linRange");  // (lower, upper) set while linear
    QTest::addColumn<QPointF>("logRange");  // expected after switching back to "Log"

    QTest::newRow("x: a negative linear range gives 10 .. 1000") << true << QPointF(-500, -5) << QPointF(10, 1000);
    QTest::newRow("y: a negative linear range gives 1e-15 .. 1000") << false << QPointF(-3, -1) << QPointF(1e-15, 1000);
    QTest::newRow("x: a positive range stays") << true << QPointF(20, 400) << QPointF(20, 400);
    QTest::newRow("y: a positive range stays") << false << QPointF(1e-6, 2e-3) << QPointF(1e-6, 2e-3);
}

void TestWidgetGraphFFT::axisSwitches()
{
    QFETCH(bool, xAxis);
    QFETCH(QPointF, linRange);
    QFETCH(QPointF, logRange);

    WidgetGraphFFT panel(nullptr, 2);
    QCustomPlot* plot = plotOf(&panel);
    QCPAxis* axis = xAxis ? plot->xAxis : plot->yAxis;
    QComboBox* combo = child<QComboBox>(&panel, xAxis ? "xAxisComboBox" : "yAxisComboBox");
    for (int i = 0; i < 200; ++i)
        panel.getGraphData(0)->add(QCPGraphData(10.0 + i, 1e-4 * (1 + i % 7)));

    combo->setCurrentIndex(1);
    QCOMPARE(axis->scaleType(), QCPAxis::stLinear);
    QVERIFY(!logTicker(axis));
    if (xAxis) {
        // Switching x to "Lin" keeps the range.
        QCOMPARE(axis->range(), QCPRange(10, 1000));
    } else {
        // Switching y to "Lin" fits the visible data at once.
        QCOMPARE(axis->range(), QCPRange(1e-4, 7e-4));
    }

    axis->setRange(linRange.x(), linRange.y());
    combo->setCurrentIndex(0);
    QCOMPARE(axis->scaleType(), QCPAxis::stLogarithmic);
    QSharedPointer<QCPAxisTickerLog> ticker = logTicker(axis);
    QVERIFY(ticker);
    QCOMPARE(ticker->tickCount(), xAxis ? 4 : 6);
    QCOMPARE(ticker->subTickCount(), 8);
    QCOMPARE(axis->range(), QCPRange(logRange.x(), logRange.y()));
}

void TestWidgetGraphFFT::cursorFields_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("linearX");

    QTest::newRow("cruise, log axes") << 0 << false;
    QTest::newRow("admin, log axes") << 2 << false;
    QTest::newRow("cruise, linear x reads exactly 1.000e+02") << 0 << true;
}

void TestWidgetGraphFFT::cursorFields()
{
    QFETCH(int, level);
    QFETCH(bool, linearX);

    USER_LEVEL = level;
    std::unique_ptr<WidgetGraphFFT> panel = shownPanel();
    QVERIFY(panel);
    QCustomPlot* plot = plotOf(panel.get());
    if (linearX) {
        child<QComboBox>(panel.get(), "xAxisComboBox")->setCurrentIndex(1);
        // One unit per pixel, with 100 Hz on a whole pixel.
        const QRect rect = plot->axisRect()->rect();
        const int pixel = rect.left() + rect.width() / 2;
        plot->xAxis->setRange(100.0 - (pixel - rect.left()), 100.0 - (pixel - rect.left()) + rect.width());
        plot->replot();
    }
    const QCPRange xBefore = plot->xAxis->range();
    const int length = UPDATER->fftLength(), source = UPDATER->fftSource();

    const QPoint pixel(qRound(plot->xAxis->coordToPixel(100.0)), qRound(plot->yAxis->coordToPixel(1e-6)));
    QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, pixel);

    const QString x = child<QLineEdit>(panel.get(), "lineEditCursorX")->text();
    const QString y = child<QLineEdit>(panel.get(), "lineEditCursorY")->text();
    QCOMPARE(x, QString::number(plot->xAxis->pixelToCoord(pixel.x()), 'e', 3));
    QCOMPARE(y, QString::number(plot->yAxis->pixelToCoord(pixel.y()), 'e', 3));
    if (linearX)
        QCOMPARE(x, QStringLiteral("1.000e+02"));
    QVERIFY(std::abs(x.toDouble() / 100.0 - 1.0) < 0.01);
    QVERIFY(std::abs(std::log10(y.toDouble()) + 6.0) < 0.05);
    // A readout only: nothing else moves.
    QCOMPARE(plot->xAxis->range(), xBefore);
    QCOMPARE(UPDATER->fftLength(), length);
    QCOMPARE(UPDATER->fftSource(), source);
}

void TestWidgetGraphFFT::presenceRule_data()
{
    QTest::addColumn<bool>("present0");
    QTest::addColumn<bool>("present1");
    QTest::addColumn<bool>("failQuery");
    QTest::addColumn<bool>("check1");
    QTest::addColumn<bool>("check2");
    QTest::addColumn<bool>("visible0");
    QTest::addColumn<bool>("visible1");

    QTest::newRow("both present, CheckCh2 off shows graph 0 only")
        << true << true << false << true << false << true << false;
    QTest::newRow("both present, both boxes") << true << true << false << true << true << true << true;
    QTest::newRow("BPM1 only, both boxes") << true << false << false << true << true << true << false;
    QTest::newRow("BPM2 only, both boxes") << false << true << false << true << true << false << true;
    QTest::newRow("failed query hides both, whatever the boxes")
        << true << true << true << true << true << false << false;
}

void TestWidgetGraphFFT::presenceRule()
{
    QFETCH(bool, present0);
    QFETCH(bool, present1);
    QFETCH(bool, failQuery);
    QFETCH(bool, check1);
    QFETCH(bool, check2);
    QFETCH(bool, visible0);
    QFETCH(bool, visible1);

    WidgetGraphFFT panel(nullptr, 2);
    QCustomPlot* plot = plotOf(&panel);
    SimControl::setZentrimPresent(0, present0);
    SimControl::setZentrimPresent(1, present1);
    if (failQuery)
        SimControl::failCall("getZentrims");
    // Toggle each box so the rule runs with the presence as it is now.
    for (auto [name, checked] : {std::pair{"CheckCh1", check1}, std::pair{"CheckCh2", check2}}) {
        QCheckBox* box = child<QCheckBox>(&panel, name);
        box->setChecked(!checked);
        box->setChecked(checked);
    }
    QCOMPARE(plot->graph(0)->visible(), visible0);
    QCOMPARE(plot->graph(1)->visible(), visible1);
}

void TestWidgetGraphFFT::setBpmHidden_data()
{
    QTest::addColumn<bool>("hide1");
    QTest::addColumn<bool>("hide2");

    QTest::newRow("hide BPM1") << true << false;
    QTest::newRow("hide BPM2") << false << true;
    QTest::newRow("hide both") << true << true;
    QTest::newRow("show both") << false << false;
}

void TestWidgetGraphFFT::setBpmHidden()
{
    QFETCH(bool, hide1);
    QFETCH(bool, hide2);

    WidgetGraphFFT panel(nullptr, 2);
    QCustomPlot* plot = plotOf(&panel);
    child<QCheckBox>(&panel, "CheckCh2")->setChecked(false);
    const bool graph0 = plot->graph(0)->visible(), graph1 = plot->graph(1)->visible();
    const int queries = SimControl::callCount("getZentrims");

    panel.setBpmHidden(hide1, hide2);
    QCOMPARE(child<QCheckBox>(&panel, "CheckCh1")->isHidden(), hide1);
    QCOMPARE(child<QLabel>(&panel, "label_1_color")->isHidden(), hide1);
    QCOMPARE(child<QCheckBox>(&panel, "CheckCh2")->isHidden(), hide2);
    QCOMPARE(child<QLabel>(&panel, "label_2_color")->isHidden(), hide2);
    // Unlike the time graphs, the graphs are left as they were, and nothing is asked.
    QCOMPARE(plot->graph(0)->visible(), graph0);
    QCOMPARE(plot->graph(1)->visible(), graph1);
    QCOMPARE(SimControl::callCount("getZentrims"), queries);

    panel.setBpmHidden(false, false);
    QVERIFY(!child<QCheckBox>(&panel, "CheckCh1")->isHidden());
    QVERIFY(!child<QLabel>(&panel, "label_2_color")->isHidden());
}

void TestWidgetGraphFFT::autoscale()
{
    WidgetGraphFFT panel(nullptr, 2);
    QCustomPlot* plot = plotOf(&panel);
    for (int i = 1; i <= 100; ++i) {
        panel.getGraphData(0)->add(QCPGraphData(i * 2.0, 1e-6 * i));
        panel.getGraphData(1)->add(QCPGraphData(i * 4.0, 1e-3 * i));
    }
    child<QCheckBox>(&panel, "CheckCh2")->setChecked(false);
    panel.replot();
    // Only the visible graph counts.
    QCOMPARE(plot->xAxis->range(), QCPRange(2, 200));
    QVERIFY(std::abs(plot->yAxis->range().lower / 1e-6 - 1.0) < 1e-9);
    QVERIFY(std::abs(plot->yAxis->range().upper / 1e-4 - 1.0) < 1e-9);

    child<QCheckBox>(&panel, "checkBoxAutoscale")->setChecked(false);
    plot->xAxis->setRange(30, 40);
    plot->yAxis->setRange(1e-9, 1e-8);
    child<QCheckBox>(&panel, "CheckCh2")->setChecked(true);
    panel.replot();
    QCOMPARE(plot->xAxis->range(), QCPRange(30, 40));
    QCOMPARE(plot->yAxis->range(), QCPRange(1e-9, 1e-8));
}

void TestWidgetGraphFFT::rateNotPositiveKeepsRangesFinite_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<bool>("spectra");

    QTest::newRow("1000 Hz: spectra up to 500 Hz") << 1000 << true;
    QTest::newRow("0 Hz: no spectra, ranges stay finite") << 0 << false;
    QTest::newRow("-1000 Hz: no spectra, ranges stay finite") << -1000 << false;
}

void TestWidgetGraphFFT::rateNotPositiveKeepsRangesFinite()
{
    QFETCH(int, rate);
    QFETCH(bool, spectra);

    storeSampFreq(rate);
    WidgetGraphFFT panel(nullptr, 2);
    QCustomPlot* plot = plotOf(&panel);
    UPDATER->setGraphData(Updater::KindSpectrum, 0, panel.getGraphData(0));
    UPDATER->setGraphData(Updater::KindSpectrum, 1, panel.getGraphData(1));
    connect(UPDATER, &Updater::replotGraphs, &panel, &WidgetGraphFFT::replot);
    QVERIFY(finitePositive(plot->xAxis->range()) && finitePositive(plot->yAxis->range()));

    tick();
    QCOMPARE(panel.getGraphData(0)->isEmpty(), !spectra);
    QVERIFY(finitePositive(plot->xAxis->range()));
    QVERIFY(finitePositive(plot->yAxis->range()));
    if (spectra)
        QVERIFY(plot->xAxis->range().upper <= 500.0 + 1e-9);

    // Linear axes too: the y rescale of the switch and the next tick's autoscale.
    child<QComboBox>(&panel, "xAxisComboBox")->setCurrentIndex(1);
    child<QComboBox>(&panel, "yAxisComboBox")->setCurrentIndex(1);
    tick();
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
        QVERIFY(std::isfinite(axis->range().lower) && std::isfinite(axis->range().upper));
        QVERIFY(axis->range().lower < axis->range().upper);
    }
}

void TestWidgetGraphFFT::backgroundFollowsHeight()
{
    WidgetGraphFFT panel(nullptr, 2);
    GraphPanelChecks::verifyBackgroundFollowsHeight(&panel, 700);
}

QTEST_MAIN(TestWidgetGraphFFT)
#include "tst_widgetgraphfft.moc"
