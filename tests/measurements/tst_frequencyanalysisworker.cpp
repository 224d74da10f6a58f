// The sweep worker against the simulated controller, its clock stepped: the
// Bode points it measures held against the plant's true response, what it sets
// and restores on the controller, and how it ends on a stop or a failed read.
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <array>
#include <atomic>
#include <memory>
#include <optional>

#include "support/BodeTruth.h"
#include "DeviceIo.h"
#include "DisplayReader.h"
#include "FrequencyAnalysisWorker.h"
#include "FrequencyResponse.h"
#include "Globals.h"
#include "PlantConstants.h"
#include "SimControl.h"
#include "VornLibrary.h"
#include "VornRecords.h"
#include "support/LogCapture.h"
#include "support/ProgramFixture.h"
#include "support/SteppedMeasurementClock.h"

namespace {

struct SweepSettings
{
    QVector<double> frequencies;
    int channel = 0;       // output unit channel driven
    int inputWord = 0;     // position word measured
    double bpmScale = PlantConstants::BPM_PHYSICAL_SCALE_UM;
    bool scaling = true;
    float vpp = 1.0f;
    bool savedFilter = false;
    std::array<float, 4> offsets{5.0f, 5.0f, 5.0f, 5.0f};
};

struct Step
{
    int graphId;
    double freq, amp, pha;
};

struct Unreliable
{
    Step step;
    QString reason;
};

struct SweepResult
{
    QList<Step> steps;
    QList<Unreliable> unreliable;
    QList<QPair<double, QString>> leftOut;
    QList<int> progress;
    QStringList failures;
    int finished = 0;
};

constexpr int GRAPH_ID = 7;

class Worker : public FrequencyAnalysisWorker
{
public:
    using FrequencyAnalysisWorker::FrequencyAnalysisWorker;
    bool failAllocation = false;
    // Read number `corruptRead` (0 first) gets `corruptValue` in the newest
    // record's word `corruptWord` (-1: the reference words).
    int corruptRead = -1;
    int corruptWord = 0;
    double corruptValue = 0.0;

protected:
    std::unique_ptr<DisplayRecord[]> allocateRecords(size_t count) override
    {
        if (failAllocation)
            return nullptr;
        return FrequencyAnalysisWorker::allocateRecords(count);
    }

    size_t readDisplay(DisplayRecord* into, size_t count, QString& error) override
    {
        const size_t got = FrequencyAnalysisWorker::readDisplay(into, count, error);
        if (m_reads++ == corruptRead && got > 0) {
            DisplayRecord& newest = into[got - 1];
            if (corruptWord < 0)
                newest.setReferences(float(corruptValue), newest.quadratureReference());
            else
                newest.word[corruptWord] = corruptValue;
        }
        return got;
    }

private:
    int m_reads = 0;
};

std::unique_ptr<Worker> makeWorker(const SweepSettings& s)
{
    std::array<float, 4> amplitudes{0.0f, 0.0f, 0.0f, 0.0f};
    if (s.channel >= 0 && s.channel < 4)
        amplitudes[size_t(s.channel)] = s.vpp;
    return std::make_unique<Worker>(std::make_unique<DisplayReader>(), s.frequencies, s.savedFilter, GRAPH_ID,
                                    s.channel, s.bpmScale, amplitudes, s.offsets, s.inputWord, s.scaling);
}

// Runs the whole sweep on this thread; the clock decides when it stops.
SweepResult runSweep(Worker& worker, SteppedMeasurementClock& clock)
{
    worker.setMeasurementClock(clock);
    QSignalSpy steps(&worker, &FrequencyAnalysisWorker::frequencyStepDone);
    QSignalSpy progress(&worker, &FrequencyAnalysisWorker::progressUpdated);
    QSignalSpy failed(&worker, &FrequencyAnalysisWorker::failed);
    QSignalSpy unreliable(&worker, &FrequencyAnalysisWorker::frequencyStepUnreliable);
    QSignalSpy leftOut(&worker, &FrequencyAnalysisWorker::pointLeftOut);
    QSignalSpy finished(&worker, &FrequencyAnalysisWorker::finished);
    worker.run();
    SweepResult r;
    for (const QList<QVariant>& f : failed)
        r.failures << f[0].toString();
    for (const QList<QVariant>& s : steps)
        r.steps << Step{s[0].toInt(), s[1].toDouble(), s[2].toDouble(), s[3].toDouble()};
    for (const QList<QVariant>& p : progress)
        r.progress << p[0].toInt();
    for (const QList<QVariant>& u : unreliable)
        r.unreliable << Unreliable{{u[0].toInt(), u[1].toDouble(), u[2].toDouble(), u[3].toDouble()}, u[4].toString()};
    for (const QList<QVariant>& l : leftOut)
        r.leftOut << qMakePair(l[1].toDouble(), l[2].toString());
    r.finished = int(finished.size());
    return r;
}

SweepResult runSweep(const SweepSettings& s, SteppedMeasurementClock& clock)
{
    auto worker = makeWorker(s);
    return runSweep(*worker, clock);
}

bool deviceClosed()
{
    return SimControl::openFileCount(DEVICE_DISPLAY) == 0;
}

}  // namespace

class TestFrequencyAnalysisWorker : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_program.emplace(ProgramFixture::Options().noConfig().quietBeam()); }

    void cleanup() { m_program.reset(); }

    void bodeAgainstThePlant_data()
    {
        QTest::addColumn<double>("startHz");
        QTest::addColumn<double>("stopHz");
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("bpm");
        QTest::addColumn<int>("axis");
        QTest::addColumn<bool>("disturbances");
        QTest::addColumn<bool>("scaling");
        QTest::addColumn<double>("maxDb");
        QTest::addColumn<double>("maxDeg");
        // The steering output of axis a is output channel a (the start selection).
        QTest::newRow("BPM1 X, 10 to 1000 Hz") << 10.0 << 1000.0 << 15 << 0 << 0 << false << true << 0.25 << 2.5;
        QTest::newRow("BPM2 Y, 10 to 1000 Hz") << 10.0 << 1000.0 << 15 << 1 << 1 << false << true << 0.25 << 2.5;
        QTest::newRow("BPM1 X, 1 to 10 Hz") << 1.0 << 10.0 << 8 << 0 << 0 << false << true << 0.4 << 6.0;
        QTest::newRow("BPM2 Y, 1 to 10 Hz") << 1.0 << 10.0 << 8 << 1 << 1 << false << true << 0.4 << 6.0;
        QTest::newRow("BPM1 X, disturbances on") << 10.0 << 1000.0 << 15 << 0 << 0 << true << true << 0.5 << 3.0;
        QTest::newRow("BPM2 Y, disturbances on") << 10.0 << 1000.0 << 15 << 1 << 1 << true << true << 0.5 << 3.0;
        // Windows that end inside a period, where a plain mean of products is 0.3 dB off.
        QTest::newRow("BPM1 X, 10 to 11 Hz") << 10.0 << 11.0 << 11 << 0 << 0 << false << true << 0.25 << 2.5;
        QTest::newRow("BPM2 X, raw positions") << 10.0 << 1000.0 << 7 << 1 << 0 << false << false << 0.25 << 2.5;
    }
    void bodeAgainstThePlant()
    {
        QFETCH(double, startHz);
        QFETCH(double, stopHz);
        QFETCH(int, points);
        QFETCH(int, bpm);
        QFETCH(int, axis);
        QFETCH(bool, disturbances);
        QFETCH(bool, scaling);
        QFETCH(double, maxDb);
        QFETCH(double, maxDeg);

        SimControl::setDisturbances(disturbances);
        SweepSettings s;
        s.frequencies = FrequencyResponse::frequencyList(startHz, stopHz, points, false);
        s.channel = axis;
        s.inputWord = 4 * bpm + axis;
        s.scaling = scaling;
        s.vpp = 1.0f;
        SteppedMeasurementClock clock;
        const SweepResult r = runSweep(s, clock);

        QCOMPARE(r.finished, 1);
        QCOMPARE(r.steps.size(), points);
        QCOMPARE(r.progress.last(), 100);
        // Scaled positions are micrometres; raw ones the normalised difference.
        const double unit = scaling ? 1.0 : 1.0 / PlantConstants::BPM_PHYSICAL_SCALE_UM;
        double worstDb = 0.0, worstDeg = 0.0;
        for (int i = 0; i < points; ++i) {
            const Step& step = r.steps[i];
            QCOMPARE(step.graphId, GRAPH_ID);
            QCOMPARE(step.freq, double(float(s.frequencies[i])));
            const std::complex<double> truth = BodeTruth::response(bpm, step.freq) * unit;
            const double db = BodeTruth::decibels(step.amp, std::abs(truth));
            const double deg = BodeTruth::wrappedDegrees(step.pha - BodeTruth::phaseDegrees(truth));
            worstDb = qMax(worstDb, qAbs(db));
            worstDeg = qMax(worstDeg, qAbs(deg));
            QVERIFY2(qAbs(db) <= maxDb && qAbs(deg) <= maxDeg,
                     qPrintable(QString("%1 Hz: %2 dB, %3 deg from the plant").arg(step.freq).arg(db).arg(deg)));
            // Unwrapped: no jump of more than half a turn between neighbours.
            if (i > 0)
                QVERIFY(qAbs(step.pha - r.steps[i - 1].pha) <= 180.0);
        }
        qInfo("largest deviation from the plant: %.3f dB, %.2f deg", worstDb, worstDeg);
    }

    // The sweep as the window opens with it (10 to 100 Hz, 11 points, 0.1 Vpp,
    // BPM1 X through OUT1), the plant's disturbances on, at several seeds and
    // starting times (so that the mains line meets each step at another phase):
    // every point within 0.5 dB and 3 degrees of the plant, or shown as
    // unreliable, and only within the lock-in's resolution of the line.
    void defaultSweepAgainstThePlant_data()
    {
        QTest::addColumn<uint64_t>("seed");
        QTest::addColumn<double>("startS");
        QTest::addColumn<int>("bpm");
        QTest::addColumn<int>("axis");
        QTest::newRow("seed 1") << uint64_t(1) << 0.0137 << 0 << 0;
        QTest::newRow("seed 2, 2.6 s later") << uint64_t(2) << 2.61 << 0 << 0;
        QTest::newRow("seed 3, 7.3 s later") << uint64_t(3) << 7.3 << 0 << 0;
        QTest::newRow("seed 4, 40 s later") << uint64_t(4) << 40.008 << 0 << 0;
        QTest::newRow("seed 5, BPM2 Y") << uint64_t(5) << 1.234 << 1 << 1;
    }
    void defaultSweepAgainstThePlant()
    {
        QFETCH(uint64_t, seed);
        QFETCH(double, startS);
        QFETCH(int, bpm);
        QFETCH(int, axis);
        SimControl::setNoiseSeed(seed);
        SimControl::setDisturbances(true);
        SimControl::step(startS);
        SweepSettings s;
        s.frequencies = FrequencyResponse::frequencyList(10.0, 100.0, 11, false);
        s.vpp = 0.1f;
        s.channel = axis;
        s.inputWord = 4 * bpm + axis;
        SteppedMeasurementClock clock;
        const SweepResult r = runSweep(s, clock);

        QCOMPARE(r.finished, 1);
        QVERIFY(r.failures.isEmpty());
        QVERIFY(r.leftOut.isEmpty());
        QCOMPARE(r.steps.size() + r.unreliable.size(), 11);
        QCOMPARE(r.progress.last(), 100);
        double worstDb = 0.0, worstDeg = 0.0, worstHz = 0.0;
        for (const Step& step : r.steps) {
            const std::complex<double> truth = BodeTruth::response(bpm, step.freq);
            const double db = BodeTruth::decibels(step.amp, std::abs(truth));
            const double deg = BodeTruth::wrappedDegrees(step.pha - BodeTruth::phaseDegrees(truth));
            if (qMax(qAbs(db) / 0.5, qAbs(deg) / 3.0) > qMax(worstDb / 0.5, worstDeg / 3.0)) {
                worstDb = qAbs(db);
                worstDeg = qAbs(deg);
                worstHz = step.freq;
            }
            QVERIFY2(qAbs(db) <= 0.5 && qAbs(deg) <= 3.0,
                     qPrintable(QString("%1 Hz: %2 dB, %3 deg from the plant").arg(step.freq).arg(db).arg(deg)));
        }
        // The lock-in of one step resolves 1/T: 3583 records at 10 kHz.
        const double resolution = 10000.0 / FrequencyResponse::RECORDS_PER_STEP;
        for (const Unreliable& u : r.unreliable)
            QVERIFY2(qAbs(u.step.freq - PlantConstants::LINE_HZ) < resolution,
                     qPrintable(QString("%1 Hz shown as unreliable: %2").arg(u.step.freq).arg(u.reason)));
        qInfo("worst point %.2f Hz: %.3f dB, %.2f deg; %d shown as unreliable", worstHz, worstDb, worstDeg,
              int(r.unreliable.size()));
        // One longer record, at the point next to the line; no step waits for nothing.
        QCOMPARE(clock.calls.load(), 12);
    }

    // Points on or near a disturbance line: separated by a longer record where
    // that can resolve them, shown as unreliable, with the line named, where
    // nothing can: on the line itself.
    void pointsOnTheLine_data()
    {
        QTest::addColumn<double>("startHz");
        QTest::addColumn<double>("stopHz");
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("linear");
        QTest::addColumn<QList<double>>("unreliableHz");
        // The first point on the line: only the display's history has seen it.
        QTest::newRow("sweep from 50 Hz") << 50.0 << 100.0 << 4 << false << QList<double>{50.0};
        QTest::newRow("1 Hz steps across it") << 46.0 << 54.0 << 9 << true << QList<double>{50.0};
        QTest::newRow("10 to 100 Hz in steps of 9") << 10.0 << 100.0 << 11 << true << QList<double>{};
    }
    void pointsOnTheLine()
    {
        QFETCH(double, startHz);
        QFETCH(double, stopHz);
        QFETCH(int, points);
        QFETCH(bool, linear);
        QFETCH(QList<double>, unreliableHz);
        LogCapture::install();
        SimControl::setNoiseSeed(11);
        SimControl::setDisturbances(true);
        SimControl::step(0.77);
        SweepSettings s;
        s.frequencies = FrequencyResponse::frequencyList(startHz, stopHz, points, linear);
        s.vpp = 0.1f;
        SteppedMeasurementClock clock;
        const SweepResult r = runSweep(s, clock);

        QVERIFY(r.failures.isEmpty());
        QCOMPARE(r.steps.size() + r.unreliable.size(), points);
        QList<double> flagged;
        for (const Unreliable& u : r.unreliable) {
            flagged << u.step.freq;
            QVERIFY2(u.reason.contains("a disturbance line at 50.00 Hz"), qPrintable(u.reason));
            // Drawn where it was measured, so that the operator sees how far off it is.
            QVERIFY(u.step.amp > 0.0 && std::isfinite(u.step.pha));
            QTRY_VERIFY(LogCapture::messagesAt(QsLogging::Warn)
                            .contains(QString("Frequency analysis: the point at %1 Hz is shown as unreliable: %2 ")
                                          .arg(QString::number(u.step.freq, 'g', 6), u.reason)));
        }
        QCOMPARE(flagged, unreliableHz);
        for (const Step& step : r.steps) {
            const std::complex<double> truth = BodeTruth::response(0, step.freq);
            const double db = BodeTruth::decibels(step.amp, std::abs(truth));
            const double deg = BodeTruth::wrappedDegrees(step.pha - BodeTruth::phaseDegrees(truth));
            QVERIFY2(qAbs(db) <= 0.5 && qAbs(deg) <= 3.0,
                     qPrintable(QString("%1 Hz: %2 dB, %3 deg from the plant").arg(step.freq).arg(db).arg(deg)));
        }
    }

    // The records the display holds before the sweep were taken at the rate the
    // controller reports: read at another, the mains line would seem elsewhere
    // and a first point on it would pass for measured.
    void historyAtTheRateTheControllerReports()
    {
        SimControl::setNoiseSeed(3);
        SimControl::setDisturbances(true);
        QVERIFY(setDisplayFreq(2000, 0) >= 0);
        SimControl::step(8.0);
        QCOMPARE(loadSampFreq(), 1000);
        SweepSettings s;
        s.frequencies = {50.0, 70.0};
        auto worker = makeWorker(s);
        worker->setDisplayRateBefore(2000);
        SteppedMeasurementClock clock;
        const SweepResult r = runSweep(*worker, clock);
        QCOMPARE(r.unreliable.size(), 1);
        QCOMPARE(r.unreliable.first().step.freq, 50.0);
        QCOMPARE(r.steps.size(), 1);
        QCOMPARE(r.steps.first().freq, 70.0);
    }

    // A sample that is not a finite number leaves that one point out, with the
    // reason and a Warn line; the others are measured as usual.
    void nonFiniteSampleLeavesThePointOut_data()
    {
        QTest::addColumn<int>("read");   // which display read of the run (0 is the history)
        QTest::addColumn<int>("word");   // -1: the reference words
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("leftOutHz");  // 0: nothing left out
        QTest::newRow("NaN in the position of the second step") << 2 << 0 << std::nan("") << 40.0;
        QTest::newRow("infinity in the position of the first step") << 1 << 0 << HUGE_VAL << 20.0;
        QTest::newRow("NaN in a reference of the third step") << 3 << -1 << std::nan("") << 80.0;
        QTest::newRow("NaN in the history only") << 0 << 0 << std::nan("") << 0.0;
        QTest::newRow("NaN in a word the sweep does not read") << 2 << 5 << std::nan("") << 0.0;
    }
    void nonFiniteSampleLeavesThePointOut()
    {
        QFETCH(int, read);
        QFETCH(int, word);
        QFETCH(double, value);
        QFETCH(double, leftOutHz);
        LogCapture::install();
        SweepSettings s;
        s.frequencies = {20.0, 40.0, 80.0};
        auto worker = makeWorker(s);
        worker->corruptRead = read;
        worker->corruptWord = word;
        worker->corruptValue = value;
        SteppedMeasurementClock clock;
        const SweepResult r = runSweep(*worker, clock);

        QCOMPARE(r.finished, 1);
        QVERIFY(r.failures.isEmpty());
        QCOMPARE(r.progress, QList<int>({33, 66, 100}));
        QList<double> measured;
        for (const Step& step : r.steps) {
            measured << step.freq;
            QVERIFY(std::isfinite(step.amp) && std::isfinite(step.pha));
        }
        QVERIFY(r.unreliable.isEmpty());
        if (leftOutHz == 0.0) {
            QVERIFY(r.leftOut.isEmpty());
            QCOMPARE(measured, QList<double>({20.0, 40.0, 80.0}));
            return;
        }
        QCOMPARE(r.leftOut.size(), 1);
        QCOMPARE(r.leftOut.first().first, leftOutHz);
        QCOMPARE(r.leftOut.first().second, QString("the display read held a sample that is not a number"));
        QVERIFY(!measured.contains(leftOutHz));
        QCOMPARE(measured.size(), 2);
        QTRY_VERIFY(LogCapture::messagesAt(QsLogging::Warn)
                        .contains(QString("Frequency analysis: no point at %1 Hz: the display read held a sample "
                                          "that is not a number ")
                                      .arg(leftOutHz)));
    }

    void eachStepSetsRateAndGenerator()
    {
        SweepSettings s;
        s.frequencies = {3.0, 30.0, 300.0};
        s.channel = 2;
        s.vpp = 0.4f;
        s.offsets = {1.0f, 2.0f, 4.5f, -3.0f};
        s.savedFilter = true;
        SteppedMeasurementClock clock;
        QList<SimControl::Sent> duringWait;
        QList<int> sampFreqDuringWait;
        clock.beforeEach = [&](int) {
            duringWait << SimControl::sent();
            sampFreqDuringWait << loadSampFreq();
        };
        const SweepResult r = runSweep(s, clock);

        // OUT3 steers no beam here: every step reports, though none as measured.
        QCOMPARE(r.steps.size() + r.unreliable.size() + r.leftOut.size(), 3);
        QCOMPARE(r.progress, QList<int>({33, 66, 100}));
        QCOMPARE(sampFreqDuringWait, QList<int>({2000, 10000, 10000}));
        for (int i = 0; i < 3; ++i) {
            const SimControl::Sent& sent = duringWait[i];
            QCOMPARE(sent.displayHz, sampFreqDuringWait[i]);
            QCOMPARE(int(sent.displayFilter), 0);
            QVERIFY(sent.genEnabled);
            QCOMPARE(sent.genHz, float(s.frequencies[i]));
            for (int c = 0; c < 4; ++c) {
                QCOMPARE(sent.genAmplitude[c], c == 2 ? 0.2f : 0.0f);
                QCOMPARE(sent.genOffset[c], s.offsets[size_t(c)]);
            }
        }
        // Each step's wait, and the generator off after each step.
        QCOMPARE(clock.waitedMs.load(), 3999LL + 1266LL + 1026LL);
        QCOMPARE(SimControl::callCount("funcGenEnable", 1), 3);
        QCOMPARE(SimControl::callCount("funcGenEnable", 0), 3);
        QVERIFY(!SimControl::sent().genEnabled);
        // Rate and filter back as they were.
        QCOMPARE(loadSampFreq(), 1000);
        QCOMPARE(SimControl::sent().displayHz, 1000);
        QCOMPARE(int(SimControl::sent().displayFilter), 1);
        QVERIFY(deviceClosed());
    }

    void demodulatedRecordsFollowTheGenerator()
    {
        // At 9 Hz the table waits 1333 ms while 3583 records at 2 kHz last 1792 ms:
        // a wait that short would demodulate the end of the 100 Hz step too.
        SweepSettings s;
        s.frequencies = {100.0, 9.0};
        SteppedMeasurementClock clock;
        const SweepResult r = runSweep(s, clock);
        QCOMPARE(r.steps.size(), 2);
        for (const Step& step : r.steps) {
            const std::complex<double> truth = BodeTruth::response(0, step.freq);
            QVERIFY(qAbs(BodeTruth::decibels(step.amp, std::abs(truth))) < 0.25);
            QVERIFY(qAbs(BodeTruth::wrappedDegrees(step.pha - BodeTruth::phaseDegrees(truth))) < 2.5);
        }
        // 100 Hz: 8 periods (0.08 s in float, just below) and 1000 ms settling.
        QCOMPARE(clock.waitedMs.load(), 1079LL + 1792LL + FrequencyResponse::WAIT_MARGIN_MS);
    }

    void scaleMultipliesTheMagnitude()
    {
        SweepSettings s;
        s.frequencies = {20.0, 200.0};
        SteppedMeasurementClock clock;
        s.bpmScale = 1000.0;
        const SweepResult base = runSweep(s, clock);
        SimControl::reset();
        SimControl::setDisturbances(false);
        s.bpmScale = 250.0;
        const SweepResult quarter = runSweep(s, clock);
        QCOMPARE(base.steps.size(), 2);
        QCOMPARE(quarter.steps.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QVERIFY(qAbs(quarter.steps[i].amp / base.steps[i].amp - 0.25) < 1e-9);
            QVERIFY(qAbs(quarter.steps[i].pha - base.steps[i].pha) < 1e-9);
        }
    }

    void earlyEnds_data()
    {
        QTest::addColumn<int>("stopBeforeWait");  // -1: no stop
        QTest::addColumn<int>("recordsRead");     // -1: a full read
        QTest::addColumn<int>("partialBytes");    // of one more record, at the end of the read
        QTest::addColumn<int>("stepsReported");
        QTest::newRow("stop during the first wait") << 0 << -1 << 0 << 0;
        QTest::newRow("stop during the second wait") << 1 << -1 << 0 << 1;
        QTest::newRow("read gives nothing") << -1 << 0 << 0 << 0;
        QTest::newRow("read one record short") << -1 << FrequencyResponse::RECORDS_PER_STEP - 1 << 0 << 0;
        QTest::newRow("read short inside a record") << -1 << FrequencyResponse::RECORDS_PER_STEP - 1 << 200 << 0;
        QTest::newRow("read of exactly the records needed") << -1 << FrequencyResponse::RECORDS_PER_STEP << 0 << 3;
        QTest::newRow("whole records before a cut one") << -1 << FrequencyResponse::RECORDS_PER_STEP << 100 << 3;
    }
    void earlyEnds()
    {
        QFETCH(int, stopBeforeWait);
        QFETCH(int, recordsRead);
        QFETCH(int, partialBytes);
        QFETCH(int, stepsReported);

        if (recordsRead >= 0) {
            const int readRecords = FrequencyResponse::READ_BYTES / FrequencyResponse::RECORD_BYTES;
            SimControl::shortRead(DEVICE_DISPLAY, size_t(readRecords - recordsRead) * sizeof(DisplayRecord) -
                                                      size_t(partialBytes));
        }
        SweepSettings s;
        s.frequencies = {20.0, 40.0, 80.0};
        s.savedFilter = true;
        SteppedMeasurementClock clock;
        std::unique_ptr<Worker> worker;
        clock.beforeEach = [&](int n) {
            if (n == stopBeforeWait)
                worker->stop();
        };
        worker = makeWorker(s);
        const SweepResult r = runSweep(*worker, clock);

        QCOMPARE(r.steps.size(), stepsReported);
        QCOMPARE(r.progress.size(), stepsReported);
        if (stepsReported > 0)
            QCOMPARE(r.progress.last(), 100 * stepsReported / 3);
        QCOMPARE(r.finished, 1);
        // A stop is no failure; a read too short for a step is.
        const bool readFailed = stopBeforeWait < 0 && stepsReported == 0;
        QCOMPARE(r.failures.size(), readFailed ? 1 : 0);
        if (readFailed)
            QVERIFY2(r.failures.first().startsWith(QString("The display read at 20 Hz gave %1 of the 3583 records a "
                                                           "step needs (/dev/vorn_dma_displ returned ")
                                                       .arg(recordsRead)),
                     qPrintable(r.failures.first()));
        // However it ended: generator off, rate and filter restored, device closed.
        QVERIFY(!SimControl::sent().genEnabled);
        QCOMPARE(SimControl::callCount("funcGenEnable", 0), SimControl::callCount("funcGenEnable", 1));
        QCOMPARE(loadSampFreq(), 1000);
        QCOMPARE(SimControl::sent().displayHz, 1000);
        QCOMPARE(int(SimControl::sent().displayFilter), 1);
        QVERIFY(deviceClosed());
    }

    // A failed call ends the sweep: nothing from the step it belongs to, the reason
    // handed on for the operator and logged, and the end sequence still run.
    void failedCallsEndTheSweep_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("failFromWait");  // -1: from the start; n: from the wait of step n
        QTest::addColumn<int>("stepsReported");
        QTest::addColumn<QStringList>("reasons");
        QTest::addColumn<bool>("generatorLeftOn");
        QTest::addColumn<int>("displayHzAfter");
        const QString stepEnded = ": the sweep was ended, and no point is shown for that frequency.";
        const QString offFailed = "funcGenEnable(0) failed: the function generator may still be driving OUT1.";
        const QString notRestored = "setDisplayFreq() failed: the display could not be set back to 1000 Hz with "
                                    "the filter on.";
        QTest::newRow("generator not configured") << "funcGenConfig" << -1 << 0
                                                  << QStringList{"funcGenConfig() failed at 20 Hz" + stepEnded}
                                                  << false << 1000;
        QTest::newRow("generator not configured at the second step")
            << "funcGenConfig" << 0 << 1 << QStringList{"funcGenConfig() failed at 40 Hz" + stepEnded} << false
            << 1000;
        QTest::newRow("generator not switched on") << "funcGenEnable" << -1 << 0
                                                   << QStringList{"funcGenEnable(1) failed at 20 Hz" + stepEnded,
                                                                  offFailed}
                                                   << false << 1000;
        // The step was measured, but its sine could not be stopped.
        QTest::newRow("generator not switched off") << "funcGenEnable" << 0 << 0 << QStringList{offFailed} << true
                                                    << 1000;
        QTest::newRow("display rate not set")
            << "setDisplayFreq" << -1 << 0 << QStringList{"setDisplayFreq() failed at 20 Hz" + stepEnded, notRestored}
            << false << 1000;
        QTest::newRow("display rate not set at the second step")
            << "setDisplayFreq" << 0 << 1 << QStringList{"setDisplayFreq() failed at 40 Hz" + stepEnded, notRestored}
            << false << 10000;
    }
    void failedCallsEndTheSweep()
    {
        QFETCH(QString, call);
        QFETCH(int, failFromWait);
        QFETCH(int, stepsReported);
        QFETCH(QStringList, reasons);
        QFETCH(bool, generatorLeftOn);
        QFETCH(int, displayHzAfter);

        LogCapture::install();
        SweepSettings s;
        s.frequencies = {20.0, 40.0, 80.0};
        s.savedFilter = true;
        if (failFromWait < 0)
            SimControl::failCall(call.toStdString());
        SteppedMeasurementClock clock;
        clock.beforeEach = [&](int n) {
            if (n == failFromWait)
                SimControl::failCall(call.toStdString());
        };
        const SweepResult r = runSweep(s, clock);

        QCOMPARE(r.steps.size(), stepsReported);
        QCOMPARE(r.progress.size(), stepsReported);
        QCOMPARE(r.failures, QStringList{reasons.join("\n\n")});
        QCOMPARE(r.finished, 1);
        for (const QString& reason : reasons)
            QTRY_VERIFY(LogCapture::messagesAt(QsLogging::Warn).contains("Frequency analysis: " + reason + " "));
        QCOMPARE(SimControl::sent().genEnabled, generatorLeftOn);
        QCOMPARE(SimControl::sent().displayHz, displayHzAfter);
        QCOMPARE(loadSampFreq(), 1000);
        QVERIFY(deviceClosed());
    }

    void stopBeforeAWaitIsNotLost()
    {
        SweepSettings s;
        auto worker = makeWorker(s);
        SteppedMeasurementClock clock;
        worker->setMeasurementClock(clock);
        worker->stop();
        QVERIFY(!worker->waitFor(1000));
        QCOMPARE(clock.calls.load(), 0);
    }

    void noMemoryEndsWithoutTouchingTheController()
    {
        SweepSettings s;
        s.frequencies = {20.0};
        auto worker = makeWorker(s);
        worker->failAllocation = true;
        SteppedMeasurementClock clock;
        const SweepResult r = runSweep(*worker, clock);
        QCOMPARE(r.finished, 1);
        QVERIFY(r.steps.isEmpty());
        QCOMPARE(r.failures, QStringList{"No memory for the display read: the sweep did not start."});
        QCOMPARE(SimControl::callCount("funcGenEnable"), 0);
        QCOMPARE(SimControl::callCount("setDisplayFreq"), 0);
        QVERIFY(deviceClosed());
    }

    void channelBeyondTheOutputsIsNotDriven()
    {
        SweepSettings s;
        s.frequencies = {20.0};
        s.channel = 4;
        SteppedMeasurementClock clock;
        const SweepResult r = runSweep(s, clock);
        QCOMPARE(r.finished, 1);
        QVERIFY(r.steps.isEmpty());
        QCOMPARE(r.failures, QStringList{"Output channel 5 does not exist: the sweep did not start."});
        QCOMPARE(SimControl::callCount("funcGenConfig"), 0);
        QVERIFY(deviceClosed());
    }

    void runsOnItsOwnThread()
    {
        // As the window runs it: moved to a thread, started by the thread, stopped
        // from here (deleted here too, once its thread has ended).
        SweepSettings s;
        s.frequencies = FrequencyResponse::frequencyList(10.0, 1000.0, 200, false);
        std::unique_ptr<Worker> owner = makeWorker(s);
        Worker* worker = owner.get();
        SteppedMeasurementClock clock;
        worker->setMeasurementClock(clock);
        QThread thread;
        worker->moveToThread(&thread);
        connect(&thread, &QThread::started, worker, &FrequencyAnalysisWorker::run);
        connect(worker, &FrequencyAnalysisWorker::finished, &thread, &QThread::quit);
        // Counted on the sweep thread.
        std::atomic<int> steps{0};
        std::atomic<int> finished{0};
        connect(worker, &FrequencyAnalysisWorker::frequencyStepDone, worker, [&] { ++steps; }, Qt::DirectConnection);
        connect(worker, &FrequencyAnalysisWorker::finished, worker, [&] { ++finished; }, Qt::DirectConnection);
        thread.start();
        QTRY_VERIFY(steps.load() >= 2);
        worker->stop();
        // Its queued quit would reach this thread only after the wait.
        thread.quit();
        QVERIFY(thread.wait(60000));
        QCOMPARE(finished.load(), 1);
        QVERIFY(steps.load() < 200);
        QVERIFY(!SimControl::sent().genEnabled);
        QCOMPARE(loadSampFreq(), 1000);
        QVERIFY(deviceClosed());
    }

private:
    std::optional<ProgramFixture> m_program;
};

QTEST_GUILESS_MAIN(TestFrequencyAnalysisWorker)
#include "tst_frequencyanalysisworker.moc"
