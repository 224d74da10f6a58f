// The time graphs as one table (positions X and Y, intensity, channel currents)
// against the simulated picoammeters: the frame they share, the shared
// containers, autoscale and redraw, their labels, and what their boxes do (the
// BPM pair's presence rule and setBpmHidden, the currents' plain boxes).
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <optional>

#include "GraphPanelChecks.h"
#include "Globals.h"
#include "SimControl.h"
#include "WidgetGraphCurrents.h"
#include "WidgetGraphInt.h"
#include "WidgetGraphPos.h"
#include "support/ProgramFixture.h"

using namespace GraphPanelChecks;

namespace {

// What tells one time graph from another, as the main window builds it.
struct PanelKind
{
    const char* row;
    const char* className;
    int colours;  // the graphs it is built with, and the most it can draw
    QStringList boxTexts;
    bool bpmPair;
    std::function<std::unique_ptr<TimeGraphPanel>(int graphCount)> make;
};

const QList<PanelKind>& panelKinds()
{
    static const QList<PanelKind> kinds{
        {"position X", "WidgetGraphPos", 2, {"BPM1", "BPM2"}, true,
         [](int n) { return std::make_unique<WidgetGraphPos>(nullptr, 0, n); }},
        {"position Y", "WidgetGraphPos", 2, {"BPM1", "BPM2"}, true,
         [](int n) { return std::make_unique<WidgetGraphPos>(nullptr, 1, n); }},
        {"intensity", "WidgetGraphInt", 2, {"BPM1", "BPM2"}, true,
         [](int n) { return std::make_unique<WidgetGraphInt>(nullptr, n); }},
        {"currents", "WidgetGraphCurrents", 4, {"Ch 1", "Ch 2", "Ch 3", "Ch 4"}, false,
         [](int n) { return std::make_unique<WidgetGraphCurrents>(nullptr, n); }},
    };
    return kinds;
}

enum class Panels { All, BpmPairs };

// Rows for the panels chosen: addRows adds one panel's rows, its kind in the first column.
void forPanels(Panels which, const std::function<void(int kind, const PanelKind&)>& addRows)
{
    for (int k = 0; k < panelKinds().size(); ++k) {
        const PanelKind& p = panelKinds().at(k);
        if (which == Panels::All || p.bpmPair)
            addRows(k, p);
    }
}

int kindNamed(const char* row)
{
    for (int k = 0; k < panelKinds().size(); ++k)
        if (qstrcmp(panelKinds().at(k).row, row) == 0)
            return k;
    qFatal("no time graph named %s", row);
}

// The "kind" column, then one bool column for each name.
void addKindAndFlags(std::initializer_list<const char*> flags)
{
    QTest::addColumn<int>("kind");
    for (const char* flag : flags)
        QTest::addColumn<bool>(flag);
}

// A row named after the panel and the case, its kind filled in.
QTestData& panelRow(int kind, const PanelKind& p, const char* name)
{
    return QTest::addRow("%s: %s", p.row, name) << kind;
}

const PanelKind& fetchedKind()
{
    QFETCH(int, kind);
    return panelKinds().at(kind);
}

// The panel of the current row, built as the main window builds it.
std::unique_ptr<TimeGraphPanel> fetchedPanel()
{
    const PanelKind& p = fetchedKind();
    return p.make(p.colours);
}

BpmTimeGraphPanel* asBpmPair(const std::unique_ptr<TimeGraphPanel>& panel)
{
    return qobject_cast<BpmTimeGraphPanel*>(panel.get());
}

// The boxes set as given, then setBpmHidden: boxes and swatches follow the flags,
// the boxes keep their state, the graphs follow both.
void verifyBpmHidden(BpmTimeGraphPanel& panel, bool hide1, bool hide2, bool check1, bool check2)
{
    QCustomPlot* plot = plotOf(&panel);
    QVERIFY(plot);
    boxOf(&panel, 1)->setChecked(check1);
    boxOf(&panel, 2)->setChecked(check2);
    panel.setBpmHidden(hide1, hide2);
    QCOMPARE(boxOf(&panel, 1)->isHidden(), hide1);
    QCOMPARE(swatchOf(&panel, 1)->isHidden(), hide1);
    QCOMPARE(boxOf(&panel, 2)->isHidden(), hide2);
    QCOMPARE(swatchOf(&panel, 2)->isHidden(), hide2);
    QCOMPARE(boxOf(&panel, 1)->isChecked(), check1);
    QCOMPARE(boxOf(&panel, 2)->isChecked(), check2);
    QCOMPARE(plot->graph(0)->visible(), !hide1 && check1);
    QCOMPARE(plot->graph(1)->visible(), !hide2 && check2);
}

QString swatchSheet(int index)
{
    static const char* const rgb[] = {"rgb(255,255,135)", "rgb(255,130,255)", "rgb(130,255,130)",
                                      "rgb(130,210,250)"};
    return QStringLiteral("QLabel { background-color : %1; color : %1; }").arg(QLatin1String(rgb[index]));
}

}  // namespace

class TestTimeGraphPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void keepsItsClassAndObjectName_data();
    void keepsItsClassAndObjectName();
    void positionKeepsItsAxis_data();
    void positionKeepsItsAxis();
    void graphsAreStyled_data();
    void graphsAreStyled();
    void boxesAndSwatches_data();
    void boxesAndSwatches();
    void axisStyleAndInteractions_data();
    void axisStyleAndInteractions();
    void initialRanges_data();
    void initialRanges();
    void graphCountIsBoundedByColours_data();
    void graphCountIsBoundedByColours();
    void getGraphData_data();
    void getGraphData();
    void graphsDrawFromTheSharedContainers_data();
    void graphsDrawFromTheSharedContainers();
    void autoscaleFollowsVisibleGraphsOnly_data();
    void autoscaleFollowsVisibleGraphsOnly();
    void autoscaleOffKeepsZoomedRanges_data();
    void autoscaleOffKeepsZoomedRanges();
    void nonFiniteTimesNeverReachTheAxes_data();
    void nonFiniteTimesNeverReachTheAxes();
    void labelsAndNumberFormat_data();
    void labelsAndNumberFormat();
    void boxTogglesItsTrace_data();
    void boxTogglesItsTrace();
    void onlyBpmPairsAskForPresence_data();
    void onlyBpmPairsAskForPresence();
    void twoGraphCurrentsUseFirstTwoBoxes();
    void otherGraphCountsIgnoreBoxes();
    void namesBeyondTheGraphsAreIgnored_data();
    void namesBeyondTheGraphsAreIgnored();
    void presenceRule_data();
    void presenceRule();
    void uncheckAndCheckRestoresGraph_data();
    void uncheckAndCheckRestoresGraph();
    void failedPresenceQueryHidesBoth_data();
    void failedPresenceQueryHidesBoth();
    void setBpmHidden_data();
    void setBpmHidden();
    void setBpmHiddenAsksNoHardware_data();
    void setBpmHiddenAsksNoHardware();
    void backgroundFollowsHeight_data();
    void backgroundFollowsHeight();
    void hiddenPanelRedrawsWhenShownAgain_data();
    void hiddenPanelRedrawsWhenShownAgain();

private:
    // The data function of a test with one row per panel and no other column.
    static void onePerPanel(Panels which);

    std::optional<ProgramFixture> m_program;
};

void TestTimeGraphPanel::init()
{
    m_program.emplace(ProgramFixture::Options().noConfig().noLink());
}

void TestTimeGraphPanel::cleanup()
{
    m_program.reset();
}

void TestTimeGraphPanel::onePerPanel(Panels which)
{
    QTest::addColumn<int>("kind");
    forPanels(which, [](int kind, const PanelKind& p) { QTest::newRow(p.row) << kind; });
}

// The tests with one row per panel and no column of their own.
void TestTimeGraphPanel::keepsItsClassAndObjectName_data() { onePerPanel(Panels::All); }
void TestTimeGraphPanel::graphsAreStyled_data() { onePerPanel(Panels::All); }
void TestTimeGraphPanel::boxesAndSwatches_data() { onePerPanel(Panels::All); }
void TestTimeGraphPanel::axisStyleAndInteractions_data() { onePerPanel(Panels::All); }
void TestTimeGraphPanel::graphsDrawFromTheSharedContainers_data() { onePerPanel(Panels::All); }
void TestTimeGraphPanel::autoscaleFollowsVisibleGraphsOnly_data() { onePerPanel(Panels::All); }
void TestTimeGraphPanel::autoscaleOffKeepsZoomedRanges_data() { onePerPanel(Panels::All); }
void TestTimeGraphPanel::nonFiniteTimesNeverReachTheAxes_data() { onePerPanel(Panels::All); }
void TestTimeGraphPanel::onlyBpmPairsAskForPresence_data() { onePerPanel(Panels::All); }
void TestTimeGraphPanel::namesBeyondTheGraphsAreIgnored_data() { onePerPanel(Panels::BpmPairs); }
void TestTimeGraphPanel::uncheckAndCheckRestoresGraph_data() { onePerPanel(Panels::BpmPairs); }
void TestTimeGraphPanel::failedPresenceQueryHidesBoth_data() { onePerPanel(Panels::BpmPairs); }
void TestTimeGraphPanel::setBpmHiddenAsksNoHardware_data() { onePerPanel(Panels::BpmPairs); }
void TestTimeGraphPanel::backgroundFollowsHeight_data() { onePerPanel(Panels::All); }
void TestTimeGraphPanel::hiddenPanelRedrawsWhenShownAgain_data() { onePerPanel(Panels::All); }

void TestTimeGraphPanel::keepsItsClassAndObjectName()
{
    const PanelKind& p = fetchedKind();
    const std::unique_ptr<TimeGraphPanel> panel = p.make(p.colours);
    QCOMPARE(panel->metaObject()->className(), p.className);
    QCOMPARE(panel->objectName(), QString::fromLatin1(p.className));
}

void TestTimeGraphPanel::positionKeepsItsAxis_data()
{
    QTest::addColumn<int>("axis");
    QTest::newRow("X") << 0;
    QTest::newRow("Y") << 1;
}

void TestTimeGraphPanel::positionKeepsItsAxis()
{
    QFETCH(int, axis);
    WidgetGraphPos w(nullptr, axis, 2);
    QCOMPARE(w.axis(), axis);
}

void TestTimeGraphPanel::graphsAreStyled()
{
    const PanelKind& p = fetchedKind();
    const std::unique_ptr<TimeGraphPanel> panel = p.make(p.colours);
    QCustomPlot* plot = plotOf(panel.get());
    QVERIFY(plot);
    QVERIFY(plot->noAntialiasingOnDrag());
    QCOMPARE(plot->graphCount(), p.colours);

    const QColor colours[] = {QColor(255, 255, 135), QColor(255, 130, 255), QColor(130, 255, 130),
                              QColor(130, 210, 250)};
    for (int i = 0; i < p.colours; ++i) {
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

void TestTimeGraphPanel::boxesAndSwatches()
{
    const PanelKind& p = fetchedKind();
    const std::unique_ptr<TimeGraphPanel> panel = p.make(p.colours);
    for (int ch = 1; ch <= p.boxTexts.size(); ++ch) {
        QCheckBox* box = boxOf(panel.get(), ch);
        QLabel* swatch = swatchOf(panel.get(), ch);
        QVERIFY(box);
        QVERIFY(swatch);
        QCOMPARE(box->text(), p.boxTexts.at(ch - 1));
        QVERIFY(box->isChecked());
        QVERIFY(!box->isHidden());
        QVERIFY(!swatch->isHidden());
        QVERIFY(swatch->text().isEmpty());
        QCOMPARE(swatch->minimumSize(), QSize(20, 20));
        QCOMPARE(swatch->maximumSize(), QSize(20, 20));
        QCOMPARE(swatch->styleSheet(), swatchSheet(ch - 1));
    }
    const int beyond = int(p.boxTexts.size()) + 1;
    QVERIFY(!boxOf(panel.get(), beyond) && !swatchOf(panel.get(), beyond));

    QCheckBox* autoscale = autoscaleOf(panel.get());
    QVERIFY(autoscale);
    QCOMPARE(autoscale->text(), QStringLiteral("Autoscale"));
    QVERIFY(autoscale->isChecked());
}

void TestTimeGraphPanel::axisStyleAndInteractions()
{
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    QCustomPlot* plot = plotOf(panel.get());
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

void TestTimeGraphPanel::initialRanges_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("bufferBytes");
    QTest::addColumn<int>("sampFreq");
    QTest::addColumn<double>("xUpper");  // 0 means the library's default range

    forPanels(Panels::All, [](int kind, const PanelKind& p) {
        QTest::addRow("%s: 14336 records at 1000 Hz give 0 to 14 s", p.row) << kind << 3670016 << 1000 << 14.0;
        QTest::addRow("%s: 2048 records at 1000 Hz give 0 to 2 s", p.row) << kind << 2048 * 256 << 1000 << 2.0;
        QTest::addRow("%s: 14336 records at 5000 Hz truncate to 2 s", p.row) << kind << 3670016 << 5000 << 2.0;
        QTest::addRow("%s: fewer records than one second keeps the default", p.row)
            << kind << 512 * 256 << 1000 << 0.0;
        QTest::addRow("%s: rate 0 keeps the default", p.row) << kind << 3670016 << 0 << 0.0;
        QTest::addRow("%s: negative rate keeps the default", p.row) << kind << 3670016 << -1000 << 0.0;
    });
}

void TestTimeGraphPanel::initialRanges()
{
    QFETCH(int, bufferBytes);
    QFETCH(int, sampFreq);
    QFETCH(double, xUpper);
    DISPLAY_BUFFER_BYTES = bufferBytes;
    storeSampFreq(sampFreq);

    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    QCustomPlot* plot = plotOf(panel.get());
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

void TestTimeGraphPanel::graphCountIsBoundedByColours_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("graphs");
    forPanels(Panels::All, [](int kind, const PanelKind& p) {
        QTest::addRow("%s: %d", p.row, p.colours) << kind << p.colours << p.colours;
        if (p.colours > 2)
            QTest::addRow("%s: 2", p.row) << kind << 2 << 2;
        QTest::addRow("%s: 0", p.row) << kind << 0 << 0;
        QTest::addRow("%s: more than the colours", p.row) << kind << p.colours + 2 << p.colours;
        QTest::addRow("%s: negative", p.row) << kind << -1 << 0;
    });
}

void TestTimeGraphPanel::graphCountIsBoundedByColours()
{
    QFETCH(int, requested);
    QFETCH(int, graphs);
    const std::unique_ptr<TimeGraphPanel> panel = fetchedKind().make(requested);
    QCOMPARE(plotOf(panel.get())->graphCount(), graphs);
    QVERIFY(panel->getGraphData(graphs - 1) || graphs == 0);
    QVERIFY(!panel->getGraphData(graphs));
}

void TestTimeGraphPanel::getGraphData_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("valid");
    forPanels(Panels::All, [](int kind, const PanelKind& p) {
        QTest::addRow("%s: -1 is null", p.row) << kind << -1 << false;
        QTest::addRow("%s: 0", p.row) << kind << 0 << true;
        QTest::addRow("%s: %d, the last", p.row, p.colours - 1) << kind << p.colours - 1 << true;
        QTest::addRow("%s: %d is null", p.row, p.colours) << kind << p.colours << false;
    });
}

void TestTimeGraphPanel::getGraphData()
{
    QFETCH(int, index);
    QFETCH(bool, valid);
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    QCustomPlot* plot = plotOf(panel.get());
    const QSharedPointer<QCPGraphDataContainer> data = panel->getGraphData(index);
    QCOMPARE(!data.isNull(), valid);
    if (!valid)
        return;
    QCOMPARE(data, plot->graph(index)->data());
    QVERIFY(data->isEmpty());
    for (int other = 0; other < plot->graphCount(); ++other)
        QVERIFY(other == index || data != panel->getGraphData(other));

    fill(data, 14336, 0.0, 0.001, 50.0, 10.0);
    panel->show();
    panel->replot();
    QCOMPARE(plot->graph(index)->data(), data);
    QCOMPARE(plot->graph(index)->dataCount(), 14336);
    QCOMPARE(plot->xAxis->range(), QCPRange(0.0, 14.335));
    QVERIFY(plot->yAxis->range().lower >= 40.0 - 1e-9 && plot->yAxis->range().upper <= 60.0 + 1e-9);
}

void TestTimeGraphPanel::graphsDrawFromTheSharedContainers()
{
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    QCustomPlot* plot = plotOf(panel.get());
    const int count = plot->graphCount();
    QList<QSharedPointer<QCPGraphDataContainer>> handedOut;
    for (int i = 0; i < count; ++i)
        handedOut << panel->getGraphData(i);

    // Two ticks, as the Updater does them: clear and refill in place.
    for (int tick = 0; tick < 2; ++tick) {
        for (int i = 0; i < count; ++i)
            fill(handedOut[i], 14336, 0.0, 0.001, 1e-6 * (i + 1), 1e-7);
        panel->show();
        panel->replot();
        for (int i = 0; i < count; ++i) {
            QCOMPARE(panel->getGraphData(i), handedOut[i]);
            QCOMPARE(plot->graph(i)->data(), handedOut[i]);
            QCOMPARE(plot->graph(i)->dataCount(), 14336);
        }
    }
    QCOMPARE(plot->xAxis->range().lower, 0.0);
    QCOMPARE(plot->xAxis->range().upper, 14.335);
    QVERIFY(plot->yAxis->range().lower < 1e-6 && plot->yAxis->range().upper > count * 1e-6);
}

void TestTimeGraphPanel::autoscaleFollowsVisibleGraphsOnly()
{
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    QCustomPlot* plot = plotOf(panel.get());
    const int last = plot->graphCount();
    fill(panel->getGraphData(0), 1000, 0.0, 0.001, 0.0, 1.0);
    fill(panel->getGraphData(last - 1), 1000, 0.0, 0.1, 500.0, 100.0);  // to 99.9 s, values 400..600
    boxOf(panel.get(), last)->setChecked(false);

    panel->replot();
    QCOMPARE(plot->xAxis->range().upper, 0.999);
    QVERIFY(plot->yAxis->range().upper < 2.0);

    boxOf(panel.get(), last)->setChecked(true);
    panel->replot();
    QCOMPARE(plot->xAxis->range().upper, 99.9);
    QVERIFY(plot->yAxis->range().upper > 500.0);

    // Nothing visible: the ranges stay where they were.
    for (int ch = 1; ch <= last; ++ch)
        boxOf(panel.get(), ch)->setChecked(false);
    const QCPRange x = plot->xAxis->range();
    const QCPRange y = plot->yAxis->range();
    panel->replot();
    QCOMPARE(plot->xAxis->range(), x);
    QCOMPARE(plot->yAxis->range(), y);
}

void TestTimeGraphPanel::autoscaleOffKeepsZoomedRanges()
{
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    QCustomPlot* plot = plotOf(panel.get());
    const int last = plot->graphCount();
    autoscaleOf(panel.get())->setChecked(false);
    plot->xAxis->setRange(2.0, 3.0);
    plot->yAxis->setRange(-7.0, 7.0);
    fill(panel->getGraphData(0), 14336, 0.0, 0.001, 100.0, 1.0);
    fill(panel->getGraphData(last - 1), 1000, 0.0, 0.01, -300.0, 1.0);
    // A graph shown again changes nothing either.
    boxOf(panel.get(), last)->setChecked(false);
    boxOf(panel.get(), last)->setChecked(true);

    panel->replot();
    QCOMPARE(plot->xAxis->range(), QCPRange(2.0, 3.0));
    QCOMPARE(plot->yAxis->range(), QCPRange(-7.0, 7.0));

    autoscaleOf(panel.get())->setChecked(true);
    panel->replot();
    QCOMPARE(plot->xAxis->range(), QCPRange(0.0, 14.335));
}

void TestTimeGraphPanel::nonFiniteTimesNeverReachTheAxes()
{
    // A rate of 0 makes the time step infinite: the first time is NaN, the rest inf.
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    QCustomPlot* plot = plotOf(panel.get());
    const double inf = std::numeric_limits<double>::infinity();
    for (int i = 0; i < plot->graphCount(); ++i) {
        QSharedPointer<QCPGraphDataContainer> data = panel->getGraphData(i);
        for (int r = 0; r < 100; ++r)
            data->add(QCPGraphData(r * inf, 1e-6 * r));
    }
    panel->replot();
    QVERIFY(finiteRange(plot->xAxis->range()));
    QVERIFY(finiteRange(plot->yAxis->range()));
}

void TestTimeGraphPanel::labelsAndNumberFormat_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("yLabel");
    QTest::addColumn<QStringList>("names");  // none: the two-label form, graph names left alone
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("precision");
    // The labels and names the main window gives each instance.
    QTest::newRow("position X") << kindNamed("position X") << "Position [um]" << QStringList{"X (BPM1)", "X (BPM2)"}
                                << "g" << 3;
    QTest::newRow("position Y") << kindNamed("position Y") << "Position [um]" << QStringList{"Y (BPM1)", "Y (BPM2)"}
                                << "g" << 3;
    QTest::newRow("intensity") << kindNamed("intensity") << "Intensity [A]" << QStringList{"Int BPM1", "Int BPM2"}
                               << "g" << 3;
    QTest::newRow("currents") << kindNamed("currents") << "Current [A]" << QStringList() << "f" << 2;
    QTest::newRow("output voltages") << kindNamed("currents") << "Voltage [V]" << QStringList() << "f" << 2;
}

void TestTimeGraphPanel::labelsAndNumberFormat()
{
    QFETCH(QString, yLabel);
    QFETCH(QStringList, names);
    QFETCH(QString, format);
    QFETCH(int, precision);
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    QCustomPlot* plot = plotOf(panel.get());
    QStringList builtNames;
    for (int i = 0; i < plot->graphCount(); ++i)
        builtNames << plot->graph(i)->name();
    if (BpmTimeGraphPanel* pair = asBpmPair(panel))
        pair->setAxisLabels(QStringLiteral("Time [s]"), yLabel, names);
    else
        static_cast<WidgetGraphCurrents*>(panel.get())->setAxisLabels(QStringLiteral("Time [s]"), yLabel);
    QCOMPARE(plot->xAxis->label(), QStringLiteral("Time [s]"));
    QCOMPARE(plot->yAxis->label(), yLabel);
    for (int i = 0; i < plot->graphCount(); ++i)
        QCOMPARE(plot->graph(i)->name(), names.value(i, builtNames.at(i)));

    panel->setYNumberFormat(format, precision);
    QCOMPARE(plot->yAxis->numberFormat(), format);
    QCOMPARE(plot->yAxis->numberPrecision(), precision);
}

void TestTimeGraphPanel::boxTogglesItsTrace_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("channel");
    forPanels(Panels::All, [](int kind, const PanelKind& p) {
        for (int ch = 1; ch <= p.colours; ++ch)
            QTest::addRow("%s: %s", p.row, qPrintable(p.boxTexts.at(ch - 1))) << kind << ch;
    });
}

void TestTimeGraphPanel::boxTogglesItsTrace()
{
    QFETCH(int, channel);
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    QCustomPlot* plot = plotOf(panel.get());
    QCheckBox* box = boxOf(panel.get(), channel);

    box->setChecked(false);
    for (int i = 0; i < plot->graphCount(); ++i)
        QCOMPARE(plot->graph(i)->visible(), i != channel - 1);
    box->setChecked(true);
    for (int i = 0; i < plot->graphCount(); ++i)
        QVERIFY(plot->graph(i)->visible());
}

void TestTimeGraphPanel::onlyBpmPairsAskForPresence()
{
    // No picoammeter present: the BPM pair shows nothing, the currents follow their boxes.
    const PanelKind& p = fetchedKind();
    const std::unique_ptr<TimeGraphPanel> panel = p.make(p.colours);
    SimControl::setZentrimPresent(0, false);
    SimControl::setZentrimPresent(1, false);
    QCustomPlot* plot = plotOf(panel.get());
    const int queries = SimControl::callCount("getZentrims");
    boxOf(panel.get(), 1)->setChecked(false);
    boxOf(panel.get(), 1)->setChecked(true);
    QCOMPARE(SimControl::callCount("getZentrims"), queries + (p.bpmPair ? 2 : 0));
    for (int i = 0; i < plot->graphCount(); ++i)
        QCOMPARE(plot->graph(i)->visible(), !p.bpmPair);
}

void TestTimeGraphPanel::twoGraphCurrentsUseFirstTwoBoxes()
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

void TestTimeGraphPanel::otherGraphCountsIgnoreBoxes()
{
    WidgetGraphCurrents w(nullptr, 3);
    QCustomPlot* plot = plotOf(&w);
    boxOf(&w, 1)->setChecked(false);
    boxOf(&w, 3)->setChecked(false);
    for (int i = 0; i < 3; ++i)
        QVERIFY(plot->graph(i)->visible());
}

void TestTimeGraphPanel::namesBeyondTheGraphsAreIgnored()
{
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    BpmTimeGraphPanel* pair = asBpmPair(panel);
    QCustomPlot* plot = plotOf(pair);
    const QString untouched = plot->graph(1)->name();
    pair->setAxisLabels(QStringLiteral("t"), QStringLiteral("v"), {QStringLiteral("a")});
    QCOMPARE(plot->graph(0)->name(), QStringLiteral("a"));
    QCOMPARE(plot->graph(1)->name(), untouched);
    pair->setAxisLabels(QStringLiteral("t"), QStringLiteral("v"),
                        {QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")});
    QCOMPARE(plot->graphCount(), 2);
    QCOMPARE(plot->graph(0)->name(), QStringLiteral("b"));
    QCOMPARE(plot->graph(1)->name(), QStringLiteral("c"));
}

void TestTimeGraphPanel::presenceRule_data()
{
    addKindAndFlags({"present0", "present1", "check1", "check2", "visible0", "visible1"});
    forPanels(Panels::BpmPairs, [](int kind, const PanelKind& p) {
        const auto row = [&](const char* name) -> QTestData& { return panelRow(kind, p, name); };
        row("both present, both boxes") << true << true << true << true << true << true;
        row("both present, CheckCh2 off shows graph 0 only") << true << true << true << false << true << false;
        row("both present, no boxes") << true << true << false << false << false << false;
        row("BPM1 only") << true << false << true << true << true << false;
        row("BPM1 only, CheckCh1 off") << true << false << false << true << false << false;
        row("BPM2 only") << false << true << true << true << false << true;
        row("none present, both boxes") << false << false << true << true << false << false;
    });
}

void TestTimeGraphPanel::presenceRule()
{
    QFETCH(bool, present0);
    QFETCH(bool, present1);
    QFETCH(bool, check1);
    QFETCH(bool, check2);
    QFETCH(bool, visible0);
    QFETCH(bool, visible1);
    SimControl::setZentrimPresent(0, present0);
    SimControl::setZentrimPresent(1, present1);
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    BpmTimeGraphPanel* pair = asBpmPair(panel);
    QCustomPlot* plot = plotOf(pair);
    boxOf(pair, 1)->setChecked(check1);
    boxOf(pair, 2)->setChecked(check2);
    pair->chEnablesChanged();
    QCOMPARE(plot->graph(0)->visible(), visible0);
    QCOMPARE(plot->graph(1)->visible(), visible1);
}


void TestTimeGraphPanel::uncheckAndCheckRestoresGraph()
{
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    QCustomPlot* plot = plotOf(panel.get());
    boxOf(panel.get(), 2)->setChecked(false);
    QVERIFY(plot->graph(0)->visible());
    QVERIFY(!plot->graph(1)->visible());

    const int queries = SimControl::callCount("getZentrims");
    boxOf(panel.get(), 1)->setChecked(false);
    QVERIFY(!plot->graph(0)->visible());
    boxOf(panel.get(), 1)->setChecked(true);
    QVERIFY(plot->graph(0)->visible());
    QVERIFY(!plot->graph(1)->visible());
    QCOMPARE(SimControl::callCount("getZentrims"), queries + 2);  // asked at every toggle
}

void TestTimeGraphPanel::failedPresenceQueryHidesBoth()
{
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    BpmTimeGraphPanel* pair = asBpmPair(panel);
    SimControl::failCall("getZentrims");
    pair->chEnablesChanged();
    QVERIFY(boxOf(pair, 1)->isChecked() && boxOf(pair, 2)->isChecked());
    QVERIFY(!plotOf(pair)->graph(0)->visible());
    QVERIFY(!plotOf(pair)->graph(1)->visible());
}

void TestTimeGraphPanel::setBpmHidden_data()
{
    addKindAndFlags({"hide1", "hide2", "check1", "check2"});
    forPanels(Panels::BpmPairs, [](int kind, const PanelKind& p) {
        const auto row = [&](const char* name) -> QTestData& { return panelRow(kind, p, name); };
        row("hide BPM1, boxes checked") << true << false << true << true;
        row("hide BPM2, boxes checked") << false << true << true << true;
        row("hide both") << true << true << true << true;
        row("show both") << false << false << true << true;
        row("shown but CheckCh1 off") << false << false << false << true;
    });
}

void TestTimeGraphPanel::setBpmHidden()
{
    QFETCH(bool, hide1);
    QFETCH(bool, hide2);
    QFETCH(bool, check1);
    QFETCH(bool, check2);
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    BpmTimeGraphPanel& pair = *asBpmPair(panel);
    verifyBpmHidden(pair, hide1, hide2, check1, check2);
    if (QTest::currentTestFailed())
        return;
    // And back: presence returned, the boxes' state decides again.
    verifyBpmHidden(pair, false, false, check1, check2);
}

void TestTimeGraphPanel::setBpmHiddenAsksNoHardware()
{
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    BpmTimeGraphPanel* pair = asBpmPair(panel);
    SimControl::setZentrimPresent(0, true);
    SimControl::setZentrimPresent(1, true);
    const int queries = SimControl::callCount("getZentrims");
    pair->setBpmHidden(true, true);
    pair->setBpmHidden(false, true);
    QCOMPARE(SimControl::callCount("getZentrims"), queries);
    QVERIFY(plotOf(pair)->graph(0)->visible());
    QVERIFY(!plotOf(pair)->graph(1)->visible());
}

void TestTimeGraphPanel::backgroundFollowsHeight()
{
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    verifyBackgroundFollowsHeight(panel.get(), 700);
}

void TestTimeGraphPanel::hiddenPanelRedrawsWhenShownAgain()
{
    // As a dock tab that is not in front: no drawing until it is shown, then
    // at once with the data the containers hold by then.
    const std::unique_ptr<TimeGraphPanel> panel = fetchedPanel();
    QCustomPlot* plot = plotOf(panel.get());
    panel->resize(500, 300);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    QCoreApplication::processEvents();

    QSignalSpy drawn(plot, &QCustomPlot::afterReplot);
    panel->replot();
    QCOMPARE(drawn.count(), 1);

    panel->hide();
    fill(panel->getGraphData(0), 2000, 0.0, 0.001, 3.0, 1.0);
    panel->replot();
    panel->replot();
    QCOMPARE(drawn.count(), 1);
    QCOMPARE(plot->xAxis->range().upper, 1.999);  // the ranges still follow the data

    panel->show();
    QCOMPARE(drawn.count(), 2);
    QCOMPARE(plot->graph(0)->dataCount(), 2000);
}

QTEST_MAIN(TestTimeGraphPanel)
#include "tst_timegraphpanel.moc"
