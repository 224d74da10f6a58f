// The sweep's computations alone: the frequency list and its refusals, the
// channel words, the rate and wait per frequency, and the demodulation.
#include <QtTest>

#include <cmath>
#include <vector>

#include "FrequencyResponse.h"
#include "VornRecords.h"

using namespace FrequencyResponse;
Q_DECLARE_METATYPE(FrequencyResponse::Refusal)

namespace {

constexpr double PI = 3.14159265358979323846;

// Records of a sine response with the generator's references, as the device gives them.
std::vector<DisplayRecord> sineRecords(int count, double cyclesPerRecord, double amplitude, double phaseRad,
                                       double offset, int word)
{
    std::vector<DisplayRecord> records(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        DisplayRecord& r = records[size_t(k)];
        std::memset(&r, 0, sizeof r);
        const double phi = 2.0 * PI * cyclesPerRecord * k;
        r.word[word] = offset + amplitude * std::sin(phi + phaseRad);
        r.setReferences(float(std::sin(phi)), float(std::cos(phi)));
    }
    return records;
}

struct Measured
{
    double magnitude;
    double phase;
};

Measured demodulateRecords(const std::vector<DisplayRecord>& records, int word, float amplitudeSent,
                           double scale = 1.0)
{
    arma::vec s, a, b;
    if (!extractNewest(records.data(), int(records.size()), word, scale, s, a, b))
        return {-1.0, 0.0};
    const Phasor p = demodulate(s, a, b);
    return {magnitude(p, amplitudeSent), phaseDegrees(p)};
}

}  // namespace

class TestFrequencyResponse : public QObject
{
    Q_OBJECT

private slots:
    void settingsRefusals_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("stop");
        QTest::addColumn<int>("length");
        QTest::addColumn<Refusal>("refusal");
        QTest::newRow("10 to 100 in 11") << 10.0 << 100.0 << 11 << Refusal::None;
        QTest::newRow("widest range accepted") << 0.1 << 1000.0 << 1001 << Refusal::None;
        QTest::newRow("two points") << 499.0 << 500.0 << 2 << Refusal::None;
        QTest::newRow("start 0.09") << 0.09 << 100.0 << 11 << Refusal::Start;
        QTest::newRow("start 500.1") << 500.1 << 1000.0 << 11 << Refusal::Start;
        QTest::newRow("stop 0.99") << 0.5 << 0.99 << 11 << Refusal::Stop;
        QTest::newRow("stop 1000.1") << 10.0 << 1000.1 << 11 << Refusal::Stop;
        QTest::newRow("start equal to stop") << 10.0 << 10.0 << 11 << Refusal::StartNotBelowStop;
        QTest::newRow("start above stop") << 50.0 << 20.0 << 11 << Refusal::StartNotBelowStop;
        QTest::newRow("length 1") << 10.0 << 100.0 << 1 << Refusal::Length;
        QTest::newRow("length 1002") << 10.0 << 100.0 << 1002 << Refusal::Length;
        QTest::newRow("length not a number reads 0") << 10.0 << 100.0 << 0 << Refusal::Length;
        QTest::newRow("600 and 2000 report the start only") << 600.0 << 2000.0 << 11 << Refusal::Start;
        QTest::newRow("start not a number") << std::nan("") << 100.0 << 11 << Refusal::Start;
        QTest::newRow("stop not a number") << 10.0 << std::nan("") << 11 << Refusal::Stop;
        QTest::newRow("infinite stop") << 10.0 << HUGE_VAL << 11 << Refusal::Stop;
    }
    void settingsRefusals()
    {
        QFETCH(double, start);
        QFETCH(double, stop);
        QFETCH(int, length);
        QFETCH(Refusal, refusal);
        QCOMPARE(checkSettings(start, stop, length), refusal);
    }

    void logListSpacesByEqualRatios()
    {
        const QVector<double> f = frequencyList(10.0, 100.0, 11, false);
        QCOMPARE(f.size(), 11);
        QCOMPARE(f.first(), 10.0);
        QCOMPARE(f.last(), 100.0);
        QVERIFY(qAbs(f[1] - 12.589254117941675) < 1e-9);
        QVERIFY(qAbs(f[9] - 79.43282347242814) < 1e-9);
        for (int i = 1; i < f.size(); ++i)
            QVERIFY(qAbs(f[i] / f[i - 1] - std::pow(10.0, 0.1)) < 1e-12);
    }

    void linearListEndsAtStopExactly()
    {
        const QVector<double> f = frequencyList(10.0, 100.0, 11, true);
        QCOMPARE(f.size(), 11);
        for (int i = 0; i < f.size(); ++i)
            QCOMPARE(f[i], 10.0 + 9.0 * i);
        // A step that does not divide the range evenly still ends on stop.
        const QVector<double> odd = frequencyList(0.1, 1000.0, 7, true);
        QCOMPARE(odd.last(), 1000.0);
        QCOMPARE(odd.first(), 0.1);
    }

    void channelWords_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("word");
        QTest::newRow("OUT1") << 0 << 8;
        QTest::newRow("OUT4") << 3 << 11;
        QTest::newRow("channel 4 does not exist") << 4 << -1;
        QTest::newRow("channel 255 does not exist") << 255 << -1;
        QTest::newRow("negative") << -1 << -1;
    }
    void channelWords()
    {
        QFETCH(int, channel);
        QFETCH(int, word);
        QCOMPARE(outputWord(channel), word);
    }

    void inputWords()
    {
        QCOMPARE(inputWord(true, 0), 0);
        QCOMPARE(inputWord(true, 1), 4);
        QCOMPARE(inputWord(false, 0), 1);
        QCOMPARE(inputWord(false, 1), 5);
        // Any selector but 0 reads BPM2, never a word beyond it.
        QCOMPARE(inputWord(false, 7), 5);
    }

    void rateAndWait_data()
    {
        QTest::addColumn<float>("f");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("periods");
        QTest::addColumn<int>("settleMs");
        QTest::addColumn<int>("tableMs");
        QTest::newRow("1000 Hz") << 1000.0f << 10000 << 8 << 1000 << 1008;
        QTest::newRow("exactly 10 Hz") << 10.0f << 10000 << 8 << 1000 << 1800;
        QTest::newRow("just below 10 Hz") << 9.99f << 2000 << 8 << 400 << 1200;
        QTest::newRow("exactly 1 Hz") << 1.0f << 2000 << 8 << 4000 << 12000;
        QTest::newRow("just below 1 Hz") << 0.99f << 500 << 10 << 10101 << 20202;
        QTest::newRow("exactly 0.5 Hz") << 0.5f << 500 << 10 << 20000 << 40000;
        QTest::newRow("exactly 0.25 Hz") << 0.25f << 200 << 10 << 40000 << 80000;
        QTest::newRow("0.1 Hz") << 0.1f << 100 << 10 << 100000 << 200000;
    }
    void rateAndWait()
    {
        QFETCH(float, f);
        QFETCH(int, rate);
        QFETCH(int, periods);
        QFETCH(int, settleMs);
        QFETCH(int, tableMs);
        const RateChoice choice = chooseRate(f);
        QCOMPARE(choice.rateHz, rate);
        QCOMPARE(choice.periods, periods);
        QCOMPARE(choice.settleMs, settleMs);
        QCOMPARE(tableWaitMs(f), tableMs);
    }

    void waitCoversTheDemodulatedRecords_data()
    {
        QTest::addColumn<float>("f");
        QTest::addColumn<int>("waitMs");
        QTest::newRow("1000 Hz keeps the table's wait") << 1000.0f << 1008;
        QTest::newRow("10 Hz keeps the table's wait") << 10.0f << 1800;
        QTest::newRow("1 Hz keeps the table's wait") << 1.0f << 12000;
        // 3583 records at 2 kHz last 1792 ms; the table's 1200 ms would reach back before the generator.
        QTest::newRow("9.99 Hz waits for the records") << 9.99f << 1792 + WAIT_MARGIN_MS;
        QTest::newRow("0.1 Hz keeps the table's wait") << 0.1f << 200000;
    }
    void waitCoversTheDemodulatedRecords()
    {
        QFETCH(float, f);
        QFETCH(int, waitMs);
        QCOMPARE(stepWaitMs(f), waitMs);
        QVERIFY(stepWaitMs(f) >= spanMs(chooseRate(f).rateHz) + WAIT_MARGIN_MS);
    }

    // A point next to a disturbance line is measured again over a whole read at
    // a lower rate: as long as ten samples a period allow, never above its own rate.
    void longerRecord_data()
    {
        QTest::addColumn<float>("f");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("waitMs");
        QTest::newRow("50.12 Hz: 1 kHz, 14.3 s") << 50.12f << 1000 << 14336 + WAIT_MARGIN_MS;
        QTest::newRow("100 Hz: still 1 kHz") << 100.0f << 1000 << 14336 + WAIT_MARGIN_MS;
        QTest::newRow("150 Hz: 2 kHz") << 150.0f << 2000 << 7168 + WAIT_MARGIN_MS;
        QTest::newRow("300 Hz: 5 kHz") << 300.0f << 5000 << 2868 + WAIT_MARGIN_MS;
        QTest::newRow("1000 Hz: its own 10 kHz") << 1000.0f << 10000 << 1434 + WAIT_MARGIN_MS;
        QTest::newRow("5 Hz: 1 kHz, below its own 2 kHz") << 5.0f << 1000 << 14336 + WAIT_MARGIN_MS;
        // Below 1 Hz the point's own rate is the lower: the table's wait is the longer.
        QTest::newRow("0.5 Hz: its own 500 Hz") << 0.5f << 500 << 40000;
        QTest::newRow("0.1 Hz: its own 100 Hz") << 0.1f << 100 << 200000;
    }
    void longerRecord()
    {
        QFETCH(float, f);
        QFETCH(int, rate);
        QFETCH(int, waitMs);
        QCOMPARE(longRecordRate(f), rate);
        QCOMPARE(longRecordSeconds(f), double(RECORDS_PER_READ) / rate);
        QCOMPARE(longRecordWaitMs(f), waitMs);
        QVERIFY(longRecordRate(f) <= chooseRate(f).rateHz);
    }

    void settledRecordsFollowTheWait_data()
    {
        QTest::addColumn<int>("waitMs");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("records");
        QTest::newRow("50.12 Hz: 1159 ms at 10 kHz") << 1159 << 10000 << 9090;
        QTest::newRow("more than a read") << 1800 << 10000 << RECORDS_PER_READ;
        QTest::newRow("no longer than the margin") << WAIT_MARGIN_MS << 10000 << 0;
        QTest::newRow("no rate") << 1000 << 0 << 0;
    }
    void settledRecordsFollowTheWait()
    {
        QFETCH(int, waitMs);
        QFETCH(int, rate);
        QFETCH(int, records);
        QCOMPARE(settledRecords(waitMs, rate), records);
    }

    // Which fields a refusal marks.
    void refusedFieldsAreNamed_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("stop");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("refused");  // of "start", "stop", "length"
        QTest::newRow("the defaults") << "10" << "100" << "11" << "";
        QTest::newRow("start 0.05") << "0.05" << "100" << "11" << "start";
        QTest::newRow("start not a number") << "ten" << "100" << "11" << "start";
        QTest::newRow("empty stop") << "10" << "" << "11" << "stop";
        QTest::newRow("stop 2000") << "10" << "2000" << "11" << "stop";
        QTest::newRow("start not below stop: both") << "50" << "50" << "11" << "start stop";
        QTest::newRow("600 and 2000: both refused") << "600" << "2000" << "11" << "start stop";
        QTest::newRow("length 1") << "10" << "100" << "1" << "length";
        QTest::newRow("length 2.5") << "10" << "100" << "2.5" << "length";
        QTest::newRow("everything") << "x" << "y" << "z" << "start stop length";
    }
    void refusedFieldsAreNamed()
    {
        QFETCH(QString, start);
        QFETCH(QString, stop);
        QFETCH(QString, length);
        QFETCH(QString, refused);
        const RefusedFields r = refusedFields(start, stop, length);
        QStringList named;
        if (r.start)
            named << "start";
        if (r.stop)
            named << "stop";
        if (r.length)
            named << "length";
        QCOMPARE(named.join(' '), refused);
        QCOMPARE(r.any(), !refused.isEmpty());
    }

    void unwrap_data()
    {
        QTest::addColumn<double>("previous");
        QTest::addColumn<double>("phase");
        QTest::addColumn<double>("unwrapped");
        QTest::newRow("170 to -175 continues to 185") << 170.0 << -175.0 << 185.0;
        QTest::newRow("-170 to 175 continues to -185") << -170.0 << 175.0 << -185.0;
        QTest::newRow("small step kept") << -30.0 << -40.0 << -40.0;
        QTest::newRow("unwrapped previous, far below") << -400.0 << -70.0 << -430.0;
        QTest::newRow("one correction at most") << -600.0 << 170.0 << -190.0;
    }
    void unwrap()
    {
        QFETCH(double, previous);
        QFETCH(double, phase);
        QFETCH(double, unwrapped);
        QCOMPARE(FrequencyResponse::unwrap(previous, phase), unwrapped);
    }

    void demodulation_data()
    {
        QTest::addColumn<double>("cyclesPerRecord");
        QTest::addColumn<double>("phaseDeg");
        // Whole periods in the window and windows that end inside a period;
        // the wait of the sweep puts the window anywhere in the period.
        QTest::newRow("in phase, whole periods") << 10.0 / 3583.0 << 0.0;
        QTest::newRow("quadrature, whole periods") << 10.0 / 3583.0 << 90.0;
        QTest::newRow("lag, 1.79 periods (1 Hz at 2 kHz)") << 1.0 / 2000.0 << -35.0;
        QTest::newRow("lag, 3.58 periods (10 Hz at 10 kHz)") << 10.0 / 10000.0 << -22.2;
        QTest::newRow("deep lag, 3.58 periods") << 10.4 / 10000.0 << -160.0;
        QTest::newRow("358 periods (1 kHz)") << 1000.0 / 10000.0 << 117.0;
    }
    void demodulation()
    {
        QFETCH(double, cyclesPerRecord);
        QFETCH(double, phaseDeg);
        // A DC offset that is not part of the response, and older records
        // before the demodulated window that hold something else.
        std::vector<DisplayRecord> records = sineRecords(RECORDS_PER_STEP + 500, cyclesPerRecord, 0.3,
                                                         phaseDeg * PI / 180.0, 4.7, DisplayRecord::BPM2_Y);
        for (int k = 0; k < 500; ++k)
            records[size_t(k)].word[DisplayRecord::BPM2_Y] = 99.0;
        const Measured m = demodulateRecords(records, DisplayRecord::BPM2_Y, 0.15f);
        QVERIFY2(qAbs(m.magnitude - 2.0) < 1e-4, qPrintable(QString::number(m.magnitude, 'g', 10)));
        QVERIFY2(qAbs(m.phase - phaseDeg) < 0.01, qPrintable(QString::number(m.phase, 'g', 10)));
    }

    void scaleMultipliesTheMagnitude()
    {
        const auto records = sineRecords(RECORDS_PER_STEP, 7.0 / 3583.0, 0.01, 0.3, 0.0, DisplayRecord::BPM1_X);
        const Measured raw = demodulateRecords(records, DisplayRecord::BPM1_X, 0.5f);
        const Measured scaled = demodulateRecords(records, DisplayRecord::BPM1_X, 0.5f, 1000.0);
        QVERIFY(qAbs(scaled.magnitude / raw.magnitude - 1000.0) < 1e-9);
        QVERIFY(qAbs(scaled.phase - raw.phase) < 1e-9);
    }

    void silentReferencesReadAsNoResponse()
    {
        auto records = sineRecords(RECORDS_PER_STEP, 0.001, 1.0, 0.0, 0.0, DisplayRecord::BPM1_X);
        for (DisplayRecord& r : records)
            r.setReferences(0.0f, 0.0f);
        const Measured m = demodulateRecords(records, DisplayRecord::BPM1_X, 0.5f);
        QCOMPARE(m.magnitude, 0.0);
        QVERIFY(std::isfinite(m.phase));
    }

    void tooFewRecordsAreRefused()
    {
        const auto records = sineRecords(RECORDS_PER_STEP - 1, 0.001, 1.0, 0.0, 0.0, DisplayRecord::BPM1_X);
        arma::vec s, a, b;
        QVERIFY(!extractNewest(records.data(), int(records.size()), DisplayRecord::BPM1_X, 1.0, s, a, b));
        QVERIFY(!extractNewest(records.data(), 0, DisplayRecord::BPM1_X, 1.0, s, a, b));
    }

    void newestRecordsAreDemodulated()
    {
        // The window is the last RECORDS_PER_STEP records, oldest first.
        std::vector<DisplayRecord> records(size_t(RECORDS_PER_STEP + 10));
        for (size_t k = 0; k < records.size(); ++k) {
            std::memset(&records[k], 0, sizeof(DisplayRecord));
            records[k].word[DisplayRecord::BPM1_Y] = double(k);
        }
        arma::vec s, a, b;
        QVERIFY(extractNewest(records.data(), int(records.size()), DisplayRecord::BPM1_Y, 2.0, s, a, b));
        QCOMPARE(int(s.n_elem), RECORDS_PER_STEP);
        QCOMPARE(s[0], 20.0);
        QCOMPARE(s[RECORDS_PER_STEP - 1], 2.0 * double(records.size() - 1));
    }
};

QTEST_GUILESS_MAIN(TestFrequencyResponse)
#include "tst_frequencyresponse.moc"
