// The output-record writer against the simulated output device: the record that
// arrives, and the failures that must not be reported as written.
#include <fcntl.h>

#include <QtTest>

#include "DacOutputsWriter.h"
#include "DeviceIo.h"
#include "SimControl.h"

class TestDacOutputsWriter : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        SimControl::useSteppedClock();
        SimControl::reset();
    }

    void writesTheFourChannelsWithFlagOne()
    {
        const int fd = DeviceIo::open(DEVICE_ORVANE, O_RDWR | O_SYNC);
        QVERIFY(fd >= 0);
        QVERIFY(writeDacOutputs(fd, 0.7, -12.0, 12.0, 2.5));
        DeviceIo::close(fd);

        const SimControl::Sent sent = SimControl::sent();
        QCOMPARE(sent.dacWrites, 1);
        QCOMPARE(sent.lastDacWrite.ch1, 0.7);
        QCOMPARE(sent.lastDacWrite.ch2, -12.0);
        QCOMPARE(sent.lastDacWrite.ch3, 12.0);
        QCOMPARE(sent.lastDacWrite.ch4, 2.5);
        QCOMPARE(sent.lastDacWrite.flag, 1);
    }

    void failuresAreReported()
    {
        QVERIFY(!writeDacOutputs(-1, 1, 2, 3, 4));

        SimControl::failIoctl(DEVICE_ORVANE);
        const int fd = DeviceIo::open(DEVICE_ORVANE, O_RDWR | O_SYNC);
        QVERIFY(fd >= 0);
        QVERIFY(!writeDacOutputs(fd, 1, 2, 3, 4));
        DeviceIo::close(fd);
        QCOMPARE(SimControl::sent().dacWrites, 0);
    }
};

QTEST_GUILESS_MAIN(TestDacOutputsWriter)
#include "tst_dacoutputswriter.moc"
