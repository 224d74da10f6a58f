// The display spectra (FftCalculator, fftw_abs) and the single-precision
// RealFft, each checked against a direct DFT or a known sine's amplitude.
#include <QtTest>

#include <cmath>
#include <complex>
#include <functional>
#include <random>
#include <vector>

#include "RealFft.h"
#include "FftCalculator.h"

namespace {

constexpr double PI = 3.14159265358979323846;
const double UNIT_SCALE[2] = {1.0, 1.0};

using Signal = std::function<double(int)>;

// Every word gets a large ramp of its own, so reading the wrong word shows.
std::vector<DisplayRecord> makeRecords(int count, int word, const Signal& signal)
{
    std::vector<DisplayRecord> records(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        for (int w = 0; w < 32; ++w)
            records[size_t(i)].word[w] = (w == word) ? signal(i) : 1000.0 * (w + 1) + 37.0 * std::sin(0.3 * i * (w + 1));
    return records;
}

Signal sine(double amplitude, int bin, int length, double offset = 0.0)
{
    return [=](int i) { return offset + amplitude * std::sin(2.0 * PI * bin * i / length + 0.4); };
}

std::vector<std::complex<double>> directDft(const std::vector<double>& x)
{
    const size_t n = x.size();
    std::vector<std::complex<double>> out(n);
    for (size_t k = 0; k < n; ++k) {
        std::complex<double> sum;
        for (size_t t = 0; t < n; ++t)
            sum += x[t] * std::polar(1.0, -2.0 * PI * double((k * t) % n) / double(n));
        out[k] = sum;
    }
    return out;
}

std::vector<std::complex<double>> directDft(const std::vector<std::complex<double>>& x)
{
    const size_t n = x.size();
    std::vector<std::complex<double>> out(n);
    for (size_t k = 0; k < n; ++k) {
        std::complex<double> sum;
        for (size_t t = 0; t < n; ++t)
            sum += x[t] * std::polar(1.0, -2.0 * PI * double((k * t) % n) / double(n));
        out[k] = sum;
    }
    return out;
}

std::vector<double> randomSignal(int length, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-1.0, 3.0);
    std::vector<double> x(static_cast<size_t>(length));
    for (auto& v : x)
        v = dist(gen);
    return x;
}

double keyAt(const QCPGraphDataContainer& c, int i) { return c.at(i)->key; }
double valueAt(const QCPGraphDataContainer& c, int i) { return c.at(i)->value; }

FftSettings settingsFor(int length, int source, bool removeMean, bool cumulative)
{
    FftSettings s;
    s.length = length;
    s.sourceColumn = source;
    s.removeMean = removeMean;
    s.cumulative = cumulative;
    return s;
}

}  // namespace

class TestFftCalculator : public QObject
{
    Q_OBJECT

private slots:
    void fftwAbs();

    void binPositions_data();
    void binPositions();

    void sineAmplitude();
    void matchesDirectDft_data();
    void matchesDirectDft();
    void constantInput_data();
    void constantInput();
    void columnAndScale_data();
    void columnAndScale();
    void lastCumulativePoint();

    void usesNewestRecords();
    void lengthAboveRecords_data();
    void lengthAboveRecords();
    void emptyWhenNothingSound_data();
    void emptyWhenNothingSound();
    void lengthOfOne();
    void lengthChangeReplans();

    void realFftSizes_data();
    void realFftSizes();
    void realFftBitReverse();
    void realFftTransformMatchesDft();
    void realFftMagnitudeOfRealSignal();
};

void TestFftCalculator::fftwAbs()
{
    double a[2] = {3.0, -4.0};
    double b[2] = {0.0, 0.0};
    double c[2] = {-2.5, 0.0};
    QCOMPARE(fftw_abs(a), 5.0);
    QCOMPARE(fftw_abs(b), 0.0);
    QCOMPARE(fftw_abs(c), 2.5);
}

void TestFftCalculator::binPositions_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<double>("sampFreq");
    QTest::addColumn<bool>("cumulative");
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("firstKey");
    QTest::addColumn<double>("lastKey");
    QTest::addColumn<double>("spacing");

    QTest::newRow("plain N 8192 at 1000 Hz: 4097 points 0 to 500")
        << 8192 << 1000.0 << false << 4097 << 0.0 << 500.0 << 0.1220703125;
    QTest::newRow("cumulative N 8192 at 1000 Hz: 4096 points from first bin")
        << 8192 << 1000.0 << true << 4096 << 0.1220703125 << 500.0 << 0.1220703125;
    QTest::newRow("plain N 64 at 50000 Hz") << 64 << 50000.0 << false << 33 << 0.0 << 25000.0 << 781.25;
    QTest::newRow("plain odd N 5 at 1000 Hz: bins 0 to 2") << 5 << 1000.0 << false << 3 << 0.0 << 400.0 << 200.0;
}

void TestFftCalculator::binPositions()
{
    QFETCH(int, length);
    QFETCH(double, sampFreq);
    QFETCH(bool, cumulative);
    QFETCH(int, points);
    QFETCH(double, firstKey);
    QFETCH(double, lastKey);
    QFETCH(double, spacing);

    const auto records = makeRecords(14336, 1, sine(1.0, 3, 64));
    FftCalculator calc;
    QCPGraphDataContainer out;
    calc.compute(records.data(), int(records.size()), 0, settingsFor(length, 1, false, cumulative), sampFreq,
                 UNIT_SCALE, UNIT_SCALE, out);

    QCOMPARE(out.size(), points);
    QCOMPARE(keyAt(out, 0), firstKey);
    QCOMPARE(keyAt(out, points - 1), lastKey);
    for (int i = 1; i < points; ++i)
        QVERIFY2(std::abs(keyAt(out, i) - keyAt(out, i - 1) - spacing) < 1e-9 * spacing,
                 qPrintable(QString("spacing at %1").arg(i)));
}

void TestFftCalculator::sineAmplitude()
{
    // A sine centred on bin 100 shows its amplitude there, the offset twice at 0 Hz.
    const int n = 8192;
    const auto records = makeRecords(n, 1, sine(2.5, 100, n, 1.0));
    FftCalculator calc;
    QCPGraphDataContainer out;
    calc.compute(records.data(), n, 0, settingsFor(n, 1, false, false), 1000.0, UNIT_SCALE, UNIT_SCALE, out);

    QCOMPARE(out.size(), n / 2 + 1);
    QVERIFY(std::abs(valueAt(out, 0) - 2.0) < 1e-9);
    QVERIFY(std::abs(valueAt(out, 100) - 2.5) < 1e-9);
    QCOMPARE(keyAt(out, 100), 100 * 1000.0 / n);
    for (int k = 1; k < out.size(); ++k)
        if (k != 100)
            QVERIFY2(std::abs(valueAt(out, k)) < 1e-9, qPrintable(QString("leak at bin %1").arg(k)));
}

void TestFftCalculator::matchesDirectDft_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("removeMean");
    QTest::addColumn<bool>("cumulative");

    QTest::newRow("plain N 64") << 64 << false << false;
    QTest::newRow("plain N 64 mean removed") << 64 << true << false;
    QTest::newRow("cumulative N 64") << 64 << false << true;
    QTest::newRow("cumulative N 64 mean removed") << 64 << true << true;
    QTest::newRow("plain odd N 45") << 45 << false << false;
    QTest::newRow("cumulative odd N 45") << 45 << true << true;
    QTest::newRow("plain N 1024") << 1024 << false << false;
}

void TestFftCalculator::matchesDirectDft()
{
    QFETCH(int, length);
    QFETCH(bool, removeMean);
    QFETCH(bool, cumulative);

    const int count = length + 300;
    const std::vector<double> x = randomSignal(count, 7);
    const auto records = makeRecords(count, 26, [&](int i) { return x[size_t(i)]; });

    // The newest `length` samples, as the display takes them.
    std::vector<double> input(x.end() - length, x.end());
    if (removeMean) {
        double mean = 0.0;
        for (double v : input)
            mean += v;
        mean /= length;
        for (double& v : input)
            v -= mean;
    }
    const auto dft = directDft(input);

    std::vector<double> expectedKeys;
    std::vector<double> expectedValues;
    const double fs = 2000.0;
    if (!cumulative) {
        for (int k = 0; k <= length / 2; ++k) {
            expectedKeys.push_back(fs * k / length);
            expectedValues.push_back(2.0 * std::abs(dft[size_t(k)]) / length);
        }
    } else {
        double power = 0.0;
        for (int k = 1; k <= length / 2; ++k) {
            const double a = 2.0 * std::abs(dft[size_t(k)]) / length;
            power += 0.5 * a * a;
            expectedKeys.push_back(fs * k / length);
            expectedValues.push_back(std::sqrt(power));
        }
    }

    FftCalculator calc;
    QCPGraphDataContainer out;
    calc.compute(records.data(), count, 0, settingsFor(length, 26, removeMean, cumulative), fs, UNIT_SCALE,
                 UNIT_SCALE, out);

    QCOMPARE(out.size(), int(expectedKeys.size()));
    for (int i = 0; i < out.size(); ++i) {
        QVERIFY2(std::abs(keyAt(out, i) - expectedKeys[size_t(i)]) < 1e-9, qPrintable(QString("key %1").arg(i)));
        QVERIFY2(std::abs(valueAt(out, i) - expectedValues[size_t(i)]) < 1e-9,
                 qPrintable(QString("value %1: %2 vs %3").arg(i).arg(valueAt(out, i)).arg(expectedValues[size_t(i)])));
    }
}

void TestFftCalculator::constantInput_data()
{
    QTest::addColumn<bool>("removeMean");
    QTest::addColumn<double>("firstValue");

    QTest::newRow("mean kept: first point twice the constant") << false << 2.0 * 3.75;
    QTest::newRow("mean removed: every point 0") << true << 0.0;
}

void TestFftCalculator::constantInput()
{
    QFETCH(bool, removeMean);
    QFETCH(double, firstValue);

    const int n = 8192;
    const auto records = makeRecords(n, 2, [](int) { return 3.75; });
    FftCalculator calc;
    QCPGraphDataContainer out;
    calc.compute(records.data(), n, 0, settingsFor(n, 2, removeMean, false), 1000.0, UNIT_SCALE, UNIT_SCALE, out);

    QCOMPARE(out.size(), n / 2 + 1);
    QVERIFY(std::abs(valueAt(out, 0) - firstValue) < 1e-12);
    for (int k = 1; k < out.size(); ++k)
        QVERIFY2(std::abs(valueAt(out, k)) < 1e-12, qPrintable(QString("bin %1").arg(k)));
}

void TestFftCalculator::columnAndScale_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("bpm");
    QTest::addColumn<int>("word");
    QTest::addColumn<double>("scale");

    // scales: X {2, 3}, Y {5, 11}
    QTest::newRow("BPM1 X: word 0 times X[0]") << 0 << 0 << 0 << 2.0;
    QTest::newRow("BPM1 Y: word 1 times Y[0]") << 1 << 0 << 1 << 5.0;
    QTest::newRow("BPM1 intensity: word 2 unscaled") << 2 << 0 << 2 << 1.0;
    QTest::newRow("BPM2 X: word 4 times X[1]") << 0 << 1 << 4 << 3.0;
    QTest::newRow("BPM2 Y: word 5 times Y[1]") << 1 << 1 << 5 << 11.0;
    QTest::newRow("BPM2 intensity: word 6 unscaled") << 2 << 1 << 6 << 1.0;
    QTest::newRow("BPM1 current 1: word 24 unscaled") << 24 << 0 << 24 << 1.0;
    QTest::newRow("BPM1 current 4: word 27 unscaled") << 27 << 0 << 27 << 1.0;
    QTest::newRow("BPM2 current 1: word 28 unscaled") << 24 << 1 << 28 << 1.0;
    QTest::newRow("BPM2 current 4: word 31 unscaled") << 27 << 1 << 31 << 1.0;
}

void TestFftCalculator::columnAndScale()
{
    QFETCH(int, source);
    QFETCH(int, bpm);
    QFETCH(int, word);
    QFETCH(double, scale);

    const double scaleX[2] = {2.0, 3.0};
    const double scaleY[2] = {5.0, 11.0};
    const int n = 1024;
    const auto records = makeRecords(n, word, sine(1.0, 40, n));

    QCOMPARE(FftCalculator::column(source, bpm), word);
    QCOMPARE(FftCalculator::scaleFactor(word, scaleX, scaleY), scale);

    FftCalculator calc;
    QCPGraphDataContainer out;
    calc.compute(records.data(), n, bpm, settingsFor(n, source, true, false), 1000.0, scaleX, scaleY, out);

    QCOMPARE(out.size(), n / 2 + 1);
    QVERIFY2(std::abs(valueAt(out, 40) - scale) < 1e-9, qPrintable(QString::number(valueAt(out, 40))));
    QVERIFY(std::abs(valueAt(out, 0)) < 1e-9);
    QVERIFY(std::abs(valueAt(out, 41)) < 1e-9);
}

void TestFftCalculator::lastCumulativePoint()
{
    const int n = 8192;
    FftCalculator calc;

    // Two bin-centred sines: the last point is the signal's RMS.
    {
        const double a1 = 1.5, a2 = 0.25;
        const auto records = makeRecords(n, 0, [&](int i) {
            return a1 * std::sin(2.0 * PI * 10 * i / n) + a2 * std::cos(2.0 * PI * 300 * i / n);
        });
        QCPGraphDataContainer out;
        calc.compute(records.data(), n, 0, settingsFor(n, 0, false, true), 1000.0, UNIT_SCALE, UNIT_SCALE, out);
        QCOMPARE(out.size(), n / 2);
        const double rms = std::sqrt((a1 * a1 + a2 * a2) / 2.0);
        QVERIFY(std::abs(valueAt(out, out.size() - 1) - rms) < 1e-9);
        // Flat below the first line, at a1's RMS between the two.
        QVERIFY(std::abs(valueAt(out, 8)) < 1e-9);
        QVERIFY(std::abs(valueAt(out, 100) - a1 / std::sqrt(2.0)) < 1e-9);
    }

    // Any signal: the root of half the summed squared plain amplitudes, bins 1 to N/2.
    {
        const std::vector<double> x = randomSignal(n, 99);
        const auto records = makeRecords(n, 0, [&](int i) { return x[size_t(i)]; });
        QCPGraphDataContainer plain;
        QCPGraphDataContainer cumulative;
        calc.compute(records.data(), n, 0, settingsFor(n, 0, false, false), 1000.0, UNIT_SCALE, UNIT_SCALE, plain);
        calc.compute(records.data(), n, 0, settingsFor(n, 0, false, true), 1000.0, UNIT_SCALE, UNIT_SCALE,
                     cumulative);
        double sum = 0.0;
        for (int k = 1; k <= n / 2; ++k)
            sum += valueAt(plain, k) * valueAt(plain, k);
        QVERIFY(std::abs(valueAt(cumulative, cumulative.size() - 1) - std::sqrt(0.5 * sum)) < 1e-9);
    }
}

void TestFftCalculator::usesNewestRecords()
{
    // Older records hold a different sine; only the newest N count.
    const int count = 10000;
    const int n = 1024;
    const auto records = makeRecords(count, 1, [&](int i) {
        return i < count - n ? 50.0 * std::sin(2.0 * PI * 7 * i / n) : 0.5 * std::sin(2.0 * PI * 9 * i / n);
    });
    FftCalculator calc;
    QCPGraphDataContainer out;
    calc.compute(records.data(), count, 0, settingsFor(n, 1, false, false), 1000.0, UNIT_SCALE, UNIT_SCALE, out);
    QCOMPARE(out.size(), n / 2 + 1);
    QVERIFY(std::abs(valueAt(out, 9) - 0.5) < 1e-9);
    QVERIFY(std::abs(valueAt(out, 7)) < 1e-9);
}

void TestFftCalculator::lengthAboveRecords_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<bool>("cumulative");

    QTest::newRow("N 8192 over 1024 records, plain") << 1024 << false;
    QTest::newRow("N 8192 over 2048 records, cumulative") << 2048 << true;
    QTest::newRow("N 8192 over 4096 records, plain") << 4096 << false;
    QTest::newRow("N 8192 over 3000 records, plain") << 3000 << false;
}

void TestFftCalculator::lengthAboveRecords()
{
    QFETCH(int, records);
    QFETCH(bool, cumulative);

    // Exactly `records` on the heap: a read past the block shows under the address sanitizer.
    const auto block = makeRecords(records, 24, sine(0.8, 50, records));
    FftCalculator calc;
    QCPGraphDataContainer out;
    calc.compute(block.data(), records, 0, settingsFor(8192, 24, false, cumulative), 1000.0, UNIT_SCALE,
                 UNIT_SCALE, out);

    // The spectrum of all records read, at their own resolution.
    const int points = cumulative ? records / 2 : records / 2 + 1;
    const int first = cumulative ? 1 : 0;
    QCOMPARE(out.size(), points);
    QCOMPARE(keyAt(out, 0), first * 1000.0 / records);
    QCOMPARE(keyAt(out, out.size() - 1), (records / 2) * 1000.0 / records);
    const int line = 50 - first;
    if (cumulative) {
        QVERIFY(std::abs(valueAt(out, out.size() - 1) - 0.8 / std::sqrt(2.0)) < 1e-9);
        QVERIFY(std::abs(valueAt(out, line - 1)) < 1e-9);
    } else {
        QVERIFY(std::abs(valueAt(out, line) - 0.8) < 1e-9);
    }
    QCOMPARE(calc.plannedLength(), records);
}

void TestFftCalculator::emptyWhenNothingSound_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("bpm");
    QTest::addColumn<double>("sampFreq");
    QTest::addColumn<bool>("cumulative");

    const double nan = std::nan("");
    QTest::newRow("sample rate 0, plain") << 2048 << 1024 << 1 << 0 << 0.0 << false;
    QTest::newRow("sample rate 0, cumulative") << 2048 << 1024 << 1 << 0 << 0.0 << true;
    QTest::newRow("sample rate -1000") << 2048 << 1024 << 1 << 0 << -1000.0 << false;
    QTest::newRow("sample rate NaN") << 2048 << 1024 << 1 << 0 << nan << false;
    QTest::newRow("no records") << 0 << 1024 << 1 << 0 << 1000.0 << false;
    QTest::newRow("length 0") << 2048 << 0 << 1 << 0 << 1000.0 << false;
    QTest::newRow("negative length") << 2048 << -8 << 1 << 0 << 1000.0 << false;
    QTest::newRow("BPM2 of column 28 is past the record") << 2048 << 1024 << 28 << 1 << 1000.0 << false;
    QTest::newRow("negative column") << 2048 << 1024 << -1 << 0 << 1000.0 << false;
}

void TestFftCalculator::emptyWhenNothingSound()
{
    QFETCH(int, records);
    QFETCH(int, length);
    QFETCH(int, source);
    QFETCH(int, bpm);
    QFETCH(double, sampFreq);
    QFETCH(bool, cumulative);

    const auto block = makeRecords(records, 1, sine(1.0, 5, 64));
    FftCalculator calc;
    QCPGraphDataContainer out;
    out.add(QCPGraphData(1.0, 2.0));  // last tick's spectrum must go
    calc.compute(block.data(), records, bpm, settingsFor(length, source, false, cumulative), sampFreq, UNIT_SCALE,
                 UNIT_SCALE, out);
    QVERIFY(out.isEmpty());
}

void TestFftCalculator::lengthOfOne()
{
    const auto block = makeRecords(16, 1, [](int i) { return 0.5 * i; });
    FftCalculator calc;
    QCPGraphDataContainer out;
    calc.compute(block.data(), 16, 0, settingsFor(1, 1, false, false), 1000.0, UNIT_SCALE, UNIT_SCALE, out);
    QCOMPARE(out.size(), 1);
    QCOMPARE(keyAt(out, 0), 0.0);
    QCOMPARE(valueAt(out, 0), 2.0 * 7.5);  // the newest record only

    calc.compute(block.data(), 16, 0, settingsFor(1, 1, false, true), 1000.0, UNIT_SCALE, UNIT_SCALE, out);
    QVERIFY(out.isEmpty());
}

void TestFftCalculator::lengthChangeReplans()
{
    const auto block = makeRecords(8192, 0, sine(1.0, 8, 64));
    FftCalculator calc;
    QCOMPARE(calc.plannedLength(), 0);

    for (int length : {8192, 64, 64, 8192, 128}) {
        QCPGraphDataContainer out;
        calc.compute(block.data(), 8192, 0, settingsFor(length, 0, false, false), 1000.0, UNIT_SCALE, UNIT_SCALE,
                     out);
        QCOMPARE(calc.plannedLength(), length);
        QCOMPARE(out.size(), length / 2 + 1);
        // The sine has 8 periods in 64 samples: bin 8 of 64, 16 of 128, 1024 of 8192.
        const int line = 8 * length / 64;
        QVERIFY2(std::abs(valueAt(out, line) - 1.0) < 1e-9, qPrintable(QString("length %1").arg(length)));
    }
}

void TestFftCalculator::realFftSizes_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("stages");

    QTest::newRow("2") << 2 << 2 << 0;
    QTest::newRow("8") << 8 << 8 << 2;
    QTest::newRow("1024") << 1024 << 1024 << 9;
    QTest::newRow("12 is no power of two") << 12 << 0 << 0;
    QTest::newRow("1 is too short") << 1 << 0 << 0;
    QTest::newRow("0") << 0 << 0 << 0;
    QTest::newRow("-8") << -8 << 0 << 0;
}

void TestFftCalculator::realFftSizes()
{
    QFETCH(int, n);
    QFETCH(int, size);
    QFETCH(int, stages);

    RealFft fft(n);
    QCOMPARE(fft.size(), size);
    QCOMPARE(fft.stages(), stages);
    QCOMPARE(int(fft.real().size()), size);
    QCOMPARE(int(fft.imag().size()), size);
    if (size == 0) {
        // An empty transform takes nothing and gives nothing.
        const float pairs[4] = {1, 2, 3, 4};
        fft.load(pairs);
        fft.transform();
        QCOMPARE(fft.magnitude(1), 0.0f);
    }
}

void TestFftCalculator::realFftBitReverse()
{
    RealFft fft(8);
    const int expected[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    for (int i = 0; i < 8; ++i)
        QCOMPARE(fft.bitReverse(i), expected[i]);
    RealFft two(2);
    QCOMPARE(two.bitReverse(0), 0);
    QCOMPARE(two.bitReverse(1), 1);
}

void TestFftCalculator::realFftTransformMatchesDft()
{
    for (int n : {2, 4, 16, 256}) {
        std::mt19937 gen(static_cast<unsigned>(n));
        std::uniform_real_distribution<float> dist(-1.0f, 2.0f);
        std::vector<float> pairs(static_cast<size_t>(2 * n));
        for (auto& v : pairs)
            v = dist(gen);

        // Expected: the DFT of the samples with each part's mean removed.
        std::vector<std::complex<double>> z(static_cast<size_t>(n));
        std::complex<double> mean;
        for (int i = 0; i < n; ++i) {
            z[size_t(i)] = {pairs[size_t(2 * i)], pairs[size_t(2 * i + 1)]};
            mean += z[size_t(i)];
        }
        mean /= double(n);
        for (auto& v : z)
            v -= mean;
        const auto expected = directDft(z);

        RealFft fft(n);
        fft.load(pairs.data());
        fft.transform();
        for (int k = 0; k < n; ++k) {
            QVERIFY2(std::abs(fft.real()[size_t(k)] - expected[size_t(k)].real()) < 1e-4 * n,
                     qPrintable(QString("n %1 re %2").arg(n).arg(k)));
            QVERIFY2(std::abs(fft.imag()[size_t(k)] - expected[size_t(k)].imag()) < 1e-4 * n,
                     qPrintable(QString("n %1 im %2").arg(n).arg(k)));
        }
    }
}

void TestFftCalculator::realFftMagnitudeOfRealSignal()
{
    // 2N real samples packed as N complex ones: magnitudes of bins 1 to N-1.
    const int n = 32;
    const std::vector<double> x = randomSignal(2 * n, 5);
    const auto expected = directDft(x);

    std::vector<float> pairs(x.begin(), x.end());
    RealFft fft(n);
    fft.load(pairs.data());
    fft.transform();
    for (int k = 1; k < n; ++k) {
        const double want = std::abs(expected[size_t(k)]);
        QVERIFY2(std::abs(fft.magnitude(k) - want) < 1e-4 * (1.0 + want),
                 qPrintable(QString("bin %1: %2 vs %3").arg(k).arg(fft.magnitude(k)).arg(want)));
    }
    QCOMPARE(fft.magnitude(0), 0.0f);
    QCOMPARE(fft.magnitude(n), 0.0f);

    // A bin-centred cosine of amplitude 2 over 2N samples: magnitude N x 2.
    std::vector<float> cosine(static_cast<size_t>(2 * n));
    for (int t = 0; t < 2 * n; ++t)
        cosine[size_t(t)] = float(2.0 * std::cos(2.0 * PI * 5 * t / (2 * n)));
    fft.load(cosine.data());
    fft.transform();
    QVERIFY(std::abs(fft.magnitude(5) - 2.0f * n) < 1e-3f);
    QVERIFY(std::abs(fft.magnitude(6)) < 1e-3f);
}

QTEST_GUILESS_MAIN(TestFftCalculator)
#include "tst_fftcalculator.moc"
