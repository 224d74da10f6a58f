// The one reader of the display device, against the simulated one: what a read
// returns, what a short read or an unopenable device gives, and that the device
// is open exactly as long as a reader lives.
#include <QtTest>

#include <cstring>
#include <vector>

#include "DeviceIo.h"
#include "DisplayReader.h"
#include "DisplaySnapshot.h"
#include "SimControl.h"
#include "simulator/SimTestSupport.h"

namespace {

constexpr size_t BLOCK = DISPLAY_SNAPSHOT_RECORDS;

bool sameRecords(const DisplayRecord* a, const DisplayRecord* b, size_t count)
{
    return std::memcmp(a, b, count * sizeof(DisplayRecord)) == 0;
}

}  // namespace

class TestDisplayReader : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        SimTest::start();
        SimControl::step(1.0);
    }

    void snapshotHoldsTheNewestRecords()
    {
        // The stepped clock stands still: the library sees the same newest block.
        const std::vector<DisplayRecord> expected = SimTest::newest(int(BLOCK));
        const DisplaySnapshot snapshot = readDisplaySnapshot();
        QVERIFY(snapshot.complete());
        QVERIFY(!snapshot.openFailed);
        QCOMPARE(snapshot.records.size(), BLOCK);
        QVERIFY(sameRecords(snapshot.records.data(), expected.data(), BLOCK));
        QCOMPARE(SimControl::openFileCount(DEVICE_DISPLAY), 0);
    }

    void shortReads_data()
    {
        QTest::addColumn<int>("missingBytes");
        QTest::addColumn<int>("records");
        const int whole = int(BLOCK * sizeof(DisplayRecord));
        QTest::newRow("one record short") << 256 << int(BLOCK) - 1;
        QTest::newRow("ends inside a record: only the whole ones") << 100 << int(BLOCK) - 1;
        QTest::newRow("nothing") << whole << 0;
    }
    void shortReads()
    {
        QFETCH(int, missingBytes);
        QFETCH(int, records);
        const std::vector<DisplayRecord> expected = SimTest::newest(int(BLOCK));
        SimControl::shortRead(DEVICE_DISPLAY, size_t(missingBytes));
        const DisplaySnapshot snapshot = readDisplaySnapshot();
        QVERIFY(!snapshot.complete());
        QVERIFY(!snapshot.openFailed);
        QCOMPARE(snapshot.error, QString("/dev/vorn_dma_displ returned %1 of %2 bytes")
                                     .arg(BLOCK * sizeof(DisplayRecord) - size_t(missingBytes))
                                     .arg(BLOCK * sizeof(DisplayRecord)));
        QCOMPARE(snapshot.records.size(), size_t(records));
        // The oldest records of the block: the read stops early, not late.
        QVERIFY(sameRecords(snapshot.records.data(), expected.data(), size_t(records)));
    }

    void unopenableDevice()
    {
        SimControl::failOpen(DEVICE_DISPLAY);
        const DisplaySnapshot snapshot = readDisplaySnapshot(1);
        QVERIFY(snapshot.openFailed);
        QCOMPARE(snapshot.error, QString("/dev/vorn_dma_displ could not be opened: No such file or directory"));
        QVERIFY(snapshot.records.empty());

        DisplayReader reader;
        QVERIFY(!reader.isOpen());
        QCOMPARE(reader.openError(), snapshot.error);
        DisplayRecord record;
        QString error;
        QCOMPARE(reader.read(&record, 1, error), size_t(0));
        QCOMPARE(error, snapshot.error);
    }

    void readerStaysOpenForARun()
    {
        std::vector<DisplayRecord> block(BLOCK);
        {
            DisplayReader reader;
            QVERIFY(reader.isOpen());
            QVERIFY(reader.openError().isEmpty());
            for (int run = 0; run < 3; ++run) {
                QCOMPARE(SimControl::openFileCount(DEVICE_DISPLAY), 1);
                QString error = "left from before";
                QCOMPARE(reader.read(block.data(), BLOCK, error), BLOCK);
                QVERIFY(error.isEmpty());
                // Each read gives the block that is newest by then.
                const std::vector<DisplayRecord> expected = SimTest::newest(int(BLOCK));
                QVERIFY(sameRecords(block.data(), expected.data(), BLOCK));
                SimControl::step(0.5);
            }
        }
        QCOMPARE(SimControl::openFileCount(DEVICE_DISPLAY), 0);
    }
};

QTEST_GUILESS_MAIN(TestDisplayReader)
#include "tst_displayreader.moc"
