// Settings made through the library read back as made; invalid ones are refused
// without effect; ports, versions and login at start.
#include <QtTest>

#include <functional>

#include "SimTestSupport.h"

using namespace PlantConstants;

Q_DECLARE_METATYPE(std::function<int()>)

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { SimTest::start(); }

    void startState()
    {
        uint8_t mux = 9, code = 9;
        QCOMPARE(getOutputMux(&mux), 0);
        QCOMPARE(int(mux), 1);
        QCOMPARE(getPIDconf(&code), 0);
        QCOMPARE(int(code), 0);
        int x = 9, y = 9, i0 = 9;
        QCOMPARE(getBPMselector(&x, &y, &i0), 0);
        QCOMPARE(x + y + i0, 0);
        uint8_t ox = 9, oy = 9, oi = 9;
        QCOMPARE(getPIDoutSel(&ox, &oy, &oi), 0);
        QCOMPARE(int(ox) * 100 + int(oy) * 10 + int(oi), 12);
        int hz = 0;
        uint8_t filter = 9;
        QCOMPARE(getDisplayFreq(&hz, &filter), 0);
        QCOMPARE(hz, DISPLAY_START_HZ);
        QCOMPARE(int(filter), 0);
        QCOMPARE(getPIDstatus(), 0);
        QCOMPARE(getLockStatus(), 1);

        const SimControl::Sent s = SimControl::sent();
        QCOMPARE(s.bpmScale[1][1], BPM_PHYSICAL_SCALE_UM);
        QCOMPARE(s.bpmOffset[0][0], 0.0);
        // Configured to the monitors' cabling.
        QCOMPARE(s.orient[0], WIRED_ORIENT[0]);
        QCOMPARE(s.orient[1], WIRED_ORIENT[1]);
        QCOMPARE(s.crossBar[1][3], WIRED_CHANNEL[1][3]);
        QCOMPARE(s.zentrimRange[1], RANGE_AUTO);
        QCOMPARE(s.pid[0].windAvg, START_DIVIDER);
        QVERIFY(!s.genEnabled);
        int p0 = 0, p1 = 0;
        QCOMPARE(getZentrims(&p0, &p1), 0);
        QCOMPARE(p0 + p1, 2);
    }

    void gettersReturnTheLastSettings()
    {
        QCOMPARE(setOutputMux(0), 0);
        QCOMPARE(setPIDconf(5), 0);
        QCOMPARE(setBPMselector(1, 0, 1), 0);
        QCOMPARE(setPIDoutSel(3, 2, 1), 0);
        QCOMPARE(setROCenable(1, 0, 1, 0, 1, 0), 0);
        QCOMPARE(setSetpoint2(0, 12.5), 0);
        QCOMPARE(setSetpoint2(1, -7.25), 0);
        QCOMPARE(setSetpoint2(2, 3e-5), 0);
        QCOMPARE(setDisplayFreq(2000, 1), 0);

        uint8_t mux = 9, code = 9;
        QCOMPARE(getOutputMux(&mux), 0);
        QCOMPARE(int(mux), 0);
        QCOMPARE(getPIDconf(&code), 0);
        QCOMPARE(int(code), 5);
        int x, y, i0;
        QCOMPARE(getBPMselector(&x, &y, &i0), 0);
        QCOMPARE(QVector<int>({x, y, i0}), QVector<int>({1, 0, 1}));
        uint8_t ox, oy, oi;
        QCOMPARE(getPIDoutSel(&ox, &oy, &oi), 0);
        QCOMPARE(QVector<int>({ox, oy, oi}), QVector<int>({3, 2, 1}));
        uint8_t e[6];
        QCOMPARE(getROCenable(&e[0], &e[1], &e[2], &e[3], &e[4], &e[5]), 0);
        QCOMPARE(QVector<int>({e[0], e[1], e[2], e[3], e[4], e[5]}), QVector<int>({1, 0, 1, 0, 1, 0}));
        double v = 0;
        QCOMPARE(getSetpoint2(0, &v), 0);
        QCOMPARE(v, 12.5);
        QCOMPARE(getSetpoint2(1, &v), 0);
        QCOMPARE(v, -7.25);
        QCOMPARE(getSetpoint2(2, &v), 0);
        QCOMPARE(v, 3e-5);
        int hz;
        uint8_t filter;
        QCOMPARE(getDisplayFreq(&hz, &filter), 0);
        QCOMPARE(hz, 2000);
        QCOMPARE(int(filter), 1);

        QCOMPARE(setPIDparams(1, 1, 2, 3, 4, 5, 6, 7, 8), 0);
        QCOMPARE(setWindAvg(1, 333), 0);
        QCOMPARE(setOffset(0.5, 1.5, 2.5), 0);
        QCOMPARE(setROClimits(4, -1.0, 22.0), 0);
        QCOMPARE(setBPMscale(1, 900, 1100), 0);
        QCOMPARE(setBPMoffset(0, -3, 4), 0);
        const SimControl::Sent s = SimControl::sent();
        QCOMPARE(s.pid[1].kp, 1.0);
        QCOMPARE(s.pid[1].imax, 5.0);
        QCOMPARE(s.pid[1].ogain, 8.0);
        QCOMPARE(s.pid[1].windAvg, 333);
        QCOMPARE(s.pidOffset[1], 1.5);
        QCOMPARE(s.rocLow[4], -1.0);
        QCOMPARE(s.rocHigh[4], 22.0);
        QCOMPARE(s.bpmScale[1][0], 900.0);
        QCOMPARE(s.bpmOffset[0][1], 4.0);
    }

    void invalidSettingsAreRefusedWithoutEffect_data()
    {
        QTest::addColumn<std::function<int()>>("call");
        const double nan = std::nan("");
        QTest::newRow("regulation code 7") << std::function<int()>([] { return setPIDconf(7); });
        QTest::newRow("regulation code -1") << std::function<int()>([] { return setPIDconf(-1); });
        QTest::newRow("multiplexer 2") << std::function<int()>([] { return setOutputMux(2); });
        QTest::newRow("BPM selector 2") << std::function<int()>([] { return setBPMselector(0, 2, 0); });
        QTest::newRow("output channel 4") << std::function<int()>([] { return setPIDoutSel(0, 4, 0); });
        QTest::newRow("PID channel 3") << std::function<int()>([] { return setPIDparams(3, 1, 1, 1, 1, 1, 1, 1, 1); });
        QTest::newRow("PID NaN gain") << std::function<int()>([nan] { return setPIDparams(0, nan, 1, 1, 1, 1, 1, 1, 1); });
        QTest::newRow("divider 0") << std::function<int()>([] { return setWindAvg(0, 0); });
        QTest::newRow("divider channel 3") << std::function<int()>([] { return setWindAvg(3, 100); });
        QTest::newRow("offset infinite") << std::function<int()>([] { return setOffset(0, HUGE_VAL, 0); });
        QTest::newRow("setpoint axis 3") << std::function<int()>([] { return setSetpoint2(3, 1.0); });
        QTest::newRow("setpoint NaN") << std::function<int()>([nan] { return setSetpoint2(0, nan); });
        QTest::newRow("ROC index 6") << std::function<int()>([] { return setROClimits(6, 0, 1); });
        QTest::newRow("ROC index -1") << std::function<int()>([] { return setROClimits(-1, 0, 1); });
        QTest::newRow("scale of BPM 2") << std::function<int()>([] { return setBPMscale(2, 1, 1); });
        QTest::newRow("offset NaN") << std::function<int()>([nan] { return setBPMoffset(0, nan, 0); });
        QTest::newRow("orientation of BPM 3") << std::function<int()>([] { return setBPMorient(3, 1); });
        QTest::newRow("channel map of BPM 2") << std::function<int()>([] { return setCrossBar(2, 0, 1, 2, 3); });
        QTest::newRow("HV on device 2") << std::function<int()>([] { return zentrimHVenable(1, 2); });
    }

    void invalidSettingsAreRefusedWithoutEffect()
    {
        QFETCH(std::function<int()>, call);
        const SimControl::Sent before = SimControl::sent();
        QVERIFY(call() < 0);
        const SimControl::Sent after = SimControl::sent();
        QCOMPARE(after.pidConf, before.pidConf);
        QCOMPARE(after.outputMux, before.outputMux);
        QCOMPARE(after.bpmSel[1], before.bpmSel[1]);
        QCOMPARE(after.outSel[1], before.outSel[1]);
        QCOMPARE(after.pid[0].kp, before.pid[0].kp);
        QCOMPARE(after.pid[0].windAvg, before.pid[0].windAvg);
        QCOMPARE(after.pidOffset[1], before.pidOffset[1]);
        QCOMPARE(after.setpoint[0], before.setpoint[0]);
        QCOMPARE(after.bpmScale[0][0], before.bpmScale[0][0]);
        QCOMPARE(after.bpmOffset[0][0], before.bpmOffset[0][0]);
        QCOMPARE(after.hvEnable[0] + after.hvEnable[1], 0);
    }

    void sfpPortsAndVersions()
    {
        uint16_t id;
        uint32_t hw, version, serial;
        // Picoammeters on ports 0 and 1, the output unit on port 2, port 3 empty.
        const uint16_t expected[4] = {0x2101, 0x2101, 0x2200, 0};
        for (int port = 0; port < 4; ++port) {
            QCOMPARE(getSFPinfo(port, &id, &hw, &version, &serial), 0);
            QCOMPARE(id, expected[port]);
            if (expected[port]) {
                // The version bytes, most significant first, are the character codes of "1002".
                QCOMPARE(QVector<int>({int(version >> 24), int(version >> 16 & 0xFF), int(version >> 8 & 0xFF),
                                       int(version & 0xFF)}),
                         QVector<int>({'1', '0', '0', '2'}));
            }
        }
        QCOMPARE(int(sfpDeviceType(expected[0])), int(SFP_TYPE_ZENTRIM));
        QVERIFY(getSFPinfo(4, &id, &hw, &version, &serial) < 0);
        QVERIFY(getSFPinfo(-1, &id, &hw, &version, &serial) < 0);

        SimControl::setSfpPort(3, 0x2301, 2, 0x01020304, 77);
        QCOMPARE(getSFPinfo(3, &id, &hw, &version, &serial), 0);
        QCOMPARE(int(id), 0x2301);
        QCOMPARE(hw, 2u);
        QCOMPARE(version, 0x01020304u);
        QCOMPARE(serial, 77u);
        SimControl::clearSfpPort(0);
        QCOMPARE(getSFPinfo(0, &id, &hw, &version, &serial), 0);
        QCOMPARE(int(id), 0);

        uint32_t stamp, sw, pid;
        QCOMPARE(getSystemVersion(&stamp, &sw, &pid), 0);
        QCOMPARE(stamp, 20261201u);
        // Bytes from the least significant: 1, 0, 0, 3 reads "1.0.03".
        QCOMPARE(QVector<int>({int(sw & 0xFF), int(sw >> 8 & 0xFF), int(sw >> 16 & 0xFF), int(sw >> 24)}),
                 QVector<int>({1, 0, 0, 3}));
        QCOMPARE(int(pid >> 24), 7);
        QVERIFY(QString("1.0.0%1").arg(sw >> 24) > QString("1.0.02"));
    }

    void login_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<int>("level");
        QTest::newRow("cruise") << QByteArray("cruise") << QByteArray("cruise") << 0;
        QTest::newRow("user") << QByteArray("user") << QByteArray("user") << 1;
        QTest::newRow("admin") << QByteArray("admin") << QByteArray("admin") << 2;
        QTest::newRow("wrong password") << QByteArray("admin") << QByteArray("user") << -1;
        QTest::newRow("capital letter") << QByteArray("Admin") << QByteArray("admin") << -1;
        QTest::newRow("trailing blank") << QByteArray("admin ") << QByteArray("admin") << -1;
        QTest::newRow("empty") << QByteArray() << QByteArray() << -1;
        QTest::newRow("unknown user") << QByteArray("root") << QByteArray("root") << -1;
        QTest::newRow("32 characters, unterminated") << QByteArray(32, 'a') << QByteArray(32, 'a') << -1;
    }

    void login()
    {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, password);
        QFETCH(int, level);
        char u[32] = {}, p[32] = {};
        std::memcpy(u, user.constData(), size_t(std::min<int>(32, user.size())));
        std::memcpy(p, password.constData(), size_t(std::min<int>(32, password.size())));
        SimControl::setLockStatus(1);
        const int result = getLock(u, p);
        if (level < 0) {
            QVERIFY(result < 0);
            QCOMPARE(getLockStatus(), 1);
        } else {
            QCOMPARE(result, level);
            QCOMPARE(getLockStatus(), level);
        }
    }

    void lockStatusSetByTheTest()
    {
        SimControl::setLockStatus(2);
        QCOMPARE(getLockStatus(), 2);
        SimControl::reset();
        QCOMPARE(getLockStatus(), 1);
    }

    void nullOutputsAreRefused()
    {
        int i = 0;
        uint8_t b = 0;
        double d = 0;
        QVERIFY(getZentrims(&i, nullptr) < 0);
        QVERIFY(getSystemVersion(nullptr, nullptr, nullptr) < 0);
        QVERIFY(getBPMStats(nullptr) < 0);
        QVERIFY(getDisplayFreq(&i, nullptr) < 0);
        QVERIFY(getPIDconf(nullptr) < 0);
        QVERIFY(getSetpoint2(0, nullptr) < 0);
        QVERIFY(getSetpoint2(3, &d) < 0);
        QVERIFY(getROCenable(&b, &b, &b, &b, &b, nullptr) < 0);
        QVERIFY(getBPMselector(&i, nullptr, &i) < 0);
        QVERIFY(getPIDoutSel(nullptr, &b, &b) < 0);
        QVERIFY(getOutputMux(nullptr) < 0);
        char name[32] = "admin";
        QVERIFY(getLock(name, nullptr) < 0);
    }
};

QTEST_APPLESS_MAIN(TestSettings)
#include "tst_settings.moc"
