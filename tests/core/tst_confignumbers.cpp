// How the configuration store reads and writes numbers, on a file in a
// temporary directory: any finite number reads as the file holds it, whatever a
// field can show of it; a stored value that is not a number (empty, text, NaN,
// infinite, a fraction where a whole number belongs) reads as missing with a
// Warn line that names the key; a file that cannot be read gives every key as
// unread; numbers are written in their shortest form; an ROC percentage the
// store wrote reads back as it was given.
#include <QtTest>

#include <QDir>
#include <QTemporaryDir>

#include <cmath>
#include <functional>
#include <memory>

#include "ConfigSettings.h"
#include "Globals.h"
#include "StartUp.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"

Q_DECLARE_METATYPE(std::function<double(const ConfigSettings&, QStringList*)>)

class TestConfigNumbers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LogCapture::install(); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath(QStringLiteral("config.ini"));
        LogCapture::clear();
    }
    void cleanup() { m_dir.reset(); }

    void storedValueReadsAsTheFileHoldsIt_data();
    void storedValueReadsAsTheFileHoldsIt();
    void rocPercentAsStored_data();
    void rocPercentAsStored();
    void rocPercentReadsBackAsSaved();
    void rocPercentReadsBackThroughTheFile_data();
    void rocPercentReadsBackThroughTheFile();
    void unreadableFileListsEveryKey();
    void startUpTakesTheStoredScales();
    void numbersWrittenInShortestForm_data();
    void numbersWrittenInShortestForm();

private:
    QString writeFile(const QByteArray& content) const
    {
        TestFiles::put(m_path, content);
        return m_path;
    }
    QByteArray readFile() const { return TestFiles::contents(m_path); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestConfigNumbers::storedValueReadsAsTheFileHoldsIt_data()
{
    using Read = std::function<double(const ConfigSettings&, QStringList*)>;
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Read>("read");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("unread");  // empty: the value was usable (or absent)
    QTest::addColumn<QString>("named");   // the key the Warn line names

    const Read scaleX = [](const ConfigSettings& c, QStringList* u) { return c.getScaleX(0, u); };
    const Read scaleY2 = [](const ConfigSettings& c, QStringList* u) { return c.getScaleY(1, u); };
    const Read offsetX = [](const ConfigSettings& c, QStringList* u) { return c.getOffsetX(0, u); };
    const Read orient = [](const ConfigSettings& c, QStringList* u) { return double(c.getOrient(0, u)); };
    const Read top = [](const ConfigSettings& c, QStringList* u) {
        int t = 9, r = 9, b = 9, l = 9;
        c.getQuadrants(&t, &r, &b, &l, 0, u);
        return double(t);
    };
    auto limits = [](int field, int bpm) {
        return Read([field, bpm](const ConfigSettings& c, QStringList* u) {
            double v[5] = {-1, -1, -1, -1, -1};
            c.loadROCandROI(&v[0], &v[1], &v[2], &v[3], &v[4], bpm, u);
            return v[field];
        });
    };
    const Read threshold = [](const ConfigSettings& c, QStringList* u) {
        double v = -1;
        c.getBeamOffTh(&v, 0, u);
        return v;
    };
    auto pid = [](int field) {
        return Read([field](const ConfigSettings& c, QStringList* u) {
            double v[10];
            c.loadPIDY(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9], u);
            return v[field];
        });
    };
    const Read dacX = [](const ConfigSettings& c, QStringList* u) {
        int x = 9, y = 9, i0 = 9;
        c.getDACmap(&x, &y, &i0, u);
        return double(x);
    };

    const Read dacY = [](const ConfigSettings& c, QStringList* u) {
        int x = 9, y = 9, i0 = 9;
        c.getDACmap(&x, &y, &i0, u);
        return double(y);
    };

    // Not a number: missing, the accessor's default, the key listed and logged.
    QTest::newRow("Scale_X nan") << QByteArray("[BPM1]\nScale_X=nan\n") << scaleX << 0.0 << "Scale_X" << "BPM1/Scale_X";
    QTest::newRow("Scale_X inf") << QByteArray("[BPM1]\nScale_X=inf\n") << scaleX << 0.0 << "Scale_X" << "BPM1/Scale_X";
    QTest::newRow("Scale_X empty") << QByteArray("[BPM1]\nScale_X=\n") << scaleX << 0.0 << "Scale_X" << "BPM1/Scale_X";
    QTest::newRow("Offset_X text") << QByteArray("[BPM1]\nOffset_X=abc\n") << offsetX << 0.0 << "Offset_X"
                                   << "BPM1/Offset_X";
    QTest::newRow("Offset_X with a comma reads as a list")
        << QByteArray("[BPM1]\nOffset_X=1,5\n") << offsetX << 0.0 << "Offset_X" << "BPM1/Offset_X";
    QTest::newRow("Orient 1.5 is no whole number") << QByteArray("[BPM1]\nOrient=1.5\n") << orient << 0.0
                                                   << "Orient" << "BPM1/Orient";
    QTest::newRow("Orient beyond int") << QByteArray("[BPM1]\nOrient=1e10\n") << orient << 0.0 << "Orient"
                                       << "BPM1/Orient";
    QTest::newRow("Top text gives the default 0") << QByteArray("[BPM1]\nTop=two\n") << top << 0.0 << "Top"
                                                  << "BPM1/Top";
    QTest::newRow("RoiX nan") << QByteArray("[ROCandROI]\nRoiX=nan\n") << limits(0, 0) << 0.0 << "RoiX"
                              << "ROCandROI/RoiX";
    QTest::newRow("BeamOffTh inf") << QByteArray("[ROCandROI]\nBeamOffTh=inf\n") << threshold << 0.0 << "BeamOffTh"
                                   << "ROCandROI/BeamOffTh";
    QTest::newRow("Kp -inf") << QByteArray("[PID_Y]\nKp=-inf\n") << pid(1) << 0.0 << "Kp" << "PID_Y/Kp";
    QTest::newRow("DAC_posY text gives its default 1") << QByteArray("[Beamline]\nDAC_posY=abc\n") << dacY << 1.0
                                                       << "DAC_posY" << "Beamline/DAC_posY";

    // Any finite number, as the file holds it: what a field can show is the window's business.
    QTest::newRow("Scale_X negative") << QByteArray("[BPM1]\nScale_X=-1000\n") << scaleX << -1000.0 << "" << "";
    QTest::newRow("Scale_Y above the field") << QByteArray("[BPM2]\nScale_Y=2e8\n") << scaleY2 << 2e8 << "" << "";
    QTest::newRow("Scale_X 0") << QByteArray("[BPM1]\nScale_X=0\n") << scaleX << 0.0 << "" << "";
    QTest::newRow("Scale_X at the field's top") << QByteArray("[BPM1]\nScale_X=1e8\n") << scaleX << 1e8 << "" << "";
    QTest::newRow("Offset_X below the field") << QByteArray("[BPM1]\nOffset_X=-20000\n") << offsetX << -20000.0
                                              << "" << "";
    QTest::newRow("Orient 7") << QByteArray("[BPM1]\nOrient=7\n") << orient << 7.0 << "" << "";
    QTest::newRow("Orient 1.0 is 1") << QByteArray("[BPM1]\nOrient=1.0\n") << orient << 1.0 << "" << "";
    QTest::newRow("Top 4") << QByteArray("[BPM1]\nTop=4\n") << top << 4.0 << "" << "";
    QTest::newRow("Top -1") << QByteArray("[BPM1]\nTop=-1\n") << top << -1.0 << "" << "";
    QTest::newRow("RoiY above 1000 um") << QByteArray("[ROCandROI2]\nRoiY=1500\n") << limits(1, 1) << 1500.0 << ""
                                        << "";
    QTest::newRow("RoiI0max 2 mA, above 1000 uA") << QByteArray("[ROCandROI]\nRoiI0max=2e-3\n") << limits(3, 0)
                                                  << 2e-3 << "" << "";
    QTest::newRow("RoiI0min negative") << QByteArray("[ROCandROI]\nRoiI0min=-1e-6\n") << limits(2, 0) << -1e-6
                                       << "" << "";
    QTest::newRow("RoiI0max 1 mA is the field's top") << QByteArray("[ROCandROI]\nRoiI0max=0.001\n")
                                                      << limits(3, 0) << 1e-3 << "" << "";
    QTest::newRow("BeamOffTh negative") << QByteArray("[ROCandROI]\nBeamOffTh=-5e-6\n") << threshold << -5e-6 << ""
                                        << "";
    QTest::newRow("Kp above the field") << QByteArray("[PID_Y]\nKp=1e9\n") << pid(1) << 1e9 << "" << "";
    QTest::newRow("Omax 100, above 99.99") << QByteArray("[PID_Y]\nOmax=100\n") << pid(7) << 100.0 << "" << "";
    QTest::newRow("Freq 2000") << QByteArray("[PID_Y]\nFreq=2000\n") << pid(0) << 2000.0 << "" << "";
    QTest::newRow("Offset 99, beyond the outputs") << QByteArray("[PID_Y]\nOffset=99\n") << pid(9) << 99.0 << ""
                                                   << "";
    QTest::newRow("Offset -13") << QByteArray("[PID_Y]\nOffset=-13\n") << pid(9) << -13.0 << "" << "";
    QTest::newRow("Ogain at the field's bottom") << QByteArray("[PID_Y]\nOgain=-90\n") << pid(8) << -90.0 << ""
                                                 << "";
    QTest::newRow("DAC_posX 7") << QByteArray("[Beamline]\nDAC_posX=7\n") << dacX << 7.0 << "" << "";
    QTest::newRow("an absent key is its default, not unread") << QByteArray("[BPM1]\nOrient=1\n") << scaleX << 0.0
                                                              << "" << "";
    QTest::newRow("an absent DAC_posY is its default 1") << QByteArray("[Beamline]\nDAC_posX=2\n") << dacY << 1.0
                                                         << "" << "";
}

// Never clamped into a field, which a later save would write back, and never a
// number made up for one that is not: a value that is not a number reads as
// missing, says so in the log with the key, and the caller learns which key.
void TestConfigNumbers::storedValueReadsAsTheFileHoldsIt()

{
    using Read = std::function<double(const ConfigSettings&, QStringList*)>;
    QFETCH(QByteArray, file);
    QFETCH(Read, read);
    QFETCH(double, value);
    QFETCH(QString, unread);
    QFETCH(QString, named);

    QVERIFY(!writeFile(file).isEmpty());
    const ConfigSettings config(m_path);
    QStringList unreadKeys;
    QCOMPARE(read(config, &unreadKeys), value);
    QCOMPARE(unreadKeys, unread.isEmpty() ? QStringList() : QStringList{unread});
    // Without a list the value is the same.
    QCOMPARE(read(config, nullptr), value);
    QCOMPARE(readFile(), file);

    if (named.isEmpty()) {
        QTest::qWait(50);
        QCOMPARE(LogCapture::messagesAt(QsLogging::Warn), QStringList());
        return;
    }
    QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Warn).size(), 2);
    const QString warning = LogCapture::messagesAt(QsLogging::Warn).at(0);
    QVERIFY2(warning.contains(named + QStringLiteral(" holds")), qPrintable(warning));
    QVERIFY2(warning.contains(QStringLiteral("reads as missing")), qPrintable(warning));
}

void TestConfigNumbers::rocPercentAsStored_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<double>("percent");
    QTest::addColumn<bool>("unread");

    QTest::newRow("80 %, below the ROI itself") << QByteArray("[ROCandROI]\nRoiX=100\nRocX=80\n") << 80.0 << false;
    QTest::newRow("5000 %") << QByteArray("[ROCandROI]\nRoiX=1\nRocX=50\n") << 5000.0 << false;
    QTest::newRow("RocX nan, Y gives 110") << QByteArray("[ROCandROI]\nRoiX=10\nRocX=nan\nRoiY=10\nRocY=11\n")
                                           << 110.0 << false;
    QTest::newRow("X gives 80 before Y's 200") << QByteArray("[ROCandROI]\nRoiX=10\nRocX=8\nRoiY=10\nRocY=20\n")
                                               << 80.0 << false;
    QTest::newRow("1000 %") << QByteArray("[ROCandROI]\nRoiX=2\nRocX=20\n") << 1000.0 << false;
    QTest::newRow("a negative half-width on a negative ROI") << QByteArray("[ROCandROI]\nRoiX=-10\nRocX=-12\n")
                                                             << 120.0 << false;
    QTest::newRow("nothing stored: missing, not unread") << QByteArray("[ROCandROI]\nRoiX=10\n") << 0.0 << false;
    QTest::newRow("0 on an ROI of 0 fits any percentage") << QByteArray("[ROCandROI]\nRoiX=0\nRocX=0\n") << 0.0
                                                          << false;
    QTest::newRow("a half-width on an ROI of 0 gives none") << QByteArray("[ROCandROI]\nRoiX=0\nRocX=10\n") << 0.0
                                                            << true;
    QTest::newRow("a half-width without its ROI gives none") << QByteArray("[ROCandROI]\nRocX=5\n") << 0.0 << true;
    QTest::newRow("RocX text, no Y") << QByteArray("[ROCandROI]\nRoiX=10\nRocX=wide\n") << 0.0 << true;
}

void TestConfigNumbers::rocPercentAsStored()
{
    QFETCH(QByteArray, file);
    QFETCH(double, percent);
    QFETCH(bool, unread);

    QVERIFY(!writeFile(file).isEmpty());
    double x = -1, y = -1, lo = -1, hi = -1, result = -1;
    QStringList unreadKeys;
    ConfigSettings(m_path).loadROCandROI(&x, &y, &lo, &hi, &result, 0, &unreadKeys);
    QCOMPARE(result, percent);
    QCOMPARE(unreadKeys.contains(QStringLiteral("RocX")), unread);
    if (unread) {
        QTRY_VERIFY(!LogCapture::messagesAt(QsLogging::Warn).isEmpty());
        QVERIFY(LogCapture::messagesAt(QsLogging::Warn).last().contains("ROCandROI/RocX"));
    }
}

// What saveROCandROI writes for a percentage the ROC field can hold, over the
// ROI half-widths the roiX field can hold, gives that percentage back exactly:
// the same arithmetic as the store, through the shortest text it writes.
void TestConfigNumbers::rocPercentReadsBackAsSaved()
{
    auto readBack = [](double roi, double percent) {
        const double roc = ConfigSettings::numberText(roi * percent / 100.0).toDouble();
        return ConfigSettings::rocPercentOf(roc, ConfigSettings::numberText(roi).toDouble());
    };
    QStringList wrong;
    // Every ROI of the field (0.01 to 1000 um in steps of 0.01) at both ends of the ROC field.
    for (int hundredths = 1; hundredths <= 100000; ++hundredths) {
        const double roi = hundredths / 100.0;
        for (double percent : {100.0, 1000.0})
            if (readBack(roi, percent) != percent && wrong.size() < 10)
                wrong << QStringLiteral("%1 % of %2 um").arg(percent).arg(roi);
    }
    // Every percentage of the field over ROIs spread across its range.
    for (int step = 0; step < 400; ++step) {
        const double roi = std::round(std::pow(10.0, -2.0 + 5.0 * step / 399.0) * 100.0) / 100.0;
        for (int percent = 100; percent <= 1000; ++percent)
            if (readBack(roi, percent) != percent && wrong.size() < 10)
                wrong << QStringLiteral("%1 % of %2 um").arg(percent).arg(roi);
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
    QVERIFY(std::isnan(ConfigSettings::rocPercentOf(10.0, 0.0)));
    QVERIFY(std::isnan(ConfigSettings::rocPercentOf(0.0, 0.0)));
}

void TestConfigNumbers::rocPercentReadsBackThroughTheFile_data()
{
    QTest::addColumn<int>("bpm");
    QTest::addColumn<double>("roiX");
    QTest::addColumn<double>("roiY");
    QTest::addColumn<double>("percent");

    // RocX / RoiX x 100 comes out a last bit off for these without rounding.
    QTest::newRow("1000 % of 0.47 um, 1000.0000000000002") << 0 << 0.47 << 0.47 << 1000.0;
    QTest::newRow("1000 % of 0.07 um, 999.9999999999998") << 1 << 0.07 << 1.0 << 1000.0;
    QTest::newRow("110 % of 0.29 um, 110.00000000000001") << 1 << 0.29 << 0.29 << 110.0;
    QTest::newRow("100 % of 999.99 um") << 0 << 999.99 << 0.01 << 100.0;
    QTest::newRow("80 %, below the field") << 0 << 100.0 << 50.0 << 80.0;
    QTest::newRow("roiX 0: Y gives it back") << 0 << 0.0 << 50.0 << 120.0;
}

void TestConfigNumbers::rocPercentReadsBackThroughTheFile()
{
    QFETCH(int, bpm);
    QFETCH(double, roiX);
    QFETCH(double, roiY);
    QFETCH(double, percent);

    ConfigSettings config(m_path);
    QVERIFY(config.saveROCandROI(bpm, roiX, roiY, 0.0, 1e-4, percent));
    double x = -1, y = -1, lo = -1, hi = -1, result = -1;
    QStringList unread;
    config.loadROCandROI(&x, &y, &lo, &hi, &result, bpm, &unread);
    QCOMPARE(result, percent);
    QCOMPARE(x, roiX);
    QCOMPARE(y, roiY);
    QCOMPARE(unread, QStringList());
}

void TestConfigNumbers::unreadableFileListsEveryKey()
{
    // A folder where the file should be cannot be read, whoever runs the test.
    QVERIFY(QDir().mkdir(m_path));
    const ConfigSettings config(m_path);
    QStringList unread;
    QCOMPARE(config.getScaleX(0, &unread), 0.0);
    QCOMPARE(config.getOrient(0, &unread), 0);
    double p[10];
    config.loadPIDX(&p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7], &p[8], &p[9], &unread);
    QCOMPARE(unread, QStringList({"Scale_X", "Orient", "Freq", "Kp", "Ki", "Kd", "emin", "Imax", "Omin", "Omax",
                                  "Ogain", "Offset"}));

    // One line per read, naming the file and the keys.
    QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Warn).size(), 3);
    const QString pidLine = LogCapture::messagesAt(QsLogging::Warn).at(2);
    QVERIFY2(pidLine.contains(QDir::toNativeSeparators(m_path)), qPrintable(pidLine));
    QVERIFY2(pidLine.contains(QStringLiteral("cannot be read")), qPrintable(pidLine));
    QVERIFY2(pidLine.contains(QStringLiteral("PID_X/Kp")), qPrintable(pidLine));
}

// Every position is scaled by what the file holds: a negative or a large scale
// as stored; one that is missing or not a number gives 0.
void TestConfigNumbers::startUpTakesTheStoredScales()
{
    QVERIFY(!writeFile("[BPM1]\nScale_X=-2.5\nScale_Y=2e8\n[BPM2]\nScale_X=nan\n").isEmpty());
    ConfigSettings config(m_path);
    StartUp::loadScaleFactors(config);
    const double scales[4] = {POS_SCALE_X[0], POS_SCALE_Y[0], POS_SCALE_X[1], POS_SCALE_Y[1]};
    for (int b = 0; b < 2; ++b)
        POS_SCALE_X[b] = POS_SCALE_Y[b] = 1.0;
    QCOMPARE(scales[0], -2.5);
    QCOMPARE(scales[1], 2e8);
    QCOMPARE(scales[2], 0.0);
    QCOMPARE(scales[3], 0.0);
    QTRY_VERIFY(!LogCapture::messagesAt(QsLogging::Warn).isEmpty());
    QVERIFY(LogCapture::messagesAt(QsLogging::Warn).at(0).contains("BPM2/Scale_X"));
}

void TestConfigNumbers::numbersWrittenInShortestForm_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("200 uA") << 0.0002 << QByteArray("RoiI0max=0.0002\n");
    QTest::newRow("10 uA") << 1e-05 << QByteArray("RoiI0max=1e-05\n");
    QTest::newRow("0.1 + 0.2 keeps its last digit") << 0.1 + 0.2 << QByteArray("RoiI0max=0.30000000000000004\n");
    QTest::newRow("a whole number") << 1000.0 << QByteArray("RoiI0max=1000\n");
}

void TestConfigNumbers::numbersWrittenInShortestForm()
{
    QFETCH(double, value);
    QFETCH(QByteArray, text);

    ConfigSettings config(m_path);
    QVERIFY(config.saveROCandROI(0, 10, 10, 0, value, 100));
    QVERIFY2(readFile().contains(text), readFile().constData());
    double x, y, lo, hi = -1, percent;
    // Read back exactly, also beyond what the I0 field shows.
    config.loadROCandROI(&x, &y, &lo, &hi, &percent, 0);
    QCOMPARE(hi, value);
}

QTEST_GUILESS_MAIN(TestConfigNumbers)
#include "tst_confignumbers.moc"
