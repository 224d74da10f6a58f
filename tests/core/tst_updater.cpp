// The display tick against the simulated controller: which containers are
// filled with what, presence, pause and the fatal short read.
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "DeviceIo.h"
#include "Globals.h"
#include "Prompts.h"
#include "SimControl.h"
#include "Updater.h"
#include "VornLibrary.h"
#include "support/ProgramFixture.h"
#include "support/SteppedMeasurementClock.h"

namespace {
// Every container the main window would register, bound to one Updater.
struct Bound
{
    GraphData scatter[2], spectrum[2], currents[2][4], outputs[4], posX[2], posY[2], intensity[2];

    explicit Bound(Updater& u)
    {
        for (int b = 0; b < 2; ++b) {
            u.setGraphData(Updater::KindScatterBpm1 + b, 0, scatter[b] = GraphData::create());
            u.setGraphData(Updater::KindSpectrum, b, spectrum[b] = GraphData::create());
            u.setGraphData(Updater::KindPositionX, b, posX[b] = GraphData::create());
            u.setGraphData(Updater::KindPositionY, b, posY[b] = GraphData::create());
            u.setGraphData(Updater::KindIntensity, b, intensity[b] = GraphData::create());
            for (int c = 0; c < 4; ++c)
                u.setGraphData(Updater::KindCurrentsBpm1 + b, c, currents[b][c] = GraphData::create());
        }
        for (int c = 0; c < 4; ++c)
            u.setGraphData(Updater::KindOutputVoltage, c, outputs[c] = GraphData::create());
    }

    QList<GraphData> ofBpm(int b) const
    {
        QList<GraphData> all{scatter[b], spectrum[b], posX[b], posY[b], intensity[b]};
        for (const auto& c : currents[b])
            all << c;
        return all;
    }
};

std::vector<DisplayRecord> newestRecords(int n)
{
    std::vector<DisplayRecord> records(n);
    getBuffer(records[0].word, n);
    return records;
}
}  // namespace

class TestUpdater : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_program.emplace(ProgramFixture::Options().noConfig().noLink());
        POS_SCALE_X[0] = POS_SCALE_Y[0] = 1000.0;
        POS_SCALE_X[1] = POS_SCALE_Y[1] = 2000.0;
    }

    void cleanup() { m_program.reset(); }

    void fullBlockFillsEveryGraph()
    {
        Updater updater;
        Bound bound(updater);
        QSignalSpy replots(&updater, &Updater::replotGraphs);
        updater.updateGraphs();

        QCOMPARE(replots.count(), 1);
        const int n = 14336;
        const auto records = newestRecords(n);
        for (int b = 0; b < 2; ++b) {
            for (const GraphData& d : {bound.posX[b], bound.posY[b], bound.intensity[b], bound.currents[b][0],
                                       bound.currents[b][3]}) {
                QCOMPARE(d->size(), n);
                QCOMPARE(d->at(n - 1)->key, (n - 1) / 1000.0);
            }
            QCOMPARE(bound.scatter[b]->size(), 1000);
            QVERIFY(!bound.spectrum[b]->isEmpty());
        }
        for (const auto& d : bound.outputs)
            QCOMPARE(d->size(), n);

        // Values come from the right words, scaled by the right factor.
        QCOMPARE(bound.posX[1]->at(5)->value, records[5].word[4] * 2000.0);
        QCOMPARE(bound.posY[0]->at(5)->value, records[5].word[1] * 1000.0);
        QCOMPARE(bound.intensity[1]->at(7)->value, records[7].word[6]);
        QCOMPARE(bound.currents[1][2]->at(9)->value, records[9].word[30]);
        QCOMPARE(bound.outputs[3]->at(11)->value, records[11].word[11]);
    }

    void scatterHoldsTheLastThousand()
    {
        DISPLAY_BUFFER_BYTES = 1024 * 256;
        Updater updater;
        Bound bound(updater);
        updater.updateGraphs();
        const auto records = newestRecords(1024);

        QCOMPARE(bound.scatter[0]->size(), 1000);
        QCOMPARE(bound.posX[0]->size(), 1024);
        // Keys of a scatter are positions, so compare as sorted point lists: records 24 to 1023.
        QList<QPair<double, double>> expected;
        for (int i = 24; i < 1024; ++i)
            expected.append({records[i].word[0] * 1000.0, records[i].word[1] * 1000.0});
        QList<QPair<double, double>> actual;
        for (auto it = bound.scatter[0]->constBegin(); it != bound.scatter[0]->constEnd(); ++it)
            actual.append({it->key, it->value});
        std::sort(expected.begin(), expected.end());
        std::sort(actual.begin(), actual.end());
        QCOMPARE(actual, expected);
    }

    void absentDeviceLeavesItsGraphsEmpty()
    {
        Updater updater;
        Bound bound(updater);
        updater.updateGraphs();
        QVERIFY(!bound.posX[1]->isEmpty());

        SimControl::setZentrimPresent(1, false);
        SimControl::step(1.0);
        updater.updateGraphs();
        QVERIFY(!updater.isPresent(1));
        for (const GraphData& d : bound.ofBpm(1))
            QVERIFY(d->isEmpty());
        for (const GraphData& d : bound.ofBpm(0))
            QVERIFY(!d->isEmpty());
        for (const auto& d : bound.outputs)
            QCOMPARE(d->size(), 14336);
    }

    // A status block that could not be read says so; the block's last values
    // are no reading.
    void statusProblemNamesTheFailedRead_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("problem");

        QTest::newRow("device cannot be opened") << "open" << "/dev/vorn_zentrim1 cannot be opened: Permission denied";
        QTest::newRow("status request fails") << "ioctl" << "/dev/vorn_zentrim1 gave no status: Input/output error";
        QTest::newRow("picoammeter gone") << "absent" << "/dev/vorn_zentrim1 cannot be opened: No such file or directory";
    }

    void statusProblemNamesTheFailedRead()
    {
        QFETCH(QString, fault);
        QFETCH(QString, problem);

        Updater updater;
        QCOMPARE(updater.statusProblem(0), QString("not read yet"));
        updater.updateZentrims();
        QCOMPARE(updater.statusProblem(0), QString());
        QCOMPARE(updater.statusProblem(1), QString());

        if (fault == "open")
            SimControl::failOpen(DEVICE_ZENTRIM1, EACCES);
        else if (fault == "ioctl")
            SimControl::failIoctl(DEVICE_ZENTRIM1, EIO);
        else
            SimControl::setZentrimPresent(1, false);
        updater.updateZentrims();
        QCOMPARE(updater.statusProblem(1), problem);
        QCOMPARE(updater.statusProblem(0), QString());

        SimControl::clearFailures();
        SimControl::setZentrimPresent(1, true);
        updater.updateZentrims();
        QCOMPARE(updater.statusProblem(1), QString());
    }

    void pausedTickOnlyProbesDevices()
    {
        Updater updater;
        Bound bound(updater);
        updater.updateGraphs();
        const double firstKey = bound.posX[0]->at(0)->value;

        updater.setPaused(true);
        QSignalSpy replots(&updater, &Updater::replotGraphs);
        zentrimHVSetVoltage(0, 100.f);
        zentrimHVenable(1, 0);
        SimControl::step(1.0);
        updater.updateGraphs();
        QCOMPARE(replots.count(), 0);
        QCOMPARE(bound.posX[0]->at(0)->value, firstKey);
        QVERIFY(updater.zentrimStatus(0).hvVoltage() > 0.f);

        const float before = updater.zentrimStatus(0).hvVoltage();
        SimControl::step(1.0);
        updater.updateGraphs();
        QVERIFY(updater.zentrimStatus(0).hvVoltage() != before);
        QCOMPARE(replots.count(), 0);
    }

    void shortReadIsFatalOnce()
    {
        Updater updater;
        Bound bound(updater);
        QSignalSpy replots(&updater, &Updater::replotGraphs);
        SimControl::shortBuffer(1);

        bool quitReached = false;
        QTimer::singleShot(0, &updater, [&] {
            updater.updateGraphs();
            updater.updateGraphs();  // a later tick while the program is quitting
        });
        QTimer failsafe;
        failsafe.setSingleShot(true);
        connect(&failsafe, &QTimer::timeout, qApp, [] { QCoreApplication::exit(2); });
        failsafe.start(5000);
        quitReached = QCoreApplication::exec() == 0;

        QVERIFY(quitReached);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().at(0).kind, Prompts::Kind::Critical);
        QCOMPARE(Prompts::shown().at(0).title, QString("Cannot open file"));
        QCOMPARE(Prompts::shown().at(0).text,
                 QString("System file /dev/vorn_dma_displ could not be opened.\n\n"
                         "Please check if VORN driver is loaded.\nApplication will now quit.\n"));
        QCOMPARE(replots.count(), 0);
        QVERIFY(bound.posX[0]->isEmpty());
    }

    void invalidBindingsChangeNothing_data()
    {
        QTest::addColumn<unsigned>("kind");
        QTest::addColumn<int>("index");
        QTest::newRow("kind 3 index 4") << 3u << 4;
        QTest::newRow("kind 3 index -1") << 3u << -1;
        QTest::newRow("kind 5") << 5u << 0;
        QTest::newRow("kind 6") << 6u << 0;
        QTest::newRow("kind 11") << 11u << 0;
        QTest::newRow("kind 2 index 2") << 2u << 2;
    }

    void invalidBindingsChangeNothing()
    {
        QFETCH(unsigned, kind);
        QFETCH(int, index);
        Updater updater;
        Bound bound(updater);
        GraphData stray = GraphData::create();
        updater.setGraphData(kind, index, stray);
        updater.updateGraphs();
        QVERIFY(stray->isEmpty());
        QCOMPARE(bound.currents[0][3]->size(), 14336);
        QVERIFY(!bound.spectrum[1]->isEmpty());
    }

    void nonPositiveRateGivesFiniteKeys_data()
    {
        QTest::addColumn<int>("rate");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -5;
    }

    void nonPositiveRateGivesFiniteKeys()
    {
        QFETCH(int, rate);
        storeSampFreq(rate);
        Updater updater;
        Bound bound(updater);
        updater.updateGraphs();
        for (const GraphData& d : {bound.posX[0], bound.outputs[0], bound.spectrum[0]})
            for (auto it = d->constBegin(); it != d->constEnd(); ++it)
                QVERIFY(std::isfinite(it->key) && std::isfinite(it->value));
    }

    void recordsAtCurrentRate_data()
    {
        QTest::addColumn<qlonglong>("ageUs");  // -1: no change seen
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("shown");
        QTest::newRow("no change seen: the whole block") << -1LL << 1000 << 14336 << 14336;
        QTest::newRow("just changed: nothing yet") << 0LL << 1000 << 14336 << 0;
        QTest::newRow("one record's time: it may straddle the change") << 1000LL << 1000 << 14336 << 0;
        QTest::newRow("2.5 s at 1 kHz, less the straddling one") << 2500000LL << 1000 << 14336 << 2499;
        QTest::newRow("0.2 s at 50 kHz") << 200000LL << 50000 << 14336 << 9999;
        QTest::newRow("longer ago than the block spans") << 20000000LL << 1000 << 14336 << 14336;
        QTest::newRow("weeks ago at the highest rate") << 3000000000000LL << 20000 << 14336 << 14336;
        QTest::newRow("no usable rate: cannot count, all kept") << 100000LL << 0 << 1024 << 1024;
        QTest::newRow("nothing read") << 100000LL << 1000 << 0 << 0;
    }

    void recordsAtCurrentRate()
    {
        QFETCH(qlonglong, ageUs);
        QFETCH(int, rate);
        QFETCH(int, n);
        QFETCH(int, shown);
        const std::optional<long long> age = ageUs < 0 ? std::nullopt : std::optional<long long>(ageUs);
        QCOMPARE(Updater::recordsAtCurrentRate(age, rate, n), shown);
    }

    // A sweep leaves records at 10 kHz in the stream; once the rate is back at
    // 1 kHz the time graphs hold only what was taken at 1 kHz, on its own axis.
    void timeGraphsShowOnlyTheRateInForce_data()
    {
        QTest::addColumn<double>("after");  // seconds at 1 kHz before the tick
        QTest::newRow("right after the change: nothing yet") << 0.0;
        QTest::newRow("half a second") << 0.5;
        QTest::newRow("2.5 s") << 2.5;
        QTest::newRow("10 s") << 10.0;
        QTest::newRow("20 s: the whole block again") << 20.0;
    }

    void timeGraphsShowOnlyTheRateInForce()
    {
        QFETCH(double, after);
        m_program.emplace(ProgramFixture::Options().noConfig());
        m_program->link->setClock(m_clock);
        // A 10 Hz sine on output 1 marks true time in every record.
        float amplitude[4] = {1.0f, 0.0f, 0.0f, 0.0f};
        float offset[4] = {5.0f, 5.0f, 5.0f, 5.0f};
        QCOMPARE(::funcGenConfig(amplitude, offset, 10.0f), 0);
        QCOMPARE(::funcGenEnable(1), 0);
        Updater updater;
        Bound bound(updater);
        updater.setFFTsource(DisplayRecord::OUTPUT0);

        storeSampFreq(10000);
        QVERIFY(m_program->link->setDisplayFreq(0) >= 0);
        SimControl::step(3.0);
        storeSampFreq(1000);
        QVERIFY(m_program->link->setDisplayFreq(0) >= 0);
        SimControl::step(after);
        QSignalSpy replots(&updater, &Updater::replotGraphs);
        updater.updateGraphs();
        QCOMPARE(replots.count(), 1);

        const int expected = std::min(14336, std::max(0, int(std::lround(after * 1000.0)) - 1));
        for (const GraphData& d : {bound.outputs[0], bound.posX[0], bound.currents[1][2], bound.intensity[1]}) {
            QVERIFY2(qAbs(d->size() - expected) <= 1, qPrintable(QString::number(d->size())));
            if (!d->isEmpty()) {
                QCOMPARE(d->constBegin()->key, 0.0);
                QCOMPARE((d->constEnd() - 1)->key, (d->size() - 1) / 1000.0);
            }
        }
        QVERIFY(bound.scatter[0]->size() <= std::min(1000, expected + 1));
        if (expected < 300)
            return;

        // Upward crossings of the offset on the graph's own axis: 0.1 s apart, not 1 s.
        QList<double> crossings;
        const GraphData& out = bound.outputs[0];
        for (auto it = out->constBegin() + 1; it != out->constEnd(); ++it) {
            const double before = (it - 1)->value - offset[0];
            const double now = it->value - offset[0];
            if (before < 0.0 && now >= 0.0)
                crossings << (it - 1)->key + (it->key - (it - 1)->key) * (-before / (now - before));
        }
        QVERIFY(crossings.size() >= 3);
        const double period = (crossings.last() - crossings.first()) / double(crossings.size() - 1);
        QVERIFY2(qAbs(period - 0.1) < 1e-3, qPrintable(QString::number(period)));

        // The spectrum of the same output peaks at 10 Hz, within its resolution.
        const GraphData& spectrum = bound.spectrum[0];
        QVERIFY(!spectrum->isEmpty());
        auto peak = spectrum->constBegin() + 1;
        for (auto it = spectrum->constBegin() + 1; it != spectrum->constEnd(); ++it)
            if (it->value > peak->value)
                peak = it;
        const double resolution = 1000.0 / std::min(expected, 8192);
        QVERIFY2(qAbs(peak->key - 10.0) <= resolution, qPrintable(QString::number(peak->key)));
        QCOMPARE(::funcGenEnable(0), 0);
    }

private:
    SteppedMeasurementClock m_clock;
    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestUpdater)
#include "tst_updater.moc"
