// Injected failures: every library call, device open, read and ioctl, and short
// buffers fail the way the control interface promises; calls are counted.
#include <QtTest>

#include <cerrno>
#include <functional>

#include "SimTestSupport.h"

Q_DECLARE_METATYPE(std::function<int()>)

namespace {

constexpr int INJECTED = -7;

// Outputs of the getters start as this; a failed call must leave them so.
constexpr unsigned char SENTINEL = 0x5A;

struct Outputs
{
    int i[3];
    uint8_t b[6];
    uint16_t id;
    uint32_t w[4];
    double d[32];

    Outputs() { std::memset(this, SENTINEL, sizeof *this); }
    bool untouched() const
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(this);
        for (size_t k = 0; k < sizeof *this; ++k)
            if (bytes[k] != SENTINEL)
                return false;
        return true;
    }
};

Outputs out;  // reset by every row

// Everything a call could change, in one comparable list.
QVector<double> state()
{
    const SimControl::Sent s = SimControl::sent();
    QVector<double> v;
    for (int c = 0; c < 4; ++c)
        v << s.outputs[c] << s.genAmplitude[c] << s.genOffset[c];
    v << s.lastDacWrite.ch1 << s.dacWrites << s.outputMux << s.fbEnable << s.pidConf;
    for (int l = 0; l < 3; ++l) {
        const SimControl::PidChannel& p = s.pid[l];
        v << p.kp << p.ki << p.kd << p.emin << p.imax << p.omin << p.omax << p.ogain << p.windAvg;
        v << s.pidOffset[l] << s.setpoint[l] << s.outSel[l] << s.bpmSel[l];
    }
    for (int i = 0; i < 6; ++i)
        v << s.rocLow[i] << s.rocHigh[i] << s.rocEnable[i];
    for (int b = 0; b < 2; ++b) {
        v << s.bpmScale[b][0] << s.bpmScale[b][1] << s.bpmOffset[b][0] << s.bpmOffset[b][1] << s.orient[b];
        for (int e = 0; e < 4; ++e)
            v << s.crossBar[b][e];
        v << s.zentrimRange[b] << s.hvSetVoltage[b] << s.hvEnable[b];
    }
    v << s.displayHz << s.displayFilter << s.genHz << s.genEnabled << s.ctrlResets;
    v << getLockStatus();
    return v;
}

}  // namespace

class TestFailures : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        SimTest::start();
        out = Outputs();
    }

    void everyCallFailsWithoutEffect_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<std::function<int()>>("call");
        auto row = [](const char* name, std::function<int()> call) { QTest::newRow(name) << QString(name) << call; };
        static char user[32] = "admin", password[32] = "admin";
        static float amplitude[4] = {1, 1, 1, 1}, offset[4] = {2, 2, 2, 2};

        row("getZentrims", [] { return getZentrims(&out.i[0], &out.i[1]); });
        row("getSystemVersion", [] { return getSystemVersion(&out.w[0], &out.w[1], &out.w[2]); });
        row("getSFPinfo", [] { return getSFPinfo(0, &out.id, &out.w[0], &out.w[1], &out.w[2]); });
        row("getBPMStats", [] { return getBPMStats(out.d); });
        row("getPIDstatus", [] { return getPIDstatus(); });
        row("getBuffer", [] { return getBuffer(out.d, 1); });
        row("setDisplayFreq", [] { return setDisplayFreq(2000, 1); });
        row("getDisplayFreq", [] { return getDisplayFreq(&out.i[0], &out.b[0]); });
        row("setFBenable", [] { return setFBenable(1); });
        row("setCtrlReset", [] { return setCtrlReset(); });
        row("setPIDconf", [] { return setPIDconf(5); });
        row("getPIDconf", [] { return getPIDconf(&out.b[0]); });
        row("setPIDparams", [] { return setPIDparams(1, 1, 2, 3, 4, 5, 6, 7, 8); });
        row("setWindAvg", [] { return setWindAvg(2, 50); });
        row("setOffset", [] { return setOffset(1, 2, 3); });
        row("setSetpoint2", [] { return setSetpoint2(1, 42.0); });
        row("getSetpoint2", [] { return getSetpoint2(1, &out.d[0]); });
        row("setROClimits", [] { return setROClimits(4, 1.0, 2.0); });
        row("setROCenable", [] { return setROCenable(1, 1, 1, 1, 1, 1); });
        row("getROCenable",
            [] { return getROCenable(&out.b[0], &out.b[1], &out.b[2], &out.b[3], &out.b[4], &out.b[5]); });
        row("setBPMselector", [] { return setBPMselector(1, 1, 1); });
        row("getBPMselector", [] { return getBPMselector(&out.i[0], &out.i[1], &out.i[2]); });
        row("setPIDoutSel", [] { return setPIDoutSel(3, 3, 3); });
        row("getPIDoutSel", [] { return getPIDoutSel(&out.b[0], &out.b[1], &out.b[2]); });
        row("setOutputMux", [] { return setOutputMux(0); });
        row("getOutputMux", [] { return getOutputMux(&out.b[0]); });
        row("setBPMscale", [] { return setBPMscale(1, 7, 8); });
        row("setBPMoffset", [] { return setBPMoffset(1, 7, 8); });
        row("setBPMorient", [] { return setBPMorient(1, 1); });  // BPM2 starts at 45 degrees
        row("setCrossBar", [] { return setCrossBar(1, 3, 2, 1, 0); });
        row("funcGenConfig", [] { return funcGenConfig(amplitude, offset, 10.0f); });
        row("funcGenEnable", [] { return funcGenEnable(1); });
        row("zentrimSetRange", [] { return zentrimSetRange(1, 1); });
        row("zentrimHVSetVoltage", [] { return zentrimHVSetVoltage(1, 200.0f); });
        row("zentrimHVenable", [] { return zentrimHVenable(1, 1); });
        row("getLock", [] { return getLock(user, password); });
        row("getLockStatus", [] { return getLockStatus(); });
    }

    void everyCallFailsWithoutEffect()
    {
        QFETCH(QString, function);
        QFETCH(std::function<int()>, call);
        const std::string name = function.toStdString();
        const QVector<double> before = state();
        const int counted = SimControl::callCount(name);

        SimControl::failCall(name, INJECTED);
        QCOMPARE(call(), INJECTED);
        QCOMPARE(call(), INJECTED);  // every later call, not only the next
        QCOMPARE(SimControl::callCount(name), counted + 2);
        QVERIFY(out.untouched());
        SimControl::step(0.01);
        SimControl::clearFailure(name);
        // The failed calls changed nothing, not even what getLockStatus reports.
        QCOMPARE(state(), before);

        QVERIFY(call() >= 0);
        if (name.rfind("get", 0) == 0 && name != "getPIDstatus" && name != "getLockStatus" && name != "getLock")
            QVERIFY(!out.untouched());
    }

    void failureResultIsTheOneGiven()
    {
        SimControl::failCall("setSetpoint2", -3);
        SimControl::failCall("getBuffer", -100);
        QCOMPARE(setSetpoint2(0, 1.0), -3);
        double record[32];
        QCOMPARE(getBuffer(record, 1), -100);
        SimControl::clearFailures();
        QCOMPARE(setSetpoint2(0, 1.0), 0);
        QCOMPARE(getBuffer(record, 1), 1);
    }

    void callsAreCountedByFirstArgument()
    {
        QCOMPARE(funcGenEnable(1), 0);
        QCOMPARE(funcGenEnable(0), 0);
        SimControl::failCall("funcGenEnable");
        QVERIFY(funcGenEnable(0) < 0);
        QCOMPARE(SimControl::callCount("funcGenEnable"), 3);
        QCOMPARE(SimControl::callCount("funcGenEnable", 0), 2);
        QCOMPARE(SimControl::callCount("funcGenEnable", 1), 1);
        QCOMPARE(setSetpoint2(2, 1e-6), 0);
        QCOMPARE(SimControl::callCount("setSetpoint2", 2), 1);
        QCOMPARE(SimControl::callCount("setSetpoint2", 0), 0);
        QCOMPARE(SimControl::callCount("getPIDstatus"), 0);

        SimControl::reset();
        QCOMPARE(SimControl::callCount("funcGenEnable"), 0);
        QCOMPARE(funcGenEnable(0), 0);  // the failure went with the reset
    }

    void deviceOpenFails_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("error");
        QTest::newRow("display, driver not loaded") << DEVICE_DISPLAY << ENOENT;
        QTest::newRow("picoammeter 0 busy") << DEVICE_ZENTRIM0 << EBUSY;
        QTest::newRow("picoammeter 1 no permission") << DEVICE_ZENTRIM1 << EACCES;
        QTest::newRow("output unit I/O error") << DEVICE_ORVANE << EIO;
    }

    void deviceOpenFails()
    {
        QFETCH(QString, path);
        QFETCH(int, error);
        SimControl::failOpen(path.toStdString(), error);
        errno = 0;
        QCOMPARE(DeviceIo::open(path.toLatin1().constData(), O_RDWR), -1);
        QCOMPARE(errno, error);
        // The other devices still open.
        for (const char* other : {DEVICE_DISPLAY, DEVICE_ZENTRIM0, DEVICE_ZENTRIM1, DEVICE_ORVANE}) {
            if (path == other)
                continue;
            const int fd = DeviceIo::open(other, O_RDWR);
            QVERIFY(fd >= 1000);
            DeviceIo::close(fd);
        }
        SimControl::clearFailures();
        const int fd = DeviceIo::open(path.toLatin1().constData(), O_RDWR);
        QVERIFY(fd >= 1000);
        DeviceIo::close(fd);
    }

    void displayReadComesShort_data()
    {
        QTest::addColumn<int>("missing");
        QTest::newRow("one record") << 256;
        QTest::newRow("part of a record") << 100;
        QTest::newRow("everything") << 3670016;
        QTest::newRow("more than asked") << 5000000;
    }

    void displayReadComesShort()
    {
        QFETCH(int, missing);
        SimControl::shortRead(DEVICE_DISPLAY, size_t(missing));
        const int fd = DeviceIo::open(DEVICE_DISPLAY, O_RDONLY);
        QVERIFY(fd >= 0);
        std::vector<unsigned char> buffer(3670016);
        QCOMPARE(DeviceIo::read(fd, buffer.data(), buffer.size()), ssize_t(std::max(0, 3670016 - missing)));
        DeviceIo::close(fd);
    }

    void ioctlFails_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<unsigned long>("request");
        QTest::newRow("picoammeter 0 status") << DEVICE_ZENTRIM0 << IOCTL_ZENTRIM_STATUS;
        QTest::newRow("picoammeter 1 currents") << DEVICE_ZENTRIM1 << IOCTL_ZENTRIM_CURRENTS;
        QTest::newRow("output unit") << DEVICE_ORVANE << IOCTL_DAC_WRITE;
    }

    void ioctlFails()
    {
        QFETCH(QString, path);
        QFETCH(unsigned long, request);
        SimControl::failIoctl(path.toStdString(), EIO);
        const int fd = DeviceIo::open(path.toLatin1().constData(), O_RDWR | O_SYNC);
        QVERIFY(fd >= 0);
        DacOutputs outputs{1, 1, 1, 1, 1};
        unsigned char block[64];
        std::memset(block, SENTINEL, sizeof block);
        void* argument = request == IOCTL_DAC_WRITE ? static_cast<void*>(&outputs) : static_cast<void*>(block);
        errno = 0;
        QCOMPARE(DeviceIo::ioctl(fd, request, argument), -1);
        QCOMPARE(errno, EIO);
        QCOMPARE(int(block[0]), int(SENTINEL));
        QCOMPARE(SimControl::sent().dacWrites, 0);

        SimControl::failIoctl(path.toStdString(), ETIMEDOUT);
        QCOMPARE(DeviceIo::ioctl(fd, request, argument), -1);
        QCOMPARE(errno, ETIMEDOUT);
        SimControl::clearFailures();
        QCOMPARE(DeviceIo::ioctl(fd, request, argument), 0);
        DeviceIo::close(fd);
    }

    void bufferComesShort()
    {
        SimControl::shortBuffer(1);
        std::vector<DisplayRecord> records(14336);
        QCOMPARE(getBuffer(reinterpret_cast<double*>(records.data()), 14336), 14335);
        SimControl::shortBuffer(20000);
        QCOMPARE(getBuffer(reinterpret_cast<double*>(records.data()), 14336), 0);
        SimControl::shortBuffer(0);
        QCOMPARE(getBuffer(reinterpret_cast<double*>(records.data()), 14336), 14336);
    }
};

QTEST_APPLESS_MAIN(TestFailures)
#include "tst_failures.moc"
