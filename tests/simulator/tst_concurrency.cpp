// The program enters the library from three threads without a lock of its own
// (GUI, device link, frequency sweep); every call must stay whole.
#include <QtTest>

#include <atomic>
#include <thread>

#include "SimTestSupport.h"

namespace {

constexpr int ROUNDS = 300;
constexpr int RECORDS = 1024;

// A record is whole when its reference words are off or on the unit circle and
// its outputs are ones the threads could have set.
bool whole(const DisplayRecord& r)
{
    const double in = r.inPhaseReference(), quad = r.quadratureReference();
    const double norm = in * in + quad * quad;
    if (!(norm == 0.0 || std::fabs(norm - 1.0) < 1e-5))
        return false;
    for (int c = 0; c < 4; ++c) {
        const double v = r.word[DisplayRecord::OUTPUT0 + c];
        if (!(v >= 4.0 && v <= 6.0))
            return false;
    }
    return true;
}

struct Run
{
    std::atomic<int> wrong{0};

    void check(bool ok)
    {
        if (!ok)
            ++wrong;
    }

    // The display tick and the panels: buffer, lock status, picoammeter probes.
    void gui(bool stepClock)
    {
        std::vector<DisplayRecord> records(RECORDS);
        for (int k = 0; k < ROUNDS; ++k) {
            check(getBuffer(reinterpret_cast<double*>(records.data()), RECORDS) == RECORDS);
            check(whole(records.front()) && whole(records.back()));
            check(getLockStatus() == 1);
            int p0 = 0, p1 = 0;
            check(getZentrims(&p0, &p1) == 0 && p0 == 1 && p1 == 1);
            const int fd = DeviceIo::open(DEVICE_ZENTRIM0, O_RDONLY);
            ZentrimStatus status;
            check(fd >= 0 && DeviceIo::ioctl(fd, IOCTL_ZENTRIM_STATUS, &status) == 0);
            DeviceIo::close(fd);
            if (stepClock)
                SimControl::step(0.002);
        }
    }

    // The device link's poll.
    void deviceLink()
    {
        for (int k = 0; k < ROUNDS; ++k) {
            uint16_t id;
            uint32_t hw, version, serial;
            check(getSFPinfo(k % 4, &id, &hw, &version, &serial) == 0);
            double stats[19];
            check(getBPMStats(stats) == 0 && stats[7] > 0.0);
            const int status = getPIDstatus();
            check(status == 0 || status == 3);
            check(setSetpoint2(k % 2, 0.0) == 0);
        }
    }

    // The frequency sweep: rate, generator, direct device reads.
    void sweep()
    {
        std::vector<DisplayRecord> records(RECORDS);
        const int fd = DeviceIo::open(DEVICE_DISPLAY, O_RDONLY);
        check(fd >= 0);
        for (int k = 0; k < ROUNDS; ++k) {
            check(setDisplayFreq(k % 2 ? 2000 : 1000, 0) == 0);
            float amplitude[4] = {0.5f, 0, 0, 0};
            float offset[4] = {5, 5, 5, 5};
            check(funcGenConfig(amplitude, offset, 10.0f + float(k % 7)) == 0);
            check(funcGenEnable(1) == 0);
            check(DeviceIo::read(fd, records.data(), RECORDS * sizeof(DisplayRecord)) ==
                  ssize_t(RECORDS * sizeof(DisplayRecord)));
            check(whole(records[RECORDS / 2]));
            check(funcGenEnable(0) == 0);
        }
        DeviceIo::close(fd);
    }
};

}  // namespace

class TestConcurrency : public QObject
{
    Q_OBJECT

private slots:
    void init() { SimTest::start(true); }
    void cleanup() { SimControl::useSteppedClock(); }

    void threeThreadsOnTheSteppedClock()
    {
        Run run;
        std::thread gui([&] { run.gui(true); });
        std::thread link([&] { run.deviceLink(); });
        std::thread sweep([&] { run.sweep(); });
        gui.join();
        link.join();
        sweep.join();
        QCOMPARE(run.wrong.load(), 0);
        QCOMPARE(SimControl::callCount("getBuffer"), ROUNDS);
        QCOMPARE(SimControl::callCount("funcGenEnable", 0), ROUNDS);
        QCOMPARE(SimControl::callCount("setSetpoint2"), ROUNDS);
        QVERIFY(std::fabs(SimControl::now() - ROUNDS * 0.002) < 1e-9);
    }

    void threeThreadsOnTheWallClock()
    {
        // The running program's case: each call brings the simulation up to the wall clock.
        SimControl::useWallClock();
        const double started = SimControl::now();
        Run run;
        std::thread gui([&] { run.gui(false); });
        std::thread link([&] { run.deviceLink(); });
        std::thread sweep([&] { run.sweep(); });
        gui.join();
        link.join();
        sweep.join();
        QCOMPARE(run.wrong.load(), 0);
        QVERIFY(SimControl::now() > started);
        QCOMPARE(SimControl::callCount("getSFPinfo"), ROUNDS);
    }
};

QTEST_APPLESS_MAIN(TestConcurrency)
#include "tst_concurrency.moc"
