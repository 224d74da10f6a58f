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

private:
    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestUpdater)
#include "tst_updater.moc"
