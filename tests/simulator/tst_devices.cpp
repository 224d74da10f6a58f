// The driver's devices and the picoammeters behind them: electrode currents by
// orientation and channel map, ranges, high voltage, presence and POSIX errors.
#include <QtTest>

#include <cerrno>

#include "SimTestSupport.h"

using namespace PlantConstants;

namespace {

ZentrimStatus readStatus(int device)
{
    ZentrimStatus status;
    std::memset(&status, 0xEE, sizeof status);
    const int fd = DeviceIo::open(device == 0 ? DEVICE_ZENTRIM0 : DEVICE_ZENTRIM1, O_RDONLY);
    if (fd >= 0) {
        DeviceIo::ioctl(fd, IOCTL_ZENTRIM_STATUS, &status);
        DeviceIo::close(fd);
    }
    return status;
}

ZentrimCurrentSample readSample(int device)
{
    ZentrimCurrentSample sample{};
    const int fd = DeviceIo::open(device == 0 ? DEVICE_ZENTRIM0 : DEVICE_ZENTRIM1, O_RDWR | O_SYNC);
    if (fd >= 0) {
        DeviceIo::ioctl(fd, IOCTL_ZENTRIM_CURRENTS, &sample);
        DeviceIo::close(fd);
    }
    return sample;
}

}  // namespace

class TestDevices : public QObject
{
    Q_OBJECT

private slots:
    void init() { SimTest::start(); }

    void currentsFollowOrientationAndChannelMap_data()
    {
        QTest::addColumn<int>("bpm");
        QTest::addColumn<int>("orient");
        QTest::addColumn<QVector<int>>("map");  // top, right, bottom, left
        QTest::newRow("BPM1 90 degrees, straight map") << 0 << 1 << QVector<int>{0, 1, 2, 3};
        QTest::newRow("BPM1 90 degrees, reversed map") << 0 << 1 << QVector<int>{3, 2, 1, 0};
        QTest::newRow("BPM1 45 degrees, straight map") << 0 << 0 << QVector<int>{0, 1, 2, 3};
        QTest::newRow("BPM2 45 degrees, shuffled map") << 1 << 0 << QVector<int>{1, 3, 0, 2};
        QTest::newRow("BPM2 90 degrees, shuffled map") << 1 << 1 << QVector<int>{2, 0, 3, 1};
    }

    void currentsFollowOrientationAndChannelMap()
    {
        QFETCH(int, bpm);
        QFETCH(int, orient);
        QFETCH(QVector<int>, map);
        QCOMPARE(setBPMorient(uint8_t(bpm), uint8_t(orient)), 0);
        QCOMPARE(setCrossBar(uint8_t(bpm), uint8_t(map[0]), uint8_t(map[1]), uint8_t(map[2]), uint8_t(map[3])), 0);
        QCOMPARE(setOutputMux(0), 0);
        QCOMPARE(SimTest::writeOutputs(5.5, 5.25, 5, 5), 0);  // right and up
        SimControl::step(0.2);

        const double x = SimTest::raw(SimControl::truePosition(bpm, 0));
        const double y = SimTest::raw(SimControl::truePosition(bpm, 1));
        const double quarter = SimControl::trueIntensity(bpm) / 4.0;
        double electrode[4];  // top, right, bottom, left
        if (orient == 1) {
            electrode[0] = quarter * (1 + y);
            electrode[1] = quarter * (1 + x);
            electrode[2] = quarter * (1 - y);
            electrode[3] = quarter * (1 - x);
        } else {  // top upper left, right upper right, bottom lower right, left lower left
            electrode[0] = quarter * (1 - x + y);
            electrode[1] = quarter * (1 + x + y);
            electrode[2] = quarter * (1 + x - y);
            electrode[3] = quarter * (1 - x - y);
        }
        double channel[4];
        for (int e = 0; e < 4; ++e)
            channel[map[e]] = electrode[e];

        const DisplayRecord r = SimTest::newest(1).front();
        const ZentrimStatus status = readStatus(bpm);
        const ZentrimCurrentSample sample = readSample(bpm);
        const double lsb = RANGE_FULL_SCALE_A[1] / ADC_COUNTS_PER_FULL_SCALE;
        for (int c = 0; c < 4; ++c) {
            const double inRecord = r.word[(bpm == 0 ? DisplayRecord::BPM1_CURRENT0 : DisplayRecord::BPM2_CURRENT0) + c];
            QVERIFY2(std::fabs(inRecord - channel[c]) <= lsb, qPrintable(QString("channel %1").arg(c)));
            QCOMPARE(status.channelCurrent(c), inRecord);
            QCOMPARE(sample.channel(c), inRecord);
        }

        // The stream's raw positions are the normalised differences of these currents.
        const double* cur = r.word + (bpm == 0 ? DisplayRecord::BPM1_CURRENT0 : DisplayRecord::BPM2_CURRENT0);
        const double t = cur[map[0]], rt = cur[map[1]], b = cur[map[2]], l = cur[map[3]];
        double rawX, rawY;
        if (orient == 1) {
            rawX = (rt - l) / (rt + l);
            rawY = (t - b) / (t + b);
        } else {
            rawX = (rt + b - t - l) / (t + rt + b + l);
            rawY = (t + rt - b - l) / (t + rt + b + l);
        }
        QVERIFY(std::fabs(r.word[4 * bpm] - rawX) < 1e-12);
        QVERIFY(std::fabs(r.word[4 * bpm + 1] - rawY) < 1e-12);
        QVERIFY(std::fabs(rawX - x) < 1e-4 && std::fabs(rawY - y) < 1e-4);
        QVERIFY(std::fabs(r.word[4 * bpm + 2] - (cur[0] + cur[1] + cur[2] + cur[3])) < 1e-15);
    }

    void currentSampleIsReadNowNotAtTheDisplayRate()
    {
        QCOMPARE(setDisplayFreq(100, 0), 0);
        QCOMPARE(setOutputMux(0), 0);
        SimControl::step(0.2);
        QCOMPARE(SimTest::writeOutputs(5.3, 5, 5, 5), 0);
        SimControl::step(0.005);  // half way to the next record
        const DisplayRecord r = SimTest::newest(1).front();
        QCOMPARE(r.word[DisplayRecord::BPM1_CURRENT0 + 1], r.word[DisplayRecord::BPM1_CURRENT0 + 3]);
        const ZentrimCurrentSample s = readSample(0);
        const double x = SimTest::raw(SimControl::truePosition(0, 0));
        QVERIFY(x > 0.0);
        const double right = s.channel(1), left = s.channel(3);
        QVERIFY(std::fabs((right - left) / (right + left) - x) < 1e-4);
    }

    void duplicateChannelInTheMapSkewsThePosition()
    {
        QCOMPARE(setCrossBar(0, 1, 1, 2, 3), 0);  // top and right both on channel 2
        SimControl::step(0.1);
        const DisplayRecord r = SimTest::newest(1).front();
        QCOMPARE(r.word[DisplayRecord::BPM1_CURRENT0], 0.0);
        QVERIFY(r.word[DisplayRecord::BPM1_X] > 0.3);  // reads as far off centre
        QVERIFY(setCrossBar(0, 4, 1, 2, 3) < 0);
        QVERIFY(setBPMorient(0, 2) < 0);
        QCOMPARE(int(SimControl::sent().crossBar[0][0]), 1);
    }

    void rangeClipsAndQuantises_data()
    {
        QTest::addColumn<int>("range");
        QTest::addColumn<double>("factor");
        QTest::addColumn<double>("fullScale");
        QTest::addColumn<bool>("clipped");
        QTest::newRow("range 0 clips 25 uA") << 0 << 1.0 << RANGE_FULL_SCALE_A[0] << true;
        QTest::newRow("range 1 holds 25 uA") << 1 << 1.0 << RANGE_FULL_SCALE_A[1] << false;
        QTest::newRow("auto takes range 1 for 25 uA") << 2 << 1.0 << RANGE_FULL_SCALE_A[1] << false;
        QTest::newRow("auto takes range 0 for 2.5 uA") << 2 << 0.1 << RANGE_FULL_SCALE_A[0] << false;
    }

    void rangeClipsAndQuantises()
    {
        QFETCH(int, range);
        QFETCH(double, factor);
        QFETCH(double, fullScale);
        QFETCH(bool, clipped);
        QCOMPARE(zentrimSetRange(range, 0), 0);
        SimControl::setBeamIntensityFactor(factor);
        SimControl::step(0.1);
        const DisplayRecord r = SimTest::newest(1).front();
        const double lsb = fullScale / ADC_COUNTS_PER_FULL_SCALE;
        const double quarter = SimControl::trueIntensity(0) / 4.0;
        for (int c = 0; c < 4; ++c) {
            const double current = r.word[DisplayRecord::BPM1_CURRENT0 + c];
            const double counts = current / lsb;
            QVERIFY(std::fabs(counts - std::round(counts)) < 1e-6);
            if (clipped)
                QCOMPARE(current, fullScale);
            else
                QVERIFY(std::fabs(current - quarter) <= lsb / 2 + 1e-18);
        }
        QCOMPARE(SimControl::sent().zentrimRange[0], range);
    }

    void invalidRangeIsRefused_data()
    {
        QTest::addColumn<int>("range");
        QTest::addColumn<int>("device");
        QTest::newRow("range 3") << 3 << 0;
        QTest::newRow("range -1") << -1 << 0;
        QTest::newRow("device 2") << 0 << 2;
    }

    void invalidRangeIsRefused()
    {
        QFETCH(int, range);
        QFETCH(int, device);
        QVERIFY(zentrimSetRange(range, uint8_t(device)) < 0);
        QCOMPARE(SimControl::sent().zentrimRange[0], RANGE_AUTO);
    }

    void highVoltageRamps()
    {
        QCOMPARE(readStatus(0).hvStatus(), 0);
        QCOMPARE(zentrimHVSetVoltage(0, 100.f), 0);
        QCOMPARE(readStatus(0).hvStatus(), 0);  // set, not enabled
        QCOMPARE(zentrimHVenable(1, 0), 0);

        const double rampTime = 100.0 / HV_RAMP_V_PER_S;
        SimControl::step(rampTime / 2);
        ZentrimStatus s = readStatus(0);
        QCOMPARE(s.hvStatus(), 3);
        QCOMPARE(s.hvVoltage(), 50.f);

        SimControl::step(rampTime);
        s = readStatus(0);
        QCOMPARE(s.hvStatus(), 1);
        QCOMPARE(s.hvVoltage(), 100.f);
        QCOMPARE(s.hvCurrent(), float(100.0 * HV_LEAKAGE_UA_PER_V));
        QCOMPARE(readStatus(1).hvStatus(), 0);  // the other one is untouched

        // A lower target while on falls, then holds.
        QCOMPARE(zentrimHVSetVoltage(0, 60.f), 0);
        SimControl::step(0.1);
        QCOMPARE(readStatus(0).hvStatus(), 5);
        SimControl::step(rampTime);
        QCOMPARE(readStatus(0).hvStatus(), 1);
        QCOMPARE(readStatus(0).hvVoltage(), 60.f);

        QCOMPARE(zentrimHVenable(0, 0), 0);
        SimControl::step(0.1);
        QCOMPARE(readStatus(0).hvStatus(), 5);
        SimControl::step(rampTime);
        s = readStatus(0);
        QCOMPARE(s.hvStatus(), 0);
        QCOMPARE(s.hvVoltage(), 0.f);
        QCOMPARE(s.hvCurrent(), 0.f);

        // Negative bias ramps the same way.
        QCOMPARE(zentrimHVSetVoltage(1, -50.f), 0);
        QCOMPARE(zentrimHVenable(1, 1), 0);
        SimControl::step(0.1);
        QCOMPARE(readStatus(1).hvStatus(), 3);
        QVERIFY(readStatus(1).hvVoltage() < 0.f);

        QVERIFY(zentrimHVSetVoltage(0, float(HV_MAX_V + 1)) < 0);
        QVERIFY(zentrimHVSetVoltage(0, std::nanf("")) < 0);
        QCOMPARE(SimControl::sent().hvSetVoltage[0], 60.f);
    }

    void statusBlockLeavesUnusedBytesZero()
    {
        const ZentrimStatus s = readStatus(0);
        for (size_t i : {size_t(0), size_t(11), size_t(24), size_t(27), size_t(60), size_t(63)})
            QCOMPARE(int(s.bytes[i]), 0);
    }

    void absentPicoammeter()
    {
        SimControl::setZentrimPresent(1, false);
        int p0 = 9, p1 = 9;
        QCOMPARE(getZentrims(&p0, &p1), 0);
        QCOMPARE(p0, 1);
        QCOMPARE(p1, 0);
        errno = 0;
        QCOMPARE(DeviceIo::open(DEVICE_ZENTRIM1, O_RDONLY), -1);
        QCOMPARE(errno, ENOENT);
        const int fd = DeviceIo::open(DEVICE_ZENTRIM0, O_RDONLY);
        QVERIFY(fd >= 1000);
        QCOMPARE(DeviceIo::close(fd), 0);
        QVERIFY(zentrimSetRange(0, 1) < 0);
        QVERIFY(zentrimHVenable(1, 1) < 0);

        SimControl::step(0.01);
        const DisplayRecord r = SimTest::newest(1).front();
        for (int word = 4; word <= 6; ++word)
            QCOMPARE(r.word[word], 0.0);
        for (int c = 0; c < 4; ++c)
            QCOMPARE(r.word[DisplayRecord::BPM2_CURRENT0 + c], 0.0);
        QVERIFY(r.word[DisplayRecord::BPM1_I0] > 0.0);
    }

    void picoammeterRemovedWhileOpen()
    {
        const int fd = DeviceIo::open(DEVICE_ZENTRIM0, O_RDONLY);
        QVERIFY(fd >= 0);
        SimControl::setZentrimPresent(0, false);
        ZentrimStatus s;
        errno = 0;
        QCOMPARE(DeviceIo::ioctl(fd, IOCTL_ZENTRIM_STATUS, &s), -1);
        QCOMPARE(errno, ENODEV);
        QCOMPARE(DeviceIo::close(fd), 0);
    }

    void posixErrors_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("flags");
        QTest::addColumn<unsigned long>("request");
        QTest::addColumn<int>("error");
        QTest::newRow("display takes no request") << DEVICE_DISPLAY << O_RDONLY << IOCTL_ZENTRIM_STATUS << ENOTTY;
        QTest::newRow("picoammeter takes no output record") << DEVICE_ZENTRIM0 << O_RDONLY << IOCTL_DAC_WRITE << ENOTTY;
        QTest::newRow("picoammeter, unknown request") << DEVICE_ZENTRIM1 << O_RDONLY << 0x1234UL << ENOTTY;
        QTest::newRow("output unit takes no status request") << DEVICE_ORVANE << O_RDWR << IOCTL_ZENTRIM_STATUS
                                                             << ENOTTY;
        QTest::newRow("output unit opened read-only") << DEVICE_ORVANE << O_RDONLY << IOCTL_DAC_WRITE << EBADF;
    }

    void posixErrors()
    {
        QFETCH(QString, path);
        QFETCH(int, flags);
        QFETCH(unsigned long, request);
        QFETCH(int, error);
        const int fd = DeviceIo::open(path.toLatin1().constData(), flags);
        QVERIFY(fd >= 1000);
        unsigned char block[64] = {};
        DacOutputs outputs{1, 2, 3, 4, 1};
        void* argument = request == IOCTL_DAC_WRITE ? static_cast<void*>(&outputs) : static_cast<void*>(block);
        errno = 0;
        QCOMPARE(DeviceIo::ioctl(fd, request, argument), -1);
        QCOMPARE(errno, error);
        QCOMPARE(SimControl::sent().dacWrites, 0);
        QCOMPARE(DeviceIo::close(fd), 0);
    }

    void fileDescriptorsAndPaths()
    {
        errno = 0;
        QCOMPARE(DeviceIo::open("/dev/vorn_nothing", O_RDONLY), -1);
        QCOMPARE(errno, ENOENT);

        const int openBefore = SimControl::openFileCount(DEVICE_ORVANE);
        const int a = DeviceIo::open(DEVICE_ORVANE, O_RDWR | O_SYNC);
        const int b = DeviceIo::open(DEVICE_ORVANE, O_RDWR | O_SYNC);
        QVERIFY(a >= 1000 && b >= 1000 && a != b);
        QCOMPARE(SimControl::openFileCount(DEVICE_ORVANE), openBefore + 2);
        QCOMPARE(SimControl::openFileCount(DEVICE_ZENTRIM0), 0);

        char buffer[256];
        errno = 0;
        QCOMPARE(DeviceIo::read(a, buffer, sizeof buffer), ssize_t(-1));
        QCOMPARE(errno, EINVAL);  // the output unit is not read

        DacOutputs bad{1, 2, 3, 4, 0};
        errno = 0;
        QCOMPARE(DeviceIo::ioctl(a, IOCTL_DAC_WRITE, &bad), -1);
        QCOMPARE(errno, EINVAL);
        QCOMPARE(DeviceIo::ioctl(a, IOCTL_DAC_WRITE, nullptr), -1);
        QCOMPARE(errno, EFAULT);

        DacOutputs good{1, 2, 3, 4, 1};
        QCOMPARE(DeviceIo::ioctl(b, IOCTL_DAC_WRITE, &good), 0);
        QCOMPARE(SimControl::sent().dacWrites, 1);

        QCOMPARE(DeviceIo::close(a), 0);
        QCOMPARE(SimControl::openFileCount(DEVICE_ORVANE), openBefore + 1);
        errno = 0;
        QCOMPARE(DeviceIo::close(a), -1);
        QCOMPARE(errno, EBADF);
        QCOMPARE(DeviceIo::ioctl(a, IOCTL_DAC_WRITE, &good), -1);
        QCOMPARE(errno, EBADF);
        QCOMPARE(DeviceIo::read(a, buffer, sizeof buffer), ssize_t(-1));
        QCOMPARE(errno, EBADF);

        // A window that keeps its device open across a reset still writes.
        SimControl::reset();
        QCOMPARE(DeviceIo::ioctl(b, IOCTL_DAC_WRITE, &good), 0);
        QCOMPARE(DeviceIo::close(b), 0);
        QCOMPARE(SimControl::openFileCount(DEVICE_ORVANE), openBefore);
    }
};

QTEST_APPLESS_MAIN(TestDevices)
#include "tst_devices.moc"
