// The device link against the simulated controller: the SFP poll's device mask
// and encoder-box rules, and every wrapper's failure line.
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <optional>

#include "Globals.h"
#include "MailboxComm.h"
#include "SimControl.h"
#include "VornLibrary.h"
#include "support/LogCapture.h"
#include "support/ProgramFixture.h"
#include "support/QtWarningCapture.h"
#include "support/SteppedMeasurementClock.h"

Q_DECLARE_METATYPE(std::function<int(MailboxComm&)>)

namespace {
constexpr uint16_t ZENTRIM_ID = 0x2101;
constexpr uint16_t KELPO_ID = 0x2301;
constexpr uint16_t ORVANE_ID = 0x2201;

void placePorts(const QList<uint16_t>& ids)
{
    for (int port = 0; port < 4; ++port) {
        if (port < ids.size() && ids[port])
            SimControl::setSfpPort(port, ids[port]);
        else
            SimControl::clearSfpPort(port);
    }
}
}  // namespace

class TestMailboxComm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QsLogging::Logger::instance().setLevel(QsLogging::Debug);
        LogCapture::install();
    }

    void init()
    {
        m_program.emplace(ProgramFixture::Options().noConfig().noLink());
        LogCapture::clear();
    }

    void cleanup() { m_program.reset(); }

    void firstPollMask_data()
    {
        QTest::addColumn<QList<uint16_t>>("ports");
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("emissions");
        QTest::addColumn<int>("baseFreq");

        QTest::newRow("picoammeters on ports 0 and 1 give mask 3")
            << QList<uint16_t>{ZENTRIM_ID, ZENTRIM_ID, ORVANE_ID, 0} << 3 << 1 << 100000;
        QTest::newRow("picoammeter on port 0 only gives mask 1")
            << QList<uint16_t>{ZENTRIM_ID, 0, 0, 0} << 1 << 1 << 100000;
        QTest::newRow("picoammeter on port 2 only gives mask 0 and no emission")
            << QList<uint16_t>{0, 0, ZENTRIM_ID, 0} << 0 << 0 << 100000;
        QTest::newRow("encoder box on port 3 with picoammeters gives mask 0")
            << QList<uint16_t>{ZENTRIM_ID, ZENTRIM_ID, 0, KELPO_ID} << 0 << 1 << 5000;
        QTest::newRow("encoder boxes on ports 0 and 1 give mask 3, emitted twice")
            << QList<uint16_t>{KELPO_ID, KELPO_ID, 0, 0} << 3 << 2 << 5000;
    }

    void firstPollMask()
    {
        QFETCH(QList<uint16_t>, ports);
        QFETCH(int, mask);
        QFETCH(int, emissions);
        QFETCH(int, baseFreq);

        placePorts(ports);
        MailboxComm link;
        QSignalSpy spy(&link, &MailboxComm::nrZentrimsChanged);
        link.refreshData();

        QCOMPARE(link.zentrimMask(), mask);
        QCOMPARE(spy.count(), emissions);
        for (const auto& args : spy)
            QCOMPARE(args.at(0).toInt(), mask);
        QCOMPARE(PID_BASE_FREQ.load(), baseFreq);
        QCOMPARE(link.sfpInfo()[0].id, ports[0]);
    }

    void encoderBoxAppearsAfterPicoammeters()
    {
        placePorts({ZENTRIM_ID, ZENTRIM_ID, 0, 0});
        MailboxComm link;
        link.refreshData();
        QCOMPARE(link.zentrimMask(), 3);

        QSignalSpy spy(&link, &MailboxComm::nrZentrimsChanged);
        SimControl::setSfpPort(3, KELPO_ID);
        link.refreshData();
        // The box's appearance, then the mask change from 3 to 0.
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).toInt(), 0);
        QCOMPARE(spy.at(1).at(0).toInt(), 0);
        QCOMPARE(PID_BASE_FREQ.load(), 5000);
        QTRY_VERIFY(LogCapture::messagesAt(QsLogging::Debug).contains("Kelpo change detected "));

        spy.clear();
        SimControl::clearSfpPort(3);
        link.refreshData();
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toInt(), 3);
        QCOMPARE(PID_BASE_FREQ.load(), 5000);  // never set back
    }

    void maskChangeReadsSelectors()
    {
        placePorts({0, 0, 0, 0});
        MailboxComm link;
        link.refreshData();
        ::setBPMselector(1, 0, 1);
        placePorts({ZENTRIM_ID, ZENTRIM_ID, 0, 0});
        link.refreshData();
        QCOMPARE(BPM_SEL_X.load(), 1);
        QCOMPARE(BPM_SEL_Y.load(), 0);
        QCOMPARE(BPM_SEL_I0.load(), 1);
        QTRY_VERIFY(LogCapture::messagesAt(QsLogging::Debug).contains("Number of acquisition devices changed "));
    }

    void failingPortLoggedEveryPoll()
    {
        placePorts({ZENTRIM_ID, ZENTRIM_ID, 0, 0});
        MailboxComm link;
        SimControl::failCall("getSFPinfo");
        link.refreshData();
        link.refreshData();
        QCOMPARE(link.zentrimMask(), 0);
        QCOMPARE(link.sfpInfo()[1].id, uint16_t(0));
        QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Warn).count("getSFPinfo( 1 ) failed "), 2);
    }

    void pollCachesStatsAndStatus()
    {
        MailboxComm link;
        ::setFBenable(1);
        link.refreshData();
        QCOMPARE(link.pidStatus(), PID_STATUS_ON);
        // Intensity mean of BPM1 is positive with the beam on.
        QVERIFY(link.bpmStats().at(0, BpmStats::I0_MEAN) > 0.0);
    }

    void failedStatsPollIsFlaggedAndToldOnce()
    {
        MailboxComm link;
        link.refreshData();
        QVERIFY(!link.bpmStatsFailed());
        SimControl::failCall("getBPMStats");
        link.refreshData();
        link.refreshData();
        QVERIFY(link.bpmStatsFailed());
        SimControl::clearFailure("getBPMStats");
        link.refreshData();
        QVERIFY(!link.bpmStatsFailed());
        QVERIFY(link.bpmStats().at(0, BpmStats::I0_MEAN) > 0.0);
        const QString told = "getBPMStats() failed: the statistics are not shown until a poll reads them ";
        QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Warn).count(told), 1);
    }

    // A failed periodic read keeps the value read before, marked as not current,
    // and is told once for a run of failures.
    void failedPollsKeepTheLastReading()
    {
        MailboxComm link;
        QCOMPARE(link.pidStatusReading().read, false);
        QCOMPARE(link.outputMuxPolled(), -1);
        ::setFBenable(1);
        link.refreshData();
        QCOMPARE(link.pidStatus(), PID_STATUS_ON);
        QVERIFY(link.pidStatusReading().current());
        QCOMPARE(link.outputMuxPolled(), 1);

        SimControl::failCall("getPIDstatus", -1);
        SimControl::failCall("getOutputMux");
        ::setFBenable(0);
        link.refreshData();
        link.refreshData();
        const PidStatusReading reading = link.pidStatusReading();
        QCOMPARE(reading.status, PID_STATUS_ON);
        // A caller that acts on the status never takes a failed poll for "off".
        QCOMPARE(link.pidStatus(), PID_STATUS_UNKNOWN);
        QVERIFY(reading.read);
        QVERIFY(reading.failing);
        QVERIFY(!reading.current());
        // The multiplexer has no older value worth keeping: it reads as not known.
        QCOMPARE(link.outputMuxPolled(), -1);

        SimControl::clearFailures();
        link.refreshData();
        QCOMPARE(link.pidStatus(), PID_STATUS_OFF);
        QVERIFY(link.pidStatusReading().current());
        QCOMPARE(link.outputMuxPolled(), 1);
        QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Info).filter("getPIDstatus() answers again").size(), 1);
        QCOMPARE(LogCapture::messagesAt(QsLogging::Warn).filter(QRegularExpression("^getPIDstatus\\(\\) failed")).size(), 1);
        QCOMPARE(LogCapture::messagesAt(QsLogging::Warn).filter(QRegularExpression("^getOutputMux\\(\\) failed")).size(), 1);
    }

    void failedVersionReadGivesNoVersion()
    {
        SimControl::setVersionWords(20261201, 0x00010001u, 0x00010001u);
        SimControl::failCall("getSystemVersion");
        MailboxComm link;
        QString hw = "old", sw = "old", pid = "old";
        QVERIFY(link.getSystemVersion(&hw, &sw, &pid) < 0);
        // Neither "0" nor "0.0.00": nothing that reads as a version.
        QVERIFY(hw.isEmpty());
        QVERIFY(sw.isEmpty());
        QVERIFY(pid.isEmpty());
        SimControl::clearFailure("getSystemVersion");
        QCOMPARE(link.getSystemVersion(&hw, &sw, &pid), 0);
        QCOMPARE(sw, QString("1.0.10"));
    }

    // When the display rate last changed: the display tick draws only the records taken since.
    void displayRateChangesAreTimed_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("restarted");
        QTest::newRow("a new rate sent") << "set new" << true;
        QTest::newRow("the same rate sent again, the filter changed") << "set same" << false;
        QTest::newRow("a set the controller refused: may have changed") << "failed set" << true;
        QTest::newRow("a read that finds another rate") << "read new" << true;
        QTest::newRow("a read that finds the same rate") << "read same" << false;
        QTest::newRow("a failed read") << "failed read" << false;
    }

    void displayRateChangesAreTimed()
    {
        QFETCH(QString, action);
        QFETCH(bool, restarted);
        SteppedMeasurementClock clock;
        MailboxComm link;
        link.setClock(clock);
        QVERIFY(!link.microsecondsSinceRateChange());
        // The rate the program starts from: known, but no change.
        bool read = false;
        QCOMPARE(link.getDisplayFreq(nullptr, &read), 1000.0);
        QVERIFY(!link.microsecondsSinceRateChange());
        storeSampFreq(2000);
        QVERIFY(link.setDisplayFreq(0) >= 0);
        SimControl::step(1.5);
        QCOMPARE(link.microsecondsSinceRateChange().value_or(-1), 1500000LL);

        const QStringList words = action.split(' ');
        const int rate = words.value(1) == "new" ? 10000 : 2000;
        if (words[0] == "set") {
            storeSampFreq(rate);
            QVERIFY(link.setDisplayFreq(1) >= 0);
        } else if (action == "failed set") {
            SimControl::failCall("setDisplayFreq");
            storeSampFreq(3000);
            QVERIFY(link.setDisplayFreq(0) < 0);
        } else if (words[0] == "read") {
            QVERIFY(::setDisplayFreq(rate, 0) >= 0);
            link.getDisplayFreq(nullptr, &read);
            QVERIFY(read);
        } else {
            SimControl::failCall("getDisplayFreq");
            link.getDisplayFreq(nullptr, &read);
            QVERIFY(!read);
        }
        SimControl::step(0.25);
        QCOMPARE(link.microsecondsSinceRateChange().value_or(-1), restarted ? 250000LL : 1750000LL);
        storeSampFreq(1000);
    }

    void wrapperFailureText_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<std::function<int(MailboxComm&)>>("call");
        QTest::addColumn<QString>("text");

        using F = std::function<int(MailboxComm&)>;
        auto row = [](const char* fn, F call, const char* text) {
            QTest::newRow(text) << QString(fn) << call << QString(text);
        };
        row("setCtrlReset", [](MailboxComm& m) { return m.setCtrlReset(); }, "setCtrlReset() failed");
        row("setPIDconf", [](MailboxComm& m) { return m.setPIDconf(1); }, "setPIDconf() failed");
        row("getPIDconf", [](MailboxComm& m) { m.getPIDconf(); return -1; }, "getPIDconf() failed");
        row("setFBenable", [](MailboxComm& m) { return m.setFBenable(1); }, "setFBenable() failed");
        row("setWindAvg", [](MailboxComm& m) { return m.setWindAvg(0, 10); }, "setWindAvg() failed");
        row("setPIDparams", [](MailboxComm& m) { return m.setPIDparams(0, 1, 2, 3, 4, 5, 6, 7, 8); },
            "setPIDparams() failed");
        row("setOffset", [](MailboxComm& m) { return m.setOffset(1, 2, 3); }, "setOffset() failed");
        row("setSetpoint2", [](MailboxComm& m) { return m.setSetpointX(1); }, "setSetpoint(X) failed");
        row("setSetpoint2", [](MailboxComm& m) { return m.setSetpointY(1); }, "setSetpoint(Y) failed");
        row("getSetpoint2", [](MailboxComm& m) { double x, y, i; return m.getSetpoint(&x, &y, &i); },
            "getSetpoint(X) failed");
        row("setROClimits", [](MailboxComm& m) { return m.setROClimits(0, 0, 10); }, "setROClimits() failed");
        row("setROCenable", [](MailboxComm& m) { return m.setROCenable(1, 1, 1, 0, 0, 0); },
            "setROCenable() failed");
        row("getROCenable",
            [](MailboxComm& m) { uint8_t a, b, c, d, e, f; return m.getROCenable(&a, &b, &c, &d, &e, &f); },
            "getROCenable() failed");
        row("setBPMscale", [](MailboxComm& m) { return m.setBPMscale(0, 1, 1); }, "setBPMscale() failed");
        row("setBPMoffset", [](MailboxComm& m) { return m.setBPMoffset(0, 1, 1); }, "setBPMoffset() failed");
        row("setBPMorient", [](MailboxComm& m) { return m.setBPMorient(1, 0); }, "setBPMorient() failed");
        row("setCrossBar", [](MailboxComm& m) { return m.setCrossBar(0, 1, 2, 3, 0); }, "setCrossBar() failed");
        row("getBPMselector", [](MailboxComm& m) { int x, y, i; return m.getBPMselector(&x, &y, &i); },
            "getBPMselector() failed");
        row("setBPMselector", [](MailboxComm& m) { return m.setBPMselector(0, 0, 0); }, "setBPMselector() failed");
        row("setPIDoutSel", [](MailboxComm& m) { return m.setPIDoutSel(0, 1, 2); }, "setPIDoutSel() failed");
        row("getPIDoutSel", [](MailboxComm& m) { uint8_t x, y, i; return m.getPIDoutSel(&x, &y, &i); },
            "getPIDoutSel() failed");
        row("setDisplayFreq", [](MailboxComm& m) { return m.setDisplayFreq(0); }, "setDisplayFreq() failed");
        row("getDisplayFreq", [](MailboxComm& m) { bool f; m.getDisplayFreq(&f); return -1; },
            "getDisplayFreq() failed");
        row("setOutputMux", [](MailboxComm& m) { return m.setOutputMux(1); }, "setOutputMux( 1 ) failed");
        row("getOutputMux", [](MailboxComm& m) { m.getOutputMux(); return -1; }, "getOutputMux() failed");
        row("zentrimSetRange", [](MailboxComm& m) { return m.zentrimSetRange(0, 0); }, "zentrimSetRange() failed");
        row("zentrimHVSetVoltage", [](MailboxComm& m) { return m.zentrimHVSetVoltage(0, 50.f); },
            "zentrimHVSetVoltage() failed");
        row("zentrimHVenable", [](MailboxComm& m) { return m.zentrimHVenable(1, 0); }, "zentrimHVenable() failed");
        row("getSystemVersion", [](MailboxComm& m) { QString a, b, c; m.getSystemVersion(&a, &b, &c); return -1; },
            "getSystemVersion() failed");
    }

    void wrapperFailureText()
    {
        QFETCH(QString, function);
        QFETCH(std::function<int(MailboxComm&)>, call);
        QFETCH(QString, text);

        MailboxComm link;
        SimControl::failCall(function.toStdString(), -7);
        const int result = call(link);
        QVERIFY(result < 0);
        // Items are joined by spaces and followed by one more.
        QTRY_VERIFY(LogCapture::messagesAt(QsLogging::Warn).contains(text + ' '));
        const QStringList lines = LogCapture::formattedLines();
        QVERIFY(std::any_of(lines.begin(), lines.end(),
                            [&](const QString& l) { return l.startsWith("WARN  ") && l.endsWith(text + ' '); }));
    }

    void wrapperPassesLibraryResult()
    {
        MailboxComm link;
        SimControl::failCall("setOffset", -42);
        QCOMPARE(link.setOffset(1, 2, 3), -42);
        SimControl::clearFailures();
        QVERIFY(link.setOffset(1, 2, 3) >= 0);
        QCOMPARE(SimControl::sent().pidOffset[2], 3.0);

        // Read-backs hand their result over too.
        int result = 0;
        QCOMPARE(int(link.getPIDconf(&result)), 0);
        QVERIFY(result >= 0);
        SimControl::failCall("getPIDconf", -5);
        link.getPIDconf(&result);
        QCOMPARE(result, -5);
        QVERIFY(link.setPIDoutSel(2, 3, 0) >= 0);
        uint8_t x = 9, y = 9, i0 = 9;
        QVERIFY(link.getPIDoutSel(&x, &y, &i0) >= 0);
        QCOMPARE((QList<int>{x, y, i0}), (QList<int>{2, 3, 0}));
    }

    void argumentOrderReachesController()
    {
        MailboxComm link;
        link.setBPMorient(1, 1);  // orient first here, the BPM first in the library
        link.setCrossBar(3, 2, 1, 0, 1);
        link.setPIDparams(2, 1, 2, 3, 4, 5, 6, 7, 8);
        const SimControl::Sent s = SimControl::sent();
        QCOMPARE(int(s.orient[1]), 1);
        QCOMPARE(int(s.crossBar[1][0]), 3);
        QCOMPARE(int(s.crossBar[1][3]), 0);
        QCOMPARE(s.pid[2].kp, 1.0);
        QCOMPARE(s.pid[2].ogain, 8.0);
    }

    void setSetpointStopsAtFirstFailure()
    {
        MailboxComm link;
        SimControl::failCall("setSetpoint2", -3);
        QCOMPARE(link.setSetpoint(10, 20, 1e-5), -3);
        QCOMPARE(SimControl::callCount("setSetpoint2"), 1);
        QTRY_VERIFY(LogCapture::messagesAt(QsLogging::Warn).contains("setSetpoint(X) failed "));
        QVERIFY(!LogCapture::messagesAt(QsLogging::Warn).contains("setSetpoint(Y) failed "));

        SimControl::clearFailures();
        QVERIFY(link.setSetpoint(10, 20, 1e-5) >= 0);
        double x = 0, y = 0, i0 = 0;
        QCOMPARE(link.getSetpoint(&x, &y, &i0), 0);
        QCOMPARE(x, 10.0);
        QCOMPARE(y, 20.0);
        QCOMPARE(i0, 1e-5);
    }

    void systemVersionFormatting_data()
    {
        QTest::addColumn<uint32_t>("word");
        QTest::addColumn<QString>("text");
        QTest::newRow("bytes 1 0 0 2") << uint32_t(0x02000001) << "1.0.02";
        QTest::newRow("bytes 1 0 1 0") << uint32_t(0x00010001) << "1.0.10";
        QTest::newRow("bytes 255 12 3 200") << uint32_t(0xC8030CFF) << "255.12.3200";
        QTest::newRow("zero") << uint32_t(0) << "0.0.00";
    }

    void systemVersionFormatting()
    {
        QFETCH(uint32_t, word);
        QFETCH(QString, text);
        SimControl::setVersionWords(20261201, word, word);
        MailboxComm link;
        QString hw, sw, pid;
        QCOMPARE(link.getSystemVersion(&hw, &sw, &pid), 0);
        QCOMPARE(hw, QString("20261201"));
        QCOMPARE(sw, text);
        QCOMPARE(pid, text);
    }

    void displayFreqFilterAfterFailure()
    {
        MailboxComm link;
        storeSampFreq(2000);
        QVERIFY(link.setDisplayFreq(1) >= 0);
        bool filter = false;
        QCOMPARE(link.getDisplayFreq(&filter), 2000.0);
        QVERIFY(filter);
        QCOMPARE(link.getDisplayFreq(nullptr), 2000.0);
        bool ok = false;
        link.getDisplayFreq(&filter, &ok);
        QVERIFY(ok);
        // A caller that must put the filter back can tell a failed read from "off".
        SimControl::failCall("getDisplayFreq");
        link.getDisplayFreq(&filter, &ok);
        QVERIFY(!ok);
        SimControl::clearFailures();
        storeSampFreq(1000);
    }

    void pollTimerFiresOnTheDeviceThreadAndStopsWithIt()
    {
        const QtWarningCapture qtWarnings;
        QThread thread;
        auto* link = new MailboxComm;
        link->attachThread(&thread);
        link->moveToThread(&thread);
        connect(&thread, &QThread::started, link, &MailboxComm::doSetupOnNewThread);
        thread.start();

        // Watch the timer from its own thread, where it lives.
        QThread* firedOn = nullptr;
        QMutex firedLock;
        int interval = 0;
        QMetaObject::invokeMethod(
            link,
            [&] {
                auto* timer = link->findChild<QTimer*>();
                if (!timer)
                    return;
                interval = timer->interval();
                connect(timer, &QTimer::timeout, link, [&] {
                    QMutexLocker lock(&firedLock);
                    firedOn = QThread::currentThread();
                }, Qt::DirectConnection);
            },
            Qt::BlockingQueuedConnection);
        QCOMPARE(interval, 1000);
        QTRY_VERIFY_WITH_TIMEOUT([&] { QMutexLocker lock(&firedLock); return firedOn != nullptr; }(), 5000);
        QCOMPARE(firedOn, &thread);

        // The thread ends: the timer goes with it, and the link stays usable here.
        thread.quit();
        QVERIFY(thread.wait(5000));
        QCOMPARE(link->thread(), QThread::currentThread());
        QVERIFY(!link->findChild<QTimer*>());
        QVERIFY(link->setOffset(1, 2, 3) >= 0);
        delete link;
        QCOMPARE(qtWarnings.warnings(), QStringList());
    }

private:
    std::optional<ProgramFixture> m_program;
};

QTEST_GUILESS_MAIN(TestMailboxComm)
#include "tst_mailboxcomm.moc"
