// The position scatter against the simulated controller: its frame, the
// setpoint marker by regulation code and BPM selectors, click-to-set with the
// ROI check and its gating, "Reset Zoom" and the ROI/ROC rectangles.
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <memory>
#include <optional>

#include <qcustomplot.h>

#include "Globals.h"
#include "GraphPanelChecks.h"
#include "Prompts.h"
#include "SimControl.h"
#include "support/ScatterRects.h"
#include "VornLibrary.h"
#include "WidgetGraphXY.h"
#include "support/LogCapture.h"
#include "support/ProgramFixture.h"

namespace {

using GraphPanelChecks::plotOf;

using Marker = WidgetGraphXY::Marker;
using Points = QList<QPointF>;

// Setpoint the controller holds before a test touches it.
constexpr double START_X = 12.5;
constexpr double START_Y = -7.25;

QPushButton* buttonOf(QWidget* panel, const char* name)
{
    return panel->findChild<QPushButton*>(name);
}

using ScatterRects::rectWithPen;

Points pointsOf(const QCPGraph* graph)
{
    Points points;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        points << QPointF(it->key, it->value);
    return points;
}

bool fuzzyEqual(double a, double b)
{
    return std::abs(a - b) <= 1e-9 * std::max(1.0, std::abs(b));
}

// The note the plot shows over a marker it cannot draw; empty when hidden.
QString markerNote(QCustomPlot* plot)
{
    for (int i = 0; i < plot->itemCount(); ++i)
        if (auto* text = qobject_cast<QCPItemText*>(plot->item(i)))
            return text->visible() ? text->text() : QString();
    return QStringLiteral("(no note item)");
}

QString invalidSetpointText()
{
    return QStringLiteral("Setpoint was set outside Region of Interest.\n\n");
}

}  // namespace

class TestWidgetGraphXY : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void frame_data();
    void frame();
    void marker_data();
    void marker();
    void markerForCodesOutsideTheTable();
    void failedReadDrawsNoMarker_data();
    void failedReadDrawsNoMarker();
    void clickSets_data();
    void clickSets();
    void clickRefused_data();
    void clickRefused();
    void roiBorder_data();
    void roiBorder();
    void clickGating_data();
    void clickGating();
    void clickChecksStoredRoiNotRectangles();
    void clickWithoutAReadingSendsNothing_data();
    void clickWithoutAReadingSendsNothing();
    void resetZoom_data();
    void resetZoom();
    void setRoiRects();
    void replotKeepsZoom();
    void backgroundFollowsHeight();

private:
    void writeRoi(int bpm, double roiX, double roiY, double rocPercent);
    std::unique_ptr<WidgetGraphXY> shownPanel(int bpm);
    QPointF clickAt(WidgetGraphXY& panel, double x, double y);
    void setCode(int code);

    std::optional<ProgramFixture> m_program;
};

void TestWidgetGraphXY::init()
{
    LogCapture::install();
    m_program.emplace(ProgramFixture::Options().atUserLevel(USER_LEVEL_USER));
    writeRoi(0, 100.0, 50.0, 110.0);
    writeRoi(1, 20.0, 10.0, 150.0);
    QCOMPARE(setSetpoint2(0, START_X), 0);
    QCOMPARE(setSetpoint2(1, START_Y), 0);
}

void TestWidgetGraphXY::cleanup()
{
    m_program.reset();
}

void TestWidgetGraphXY::writeRoi(int bpm, double roiX, double roiY, double rocPercent)
{
    m_program->config->saveROCandROI(bpm, roiX, roiY, 0.0, 1e-3, rocPercent);
}

std::unique_ptr<WidgetGraphXY> TestWidgetGraphXY::shownPanel(int bpm)
{
    auto panel = std::make_unique<WidgetGraphXY>(bpm);
    panel->resize(500, 500);
    panel->show();
    if (!QTest::qWaitForWindowExposed(panel.get()))
        return nullptr;
    // One view for every click, wide enough for both BPMs' limits.
    QCustomPlot* plot = plotOf(panel.get());
    plot->xAxis->setRange(-150, 150);
    plot->yAxis->setRange(-150, 150);
    plot->replot();
    return panel;
}

// Clicks the pixel nearest (x, y) and returns the position that pixel stands for.
QPointF TestWidgetGraphXY::clickAt(WidgetGraphXY& panel, double x, double y)
{
    QCustomPlot* plot = plotOf(&panel);
    const QPoint pixel(qRound(plot->xAxis->coordToPixel(x)), qRound(plot->yAxis->coordToPixel(y)));
    const QPointF at(plot->xAxis->pixelToCoord(pixel.x()), plot->yAxis->pixelToCoord(pixel.y()));
    QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, pixel);
    return at;
}

void TestWidgetGraphXY::setCode(int code)
{
    QCOMPARE(setPIDconf(int8_t(code)), 0);
}

void TestWidgetGraphXY::frame_data()
{
    QTest::addColumn<int>("bpm");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("xLabel");
    QTest::addColumn<QString>("yLabel");
    QTest::addColumn<double>("rocX");
    QTest::addColumn<double>("rocY");

    QTest::newRow("BPM1") << 0 << QColor(255, 255, 135) << "Horizontal position BPM1 [um]"
                          << "Vertical position BPM1 [um]" << 110.0 << 55.0;
    QTest::newRow("BPM2") << 1 << QColor(255, 130, 255) << "Horizontal position BPM2 [um]"
                          << "Vertical position BPM2 [um]" << 30.0 << 15.0;
}

void TestWidgetGraphXY::frame()
{
    QFETCH(int, bpm);
    QFETCH(QColor, colour);
    QFETCH(QString, xLabel);
    QFETCH(QString, yLabel);
    QFETCH(double, rocX);
    QFETCH(double, rocY);

    WidgetGraphXY panel(bpm);
    QCOMPARE(panel.bpmIndex(), bpm);
    QCustomPlot* plot = plotOf(&panel);
    QVERIFY(plot);
    QCOMPARE(plot->graphCount(), 2);

    QCPGraph* positions = plot->graph(0);
    QCOMPARE(positions->pen().color(), colour);
    QCOMPARE(positions->pen().widthF(), 1.0);
    QCOMPARE(positions->lineStyle(), QCPGraph::lsNone);
    QCOMPARE(positions->scatterStyle().shape(), QCPScatterStyle::ssCross);
    QCOMPARE(positions->scatterStyle().size(), 2.0);
    QVERIFY(panel.getGraphData());
    QCOMPARE(positions->data(), panel.getGraphData());

    QCPGraph* marker = plot->graph(1);
    QCOMPARE(marker->pen().color(), QColor(0, 191, 250));
    QCOMPARE(marker->pen().widthF(), 2.0);
    QCOMPARE(marker->scatterStyle().shape(), QCPScatterStyle::ssCross);
    QCOMPARE(marker->scatterStyle().size(), 15.0);
    QCOMPARE(marker->lineStyle(), QCPGraph::lsLine);
    QVERIFY(!marker->visible());

    QCPItemRect* roi = rectWithPen(plot, QColor(50, 250, 50, 240));
    QCPItemRect* roc = rectWithPen(plot, QColor(250, 70, 70, 240));
    QVERIFY(roi && roc);
    QCOMPARE(roi->pen().widthF(), 1.5);
    QCOMPARE(roc->pen().widthF(), 1.5);

    // Wheel zoom only: no drag, no selection.
    QCOMPARE(plot->interactions(), QCP::Interactions(QCP::iRangeZoom));
    QPushButton* target = buttonOf(&panel, "targetEnable");
    QVERIFY(target && target->isCheckable() && !target->isChecked());
    QCOMPARE(target->text(), QStringLiteral("Target Enable"));
    QCOMPARE(buttonOf(&panel, "resetZoomButton")->text(), QStringLiteral("Reset Zoom"));

    QCOMPARE(plot->xAxis->label(), xLabel);
    QCOMPARE(plot->yAxis->label(), yLabel);
    QCOMPARE(plot->xAxis->labelColor(), QColor(Qt::white));
    QCOMPARE(plot->yAxis->tickLabelColor(), QColor(Qt::white));
    QCOMPARE(plot->yAxis->basePen(), QPen(Qt::white, 1));
    QCOMPARE(plot->xAxis->subTickPen(), QPen(Qt::white, 1));
    // The library's own number format, unlike the time graphs.
    QCOMPARE(plot->yAxis->numberFormat(), QCPAxis(plot->axisRect(), QCPAxis::atLeft).numberFormat());

    // Built zoomed to the ROC from the configuration.
    QVERIFY(fuzzyEqual(plot->xAxis->range().upper, 1.01 * rocX));
    QVERIFY(fuzzyEqual(plot->xAxis->range().lower, -1.01 * rocX));
    QVERIFY(fuzzyEqual(plot->yAxis->range().upper, 1.01 * rocY));
    QVERIFY(fuzzyEqual(plot->yAxis->range().lower, -1.01 * rocY));
}

void TestWidgetGraphXY::marker_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("bpm");
    QTest::addColumn<int>("selX");
    QTest::addColumn<int>("selY");
    QTest::addColumn<int>("kind");

    const int none = int(Marker::None), vertical = int(Marker::VerticalLine),
              horizontal = int(Marker::HorizontalLine), point = int(Marker::Point);
    QTest::newRow("code 0, X fed by BPM2: BPM2 draws a vertical line") << 0 << 1 << 1 << 0 << vertical;
    QTest::newRow("code 0, X fed by BPM2: BPM1 draws nothing") << 0 << 0 << 1 << 0 << none;
    QTest::newRow("code 0, X fed by BPM1: vertical line") << 0 << 0 << 0 << 1 << vertical;
    QTest::newRow("code 2 (X+I0), feeding X: vertical line") << 2 << 0 << 0 << 0 << vertical;
    QTest::newRow("code 2, not feeding X: nothing") << 2 << 1 << 0 << 1 << none;
    QTest::newRow("code 1, both loops on BPM1: BPM1 cross") << 1 << 0 << 0 << 0 << point;
    QTest::newRow("code 1, both loops on BPM1: BPM2 nothing") << 1 << 1 << 0 << 0 << none;
    QTest::newRow("code 1, X on BPM1, Y on BPM2: BPM1 vertical") << 1 << 0 << 0 << 1 << vertical;
    QTest::newRow("code 1, X on BPM1, Y on BPM2: BPM2 horizontal") << 1 << 1 << 0 << 1 << horizontal;
    QTest::newRow("code 3 (Y), feeding Y: horizontal line") << 3 << 0 << 1 << 0 << horizontal;
    QTest::newRow("code 3, not feeding Y: nothing") << 3 << 0 << 0 << 1 << none;
    QTest::newRow("code 4 (Y+I0), feeding Y: horizontal line") << 4 << 1 << 0 << 1 << horizontal;
    QTest::newRow("code 4, not feeding Y: nothing") << 4 << 1 << 1 << 0 << none;
    QTest::newRow("code 5 (X+Y+I0): nothing") << 5 << 0 << 0 << 0 << none;
    QTest::newRow("code 6 (I0): nothing") << 6 << 0 << 0 << 0 << none;
}

void TestWidgetGraphXY::marker()
{
    QFETCH(int, code);
    QFETCH(int, bpm);
    QFETCH(int, selX);
    QFETCH(int, selY);
    QFETCH(int, kind);

    // A ROC that differs from the ROI, so the lines must span the ROC.
    writeRoi(bpm, 100.0, 50.0, 110.0);
    setCode(code);
    BPM_SEL_X = selX;
    BPM_SEL_Y = selY;
    WidgetGraphXY panel(bpm);
    panel.updateGraphXY();

    QCPGraph* marker = plotOf(&panel)->graph(1);
    // Without a marker the graph is shown but empty.
    QVERIFY(marker->visible());
    const Points points = pointsOf(marker);
    switch (Marker(kind)) {
    case Marker::None:
        QVERIFY(points.isEmpty());
        return;
    case Marker::VerticalLine:
        QCOMPARE(points, Points({{START_X, -55.0}, {START_X, 55.0}}));
        QCOMPARE(marker->scatterStyle().shape(), QCPScatterStyle::ssNone);
        break;
    case Marker::HorizontalLine:
        QCOMPARE(points.size(), 2);
        QVERIFY(points.contains(QPointF(110.0, START_Y)) && points.contains(QPointF(-110.0, START_Y)));
        QCOMPARE(marker->scatterStyle().shape(), QCPScatterStyle::ssNone);
        break;
    case Marker::Point:
        QCOMPARE(points, Points({{START_X, START_Y}}));
        QCOMPARE(marker->scatterStyle().shape(), QCPScatterStyle::ssCross);
        break;
    }
    QCOMPARE(marker->scatterStyle().size(), 6.0);
    QCOMPARE(marker->lineStyle(), QCPGraph::lsLine);
}

void TestWidgetGraphXY::markerForCodesOutsideTheTable()
{
    // The library hands over a signed byte; nothing outside 0..6 draws a marker.
    for (int code : {-1, 7, 127, -128})
        for (int bpm : {0, 1})
            QCOMPARE(WidgetGraphXY::markerFor(code, bpm, bpm, bpm), Marker::None);
}

void TestWidgetGraphXY::failedReadDrawsNoMarker_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("note");  // empty: the marker is drawn

    QTest::newRow("setpoint read fails, code 1: no cross") << "getSetpoint2" << 1
                                                           << "Setpoint marker: no reading of the setpoint";
    QTest::newRow("setpoint read fails, code 0: no line") << "getSetpoint2" << 0
                                                          << "Setpoint marker: no reading of the setpoint";
    // Nothing would be drawn for code 5 anyway, so nothing is missing.
    QTest::newRow("setpoint read fails, code 5: nothing to miss") << "getSetpoint2" << 5 << "";
    QTest::newRow("regulated axes read fails") << "getPIDconf" << 1
                                               << "Setpoint marker: no reading of the regulated axes";
}

void TestWidgetGraphXY::failedReadDrawsNoMarker()
{
    QFETCH(QString, function);
    QFETCH(int, code);
    QFETCH(QString, note);

    setCode(code);
    WidgetGraphXY panel(0);
    QCustomPlot* plot = plotOf(&panel);
    panel.updateGraphXY();
    const Points before = pointsOf(plot->graph(1));
    QCOMPARE(before.isEmpty(), code == 5);
    QCOMPARE(markerNote(plot), QString());

    // The controller moves on, but the read fails: the marker drawn before is
    // not shown as if it were current.
    QCOMPARE(setSetpoint2(0, 40.0), 0);
    QCOMPARE(setSetpoint2(1, 30.0), 0);
    SimControl::failCall(function.toStdString());
    panel.updateGraphXY();
    QVERIFY(plot->graph(1)->visible());
    QVERIFY(pointsOf(plot->graph(1)).isEmpty());
    QCOMPARE(markerNote(plot), note);

    SimControl::clearFailure(function.toStdString());
    panel.updateGraphXY();
    QCOMPARE(markerNote(plot), QString());
    if (code == 1)
        QCOMPARE(pointsOf(plot->graph(1)), Points({{40.0, 30.0}}));
    if (code == 0)
        QCOMPARE(pointsOf(plot->graph(1)), Points({{40.0, -55.0}, {40.0, 55.0}}));
}

void TestWidgetGraphXY::clickSets_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("bpm");
    QTest::addColumn<int>("selX");
    QTest::addColumn<int>("selY");
    QTest::addColumn<QPointF>("click");
    QTest::addColumn<bool>("setsX");
    QTest::addColumn<bool>("setsY");

    // BPM1's ROI is 100 x 50 um, BPM2's 20 x 10 um.
    QTest::newRow("code 0 on the BPM feeding X sets X") << 0 << 0 << 0 << 0 << QPointF(40, 20) << true << false;
    QTest::newRow("code 0 on the other BPM still moves the X loop")
        << 0 << 1 << 0 << 0 << QPointF(-15, 5) << true << false;
    QTest::newRow("code 0 ignores y beyond roiY") << 0 << 0 << 0 << 0 << QPointF(40, 120) << true << false;
    QTest::newRow("code 2 sets X") << 2 << 0 << 1 << 1 << QPointF(-60, 0) << true << false;
    QTest::newRow("code 3 on the BPM not feeding Y still moves the Y loop")
        << 3 << 0 << 0 << 1 << QPointF(10, -30) << false << true;
    QTest::newRow("code 4 ignores x beyond roiX") << 4 << 1 << 1 << 1 << QPointF(100, 6) << false << true;
    QTest::newRow("code 1, both loops on this BPM: X and Y") << 1 << 0 << 0 << 0 << QPointF(30, -20) << true << true;
    QTest::newRow("code 1, X on BPM1 and Y on BPM2: BPM1 sets only X")
        << 1 << 0 << 0 << 1 << QPointF(30, -20) << true << false;
    QTest::newRow("code 1, X on BPM1 and Y on BPM2: BPM2 sets only Y")
        << 1 << 1 << 0 << 1 << QPointF(15, -6) << false << true;
    QTest::newRow("code 1, neither loop on this BPM: nothing set")
        << 1 << 1 << 0 << 0 << QPointF(15, -6) << false << false;
    QTest::newRow("code 5 sets nothing, even outside the ROI")
        << 5 << 0 << 0 << 0 << QPointF(130, 130) << false << false;
    QTest::newRow("code 6 sets nothing") << 6 << 0 << 0 << 0 << QPointF(10, 10) << false << false;
}

void TestWidgetGraphXY::clickSets()
{
    QFETCH(int, code);
    QFETCH(int, bpm);
    QFETCH(int, selX);
    QFETCH(int, selY);
    QFETCH(QPointF, click);
    QFETCH(bool, setsX);
    QFETCH(bool, setsY);

    setCode(code);
    BPM_SEL_X = selX;
    BPM_SEL_Y = selY;
    std::unique_ptr<WidgetGraphXY> panel = shownPanel(bpm);
    QVERIFY(panel);
    QTest::mouseClick(buttonOf(panel.get(), "targetEnable"), Qt::LeftButton);
    QSignalSpy changed(panel.get(), &WidgetGraphXY::XYchanged);

    const QPointF at = clickAt(*panel, click.x(), click.y());

    const SimControl::Sent sent = SimControl::sent();
    QCOMPARE(sent.setpoint[0], setsX ? at.x() : START_X);
    QCOMPARE(sent.setpoint[1], setsY ? at.y() : START_Y);
    QCOMPARE(SimControl::callCount("setSetpoint2", 2), 0);
    QCOMPARE(changed.count(), 1);
    QVERIFY(Prompts::shown().isEmpty());
    // Redrawn from what the controller now holds.
    QVERIFY(plotOf(panel.get())->graph(1)->visible());
    const Marker kind = WidgetGraphXY::markerFor(code, bpm, selX, selY);
    if (kind == Marker::Point)
        QCOMPARE(pointsOf(plotOf(panel.get())->graph(1)), Points({{sent.setpoint[0], sent.setpoint[1]}}));
    if (kind == Marker::None)
        QVERIFY(pointsOf(plotOf(panel.get())->graph(1)).isEmpty());
}

void TestWidgetGraphXY::clickRefused_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("bpm");
    QTest::addColumn<QPointF>("click");

    QTest::newRow("code 0, |x| beyond BPM1's roiX") << 0 << 0 << QPointF(-120, 0);
    QTest::newRow("code 2, |x| beyond BPM2's roiX") << 2 << 1 << QPointF(30, 0);
    QTest::newRow("code 3, |y| beyond roiY") << 3 << 0 << QPointF(0, 70);
    QTest::newRow("code 4, |y| beyond roiY") << 4 << 0 << QPointF(0, -70);
    QTest::newRow("code 1, x inside but y beyond") << 1 << 0 << QPointF(10, 60);
    QTest::newRow("code 1 on BPM2: checked against BPM2's ROI, not BPM1's") << 1 << 1 << QPointF(40, 5);
}

void TestWidgetGraphXY::clickRefused()
{
    QFETCH(int, code);
    QFETCH(int, bpm);
    QFETCH(QPointF, click);

    setCode(code);
    BPM_SEL_X = bpm;
    BPM_SEL_Y = bpm;
    std::unique_ptr<WidgetGraphXY> panel = shownPanel(bpm);
    QVERIFY(panel);
    QTest::mouseClick(buttonOf(panel.get(), "targetEnable"), Qt::LeftButton);
    QSignalSpy changed(panel.get(), &WidgetGraphXY::XYchanged);
    const int reads = SimControl::callCount("getSetpoint2");

    clickAt(*panel, click.x(), click.y());

    const QList<Prompts::Shown> shown = Prompts::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].kind, Prompts::Kind::Information);
    QCOMPARE(shown[0].title, QStringLiteral("Invalid setpoint"));
    QCOMPARE(shown[0].text, invalidSetpointText());
    QCOMPARE(SimControl::callCount("setSetpoint2"), 2);  // the two of init() only
    QCOMPARE(SimControl::sent().setpoint[0], START_X);
    QCOMPARE(SimControl::sent().setpoint[1], START_Y);
    QCOMPARE(changed.count(), 0);
    // No redraw either: the marker was never read.
    QCOMPARE(SimControl::callCount("getSetpoint2"), reads);
    QVERIFY(!plotOf(panel.get())->graph(1)->visible());
}

void TestWidgetGraphXY::roiBorder_data()
{
    QTest::addColumn<double>("side");
    QTest::addColumn<double>("margin");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("x exactly on +roiX is accepted") << 1.0 << 0.0 << true;
    QTest::newRow("x exactly on -roiX is accepted") << -1.0 << 0.0 << true;
    QTest::newRow("x just above +roiX is refused") << 1.0 << 1e-9 << false;
    QTest::newRow("x just below -roiX is refused") << -1.0 << 1e-9 << false;
}

void TestWidgetGraphXY::roiBorder()
{
    QFETCH(double, side);
    QFETCH(double, margin);
    QFETCH(bool, accepted);

    setCode(0);
    std::unique_ptr<WidgetGraphXY> panel = shownPanel(0);
    QVERIFY(panel);
    QCustomPlot* plot = plotOf(panel.get());
    QTest::mouseClick(buttonOf(panel.get(), "targetEnable"), Qt::LeftButton);
    QSignalSpy changed(panel.get(), &WidgetGraphXY::XYchanged);

    // The limit is read at the click, so it can be put exactly where a pixel lands.
    const QPoint pixel(qRound(plot->xAxis->coordToPixel(side * 80.0)), qRound(plot->yAxis->coordToPixel(0.0)));
    const double border = plot->xAxis->pixelToCoord(pixel.x());
    writeRoi(0, std::abs(border) - margin, 50.0, 110.0);
    QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, pixel);

    QCOMPARE(changed.count(), accepted ? 1 : 0);
    QCOMPARE(SimControl::sent().setpoint[0], accepted ? border : START_X);
    if (accepted) {
        QVERIFY(Prompts::shown().isEmpty());
    } else {
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown()[0].title, QStringLiteral("Invalid setpoint"));
        QCOMPARE(Prompts::shown()[0].text, invalidSetpointText());
    }
}

void TestWidgetGraphXY::clickGating_data()
{
    QTest::addColumn<bool>("target");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("outside");
    QTest::addColumn<bool>("goesOn");

    QTest::newRow("enabled, user") << true << 1 << false << true;
    QTest::newRow("enabled, admin") << true << 2 << false << true;
    QTest::newRow("enabled, cruise is ignored") << true << 0 << false << false;
    QTest::newRow("enabled, library failure -1 is ignored") << true << -1 << false << false;
    QTest::newRow("enabled, unknown level 3 is ignored") << true << 3 << false << false;
    QTest::newRow("not enabled, user is ignored") << false << 1 << false << false;
    QTest::newRow("not enabled, admin is ignored") << false << 2 << false << false;
    QTest::newRow("not enabled, outside the ROI: no box either") << false << 1 << true << false;
    QTest::newRow("cruise, outside the ROI: no box either") << true << 0 << true << false;
}

void TestWidgetGraphXY::clickGating()
{
    QFETCH(bool, target);
    QFETCH(int, level);
    QFETCH(bool, outside);
    QFETCH(bool, goesOn);

    setCode(0);
    USER_LEVEL = level;
    std::unique_ptr<WidgetGraphXY> panel = shownPanel(0);
    QVERIFY(panel);
    if (target)
        QTest::mouseClick(buttonOf(panel.get(), "targetEnable"), Qt::LeftButton);
    QCOMPARE(buttonOf(panel.get(), "targetEnable")->isChecked(), target);
    QSignalSpy changed(panel.get(), &WidgetGraphXY::XYchanged);
    const int codeReads = SimControl::callCount("getPIDconf");

    const QPointF at = clickAt(*panel, outside ? 140.0 : 30.0, 0.0);

    QCOMPARE(changed.count(), goesOn ? 1 : 0);
    QCOMPARE(SimControl::sent().setpoint[0], goesOn ? at.x() : START_X);
    if (!goesOn)
        QCOMPARE(SimControl::callCount("getPIDconf"), codeReads);
    QVERIFY(Prompts::shown().isEmpty());
}

void TestWidgetGraphXY::clickChecksStoredRoiNotRectangles()
{
    setCode(0);
    std::unique_ptr<WidgetGraphXY> panel = shownPanel(0);
    QVERIFY(panel);
    QTest::mouseClick(buttonOf(panel.get(), "targetEnable"), Qt::LeftButton);
    // Rectangles wider than the stored ROI of 100 um: the stored one decides.
    panel->setRoiRects(140.0, 140.0, 1.0);
    clickAt(*panel, 120.0, 0.0);
    QCOMPARE(Prompts::shown().size(), 1);
    QCOMPARE(SimControl::sent().setpoint[0], START_X);

    // A stored ROI that is not a number refuses instead of letting everything through.
    Prompts::clear();
    {
        QSettings ini(m_program->configPath(), QSettings::IniFormat);
        ini.setValue("ROCandROI/RoiX", "nan");
    }
    clickAt(*panel, 10.0, 0.0);
    QCOMPARE(Prompts::shown().size(), 1);
    QCOMPARE(SimControl::sent().setpoint[0], START_X);
}

void TestWidgetGraphXY::clickWithoutAReadingSendsNothing_data()
{
    QTest::addColumn<int>("bpm");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("failing");    // a library call that fails, or empty
    QTest::addColumn<QString>("spoiltKey");  // a stored limit that is no number, or empty
    QTest::addColumn<QPointF>("click");
    QTest::addColumn<QString>("named");      // what the refusal names; empty: the click goes on

    // The controller regulates Y only; a failed read once passed for "X only".
    QTest::newRow("regulated axes unread, Y only") << 0 << 3 << "getPIDconf" << "" << QPointF(100, -50)
                                                   << "getPIDconf";
    QTest::newRow("regulated axes unread, X and Y") << 1 << 1 << "getPIDconf" << "" << QPointF(5, 5)
                                                    << "getPIDconf";
    QTest::newRow("stored RoiX no number, code 0") << 0 << 0 << "" << "ROCandROI/RoiX" << QPointF(0, 0)
                                                   << "ROCandROI/RoiX";
    QTest::newRow("stored RoiY no number, code 1 on BPM2") << 1 << 1 << "" << "ROCandROI2/RoiY" << QPointF(5, 5)
                                                           << "ROCandROI2/RoiY";
    QTest::newRow("stored RoiY no number, code 4") << 0 << 4 << "" << "ROCandROI/RoiY" << QPointF(0, 10)
                                                   << "ROCandROI/RoiY";
    // Code 0 checks only x: a spoilt RoiY does not stand in its way.
    QTest::newRow("stored RoiY no number, code 0 still sets X") << 0 << 0 << "" << "ROCandROI/RoiY"
                                                                << QPointF(30, 0) << "";
}

void TestWidgetGraphXY::clickWithoutAReadingSendsNothing()
{
    QFETCH(int, bpm);
    QFETCH(int, code);
    QFETCH(QString, failing);
    QFETCH(QString, spoiltKey);
    QFETCH(QPointF, click);
    QFETCH(QString, named);

    setCode(code);
    BPM_SEL_X = bpm;
    BPM_SEL_Y = bpm;
    if (!spoiltKey.isEmpty()) {
        QSettings ini(m_program->configPath(), QSettings::IniFormat);
        ini.setValue(spoiltKey, "abc");
    }
    std::unique_ptr<WidgetGraphXY> panel = shownPanel(bpm);
    QVERIFY(panel);
    QTest::mouseClick(buttonOf(panel.get(), "targetEnable"), Qt::LeftButton);
    QSignalSpy changed(panel.get(), &WidgetGraphXY::XYchanged);
    if (!failing.isEmpty())
        SimControl::failCall(failing.toStdString());
    LogCapture::clear();

    const QPointF at = clickAt(*panel, click.x(), click.y());

    if (named.isEmpty()) {
        QVERIFY(Prompts::shown().isEmpty());
        QCOMPARE(SimControl::sent().setpoint[0], at.x());
        QCOMPARE(changed.count(), 1);
        return;
    }
    QCOMPARE(SimControl::callCount("setSetpoint2"), 2);  // the two of init() only
    QCOMPARE(SimControl::sent().setpoint[0], START_X);
    QCOMPARE(SimControl::sent().setpoint[1], START_Y);
    QCOMPARE(changed.count(), 0);
    const QList<Prompts::Shown> shown = Prompts::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
    QCOMPARE(shown[0].title, QStringLiteral("Setpoint not set"));
    QVERIFY2(shown[0].text.contains(named), qPrintable(shown[0].text));
    const QString bpmName = bpm == 0 ? QStringLiteral("BPM1") : QStringLiteral("BPM2");
    QTRY_VERIFY(LogCapture::messagesAt(QsLogging::Warn)
                    .filter(QStringLiteral("Click on the %1 scatter not acted on").arg(bpmName))
                    .filter(named)
                    .size() == 1);
}

void TestWidgetGraphXY::resetZoom_data()
{
    QTest::addColumn<double>("roiX");
    QTest::addColumn<double>("roiY");
    QTest::addColumn<double>("percent");
    // Ranges as (lower, upper).
    QTest::addColumn<QPointF>("xRange");
    QTest::addColumn<QPointF>("yRange");

    QTest::newRow("ROC of +-110 by +-55 um") << 100.0 << 50.0 << 110.0 << QPointF(-111.1, 111.1)
                                             << QPointF(-55.55, 55.55);
    QTest::newRow("ROC equal to the ROI") << 20.0 << 40.0 << 100.0 << QPointF(-20.2, 20.2) << QPointF(-40.4, 40.4);
    // The plot refuses an empty range, so the zoomed view stays.
    QTest::newRow("ROI of 0 by 0 leaves the ranges") << 0.0 << 0.0 << 110.0 << QPointF(-7, 3) << QPointF(2, 5);
}

void TestWidgetGraphXY::resetZoom()
{
    QFETCH(double, roiX);
    QFETCH(double, roiY);
    QFETCH(double, percent);
    QFETCH(QPointF, xRange);
    QFETCH(QPointF, yRange);

    writeRoi(0, roiX, roiY, percent);
    std::unique_ptr<WidgetGraphXY> panel = shownPanel(0);
    QVERIFY(panel);
    QCustomPlot* plot = plotOf(panel.get());
    plot->xAxis->setRange(-7, 3);
    plot->yAxis->setRange(2, 5);

    QTest::mouseClick(buttonOf(panel.get(), "resetZoomButton"), Qt::LeftButton);

    QVERIFY(fuzzyEqual(plot->xAxis->range().lower, xRange.x()));
    QVERIFY(fuzzyEqual(plot->xAxis->range().upper, xRange.y()));
    QVERIFY(fuzzyEqual(plot->yAxis->range().lower, yRange.x()));
    QVERIFY(fuzzyEqual(plot->yAxis->range().upper, yRange.y()));
}

void TestWidgetGraphXY::setRoiRects()
{
    writeRoi(0, 50.0, 20.0, 110.0);
    WidgetGraphXY panel(0);
    QCustomPlot* plot = plotOf(&panel);
    QCPItemRect* roi = rectWithPen(plot, QColor(50, 250, 50, 240));
    QCPItemRect* roc = rectWithPen(plot, QColor(250, 70, 70, 240));
    QVERIFY(roi && roc);
    QVERIFY(roi->visible() && roc->visible());

    // From the configuration at construction: top-left (a, -b), bottom-right (-a, b).
    QCOMPARE(roi->topLeft->coords(), QPointF(50, -20));
    QCOMPARE(roi->bottomRight->coords(), QPointF(-50, 20));
    QVERIFY(fuzzyEqual(roc->topLeft->coords().x(), 55.0) && fuzzyEqual(roc->topLeft->coords().y(), -22.0));
    QVERIFY(fuzzyEqual(roc->bottomRight->coords().x(), -55.0) && fuzzyEqual(roc->bottomRight->coords().y(), 22.0));

    // As the ROC/ROI dialog applies new limits; the view follows only at a reset.
    const QCPRange before = plot->xAxis->range();
    panel.setRoiRects(80.0, 30.0, 1.5);
    QCOMPARE(roi->topLeft->coords(), QPointF(80, -30));
    QCOMPARE(roi->bottomRight->coords(), QPointF(-80, 30));
    QCOMPARE(roc->topLeft->coords(), QPointF(120, -45));
    QCOMPARE(roc->bottomRight->coords(), QPointF(-120, 45));
    QCOMPARE(plot->xAxis->range(), before);
    panel.resetZoom();
    QVERIFY(fuzzyEqual(plot->xAxis->range().upper, 121.2));
    QVERIFY(fuzzyEqual(plot->yAxis->range().lower, -45.45));

    // A missing configuration gives an ROI of 0 by 0.
    QFile::remove(m_program->configPath());
    WidgetGraphXY empty(1);
    QCPItemRect* emptyRoi = rectWithPen(plotOf(&empty), QColor(50, 250, 50, 240));
    QCOMPARE(emptyRoi->topLeft->coords(), QPointF(0, 0));
    QCOMPARE(emptyRoi->bottomRight->coords(), QPointF(0, 0));
}

void TestWidgetGraphXY::replotKeepsZoom()
{
    std::unique_ptr<WidgetGraphXY> panel = shownPanel(0);
    QVERIFY(panel);
    QCustomPlot* plot = plotOf(panel.get());
    for (int i = 0; i < 1000; ++i)
        panel->getGraphData()->add(QCPGraphData(500.0 + i, -400.0));
    plot->xAxis->setRange(-3, 4);
    panel->replot();
    // No autoscale on the scatter: the operator's zoom stays.
    QCOMPARE(plot->xAxis->range(), QCPRange(-3, 4));
    QCOMPARE(plot->graph(0)->dataCount(), 1000);
}

void TestWidgetGraphXY::backgroundFollowsHeight()
{
    WidgetGraphXY panel(0);
    GraphPanelChecks::verifyBackgroundFollowsHeight(&panel, 700);
}

QTEST_MAIN(TestWidgetGraphXY)
#include "tst_widgetgraphxy.moc"
