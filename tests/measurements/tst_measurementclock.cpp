// The measurement clock's wait until a deadline: sliced so that the window's
// events run during long waits, and ended at once when a stop is asked for.
#include <QtTest>

#include <vector>

#include "MeasurementClock.h"

namespace {

// Time moves only in its sleeps, each `overshootUs` longer than asked.
class FakeClock final : public MeasurementClock
{
public:
    long long overshootUs = 0;
    long long now = 1000000;
    std::vector<long> sleeps;

    void sleepMicroseconds(long microseconds) override
    {
        sleeps.push_back(microseconds);
        now += microseconds + overshootUs;
    }
    void waitOn(QWaitCondition&, QMutex&, int) override {}
    long long nowMicroseconds() const override { return now; }
};

}  // namespace

class TestMeasurementClock : public QObject
{
    Q_OBJECT

private slots:
    void waitsInSlices_data()
    {
        QTest::addColumn<long long>("ahead");
        QTest::addColumn<QList<long>>("sleeps");
        QTest::addColumn<int>("eventRounds");  // how often the events ran

        QTest::newRow("deadline passed: no sleep") << -5LL << QList<long>{} << 0;
        QTest::newRow("deadline now: no sleep") << 0LL << QList<long>{} << 0;
        QTest::newRow("100 us: one sleep") << 100LL << QList<long>{100} << 0;
        QTest::newRow("one slice exactly") << 20000LL << QList<long>{20000} << 0;
        QTest::newRow("a microsecond more: two") << 20001LL << QList<long>{20000, 1} << 1;
        QTest::newRow("65 ms: four") << 65000LL << QList<long>{20000, 20000, 20000, 5000} << 3;
        QTest::newRow("3 s: 150 slices") << 3000000LL << QList<long>(150, 20000) << 149;
    }

    void waitsInSlices()
    {
        QFETCH(long long, ahead);
        QFETCH(QList<long>, sleeps);
        QFETCH(int, eventRounds);
        FakeClock clock;
        const long long deadline = clock.now + ahead;
        // A queued call runs once per round of the events: it queues itself again.
        int rounds = 0;
        std::function<void()> again = [&] {
            ++rounds;
            QMetaObject::invokeMethod(this, again, Qt::QueuedConnection);
        };
        QMetaObject::invokeMethod(this, again, Qt::QueuedConnection);
        QVERIFY(clock.waitUntil(deadline, [] { return false; }));
        QCOMPARE(QList<long>(clock.sleeps.begin(), clock.sleeps.end()), sleeps);
        QCOMPARE(rounds, eventRounds);
        QVERIFY(clock.now >= deadline);
        // What is left queued runs once the test's own events are processed.
        again = [] {};
        QCoreApplication::processEvents();
    }

    void overshootEndsTheWaitEarlierInSlices()
    {
        FakeClock clock;
        clock.overshootUs = 70;
        QVERIFY(clock.waitUntil(clock.now + 45000, {}));
        QCOMPARE(QList<long>(clock.sleeps.begin(), clock.sleeps.end()), QList<long>({20000, 20000, 4860}));
    }

    void stopEndsTheWait_data()
    {
        QTest::addColumn<int>("stopAfterSlices");
        QTest::newRow("asked before") << 0;
        QTest::newRow("asked after the first slice") << 1;
        QTest::newRow("asked after 37 slices") << 37;
    }

    // A stop asked from the window's events (Stop, a close, Exit) ends a long wait
    // after the slice in progress.
    void stopEndsTheWait()
    {
        QFETCH(int, stopAfterSlices);
        FakeClock clock;
        bool stop = stopAfterSlices == 0;
        int slices = 0;
        std::function<void()> watch = [&] {
            if (++slices == stopAfterSlices)
                stop = true;
            else
                QMetaObject::invokeMethod(this, watch, Qt::QueuedConnection);
        };
        if (!stop)
            QMetaObject::invokeMethod(this, watch, Qt::QueuedConnection);
        QVERIFY(!clock.waitUntil(clock.now + 3000000, [&] { return stop; }));
        QCOMPARE(int(clock.sleeps.size()), stopAfterSlices);
        watch = [] {};
        QCoreApplication::processEvents();
    }
};

QTEST_GUILESS_MAIN(TestMeasurementClock)
#include "tst_measurementclock.moc"
