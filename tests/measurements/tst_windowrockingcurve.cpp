// The rocking-curve scan against the simulated plant: the ramp that reaches the
// output unit, the peak it draws held against the plant's intensity peak, the
// channel pairs, and the scans that are refused or read nothing.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <fcntl.h>

#include <array>
#include <vector>

#include <qcustomplot.h>

#include "DeviceIo.h"
#include "PlantConstants.h"
#include "VornLibrary.h"
#include "WindowRockingCurve.h"
#include "support/GaussianFit.h"
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

// What each point of a scan sent and read: the record written before the
// first sleep, and the picoammeter's sample at the moment the scan read it.
struct PointLog
{
    std::vector<DacOutputs> records;
    std::vector<ZentrimCurrentSample> samples;
    std::vector<int> progress;
    std::vector<bool> startEnabled;
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
        Bench()
            : setup(ProgramFixture::Options().quietBeam().atUserLevel(USER_LEVEL_USER).refreshed())
            , window(setup.outputs, clock)
            , form(window)
        {
            setup.setPidOffset(0, CENTRE_OUTPUT_V - 0.5);
            setup.setPidOffset(1, CENTRE_OUTPUT_V);
            setup.config->setQuadrants(0, 1, 2, 3, 0);
        }

        // Logs every point; sleeps alternate: after the write, after the read.
        void logPoints()
        {
            clock.beforeEach = [this](int call) {
                if (call % 2 == 0) {
                    log.records.push_back(SimControl::sent().lastDacWrite);
                } else {
                    // The clock has not moved since the scan read its sample.
                    log.samples.push_back(readCurrentsNow());
                    log.progress.push_back(form.progress->value());
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
    void defaultScanFindsThePlantsPeak()
    {
        Bench bench;
        bench.logPoints();
        const int currentsOpen = SimControl::openFileCount(DEVICE_ZENTRIM0);
        const int outputsOpen = SimControl::openFileCount(DEVICE_ORVANE);
        QVERIFY(setFBenable(1) >= 0);
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
        QCOMPARE(bench.clock.sleptUs.load(), 2000LL * 1000LL);
        QCOMPARE(bench.form.names(), QStringList({"left (ch 4)", "right (ch 2)", "sum (left+right)"}));
        QCOMPARE(bench.form.progress->value(), 100);
        QCOMPARE(int(SimControl::sent().outputMux), 1);
        QCOMPARE(int(SimControl::sent().fbEnable), 0);
        QCOMPARE(SimControl::openFileCount(DEVICE_ZENTRIM0), currentsOpen);
        QCOMPARE(SimControl::openFileCount(DEVICE_ORVANE), outputsOpen);

        // The sum over the first 20 ms is left out: the beam is still arriving at 4 V.
        const std::vector<double> x = bench.form.keys(2), sum = bench.form.values(2);
        QCOMPARE(int(x.size()), 1000);
        const int settled = 10;
        const GaussianFitResult fit = fitGaussian(std::vector<double>(x.begin() + settled, x.end()),
                                                  std::vector<double>(sum.begin() + settled, sum.end()));
        QVERIFY(fit.ok);
        // Left and right each carry a quarter of the intensity, (1 -/+ x): their sum is half of it.
        const double trueSum = INTENSITY_PEAK_A * TRANSMISSION[0] / 2.0;
        qInfo("peak %.4f V (true %.4f), sigma %.4f V (true %.4f), height %.6g A (true %.6g)", fit.centre,
              CENTRE_OUTPUT_V, fit.sigma, INTENSITY_SIGMA_V, fit.height, trueSum);
        QVERIFY(qAbs(fit.centre - CENTRE_OUTPUT_V) <= 0.01);
        QVERIFY(qAbs(fit.sigma - INTENSITY_SIGMA_V) <= 0.01);
        QVERIFY(qAbs(fit.height - trueSum) <= 0.01 * trueSum);
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
        QCOMPARE(bench.log.progress, std::vector<int>({33, 66, 100}));
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

    void failedCurrentReadPlotsNothing_data()
    {
        QTest::addColumn<bool>("absent");
        QTest::newRow("request fails") << false;
        QTest::newRow("picoammeter absent") << true;
    }

    void failedCurrentReadPlotsNothing()
    {
        QFETCH(bool, absent);
        Bench bench;
        if (absent)
            SimControl::setZentrimPresent(0, false);
        else
            SimControl::failIoctl(DEVICE_ZENTRIM0);
        bench.form.n->setValue(4);
        bench.form.startButton->click();
        QCOMPARE(SimControl::sent().dacWrites, 4);
        for (int g = 0; g < 3; ++g)
            QCOMPARE(bench.form.plot->graph(g)->data()->size(), 0);
        QCOMPARE(bench.form.progress->value(), 100);
        QCOMPARE(int(SimControl::sent().outputMux), 1);
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
        QTest::newRow("X output index 4") << QList<int>{4, 1} << QList<int>{0, 1, 2, 3};
        QTest::newRow("Y output index -1") << QList<int>{0, -1} << QList<int>{0, 1, 2, 3};
        QTest::newRow("left channel index 4") << QList<int>{0, 1} << QList<int>{0, 1, 2, 4};
        QTest::newRow("top channel index -2") << QList<int>{0, 1} << QList<int>{-2, 1, 2, 3};
    }

    void channelsOutsideTheRecordAreRefused()
    {
        QFETCH(QList<int>, dac);
        QFETCH(QList<int>, bpmMap);
        Bench bench;
        bench.setup.config->setDACmap(dac[0], dac[1], 2);
        bench.setup.config->setQuadrants(bpmMap[0], bpmMap[1], bpmMap[2], bpmMap[3], 0);
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
