// The rocking-curve scan against the simulated plant: the ramp that reaches the
// output unit, every point held against the plant's curve with its disturbances
// on, the channel pairs, the runs that are refused, fail, are closed or quit, and
// how often a scan redraws.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <fcntl.h>

#include <array>
#include <cmath>
#include <vector>

#include <qcustomplot.h>

#include "DacOutputsWriter.h"
#include "DeviceIo.h"
#include "PlantConstants.h"
#include "RockingCurvePlan.h"
#include "ScanSession.h"
#include "VornLibrary.h"
#include "WindowRockingCurve.h"
#include "support/BeamTruth.h"
#include "support/LogCapture.h"
#include "support/Later.h"
#include "support/ProgramFixture.h"
#include "support/SteppedMeasurementClock.h"

namespace {

using namespace PlantConstants;

struct Form
{
    explicit Form(const QWidget& w)
        : start(w.findChild<QDoubleSpinBox*>("boxStart"))
        , stop(w.findChild<QDoubleSpinBox*>("boxStop"))
        , n(w.findChild<QSpinBox*>("boxN"))
        , tpoint(w.findChild<QDoubleSpinBox*>("boxTimePoint"))
        , direction(w.findChild<QComboBox*>("chSel"))
        , startButton(w.findChild<QPushButton*>("buttonStart"))
        , progress(w.findChild<QProgressBar*>("progressBar"))
        , plot(w.findChild<QCustomPlot*>("graph"))
    {
    }

    std::vector<double> keys(int graph) const
    {
        std::vector<double> out;
        for (const QCPGraphData& d : *plot->graph(graph)->data())
            out.push_back(d.key);
        return out;
    }
    std::vector<double> values(int graph) const
    {
        std::vector<double> out;
        for (const QCPGraphData& d : *plot->graph(graph)->data())
            out.push_back(d.value);
        return out;
    }
    QStringList names() const
    {
        return {plot->graph(0)->name(), plot->graph(1)->name(), plot->graph(2)->name()};
    }

    QDoubleSpinBox *start, *stop;
    QSpinBox* n;
    QDoubleSpinBox* tpoint;
    QComboBox* direction;
    QPushButton* startButton;
    QProgressBar* progress;
    QCustomPlot* plot;
};

// What each point of a scan sent and read, seen from the clock's hook before
// each wait: the record of each write, and for each new point the picoammeter's
// sample at the moment the scan read it (nothing moves between two waits).
struct PointLog
{
    std::vector<DacOutputs> records;
    std::vector<ZentrimCurrentSample> samples;
    std::vector<double> readAt;  // simulated time of each plotted point
    std::vector<bool> startEnabled;
    int writesSeen = 0;
    int pointsSeen = 0;
};


ZentrimCurrentSample readCurrentsNow()
{
    ZentrimCurrentSample s{};
    const int fd = DeviceIo::open(DEVICE_ZENTRIM0, O_RDWR | O_SYNC);
    if (fd >= 0) {
        DeviceIo::ioctl(fd, IOCTL_ZENTRIM_CURRENTS, &s);
        DeviceIo::close(fd);
    }
    return s;
}

std::array<double, 4> channelsOf(const DacOutputs& r)
{
    return {r.ch1, r.ch2, r.ch3, r.ch4};
}

}  // namespace

class TestWindowRockingCurve : public QObject
{
    Q_OBJECT

private:
    struct Bench
    {
        // Y held at the plant's centre, BPM1's channel map as the simulator wires it.
        // The beam is quiet unless asked: the exact samples are read again then.
        explicit Bench(bool disturbances = false)
            : setup(ProgramFixture::Options()
                        .withDisturbances(disturbances)
                        .atUserLevel(USER_LEVEL_USER)
                        .refreshed())
            , window(setup.outputs, clock)
            , form(window)
        {
            setup.setPidOffset(0, CENTRE_OUTPUT_V - 0.5);
            setup.setPidOffset(1, CENTRE_OUTPUT_V);
            setup.config->setQuadrants(0, 1, 2, 3, 0);
        }

        // Logs every write and every new point; `sample` reads the currents again
        // at each new point (a quiet beam gives the scan's own sample).
        void logPoints(bool sample = true)
        {
            clock.beforeEach = [this, sample](int) {
                const int writes = SimControl::sent().dacWrites;
                if (writes > log.writesSeen) {
                    log.writesSeen = writes;
                    log.records.push_back(SimControl::sent().lastDacWrite);
                }
                const int points = int(form.plot->graph(2)->data()->size());
                if (points > log.pointsSeen) {
                    log.pointsSeen = points;
                    log.readAt.push_back(SimControl::now());
                    if (sample)
                        log.samples.push_back(readCurrentsNow());
                }
                log.startEnabled.push_back(form.startButton->isEnabled());
            };
        }

        ProgramFixture setup;
        SteppedMeasurementClock clock;
        WindowRockingCurve window;
        Form form;
        PointLog log;
    };

private slots:
    // The default form with the plant's noise, 50 Hz line and drift on: every
    // point, the first one included, against the plant's curve at its voltage.
    void defaultScanIsTrueAtEveryPoint()
    {
        Bench bench(true);
        BeamTruth truth;
        bench.logPoints(false);
        auto log = bench.clock.beforeEach;
        bench.clock.beforeEach = [&](int call) {
            truth.record();
            log(call);
        };
        const int currentsOpen = SimControl::openFileCount(DEVICE_ZENTRIM0);
        const int outputsOpen = SimControl::openFileCount(DEVICE_ORVANE);
        QVERIFY(setFBenable(1) >= 0);
        truth.record();
        bench.form.startButton->click();

        // 1000 records from 4.000 V in 2 mV steps on X, Y at its offset.
        QCOMPARE(int(bench.log.records.size()), 1000);
        for (int k = 0; k < 1000; ++k) {
            const DacOutputs& r = bench.log.records[size_t(k)];
            QVERIFY(qAbs(r.ch1 - (4.0 + 0.002 * k)) < 1e-12);
            QCOMPARE(r.ch2, CENTRE_OUTPUT_V);
            QCOMPARE(r.ch3, 0.0);
            QCOMPARE(r.ch4, 0.0);
            QCOMPARE(r.flag, 1);
        }
        // Two waits of Tpoint per point, and the wait for the beam to arrive at 4 V.
        QCOMPARE(bench.clock.sleptUs.load(), 2000LL * 1000LL + ScanSession::SETTLE_US);
        QCOMPARE(bench.form.names(), QStringList({"left (ch 4)", "right (ch 2)", "sum (left+right)"}));
        QCOMPARE(bench.form.progress->value(), 100);
        QCOMPARE(int(SimControl::sent().outputMux), 1);
        QCOMPARE(int(SimControl::sent().fbEnable), 0);
        QCOMPARE(SimControl::openFileCount(DEVICE_ZENTRIM0), currentsOpen);
        QCOMPARE(SimControl::openFileCount(DEVICE_ORVANE), outputsOpen);
        QVERIFY(!bench.setup.outputs.isHeld());
        QVERIFY(Prompts::shown().isEmpty());

        // Left and right each carry a quarter of the intensity, (1 -/+ x): their sum
        // is half of it. The beam follows the ramp late by its rate times the dead
        // time, the output hold and the time constant.
        const std::vector<double> x = bench.form.keys(2), sum = bench.form.values(2);
        QCOMPARE(int(x.size()), 1000);
        QCOMPARE(int(bench.log.readAt.size()), 1000);
        const double peak = INTENSITY_PEAK_A * TRANSMISSION[0] / 2.0;
        const double rate = 0.002 / (2 * 1e-3);
        const double lag = rate * (DEAD_TIME_S + HOLD_DELAY_S + TIME_CONSTANT_S);
        double worst = 0.0, worstStatic = 0.0;
        int worstAt = -1, worstStaticAt = -1;
        for (int k = 0; k < 1000; ++k) {
            const double t = bench.log.readAt[size_t(k)];
            QVERIFY2(truth.recordedAt(t), qPrintable(QString::number(k)));
            const double ax = x[size_t(k)] - lag - CENTRE_OUTPUT_V;
            // What the plant's own disturbances added to the beam at that moment.
            const double dx = truth.disturbance(0, t), dy = truth.disturbance(1, t);
            const double deviation = qAbs(sum[size_t(k)] - BeamTruth::intensity(ax + dx, dy) / 2.0) / peak;
            const double deviationStatic = qAbs(sum[size_t(k)] - BeamTruth::intensity(ax, 0.0) / 2.0) / peak;
            if (deviation > worst) {
                worst = deviation;
                worstAt = k;
            }
            if (deviationStatic > worstStatic) {
                worstStatic = deviationStatic;
                worstStaticAt = k;
            }
        }
        qInfo("point 0 at %.3f V: %.4g A against the plant's %.4g A", x[0], sum[0],
              BeamTruth::intensity(x[0] - lag - CENTRE_OUTPUT_V, 0.0) / 2.0);
        const double tWorst = bench.log.readAt[size_t(worstStaticAt)];
        qInfo("largest deviation %.2f %% of the peak (point %d) from the plant's curve with its disturbances, "
              "%.2f %% (point %d, %.3f V, line and drift moving the beam by %.1f mV then) from the curve alone",
              100 * worst, worstAt, 100 * worstStatic, worstStaticAt, x[size_t(worstStaticAt)],
              1e3 * truth.disturbance(0, tWorst));
        QVERIFY2(worst <= 0.02, qPrintable(QString::number(100 * worst)));
        // The axes follow the data.
        QCOMPARE(bench.form.plot->xAxis->range().lower, 4.0);
        QVERIFY(qAbs(bench.form.plot->xAxis->range().upper - 5.998) < 1e-9);
    }

    void channelsAndRecords_data()
    {
        QTest::addColumn<QString>("direction");
        QTest::addColumn<QList<int>>("dac");     // X, Y
        QTest::addColumn<QList<int>>("bpmMap");  // top, right, bottom, left
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("elements");  // of the sample, graph 0 and 1
        QTest::addColumn<QList<int>>("rampAndHeld");  // output channel indices

        QTest::newRow("posX, default map") << "posX" << QList<int>{0, 1} << QList<int>{0, 1, 2, 3}
                                           << QStringList{"left (ch 4)", "right (ch 2)", "sum (left+right)"}
                                           << QList<int>{0, 2} << QList<int>{0, 1};
        QTest::newRow("posY ramps Y") << "posY" << QList<int>{0, 1} << QList<int>{0, 1, 2, 3}
                                      << QStringList{"top (ch 1)", "bottom (ch 3)", "sum (top+bottom)"}
                                      << QList<int>{3, 1} << QList<int>{1, 0};
        QTest::newRow("X on index 2, Y on index 3") << "posX" << QList<int>{2, 3} << QList<int>{0, 1, 2, 3}
                                                    << QStringList{"left (ch 4)", "right (ch 2)", "sum (left+right)"}
                                                    << QList<int>{0, 2} << QList<int>{2, 3};
        QTest::newRow("left 0, right 2") << "posX" << QList<int>{0, 1} << QList<int>{3, 2, 1, 0}
                                         << QStringList{"left (ch 1)", "right (ch 3)", "sum (left+right)"}
                                         << QList<int>{3, 1} << QList<int>{0, 1};
    }

    void channelsAndRecords()
    {
        QFETCH(QString, direction);
        QFETCH(QList<int>, dac);
        QFETCH(QList<int>, bpmMap);
        QFETCH(QStringList, names);
        QFETCH(QList<int>, elements);
        QFETCH(QList<int>, rampAndHeld);
        Bench bench;
        bench.setup.config->setDACmap(dac[0], dac[1], 2);
        bench.setup.config->setQuadrants(bpmMap[0], bpmMap[1], bpmMap[2], bpmMap[3], 0);
        // The simulator's own monitor wiring follows the configuration, as the beamline dialog would send it.
        QVERIFY(setCrossBar(0, uint8_t(bpmMap[0]), uint8_t(bpmMap[1]), uint8_t(bpmMap[2]), uint8_t(bpmMap[3])) >= 0);
        QVERIFY(setPIDoutSel(uint8_t(dac[0]), uint8_t(dac[1]), 2) >= 0);
        bench.form.direction->setCurrentText(direction);
        bench.form.n->setValue(3);
        bench.logPoints();
        bench.form.startButton->click();

        QCOMPARE(bench.form.names(), names);
        QCOMPARE(bench.form.progress->value(), 100);
        QCOMPARE(int(bench.log.records.size()), 3);
        const double held = direction == "posY" ? CENTRE_OUTPUT_V - 0.5 : CENTRE_OUTPUT_V;
        const std::vector<double> first = bench.form.values(0), second = bench.form.values(1),
                                  sum = bench.form.values(2), keys = bench.form.keys(0);
        QCOMPARE(int(first.size()), 3);
        for (int k = 0; k < 3; ++k) {
            const std::array<double, 4> out = channelsOf(bench.log.records[size_t(k)]);
            const double x = 4.0 + k * 2.0 / 3.0;
            for (int c = 0; c < 4; ++c) {
                const double want = c == rampAndHeld[0] ? x : c == rampAndHeld[1] ? held : 0.0;
                QVERIFY2(qAbs(out[size_t(c)] - want) < 1e-12, qPrintable(QString("point %1 channel %2").arg(k).arg(c)));
            }
            const ZentrimCurrentSample& s = bench.log.samples[size_t(k)];
            QVERIFY(qAbs(keys[size_t(k)] - x) < 1e-12);
            QCOMPARE(first[size_t(k)], s.current[elements[0]]);
            QCOMPARE(second[size_t(k)], s.current[elements[1]]);
            QCOMPARE(sum[size_t(k)], first[size_t(k)] + second[size_t(k)]);
            QVERIFY(first[size_t(k)] > 0.0);
        }
    }

    void formActsFromTheNextPoint()
    {
        // Stop below start: the ramp runs downwards; N = 1 is one point at the start.
        Bench bench;
        bench.form.start->setValue(6.0);
        bench.form.stop->setValue(4.0);
        bench.form.n->setValue(4);
        bench.logPoints();
        bench.form.startButton->click();
        QCOMPARE(int(bench.log.records.size()), 4);
        const double want[4] = {6.0, 5.5, 5.0, 4.5};
        for (int k = 0; k < 4; ++k)
            QVERIFY(qAbs(bench.log.records[size_t(k)].ch1 - want[k]) < 1e-12);

        bench.log = PointLog();
        bench.form.n->setValue(1);
        bench.form.startButton->click();
        QCOMPARE(int(bench.log.records.size()), 1);
        QCOMPARE(bench.log.records[0].ch1, 6.0);
        QCOMPARE(bench.form.progress->value(), 100);
        // A new scan replaces the last one's points.
        QCOMPARE(bench.form.plot->graph(2)->data()->size(), 1);
    }

    void secondStartDuringAScanIsRefused()
    {
        Bench bench;
        bench.form.n->setValue(5);
        bench.logPoints();
        int refusedAt = -1;
        auto log = bench.clock.beforeEach;
        bench.clock.beforeEach = [&](int call) {
            log(call);
            if (call == 2) {
                refusedAt = call;
                bench.window.startMeasurement();
                bench.form.startButton->click();
            }
        };
        bench.form.startButton->click();
        QCOMPARE(refusedAt, 2);
        QCOMPARE(SimControl::sent().dacWrites, 5);
        QCOMPARE(SimControl::callCount("setOutputMux", 0), 1);
        for (bool enabled : bench.log.startEnabled)
            QVERIFY(!enabled);
        QVERIFY(bench.form.startButton->isEnabled());
        QVERIFY(!bench.window.scanning());
    }

    void failedCurrentReadsAreLeftOutAndTold()
    {
        LogCapture::install();
        Bench bench;
        bench.form.n->setValue(6);
        // Points 2 and 3 cannot be read.
        bench.clock.beforeEach = [&](int) {
            const int writes = SimControl::sent().dacWrites;
            if (writes == 3)
                SimControl::failIoctl(DEVICE_ZENTRIM0);
            else if (writes == 5)
                SimControl::clearFailures();
        };
        bench.form.startButton->click();
        QCOMPARE(SimControl::sent().dacWrites, 6);
        const std::vector<double> keys = bench.form.keys(2);
        QCOMPARE(int(keys.size()), 4);
        for (int g = 0; g < 3; ++g)
            QCOMPARE(bench.form.plot->graph(g)->data()->size(), 4);
        const double want[4] = {4.0, 4.0 + 2.0 / 6, 4.0 + 8.0 / 6, 4.0 + 10.0 / 6};
        for (int k = 0; k < 4; ++k)
            QVERIFY(qAbs(keys[size_t(k)] - want[k]) < 1e-12);
        QCOMPARE(bench.form.progress->value(), 100);
        QCOMPARE(int(SimControl::sent().outputMux), 1);
        QVERIFY(!bench.setup.outputs.isHeld());
        // Told once for the run, on screen and in the log.
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QCOMPARE(shown[0].title, QString("Rocking Curve"));
        QVERIFY2(shown[0].text.contains("2 of 6 picoammeter readings failed"), qPrintable(shown[0].text));
        QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Warn).filter("readings failed").size(), 1);
    }

    void failedOutputWriteEndsTheRun_data()
    {
        QTest::addColumn<int>("failingWrite");  // from 1
        QTest::newRow("the first write") << 1;
        QTest::newRow("the fourth write") << 4;
    }

    // Nothing is plotted against voltages that never reached the outputs.
    void failedOutputWriteEndsTheRun()
    {
        QFETCH(int, failingWrite);
        LogCapture::install();
        Bench bench;
        bench.form.n->setValue(10);
        if (failingWrite == 1)
            SimControl::failIoctl(DEVICE_ORVANE);
        bench.clock.beforeEach = [&](int) {
            if (SimControl::sent().dacWrites == failingWrite - 1)
                SimControl::failIoctl(DEVICE_ORVANE);
        };
        bench.form.startButton->click();
        QCOMPARE(SimControl::sent().dacWrites, failingWrite - 1);
        QCOMPARE(int(bench.form.plot->graph(2)->data()->size()), failingWrite - 1);
        QCOMPARE(int(SimControl::sent().outputMux), 1);
        QCOMPARE(SimControl::openFileCount(DEVICE_ZENTRIM0), 0);
        QCOMPARE(SimControl::openFileCount(DEVICE_ORVANE), 0);
        QVERIFY(!bench.setup.outputs.isHeld());
        QVERIFY(bench.form.startButton->isEnabled());
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains("did not take the voltages"), qPrintable(shown[0].text));
        QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Warn).filter("did not take the voltages").size(), 1);
    }

    void deviceThatCannotBeOpenedRefusesTheRun_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("absent");
        QTest::newRow("picoammeter absent") << QString(DEVICE_ZENTRIM0) << true;
        QTest::newRow("output unit fails to open") << QString(DEVICE_ORVANE) << false;
    }

    void deviceThatCannotBeOpenedRefusesTheRun()
    {
        QFETCH(QString, device);
        QFETCH(bool, absent);
        Bench bench;
        bench.form.n->setValue(4);
        bench.form.startButton->click();
        const int pointsBefore = bench.form.plot->graph(2)->data()->size();
        SimControl::reset();
        Prompts::clear();
        if (absent)
            SimControl::setZentrimPresent(0, false);
        else
            SimControl::failOpen(device.toStdString());
        bench.form.startButton->click();
        // Nothing changes: no write, the feedback and the multiplexer untouched, the
        // last curve still shown.
        QCOMPARE(SimControl::sent().dacWrites, 0);
        QCOMPARE(SimControl::callCount("setFBenable"), 0);
        QCOMPARE(SimControl::callCount("setOutputMux"), 0);
        QCOMPARE(SimControl::openFileCount(DEVICE_ZENTRIM0) + SimControl::openFileCount(DEVICE_ORVANE), 0);
        QCOMPARE(bench.form.plot->graph(2)->data()->size(), pointsBefore);
        QVERIFY(!bench.setup.outputs.isHeld());
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QVERIFY2(shown[0].text.contains(device + " could not be opened"), qPrintable(shown[0].text));
    }

    // A second rocking-curve window (or any tool) may not drive the outputs while
    // a scan holds them.
    void secondWindowIsRefusedWhileOneScans()
    {
        Bench bench;
        WindowRockingCurve second(bench.setup.outputs, bench.clock);
        bench.form.n->setValue(5);
        bench.logPoints();
        auto log = bench.clock.beforeEach;
        bench.clock.beforeEach = [&](int call) {
            log(call);
            if (call == 3)
                second.findChild<QPushButton*>("buttonStart")->click();
        };
        bench.form.startButton->click();
        QCOMPARE(SimControl::sent().dacWrites, 5);
        QCOMPARE(second.findChild<QCustomPlot*>("graph")->graph(2)->data()->size(), 0);
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QString("Rocking Curve"));
        QCOMPARE(shown[0].text, OutputOwner::busyText("Rocking Curve"));
        QCOMPARE(SimControl::callCount("setOutputMux", 0), 1);
        QVERIFY(!bench.setup.outputs.isHeld());
    }

    void closingTheWindowStopsTheRun_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("close box") << "close";
        QTest::newRow("OK") << "ok";
        QTest::newRow("Cancel") << "cancel";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("the program ends") << "exit";
    }

    // After the point in progress: outputs back to the feedback loop, devices
    // closed, the outputs free for another tool.
    void closingTheWindowStopsTheRun()
    {
        QFETCH(QString, how);
        Bench bench;
        bench.window.show();
        bench.logPoints();
        auto log = bench.clock.beforeEach;
        QDialogButtonBox* buttons = bench.window.findChild<QDialogButtonBox*>("buttonBox");
        bench.clock.beforeEach = [&](int call) {
            log(call);
            // In point 7, after its reading (point 0 waits more before, for the beam to arrive).
            if (call != SteppedMeasurementClock::slicesOf(ScanSession::SETTLE_US) + 2 * 7 + 1)
                return;
            if (how == "close")
                later(&bench.window, [&] { bench.window.close(); });
            else if (how == "ok")
                later(&bench.window, [=] { buttons->button(QDialogButtonBox::Ok)->click(); });
            else if (how == "cancel")
                later(&bench.window, [=] { buttons->button(QDialogButtonBox::Cancel)->click(); });
            else if (how == "escape")
                later(&bench.window, [&] { QTest::keyClick(&bench.window, Qt::Key_Escape); });
            else
                bench.setup.outputs.requestStop();
        };
        bench.form.startButton->click();
        QCOMPARE(SimControl::sent().dacWrites, 8);
        QCOMPARE(int(bench.form.plot->graph(2)->data()->size()), 8);
        QCOMPARE(int(SimControl::sent().outputMux), 1);
        QCOMPARE(SimControl::openFileCount(DEVICE_ZENTRIM0) + SimControl::openFileCount(DEVICE_ORVANE), 0);
        QVERIFY(!bench.setup.outputs.isHeld());
        QVERIFY(!bench.window.scanning());
        QCOMPARE(bench.window.isVisible(), how == "exit");
        QVERIFY(Prompts::shown().isEmpty());
    }

    // About ten redraws a second of scan time, and one at the end.
    void redrawsAreThrottled()
    {
        Bench bench;
        bench.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bench.window));
        bench.form.n->setValue(500);
        int replots = 0;
        connect(bench.form.plot, &QCustomPlot::afterReplot, [&] { ++replots; });
        bench.form.startButton->click();
        const double seconds = double(bench.clock.nowMicroseconds()) * 1e-6;
        qInfo("%d redraws in %.3f s of scan", replots, seconds);
        QVERIFY2(replots >= 10 && replots <= int(seconds * 10) + 2, qPrintable(QString::number(replots)));
    }

    void noPointsStillGivesTheOutputsBack()
    {
        Bench bench;
        bench.form.n->setValue(0);
        QVERIFY(setFBenable(1) >= 0);
        bench.form.startButton->click();
        QCOMPARE(SimControl::sent().dacWrites, 0);
        QCOMPARE(int(SimControl::sent().outputMux), 1);
        QCOMPARE(int(SimControl::sent().fbEnable), 0);
        QCOMPARE(SimControl::callCount("setOutputMux", 0), 1);
    }

    void channelsOutsideTheRecordAreRefused_data()
    {
        QTest::addColumn<QList<int>>("dac");
        QTest::addColumn<QList<int>>("bpmMap");
        QTest::addColumn<double>("heldOffset");  // the Y loop's, which a posX scan holds
        const QList<int> map{0, 1, 2, 3};
        QTest::newRow("X output index 4") << QList<int>{4, 1} << map << CENTRE_OUTPUT_V;
        QTest::newRow("Y output index -1") << QList<int>{0, -1} << map << CENTRE_OUTPUT_V;
        QTest::newRow("left channel index 4") << QList<int>{0, 1} << QList<int>{0, 1, 2, 4} << CENTRE_OUTPUT_V;
        QTest::newRow("top channel index -2") << QList<int>{0, 1} << QList<int>{-2, 1, 2, 3} << CENTRE_OUTPUT_V;
        QTest::newRow("held offset of 99 V") << QList<int>{0, 1} << map << 99.0;
        QTest::newRow("held offset not a number") << QList<int>{0, 1} << map << std::nan("");
    }

    void channelsOutsideTheRecordAreRefused()
    {
        QFETCH(QList<int>, dac);
        QFETCH(QList<int>, bpmMap);
        QFETCH(double, heldOffset);
        Bench bench;
        bench.setup.config->setDACmap(dac[0], dac[1], 2);
        bench.setup.config->setQuadrants(bpmMap[0], bpmMap[1], bpmMap[2], bpmMap[3], 0);
        bench.setup.setPidOffset(1, heldOffset);
        bench.form.startButton->click();
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QCOMPARE(shown[0].title, QString("Rocking Curve"));
        QCOMPARE(SimControl::sent().dacWrites, 0);
        QCOMPARE(SimControl::callCount("setFBenable"), 0);
        QCOMPARE(SimControl::callCount("setOutputMux"), 0);
        QVERIFY(bench.form.startButton->isEnabled());
    }

    // Every point the scan would put out, and the level it holds the other output
    // at, lie within the output unit's range, or the scan does not start: the
    // operator is told the value, and nothing reaches the feedback, the
    // multiplexer or the outputs.
    void voltagesOutsideTheOutputRangeAreRefused_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("stop");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("direction");
        QTest::addColumn<double>("heldOffset");  // of the loop the direction holds
        QTest::addColumn<QString>("told");       // empty: the scan runs

        const double held = CENTRE_OUTPUT_V;
        QTest::newRow("Stop 99 V: the last point at 98.905 V") << 4.0 << 99.0 << 1000 << "posX" << held
                                                            << "The last point (Start 4 V, Stop 99 V, N 1000) is 98.905 V";
        QTest::newRow("Stop 13 V: the last point at 12.991 V") << 4.0 << 13.0 << 1000 << "posX" << held
                                                            << "is 12.991 V, outside the output range";
        QTest::newRow("Start 15 V") << 15.0 << 6.0 << 1000 << "posY" << held
                                    << "The first point (Start 15 V, Stop 6 V, N 1000) is 15 V";
        QTest::newRow("Start -30 V") << -30.0 << 6.0 << 10 << "posX" << held << "is -30 V, outside";
        QTest::newRow("held X offset 13 V while Y is scanned") << 4.0 << 6.0 << 10 << "posY" << 13.0 << "PID_X/Offset";
        QTest::newRow("held Y offset -12.5 V while X is scanned") << 4.0 << 6.0 << 10 << "posX" << -12.5
                                                                  << "PID_Y/Offset";
        // The stop voltage itself is never put out: 4 V and 12 V, the limit.
        QTest::newRow("Stop 20 V with N 2 ends at 12 V") << 4.0 << 20.0 << 2 << "posX" << held << "";
        QTest::newRow("from -12 V upwards") << -12.0 << 0.0 << 3 << "posX" << held << "";
        QTest::newRow("held offset at -12 V") << 4.0 << 6.0 << 2 << "posX" << -12.0 << "";
    }

    void voltagesOutsideTheOutputRangeAreRefused()
    {
        QFETCH(double, start);
        QFETCH(double, stop);
        QFETCH(int, n);
        QFETCH(QString, direction);
        QFETCH(double, heldOffset);
        QFETCH(QString, told);
        Bench bench;
        bench.setup.setPidOffset(direction == "posY" ? 0 : 1, heldOffset);
        bench.form.start->setValue(start);
        bench.form.stop->setValue(stop);
        bench.form.n->setValue(n);
        bench.form.direction->setCurrentText(direction);
        bench.logPoints();
        bench.form.startButton->click();

        const QList<Prompts::Shown> shown = Prompts::shown();
        if (!told.isEmpty()) {
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
            QCOMPARE(shown[0].title, QString("Rocking Curve"));
            QVERIFY2(shown[0].text.contains(told), qPrintable(shown[0].text));
            QCOMPARE(SimControl::sent().dacWrites, 0);
            QCOMPARE(SimControl::callCount("setFBenable"), 0);
            QCOMPARE(SimControl::callCount("setOutputMux"), 0);
            QCOMPARE(bench.form.plot->graph(2)->data()->size(), 0);
            QVERIFY(!bench.setup.outputs.isHeld());
            return;
        }
        QVERIFY2(shown.isEmpty(), shown.isEmpty() ? "" : qPrintable(shown[0].text));
        QCOMPARE(int(bench.log.records.size()), n);
        for (const DacOutputs& r : bench.log.records)
            for (double v : channelsOf(r))
                QVERIFY2(v >= DAC_OUTPUT_MIN_V && v <= DAC_OUTPUT_MAX_V, qPrintable(QString::number(v, 'g', 17)));
        const DacOutputs& last = bench.log.records.back();
        QCOMPARE(last.ch1, RockingCurvePlan::rampVoltage(n - 1, n, start, stop));
    }

    // The form stays live during a scan: a Stop moved beyond the range ends the
    // scan before the first point outside, and says so.
    void stopMovedBeyondTheRangeDuringAScanEndsIt()
    {
        Bench bench;
        bench.form.n->setValue(10);
        bench.logPoints();
        auto log = bench.clock.beforeEach;
        bench.clock.beforeEach = [&](int call) {
            log(call);
            // In point 3; from point 4 on, 4 + (i / 10) x 95 V.
            if (SimControl::sent().dacWrites == 4 && bench.form.stop->value() < 99.0)
                bench.form.stop->setValue(99.0);
        };
        bench.form.startButton->click();
        QCOMPARE(SimControl::sent().dacWrites, 4);
        for (const DacOutputs& r : bench.log.records)
            QVERIFY(r.ch1 <= 6.0);
        QCOMPARE(int(bench.form.plot->graph(2)->data()->size()), 4);
        QCOMPARE(int(SimControl::sent().outputMux), 1);
        QVERIFY(!bench.setup.outputs.isHeld());
        QVERIFY(bench.form.startButton->isEnabled());
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains("Output channel 1 is 42 V, outside the output range of -12 to 12 V"),
                 qPrintable(shown[0].text));
    }

    // The feedback left on would fight the scan: the scan does not start.
    void feedbackThatStaysOnRefusesTheScan()
    {
        Bench bench;
        QVERIFY(setFBenable(1) >= 0);
        SimControl::failCall("setFBenable", 0);  // taken, without effect
        bench.form.startButton->click();
        QCOMPARE(SimControl::sent().dacWrites, 0);
        QCOMPARE(SimControl::callCount("setOutputMux"), 0);
        QCOMPARE(int(SimControl::sent().fbEnable), 1);
        QCOMPARE(bench.form.plot->graph(2)->data()->size(), 0);
        QVERIFY(!bench.setup.outputs.isHeld());
        QVERIFY(bench.form.startButton->isEnabled());
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QString("Rocking Curve"));
        QVERIFY2(shown[0].text.contains("still reports the feedback on"), qPrintable(shown[0].text));
    }

    void heldLevelAndRange()
    {
        Bench bench;
        QCOMPARE(bench.window.heldOutputLevel(true), CENTRE_OUTPUT_V - 0.5);
        QCOMPARE(bench.window.heldOutputLevel(false), CENTRE_OUTPUT_V);
        QCOMPARE(bench.form.plot->xAxis->range(), QCPRange(4, 6));
        QCOMPARE(bench.form.plot->yAxis->range(), QCPRange(-1.5e-4, 1.5e-4));
        bench.form.start->setValue(3.0);
        bench.form.stop->setValue(7.5);
        QCOMPARE(bench.form.plot->xAxis->range(), QCPRange(3, 7.5));
    }

    void screenshotAfterARun()
    {
        Bench bench;
        bench.form.startButton->click();
        bench.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bench.window));
        const QImage shot = bench.window.grab().toImage();
        const QString path = qEnvironmentVariable("VORN_TEST_TMP", QDir::tempPath()) + "/rocking-curve.png";
        QVERIFY(shot.save(path));
        // Both halves in their channel colours and the sum in light grey.
        int left = 0, right = 0, sum = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb p = shot.pixel(x, y);
                left += qRed(p) == 130 && qGreen(p) == 210 && qBlue(p) == 250;
                right += qRed(p) == 255 && qGreen(p) == 130 && qBlue(p) == 255;
                sum += qRed(p) > 225 && qGreen(p) > 225 && qBlue(p) > 225;
            }
        QVERIFY2(left > 200 && right > 200 && sum > 200,
                 qPrintable(QString("%1 %2 %3").arg(left).arg(right).arg(sum)));
    }
};

QTEST_MAIN(TestWindowRockingCurve)
#include "tst_windowrockingcurve.moc"
