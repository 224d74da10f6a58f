// The raster scan's computations: its voltages, the normalised grid and the
// saved file, missing cells among them, without a window.
#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "RasterScan.h"

class TestRasterScan : public QObject
{
    Q_OBJECT

private slots:
    void voltages_data()
    {
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("span");
        QTest::addColumn<int>("k");
        QTest::addColumn<double>("expected");

        QTest::newRow("first is the minimum") << 4.0 << 2.0 << 0 << 4.0;
        QTest::newRow("last is the maximum") << 4.0 << 2.0 << 63 << 6.0;
        QTest::newRow("steps of 2/63, not integer division") << 4.0 << 2.0 << 1 << 4.0 + 2.0 / 63.0;
        QTest::newRow("step 31") << 4.0 << 2.0 << 31 << 4.0 + 62.0 / 63.0;
        QTest::newRow("negative span runs downwards") << 6.0 << -2.0 << 63 << 4.0;
        QTest::newRow("zero span holds the channel") << 5.5 << 0.0 << 40 << 5.5;
    }

    void voltages()
    {
        QFETCH(double, minimum);
        QFETCH(double, span);
        QFETCH(int, k);
        QFETCH(double, expected);
        QVERIFY(qAbs(RasterScan::voltage(minimum, span, k) - expected) < 1e-12);
    }

    void summedInChannelOrder()
    {
        ZentrimCurrentSample sample{{4e-6, 3e-6, 2e-6, 1e-6}};  // channel 4 first
        QCOMPARE(RasterScan::summedCurrent(sample), ((1e-6 + 2e-6) + 3e-6) + 4e-6);
    }

    void normaliseSpansExactlyZeroToOne()
    {
        std::vector<float> raw = {3e-6f, 7.25e-5f, 0.0f, 1.1e-5f, 9.99e-5f, 5e-6f};
        std::vector<float> out(raw.size(), -1.0f);
        RasterScan::normalise(raw.data(), out.data(), int(raw.size()));
        QCOMPARE(out[2], 0.0f);
        QCOMPARE(out[4], 1.0f);
        for (size_t k = 0; k < raw.size(); ++k)
            QVERIFY(qAbs(out[k] - raw[k] / 9.99e-5f) < 1e-6f);
    }

    void normaliseWithAnOffset()
    {
        const float raw[] = {2.0f, 3.0f, 4.0f};
        float out[3];
        RasterScan::normalise(raw, out, 3);
        QCOMPARE(out[0], 0.0f);
        QCOMPARE(out[1], 0.5f);
        QCOMPARE(out[2], 1.0f);
    }

    void flatGridNormalisesToZero_data()
    {
        QTest::addColumn<float>("level");
        QTest::newRow("all zero, a first point that read 0") << 0.0f;
        QTest::newRow("all equal") << 4.5e-5f;
    }

    void flatGridNormalisesToZero()
    {
        QFETCH(float, level);
        std::vector<float> raw(RasterScan::CELLS, level);
        std::vector<float> out(RasterScan::CELLS, -1.0f);
        RasterScan::normalise(raw.data(), out.data(), RasterScan::CELLS);
        for (float v : out)
            QCOMPARE(v, 0.0f);  // never a division by zero
    }

    // A cell whose readings failed takes no part in the range and stays missing;
    // it never becomes the floor of the grid.
    void normaliseLeavesMissingCellsOut_data()
    {
        QTest::addColumn<QList<float>>("raw");
        QTest::addColumn<QList<float>>("normalised");  // NaN: missing
        const float gap = RasterScan::MISSING;
        QTest::newRow("a gap between measured cells") << QList<float>{2.0f, gap, 4.0f, 3.0f}
                                                      << QList<float>{0.0f, gap, 1.0f, 0.5f};
        QTest::newRow("a gap below all, not counted as the smallest")
            << QList<float>{gap, 5.0f, 6.0f} << QList<float>{gap, 0.0f, 1.0f};
        QTest::newRow("cells not measured yet (0) still count") << QList<float>{4.0f, gap, 0.0f}
                                                                << QList<float>{1.0f, gap, 0.0f};
        QTest::newRow("one measured cell among gaps: flat") << QList<float>{gap, 7.0f, gap}
                                                            << QList<float>{gap, 0.0f, gap};
        QTest::newRow("every cell missing") << QList<float>{gap, gap} << QList<float>{gap, gap};
    }

    void normaliseLeavesMissingCellsOut()
    {
        QFETCH(QList<float>, raw);
        QFETCH(QList<float>, normalised);
        std::vector<float> out(size_t(raw.size()), -1.0f);
        RasterScan::normalise(raw.constData(), out.data(), int(raw.size()));
        for (qsizetype k = 0; k < raw.size(); ++k) {
            if (std::isnan(normalised[k]))
                QVERIFY2(RasterScan::isMissing(out[size_t(k)]), qPrintable(QString::number(k)));
            else
                QCOMPARE(out[size_t(k)], normalised[k]);
        }
    }

    // The file keeps one row per point; a missing cell's current reads as
    // not-a-number, never as 0 A or any other current.
    void missingCellsAreMarkedInTheFile()
    {
        std::vector<float> raw(RasterScan::CELLS, 2.5e-5f);
        raw[0] = RasterScan::MISSING;
        raw[65] = RasterScan::MISSING;
        raw[RasterScan::CELLS - 1] = RasterScan::MISSING;
        raw[64] = 0.0f;  // not measured yet
        const FileStamp stamp{QDateTime(QDate(2026, 4, 1), QTime(9, 3, 0)), "ws"};
        QList<QByteArray> lines = RasterScan::fileContents(stamp, {4.0, 2.0, 4.0, 2.0}, raw.data()).split('\n');
        lines.removeLast();
        QCOMPARE(lines.size(), 5 + 1 + 4096);
        for (QByteArray& line : lines)
            line.chop(1);
        QCOMPARE(lines[6], QByteArray("4,4,nan"));
        QCOMPARE(lines[6 + 65], QByteArray("4.03175,4.03175,nan"));
        QCOMPARE(lines.last(), QByteArray("6,6,nan"));
        QCOMPARE(lines[6 + 64], QByteArray("4.03175,4,0"));
        int marked = 0;
        for (int k = 0; k < RasterScan::CELLS; ++k) {
            const QList<QByteArray> fields = lines[6 + k].split(',');
            QCOMPARE(fields.size(), 3);
            // What a reader of the file gets: C's strtod, as numpy and pandas parse it.
            const double current = std::strtod(fields[2].constData(), nullptr);
            if (RasterScan::isMissing(raw[size_t(k)])) {
                QVERIFY(std::isnan(current));
                ++marked;
            } else {
                QVERIFY(!std::isnan(current));
            }
        }
        QCOMPARE(marked, 3);
    }

    void fileLayout()
    {
        std::vector<float> raw(RasterScan::CELLS);
        for (int k = 0; k < RasterScan::CELLS; ++k)
            raw[size_t(k)] = float(k) * 1.25e-8f;
        const FileStamp stamp{QDateTime(QDate(2026, 4, 1), QTime(9, 3, 0)), "ws"};
        const QByteArray bytes = RasterScan::fileContents(stamp, {4.0, 2.0, -1.0, 0.5}, raw.data());

        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QList<QByteArray> lines = bytes.split('\n');
        lines.removeLast();
        QCOMPARE(lines.size(), 5 + 1 + 4096);
        for (QByteArray& line : lines)
            line.chop(1);
        QCOMPARE(lines[0], QByteArray("Tarquel Instruments VORN"));
        QCOMPARE(lines[3], QByteArray("Time and Date: 09:03:00 01.04.2026"));
        QCOMPARE(lines[4], QByteArray("Host Name: ws"));
        QCOMPARE(lines[5], QByteArray("ch0,ch1,I0"));
        QCOMPARE(lines[6], QByteArray("4,-1,0"));
        QCOMPARE(lines[7], QByteArray("4,-0.992063,1.25e-08"));  // -1 + 0.5/63, six digits
        QCOMPARE(lines[6 + 63], QByteArray("4,-0.5,7.875e-07"));
        QCOMPARE(lines[6 + 64], QByteArray("4.03175,-1,8e-07"));
        QCOMPARE(lines.last(), QByteArray("6,-0.5,5.11875e-05"));
        for (int k = 0; k < RasterScan::CELLS; k += 97) {
            const QList<QByteArray> fields = lines[6 + k].split(',');
            QCOMPARE(fields.size(), 3);
            QVERIFY(qAbs(fields[2].toDouble() - raw[size_t(k)]) <= 5e-6 * raw[size_t(k)]);
        }
    }
};

QTEST_GUILESS_MAIN(TestRasterScan)
#include "tst_rasterscan.moc"
