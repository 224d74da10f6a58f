// The driver's devices and the picoammeters behind them: electrode currents by the
// monitors' cabling, positions by the configured orientation and channel map,
// ranges, high voltage, presence and POSIX errors.
#include <QSettings>
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

// What each picoammeter channel carries: the electrode currents of a monitor of
// this orientation, at the true position and intensity, by its cabling.
void expectedChannelCurrents(int bpm, int orient, const QVector<int>& cabling, double channel[4])
{
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
    for (int c = 0; c < 4; ++c)
        channel[c] = 0.0;
    for (int e = 0; e < 4; ++e)
        channel[cabling[e]] += electrode[e];
}

// The normalised differences of the channel currents by an orientation and map.
void decode(int orient, const QVector<int>& map, const double* current, double& rawX, double& rawY)
{
    const double t = current[map[0]], rt = current[map[1]], b = current[map[2]], l = current[map[3]];
    if (orient == 1) {
        rawX = (rt - l) / (rt + l);
        rawY = (t - b) / (t + b);
    } else {
        rawX = (rt + b - t - l) / (t + rt + b + l);
        rawY = (t + rt - b - l) / (t + rt + b + l);
    }
}

}  // namespace

class TestDevices : public QObject
{
    Q_OBJECT

private slots:
    void init() { SimTest::start(); }

    void currentsFollowTheWiring_data()
    {
        QTest::addColumn<int>("bpm");
        QTest::addColumn<int>("orient");
        QTest::addColumn<QVector<int>>("map");  // top, right, bottom, left
        QTest::newRow("BPM1 90 degrees, straight cabling") << 0 << 1 << QVector<int>{0, 1, 2, 3};
        QTest::newRow("BPM1 90 degrees, reversed cabling") << 0 << 1 << QVector<int>{3, 2, 1, 0};
        QTest::newRow("BPM1 45 degrees, straight cabling") << 0 << 0 << QVector<int>{0, 1, 2, 3};
        QTest::newRow("BPM2 45 degrees, shuffled cabling") << 1 << 0 << QVector<int>{1, 3, 0, 2};
        QTest::newRow("BPM2 90 degrees, shuffled cabling") << 1 << 1 << QVector<int>{2, 0, 3, 1};
    }

    // Configured to match the cabling, the controller reads the true position.
    void currentsFollowTheWiring()
    {
        QFETCH(int, bpm);
        QFETCH(int, orient);
        QFETCH(QVector<int>, map);
        QVERIFY(SimControl::setWiring(bpm, orient, map[0], map[1], map[2], map[3]));
        QCOMPARE(setBPMorient(uint8_t(bpm), uint8_t(orient)), 0);
        QCOMPARE(setCrossBar(uint8_t(bpm), uint8_t(map[0]), uint8_t(map[1]), uint8_t(map[2]), uint8_t(map[3])), 0);
        QCOMPARE(setOutputMux(0), 0);
        QCOMPARE(SimTest::writeOutputs(5.5, 5.25, 5, 5), 0);  // right and up
        SimControl::step(0.2);

        double channel[4];
        expectedChannelCurrents(bpm, orient, map, channel);

        const DisplayRecord r = SimTest::newest(1).front();
        const ZentrimStatus status = readStatus(bpm);
        const ZentrimCurrentSample sample = readSample(bpm);
        const double lsb = RANGE_FULL_SCALE_A[1] / ADC_COUNTS_PER_FULL_SCALE;
        const double* cur = r.word + (bpm == 0 ? DisplayRecord::BPM1_CURRENT0 : DisplayRecord::BPM2_CURRENT0);
        for (int c = 0; c < 4; ++c) {
            QVERIFY2(std::fabs(cur[c] - channel[c]) <= lsb, qPrintable(QString("channel %1").arg(c)));
            QCOMPARE(status.channelCurrent(c), cur[c]);
            QCOMPARE(sample.channel(c), cur[c]);
        }

        // The stream's raw positions are the normalised differences of these currents.
        double rawX, rawY;
        decode(orient, map, cur, rawX, rawY);
        QVERIFY(std::fabs(r.word[4 * bpm] - rawX) < 1e-12);
        QVERIFY(std::fabs(r.word[4 * bpm + 1] - rawY) < 1e-12);
        const double x = SimTest::raw(SimControl::truePosition(bpm, 0));
        const double y = SimTest::raw(SimControl::truePosition(bpm, 1));
        QVERIFY(std::fabs(rawX - x) < 1e-4 && std::fabs(rawY - y) < 1e-4);
        QVERIFY(std::fabs(r.word[4 * bpm + 2] - (cur[0] + cur[1] + cur[2] + cur[3])) < 1e-15);
    }

    void configurationThatMissesTheWiring_data()
    {
        QTest::addColumn<int>("bpm");
        QTest::addColumn<int>("wiredOrient");
        QTest::addColumn<QVector<int>>("wired");
        QTest::addColumn<int>("orient");
        QTest::addColumn<QVector<int>>("map");
        QTest::addColumn<double>("expectedX");  // in units of the true x and y: a x + b y
        QTest::addColumn<double>("expectedXfromY");
        QTest::addColumn<double>("expectedY");
        QTest::addColumn<double>("expectedYfromX");
        QTest::newRow("left and right swapped mirrors X")
            << 0 << 1 << QVector<int>{0, 1, 2, 3} << 1 << QVector<int>{0, 3, 2, 1} << -1.0 << 0.0 << 1.0 << 0.0;
        QTest::newRow("top and bottom swapped mirrors Y")
            << 1 << 1 << QVector<int>{2, 0, 3, 1} << 1 << QVector<int>{3, 0, 2, 1} << 1.0 << 0.0 << -1.0 << 0.0;
        // Electrodes on the axes read by the diagonal formulas, and the reverse.
        QTest::newRow("45 degrees configured on a 90 degree monitor mixes the axes")
            << 0 << 1 << QVector<int>{0, 1, 2, 3} << 0 << QVector<int>{0, 1, 2, 3} << 0.5 << -0.5 << 0.5 << 0.5;
        QTest::newRow("90 degrees configured on a 45 degree monitor mixes the axes")
            << 1 << 0 << QVector<int>{1, 2, 3, 0} << 1 << QVector<int>{1, 2, 3, 0} << 1.0 << 1.0 << 1.0 << -1.0;
        QTest::newRow("45 degrees cabled one electrode round, read with a straight map, turns the picture")
            << 1 << 0 << QVector<int>{1, 2, 3, 0} << 0 << QVector<int>{0, 1, 2, 3} << 0.0 << 1.0 << 0.0 << -1.0;
    }

    // The controller computes with what it was sent, whatever the cabling.
    void configurationThatMissesTheWiring()
    {
        QFETCH(int, bpm);
        QFETCH(int, wiredOrient);
        QFETCH(QVector<int>, wired);
        QFETCH(int, orient);
        QFETCH(QVector<int>, map);
        QFETCH(double, expectedX);
        QFETCH(double, expectedXfromY);
        QFETCH(double, expectedY);
        QFETCH(double, expectedYfromX);
        QVERIFY(SimControl::setWiring(bpm, wiredOrient, wired[0], wired[1], wired[2], wired[3]));
        QCOMPARE(setBPMorient(uint8_t(bpm), uint8_t(orient)), 0);
        QCOMPARE(setCrossBar(uint8_t(bpm), uint8_t(map[0]), uint8_t(map[1]), uint8_t(map[2]), uint8_t(map[3])), 0);
        QCOMPARE(setOutputMux(0), 0);
        QCOMPARE(SimTest::writeOutputs(5.5, 4.8, 5, 5), 0);  // right and down
        SimControl::step(0.2);

        const DisplayRecord r = SimTest::newest(1).front();
        const double x = SimTest::raw(SimControl::truePosition(bpm, 0));
        const double y = SimTest::raw(SimControl::truePosition(bpm, 1));
        QVERIFY(std::fabs(x) > 0.01 && std::fabs(y) > 0.005);
        // A few converter counts against the electrode currents.
        const double tolerance = 2e-4;
        QVERIFY2(std::fabs(r.word[4 * bpm] - (expectedX * x + expectedXfromY * y)) < tolerance,
                 qPrintable(QString("x %1 read %2").arg(x).arg(r.word[4 * bpm])));
        QVERIFY2(std::fabs(r.word[4 * bpm + 1] - (expectedY * y + expectedYfromX * x)) < tolerance,
                 qPrintable(QString("y %1 read %2").arg(y).arg(r.word[4 * bpm + 1])));
        // The currents still follow the cabling alone.
        double channel[4];
        expectedChannelCurrents(bpm, wiredOrient, wired, channel);
        const double lsb = RANGE_FULL_SCALE_A[1] / ADC_COUNTS_PER_FULL_SCALE;
        for (int c = 0; c < 4; ++c)
            QVERIFY(std::fabs(r.word[DisplayRecord::BPM1_CURRENT0 + 4 * bpm + c] - channel[c]) <= lsb);
    }

    void startsConfiguredToTheWiring()
    {
        for (int bpm = 0; bpm < 2; ++bpm) {
            const SimControl::Sent s = SimControl::sent();
            QCOMPARE(s.orient[bpm], WIRED_ORIENT[bpm]);
            for (int e = 0; e < 4; ++e)
                QCOMPARE(s.crossBar[bpm][e], WIRED_CHANNEL[bpm][e]);
        }
        QCOMPARE(setOutputMux(0), 0);
        QCOMPARE(SimTest::writeOutputs(5.4, 5.3, 5, 5), 0);
        SimControl::step(0.2);
        const DisplayRecord r = SimTest::newest(1).front();
        for (int bpm = 0; bpm < 2; ++bpm)
            for (int axis = 0; axis < 2; ++axis)
                QVERIFY(std::fabs(r.word[4 * bpm + axis] - SimTest::raw(SimControl::truePosition(bpm, axis))) < 1e-4);
    }

    void wiringOutOfRangeIsRefused()
    {
        QVERIFY(!SimControl::setWiring(2, 1, 0, 1, 2, 3));
        QVERIFY(!SimControl::setWiring(0, 2, 0, 1, 2, 3));
        QVERIFY(!SimControl::setWiring(0, 1, 0, 1, 2, 4));
        QVERIFY(!SimControl::setWiring(0, 1, -1, 1, 2, 3));
        QVERIFY(SimControl::setWiring(0, 0, 3, 2, 1, 0));
        SimTest::start();
        // The reset cabling reads true with the start configuration.
        QCOMPARE(setOutputMux(0), 0);
        QCOMPARE(SimTest::writeOutputs(5.4, 5, 5, 5), 0);
        SimControl::step(0.2);
        QVERIFY(std::fabs(SimTest::newest(1).front().word[DisplayRecord::BPM1_X] -
                          SimTest::raw(SimControl::truePosition(0, 0))) < 1e-4);
    }

    // The demonstration settings describe the simulated cabling.
    void demonstrationSettingsMatchTheWiring()
    {
        QSettings demo(QStringLiteral(VORN_DEMO_CONFIG), QSettings::IniFormat);
        QCOMPARE(demo.status(), QSettings::NoError);
        const char* keys[4] = {"Top", "Right", "Bottom", "Left"};
        for (int bpm = 0; bpm < 2; ++bpm) {
            demo.beginGroup(bpm == 0 ? "BPM1" : "BPM2");
            QCOMPARE(demo.value("Orient", -1).toInt(), int(WIRED_ORIENT[bpm]));
            for (int e = 0; e < 4; ++e)
                QCOMPARE(demo.value(keys[e], -1).toInt(), int(WIRED_CHANNEL[bpm][e]));
            demo.endGroup();
        }
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
        QCOMPARE(setOutputMux(0), 0);
        QCOMPARE(SimTest::writeOutputs(5.0, 5.5, 5, 5), 0);  // up only
        QCOMPARE(setCrossBar(0, 0, 1, 0, 3), 0);  // top and bottom both read from channel 1
        SimControl::step(0.2);
        const DisplayRecord r = SimTest::newest(1).front();
        QVERIFY(SimTest::raw(SimControl::truePosition(0, 1)) > 0.01);
        QCOMPARE(r.word[DisplayRecord::BPM1_Y], 0.0);  // the beam above the centre reads as centred
        QVERIFY(r.word[DisplayRecord::BPM1_CURRENT0 + 2] > 0.0);  // the bottom electrode still delivers
        QVERIFY(setCrossBar(0, 4, 1, 2, 3) < 0);
        QVERIFY(setBPMorient(0, 2) < 0);
        QCOMPARE(int(SimControl::sent().crossBar[0][0]), 0);
        QCOMPARE(int(SimControl::sent().crossBar[0][2]), 0);
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
