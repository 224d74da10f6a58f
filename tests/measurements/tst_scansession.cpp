// One scan run apart from its window: the schedule its waits keep when sleeps
// overshoot and redraws take time, how often it lets the window draw, what it
// refuses (a feedback that stays on, a point beyond the output range) and what it
// reports at its start and end.
#include <QtTest>

#include <cmath>
#include <optional>
#include <vector>

#include "DeviceIo.h"
#include "MeasurementClock.h"
#include "ScanSession.h"
#include "SimControl.h"
#include "VornLibrary.h"
#include "support/LogCapture.h"
#include "support/ProgramFixture.h"

namespace {

// Time moves only in its sleeps, each `overshootUs` longer than asked, and in
// the work a test says the scan did between its waits.
class FakeClock final : public MeasurementClock
{
public:
    long long overshootUs = 0;
    long long now = 0;
    int sleeps = 0;

    void sleepMicroseconds(long microseconds) override
    {
        ++sleeps;
        now += microseconds + overshootUs;
    }
    void waitOn(QWaitCondition&, QMutex&, int) override {}
    long long nowMicroseconds() const override { return now; }
};

const QString TOOL = QStringLiteral("3D Rocking Curve");

}  // namespace

class TestScanSession : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_program.emplace(); }
    void cleanup() { m_program.reset(); }

    void pacing_data()
    {
        QTest::addColumn<long long>("overshoot");  // per sleep
        QTest::addColumn<long long>("drawUs");     // every tenth point
        QTest::newRow("exact sleeps") << 0LL << 0LL;
        QTest::newRow("sleeps 70 us late") << 70LL << 0LL;
        QTest::newRow("sleeps 150 us late, 8 ms redraws") << 150LL << 8000LL;
    }

    // Points as the raster makes them at a 1 ms step: the wait after the write
    // keeps its length, the pauses make up what was lost, so the run takes its
    // waits and little more.
    void pacing()
    {
        QFETCH(long long, overshoot);
        QFETCH(long long, drawUs);
        FakeClock clock;
        clock.overshootUs = overshoot;
        ScanSession session(nullptr, TOOL, m_program->outputs, clock);
        const int points = 1000;
        for (int p = 0; p < points; ++p) {
            const long long written = clock.now;
            QVERIFY(session.wait(1000));
            QVERIFY(clock.now - written >= 1000);
            for (int k = 0; k < 10; ++k)
                QVERIFY(session.pause(100));
            if (p % 10 == 0)
                clock.now += drawUs;
            QVERIFY(session.pause(1000));
        }
        const double ratio = double(clock.now) / (points * 3000.0);
        qInfo("%d points took %.4f of their waits", points, ratio);
        QVERIFY2(ratio < 1.01, qPrintable(QString::number(ratio)));
    }

    // A long stall (a modal box, a busy machine) is not made up for beyond a limit:
    // the points after it keep their pauses.
    void longStallIsNotMadeUpForInFull()
    {
        FakeClock clock;
        ScanSession session(nullptr, TOOL, m_program->outputs, clock);
        QVERIFY(session.pause(1000));
        clock.now += 2000000;
        const long long after = clock.now;
        for (int p = 0; p < 1000; ++p)
            QVERIFY(session.pause(1000));
        QCOMPARE(clock.now - after, 1000LL * 1000 - ScanSession::MAX_CATCH_UP_US);
    }

    void stopEndsEveryWait()
    {
        FakeClock clock;
        ScanSession session(nullptr, TOOL, m_program->outputs, clock);
        session.requestStop();
        QVERIFY(session.stopRequested());
        QVERIFY(!session.wait(1000));
        QVERIFY(!session.pause(1000));
        QVERIFY(!session.settle());
        QCOMPARE(clock.sleeps, 0);
    }

    void drawsAtMostTenTimesASecond()
    {
        FakeClock clock;
        ScanSession session(nullptr, TOOL, m_program->outputs, clock);
        QVERIFY(session.drawDue());
        QVERIFY(!session.drawDue());
        clock.now += ScanSession::DRAW_INTERVAL_US - 1;
        QVERIFY(!session.drawDue());
        clock.now += 1;
        QVERIFY(session.drawDue());
        QVERIFY(!session.drawDue());
    }

    void beginAndEnd()
    {
        FakeClock clock;
        ScanSession session(nullptr, TOOL, m_program->outputs, clock);
        QVERIFY(setFBenable(1) >= 0);
        QVERIFY(session.begin());
        QCOMPARE(m_program->outputs.holder(), TOOL);
        QCOMPARE(int(SimControl::sent().fbEnable), 0);
        QCOMPARE(int(SimControl::sent().outputMux), 0);
        QCOMPARE(SimControl::openFileCount(DEVICE_ZENTRIM0), 1);
        QCOMPARE(SimControl::openFileCount(DEVICE_ORVANE), 1);
        session.end();
        QVERIFY(!m_program->outputs.isHeld());
        QCOMPARE(int(SimControl::sent().outputMux), 1);
        QCOMPARE(int(SimControl::sent().fbEnable), 0);
        QCOMPARE(SimControl::openFileCount(DEVICE_ZENTRIM0) + SimControl::openFileCount(DEVICE_ORVANE), 0);
        QVERIFY(Prompts::shown().isEmpty());
        // Once only.
        session.end();
        QCOMPARE(SimControl::callCount("setOutputMux", 1), 1);
    }

    // A scan against a live feedback loop measures the loop: when the controller
    // does not take the switch-off, or its status cannot show that it did, the
    // run does not start and nothing reaches the outputs or the multiplexer.
    void feedbackNotSwitchedOffRefusesTheRun_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("feedbackOn");  // before the run
        QTest::addColumn<QString>("told");

        QTest::newRow("setFBenable fails") << "fail" << true << "setFBenable(0) failed";
        QTest::newRow("setFBenable fails, feedback already off") << "fail" << false << "setFBenable(0) failed";
        QTest::newRow("taken without effect: the status shows it on") << "ignored" << true
                                                                       << "still reports the feedback on (status 3)";
        QTest::newRow("the status cannot be read") << "status" << true << "getPIDstatus failed";
    }

    void feedbackNotSwitchedOffRefusesTheRun()
    {
        QFETCH(QString, fault);
        QFETCH(bool, feedbackOn);
        QFETCH(QString, told);
        LogCapture::install();
        QVERIFY(setFBenable(feedbackOn ? 1 : 0) >= 0);
        if (fault == "fail")
            SimControl::failCall("setFBenable");
        else if (fault == "ignored")
            SimControl::failCall("setFBenable", 0);
        else
            SimControl::failCall("getPIDstatus");
        FakeClock clock;
        {
            ScanSession session(nullptr, TOOL, m_program->outputs, clock);
            QVERIFY(!session.begin());
            QVERIFY(!session.write({4.0, 4.0, 0.0, 0.0}));
        }
        QCOMPARE(SimControl::sent().dacWrites, 0);
        QCOMPARE(SimControl::callCount("setOutputMux"), 0);
        QCOMPARE(int(SimControl::sent().outputMux), 1);
        QCOMPARE(int(SimControl::sent().fbEnable), fault == "status" ? 0 : int(feedbackOn));
        QVERIFY(!m_program->outputs.isHeld());
        QCOMPARE(SimControl::openFileCount(DEVICE_ZENTRIM0) + SimControl::openFileCount(DEVICE_ORVANE), 0);
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QCOMPARE(shown[0].title, TOOL);
        QVERIFY2(shown[0].text.contains("The scan cannot start"), qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains(told), qPrintable(shown[0].text));
        QTRY_VERIFY(!LogCapture::messagesAt(QsLogging::Warn).filter(TOOL + " refused").isEmpty());
    }

    // A point beyond the unit's range ends the run without reaching the unit,
    // and the operator is told which channel and voltage it was.
    void pointOutsideTheOutputRangeEndsTheRun_data()
    {
        QTest::addColumn<QList<double>>("volts");
        QTest::addColumn<QString>("told");
        QTest::newRow("Ch1 at 13 V") << QList<double>{13.0, 5.0, 0.0, 0.0} << "Output channel 1 is 13 V";
        QTest::newRow("Ch2 at -15 V") << QList<double>{5.0, -15.0, 0.0, 0.0} << "Output channel 2 is -15 V";
        QTest::newRow("Ch4 not a number") << QList<double>{5.0, 5.0, 0.0, std::nan("")} << "Output channel 4 is nan V";
    }

    void pointOutsideTheOutputRangeEndsTheRun()
    {
        QFETCH(QList<double>, volts);
        QFETCH(QString, told);
        FakeClock clock;
        ScanSession session(nullptr, TOOL, m_program->outputs, clock);
        QVERIFY(session.begin());
        QVERIFY(session.write({4.0, 12.0, 0.0, -12.0}));
        QVERIFY(!session.write({volts[0], volts[1], volts[2], volts[3]}));
        session.end();
        QCOMPARE(SimControl::sent().dacWrites, 1);
        QCOMPARE(SimControl::sent().lastDacWrite.ch2, 12.0);
        QCOMPARE(int(SimControl::sent().outputMux), 1);
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(told + ", outside the output range of -12 to 12 V"), qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains("Nothing outside the range was written"), qPrintable(shown[0].text));
    }

    // The outputs could not be taken from the feedback loop: nothing written
    // would reach the beam, so the run does not start.
    void outputsNotTakenFromTheFeedbackRefuseTheRun()
    {
        FakeClock clock;
        SimControl::failCall("setOutputMux");
        {
            ScanSession session(nullptr, TOOL, m_program->outputs, clock);
            QVERIFY(!session.begin());
        }
        QVERIFY(!m_program->outputs.isHeld());
        QCOMPARE(SimControl::openFileCount(DEVICE_ZENTRIM0) + SimControl::openFileCount(DEVICE_ORVANE), 0);
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, TOOL);
        QVERIFY2(shown[0].text.contains("could not be taken from the feedback loop"), qPrintable(shown[0].text));
    }

    void outputsNotGivenBackAreTold()
    {
        LogCapture::install();
        FakeClock clock;
        ScanSession session(nullptr, TOOL, m_program->outputs, clock);
        QVERIFY(session.begin());
        SimControl::failCall("setOutputMux");
        session.end();
        QVERIFY(!m_program->outputs.isHeld());
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains("could not be given back to the feedback loop"), qPrintable(shown[0].text));
        QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Warn).filter("could not be given back").size(), 1);
    }

    // Exit does not wait for the operator: what failed goes to the log only.
    void programEndingLogsWithoutAMessage()
    {
        LogCapture::install();
        FakeClock clock;
        ScanSession session(nullptr, TOOL, m_program->outputs, clock);
        QVERIFY(session.begin());
        SimControl::failIoctl(DEVICE_ZENTRIM0);
        ZentrimCurrentSample sample{};
        QVERIFY(!session.read(sample));
        QVERIFY(m_program->outputs.requestStop());
        QVERIFY(session.stopRequested());
        session.end();
        QVERIFY(Prompts::shown().isEmpty());
        QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Warn).filter("1 of 1 picoammeter readings failed").size(), 1);
    }

private:
    std::optional<ProgramFixture> m_program;
};

QTEST_GUILESS_MAIN(TestScanSession)
#include "tst_scansession.moc"
