// The output-record writer against the simulated output device: the record that
// arrives, what never reaches it, and the failures that must not be reported as
// written.
#include <fcntl.h>

#include <QtTest>

#include <cerrno>
#include <cmath>
#include <limits>

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

    // Whatever a caller computed, nothing outside the unit's range reaches it;
    // a voltage off the limit by rounding alone still goes out.
    void onlyOutputVoltagesReachTheDevice_data()
    {
        QTest::addColumn<int>("channel");  // 0..3
        QTest::addColumn<double>("volts");
        QTest::addColumn<bool>("written");

        QTest::newRow("Ch1 at 12 V") << 0 << 12.0 << true;
        QTest::newRow("Ch2 at -12 V") << 1 << -12.0 << true;
        QTest::newRow("Ch3 at 12 V and a rounding") << 2 << 12.0 + 2e-15 << true;
        QTest::newRow("Ch1 at 13 V") << 0 << 13.0 << false;
        QTest::newRow("Ch2 at 93.6 V") << 1 << 93.6 << false;
        QTest::newRow("Ch3 at -12.01 V") << 2 << -12.01 << false;
        QTest::newRow("Ch4 at 99 V") << 3 << 99.0 << false;
        QTest::newRow("Ch4 not a number") << 3 << std::nan("") << false;
        QTest::newRow("Ch1 infinite") << 0 << -std::numeric_limits<double>::infinity() << false;
    }

    void onlyOutputVoltagesReachTheDevice()
    {
        QFETCH(int, channel);
        QFETCH(double, volts);
        QFETCH(bool, written);
        QCOMPARE(isOutputVoltage(volts), written);
        double ch[4] = {1.0, 2.0, 3.0, 4.0};
        ch[channel] = volts;
        const int fd = DeviceIo::open(DEVICE_ORVANE, O_RDWR | O_SYNC);
        QVERIFY(fd >= 0);
        errno = 0;
        QCOMPARE(writeDacOutputs(fd, ch[0], ch[1], ch[2], ch[3]), written);
        DeviceIo::close(fd);
        const SimControl::Sent sent = SimControl::sent();
        QCOMPARE(sent.dacWrites, written ? 1 : 0);
        if (written) {
            const double got[4] = {sent.lastDacWrite.ch1, sent.lastDacWrite.ch2, sent.lastDacWrite.ch3,
                                   sent.lastDacWrite.ch4};
            QCOMPARE(got[channel], volts);
        } else {
            QCOMPARE(errno, ERANGE);
        }
        // Brought exactly into the range, for the callers that write what they computed.
        if (written)
            QVERIFY(qAbs(exactOutputVoltage(volts)) <= DAC_OUTPUT_MAX_V);
    }

    void refusalNamesTheValueAndTheRange()
    {
        QCOMPARE(outsideOutputRangeText("X max", 99.0), QString("X max is 99 V, outside the output range of -12 to 12 V."));
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
