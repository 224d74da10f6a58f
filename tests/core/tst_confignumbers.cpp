// How the configuration store reads and writes numbers, on a file in a
// temporary directory: a stored value that is not finite, not a number or
// outside its field's range reads as missing with a Warn line that names the key;
// a file that cannot be read gives every key as unread; numbers are written in
// their shortest form.
#include <QtTest>

#include <QDir>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include "ConfigSettings.h"
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

    void unusableValueReadsAsMissing_data();
    void unusableValueReadsAsMissing();
    void rocPercentOutsideItsField_data();
    void rocPercentOutsideItsField();
    void unreadableFileListsEveryKey();
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

void TestConfigNumbers::unusableValueReadsAsMissing_data()
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

    QTest::newRow("Scale_X nan") << QByteArray("[BPM1]\nScale_X=nan\n") << scaleX << 0.0 << "Scale_X" << "BPM1/Scale_X";
    QTest::newRow("Scale_X inf") << QByteArray("[BPM1]\nScale_X=inf\n") << scaleX << 0.0 << "Scale_X" << "BPM1/Scale_X";
    QTest::newRow("Scale_X negative, which no field shows")
        << QByteArray("[BPM1]\nScale_X=-1000\n") << scaleX << 0.0 << "Scale_X" << "BPM1/Scale_X";
    QTest::newRow("Scale_Y above the field") << QByteArray("[BPM2]\nScale_Y=2e8\n") << scaleY2 << 0.0 << "Scale_Y"
                                             << "BPM2/Scale_Y";
    QTest::newRow("Scale_X 0 is a value") << QByteArray("[BPM1]\nScale_X=0\n") << scaleX << 0.0 << "" << "";
    QTest::newRow("Scale_X at the field's top") << QByteArray("[BPM1]\nScale_X=1e8\n") << scaleX << 1e8 << "" << "";
    QTest::newRow("Offset_X below the field")
        << QByteArray("[BPM1]\nOffset_X=-20000\n") << offsetX << 0.0 << "Offset_X" << "BPM1/Offset_X";
    QTest::newRow("Offset_X text") << QByteArray("[BPM1]\nOffset_X=abc\n") << offsetX << 0.0 << "Offset_X"
                                   << "BPM1/Offset_X";
    QTest::newRow("Offset_X with a comma reads as a list")
        << QByteArray("[BPM1]\nOffset_X=1,5\n") << offsetX << 0.0 << "Offset_X" << "BPM1/Offset_X";
    QTest::newRow("Orient 7 selects nothing") << QByteArray("[BPM1]\nOrient=7\n") << orient << -1.0 << "Orient"
                                              << "BPM1/Orient";
    QTest::newRow("Orient 1.5 selects nothing") << QByteArray("[BPM1]\nOrient=1.5\n") << orient << -1.0
                                                << "Orient" << "BPM1/Orient";
    QTest::newRow("Top 4 selects nothing") << QByteArray("[BPM1]\nTop=4\n") << top << -1.0 << "Top" << "BPM1/Top";
    QTest::newRow("RoiX nan") << QByteArray("[ROCandROI]\nRoiX=nan\n") << limits(0, 0) << 0.0 << "RoiX"
                              << "ROCandROI/RoiX";
    QTest::newRow("RoiY above 1000 um") << QByteArray("[ROCandROI2]\nRoiY=1500\n") << limits(1, 1) << 0.0 << "RoiY"
                                        << "ROCandROI2/RoiY";
    QTest::newRow("RoiI0max 2 mA, above 1000 uA")
        << QByteArray("[ROCandROI]\nRoiI0max=2e-3\n") << limits(3, 0) << 0.0 << "RoiI0max" << "ROCandROI/RoiI0max";
    QTest::newRow("RoiI0min negative")
        << QByteArray("[ROCandROI]\nRoiI0min=-1e-6\n") << limits(2, 0) << 0.0 << "RoiI0min" << "ROCandROI/RoiI0min";
    QTest::newRow("RoiI0max 1 mA is the field's top")
        << QByteArray("[ROCandROI]\nRoiI0max=0.001\n") << limits(3, 0) << 1e-3 << "" << "";
    QTest::newRow("BeamOffTh inf") << QByteArray("[ROCandROI]\nBeamOffTh=inf\n") << threshold << 0.0 << "BeamOffTh"
                                   << "ROCandROI/BeamOffTh";
    QTest::newRow("BeamOffTh negative") << QByteArray("[ROCandROI]\nBeamOffTh=-5e-6\n") << threshold << 0.0
                                        << "BeamOffTh" << "ROCandROI/BeamOffTh";
    QTest::newRow("Kp above the field") << QByteArray("[PID_Y]\nKp=1e9\n") << pid(1) << 0.0 << "Kp" << "PID_Y/Kp";
    QTest::newRow("Omax 100, above 99.99") << QByteArray("[PID_Y]\nOmax=100\n") << pid(7) << 0.0 << "Omax"
                                           << "PID_Y/Omax";
    QTest::newRow("Freq 5000") << QByteArray("[PID_Y]\nFreq=5000\n") << pid(0) << 0.0 << "Freq" << "PID_Y/Freq";
    QTest::newRow("Offset -13") << QByteArray("[PID_Y]\nOffset=-13\n") << pid(9) << 0.0 << "Offset"
                                << "PID_Y/Offset";
    QTest::newRow("Ogain at the field's bottom") << QByteArray("[PID_Y]\nOgain=-90\n") << pid(8) << -90.0 << ""
                                                 << "";
    QTest::newRow("DAC_posX 7 selects nothing") << QByteArray("[Beamline]\nDAC_posX=7\n") << dacX << -1.0
                                                << "DAC_posX" << "Beamline/DAC_posX";
    QTest::newRow("an absent key is its default, not unread") << QByteArray("[BPM1]\nOrient=1\n") << scaleX << 0.0
                                                              << "" << "";
}

// Never clamped into the field, which a later save would write back: it reads
// as missing, says so in the log with the key, and the caller learns which key.
void TestConfigNumbers::unusableValueReadsAsMissing()
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

void TestConfigNumbers::rocPercentOutsideItsField_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<double>("percent");
    QTest::addColumn<bool>("unread");

    QTest::newRow("80 %, below the ROI itself") << QByteArray("[ROCandROI]\nRoiX=100\nRocX=80\n") << 0.0 << true;
    QTest::newRow("5000 %") << QByteArray("[ROCandROI]\nRoiX=1\nRocX=50\n") << 0.0 << true;
    QTest::newRow("RocX nan, Y gives 110") << QByteArray("[ROCandROI]\nRoiX=10\nRocX=nan\nRoiY=10\nRocY=11\n")
                                           << 110.0 << false;
    QTest::newRow("X 80 %, Y gives 200") << QByteArray("[ROCandROI]\nRoiX=10\nRocX=8\nRoiY=10\nRocY=20\n")
                                         << 200.0 << false;
    QTest::newRow("1000 % is the field's top") << QByteArray("[ROCandROI]\nRoiX=2\nRocX=20\n") << 1000.0 << false;
    QTest::newRow("nothing stored: missing, not unread") << QByteArray("[ROCandROI]\nRoiX=10\n") << 0.0 << false;
}

void TestConfigNumbers::rocPercentOutsideItsField()
{
    QFETCH(QByteArray, file);
    QFETCH(double, percent);
    QFETCH(bool, unread);

    QVERIFY(!writeFile(file).isEmpty());
    double x = -1, y = -1, lo = -1, hi = -1, result = -1;
    QStringList unreadKeys;
    ConfigSettings(m_path).loadROCandROI(&x, &y, &lo, &hi, &result, 0, &unreadKeys);
    QVERIFY(qAbs(result - percent) <= 1e-12 * percent);
    QCOMPARE(unreadKeys.contains(QStringLiteral("RocX")), unread);
}

void TestConfigNumbers::unreadableFileListsEveryKey()
{
    // A folder where the file should be cannot be read, whoever runs the test.
    QVERIFY(QDir().mkdir(m_path));
    const ConfigSettings config(m_path);
    QStringList unread;
    QCOMPARE(config.getScaleX(0, &unread), 0.0);
    QCOMPARE(config.getOrient(0, &unread), -1);
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
    // Read back exactly; a value beyond its field's range is still written as given.
    config.loadROCandROI(&x, &y, &lo, &hi, &percent, 0);
    QCOMPARE(hi, value <= 1e-3 ? value : 0.0);
}

QTEST_GUILESS_MAIN(TestConfigNumbers)
#include "tst_confignumbers.moc"
