// The display stream: a full ring, newest records oldest first, the same records
// through the library and the device, and the rate the records are taken at.
#include <QtTest>

#include <cstring>

#include "SimTestSupport.h"

using namespace PlantConstants;

namespace {

// Mean phase step between records, from the generator's reference words.
double phaseStep(const std::vector<DisplayRecord>& records)
{
    double sum = 0.0;
    for (size_t i = 1; i < records.size(); ++i) {
        double d = std::atan2(records[i].inPhaseReference(), records[i].quadratureReference()) -
                   std::atan2(records[i - 1].inPhaseReference(), records[i - 1].quadratureReference());
        if (d < -PI)
            d += 2 * PI;
        if (d > PI)
            d -= 2 * PI;
        sum += d;
    }
    return sum / double(records.size() - 1);
}

}  // namespace

class TestDisplayStream : public QObject
{
    Q_OBJECT

private slots:
    void init() { SimTest::start(); }

    void ringStartsFull_data()
    {
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("copied");
        QTest::newRow("one record") << 1 << 1;
        QTest::newRow("the program's largest read") << 14336 << 14336;
        QTest::newRow("the whole ring") << RING_RECORDS << RING_RECORDS;
        QTest::newRow("more than the ring") << RING_RECORDS + 5 << RING_RECORDS;
        QTest::newRow("none") << 0 << 0;
    }

    void ringStartsFull()
    {
        QFETCH(int, asked);
        QFETCH(int, copied);
        std::vector<DisplayRecord> records(size_t(asked) + 1);
        QCOMPARE(getBuffer(reinterpret_cast<double*>(records.data()), asked), copied);
        if (copied > 0) {
            // Every record is a live one: the beam at rest, outputs at the centre.
            for (const DisplayRecord* r : {&records.front(), &records[size_t(copied - 1)]}) {
                QCOMPARE(r->word[DisplayRecord::OUTPUT0], START_OUTPUT_V);
                QVERIFY(std::fabs(r->word[DisplayRecord::BPM1_I0] - INTENSITY_PEAK_A) < 1e-3 * INTENSITY_PEAK_A);
            }
        }
        QVERIFY(getBuffer(reinterpret_cast<double*>(records.data()), -1) < 0);
        QVERIFY(getBuffer(nullptr, 10) < 0);
    }

    void newestRecordsComeOldestFirst()
    {
        QCOMPARE(setOutputMux(0), 0);
        for (int k = 1; k <= 50; ++k) {
            QCOMPARE(SimTest::writeOutputs(5.0 + 0.01 * k, 5, 5, 5), 0);
            SimControl::step(0.01);  // ten records per value at 1 kHz
        }
        const auto records = SimTest::newest(520);
        QCOMPARE(int(records.size()), 520);
        for (int i = 0; i < 20; ++i)
            QCOMPARE(records[size_t(i)].word[DisplayRecord::OUTPUT0], 5.0);
        for (int i = 20; i < 520; ++i)
            QCOMPARE(records[size_t(i)].word[DisplayRecord::OUTPUT0], 5.0 + 0.01 * ((i - 20) / 10 + 1));
    }

    void deviceReadGivesTheSameRecords_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("expected");
        QTest::newRow("14336 records") << 3670016 << 3670016;
        QTest::newRow("one record") << 256 << 256;
        QTest::newRow("a partial record is not read") << 1000 << 768;
        QTest::newRow("less than a record") << 100 << 0;
    }

    void deviceReadGivesTheSameRecords()
    {
        QFETCH(int, bytes);
        QFETCH(int, expected);
        SimControl::setDisturbances(true);
        SimControl::step(0.5);
        const int fd = DeviceIo::open(DEVICE_DISPLAY, O_RDONLY);
        QVERIFY(fd >= 1000);
        std::vector<unsigned char> fromDevice(size_t(bytes) + 256, 0xAB);
        QCOMPARE(DeviceIo::read(fd, fromDevice.data(), size_t(bytes)), ssize_t(expected));
        QCOMPARE(DeviceIo::close(fd), 0);
        const auto fromLibrary = SimTest::newest(expected / 256);
        if (expected > 0)
            QVERIFY(std::memcmp(fromDevice.data(), fromLibrary.data(), size_t(expected)) == 0);
        QCOMPARE(fromDevice[size_t(expected)], (unsigned char)0xAB);
    }

    void readAfterRateChangeHasTheNewRate_data()
    {
        QTest::addColumn<int>("hz");
        QTest::newRow("500 Hz") << 500;
        QTest::newRow("2000 Hz") << 2000;
        QTest::newRow("3000 Hz, not a divisor of the step rate") << 3000;
        QTest::newRow("10 kHz") << 10000;
        QTest::newRow("50 kHz, the step-response rate") << 50000;
    }

    void readAfterRateChangeHasTheNewRate()
    {
        QFETCH(int, hz);
        const float genHz = 7.0f;
        float amplitude[4] = {0.1f, 0, 0, 0};
        float offset[4] = {5, 5, 5, 5};
        QCOMPARE(funcGenConfig(amplitude, offset, genHz), 0);
        QCOMPARE(funcGenEnable(1), 0);
        SimControl::step(0.5);
        QVERIFY(std::fabs(phaseStep(SimTest::newest(400)) - 2 * PI * genHz / 1000.0) < 1e-6);

        QCOMPARE(setDisplayFreq(hz, 1), 0);
        int rate = 0;
        uint8_t filter = 0;
        QCOMPARE(getDisplayFreq(&rate, &filter), 0);
        QCOMPARE(rate, hz);
        QCOMPARE(int(filter), 1);

        SimControl::step(0.2);
        const int fresh = hz / 5;  // records of the last 0.2 s
        QVERIFY(std::fabs(phaseStep(SimTest::newest(fresh)) - 2 * PI * genHz / hz) < 1e-6);
        // The newest 0.2 s hold exactly that many records: the one before is the old rate's.
        const auto spanning = SimTest::newest(fresh + 2);
        const double oldStep = std::atan2(spanning[1].inPhaseReference(), spanning[1].quadratureReference()) -
                               std::atan2(spanning[0].inPhaseReference(), spanning[0].quadratureReference());
        QVERIFY(std::fabs(oldStep - 2 * PI * genHz / 1000.0) < 1e-5);
    }

    void invalidRatesAreRefused_data()
    {
        QTest::addColumn<int>("hz");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -1000;
        QTest::newRow("above the maximum") << DISPLAY_MAX_HZ + 1;
    }

    void invalidRatesAreRefused()
    {
        QFETCH(int, hz);
        QVERIFY(setDisplayFreq(hz, 1) < 0);
        int rate = 0;
        uint8_t filter = 9;
        QCOMPARE(getDisplayFreq(&rate, &filter), 0);
        QCOMPARE(rate, DISPLAY_START_HZ);
        QCOMPARE(int(filter), 0);
    }

    void longPauseCatchesUpOnlyTheRing()
    {
        QCOMPARE(setOutputMux(0), 0);
        QCOMPARE(SimTest::writeOutputs(6, 5, 5, 5), 0);
        SimControl::step(100000.0);
        QCOMPARE(SimControl::now(), 100000.0);
        const auto records = SimTest::newest(RING_RECORDS);
        QCOMPARE(int(records.size()), RING_RECORDS);
        // The whole ring was made after the pause began: every record has the new output.
        QCOMPARE(records.front().word[DisplayRecord::OUTPUT0], 6.0);
        QVERIFY(std::fabs(SimControl::truePosition(0, 0) - GAIN_UM_PER_V[0]) < 1e-3);
    }

    void clockModesKeepTimeMonotonic()
    {
        SimControl::step(2.5);
        QCOMPARE(SimControl::now(), 2.5);
        SimControl::useWallClock();
        const double wall = SimControl::now();
        QVERIFY(wall >= 2.5);
        SimControl::useSteppedClock();
        const double stepped = SimControl::now();
        QVERIFY(stepped >= wall);
        SimControl::step(0.5);
        QCOMPARE(SimControl::now(), stepped + 0.5);
        SimControl::reset();
        QCOMPARE(SimControl::now(), 0.0);
    }
};

QTEST_APPLESS_MAIN(TestDisplayStream)
#include "tst_displaystream.moc"
