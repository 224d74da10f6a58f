// The configuration store, on a file in a temporary directory.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <unistd.h>

#include <cmath>
#include <functional>
#include <memory>

#include "ConfigSettings.h"
#include "support/LogCapture.h"

class TestConfigSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void defaultsOfMissingFile();
    void bpmRoundTrip_data();
    void bpmRoundTrip();
    void limitsRoundTrip_data();
    void limitsRoundTrip();
    void rocPercentWithoutRoiX_data();
    void rocPercentWithoutRoiX();
    void rocEnables();
    void pidRoundTrip_data();
    void pidRoundTrip();
    void pidNonFiniteReadsAsMissing_data();
    void pidNonFiniteReadsAsMissing();
    void pidEnableAndMaps();
    void iirWithoutSizeKey();
    void iirReadsTenWhateverTheFileSays();
    void removeIIR();
    void hasIIRIsCaseSensitive();
    void otherBpmIndexTouchesNothing();

    void corruptFileIsCopiedBeforeFirstWrite_data();
    void corruptFileIsCopiedBeforeFirstWrite();
    void corruptAgainGetsANewCopy();
    void corruptFileWithoutPossibleCopyIsReported();
    void corruptFileBackedUpOnceOverManySaves();
    void earlierCopyOfTheSameContentIsKept();
    void commentedFileIsCopiedOnce_data();
    void commentedFileIsCopiedOnce();
    void plainFileGetsNoCopy();
    void fileProblem_data();
    void fileProblem();
    void refusedWriteIsLogged_data();
    void refusedWriteIsLogged();

private:
    QString writeFile(const QByteArray& content) const;
    QByteArray readFile() const;
    QStringList corruptCopies() const;
    QStringList commentCopies() const;
    QVariant rawValue(const QString& key) const;
    bool reportsFormatError() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

Q_DECLARE_METATYPE(std::function<bool(ConfigSettings&)>)

namespace {
// QSettings cannot parse a line without "="; a rewrite would drop it.
const QByteArray CORRUPT = "[BPM1]\nOrient=1\nScale_X=2.5\nthis line has no equals sign\n[Beamline]\nDAC_posX=3\n";
const QByteArray UNTERMINATED_GROUP = "[BPM1\nOrient=1\nScale_X=2.5\n[Beamline]\nDAC_posX=3\n";
}  // namespace

void TestConfigSettings::initTestCase()
{
    LogCapture::install();
}

void TestConfigSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("config.ini"));
    LogCapture::clear();
}

void TestConfigSettings::cleanup()
{
    if (m_dir)
        QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_dir.reset();
}

QString TestConfigSettings::writeFile(const QByteArray& content) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    file.write(content);
    return m_path;
}

QByteArray TestConfigSettings::readFile() const
{
    QFile file(m_path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList TestConfigSettings::corruptCopies() const
{
    return QDir(m_dir->path()).entryList({QStringLiteral("config.ini.corrupt-*")}, QDir::Files, QDir::Name);
}

QStringList TestConfigSettings::commentCopies() const
{
    return QDir(m_dir->path()).entryList({QStringLiteral("config.ini.with-comments-*")}, QDir::Files, QDir::Name);
}

QVariant TestConfigSettings::rawValue(const QString& key) const
{
    return QSettings(m_path, QSettings::IniFormat).value(key);
}

// Sections are parsed on first use: list the keys before asking for the status.
bool TestConfigSettings::reportsFormatError() const
{
    QSettings settings(m_path, QSettings::IniFormat);
    settings.allKeys();
    return settings.status() == QSettings::FormatError;
}

void TestConfigSettings::defaultsOfMissingFile()
{
    ConfigSettings config(m_path);

    int a = -1, b = -1, c = -1, d = -1;
    config.getDACmap(&a, &b, &c);
    QCOMPARE(QList<int>({a, b, c}), QList<int>({0, 1, 2}));
    config.getBPMmap(&a, &b, &c);
    QCOMPARE(QList<int>({a, b, c}), QList<int>({0, 0, 0}));
    config.getPIDenable(&a, &b, &c);
    QCOMPARE(QList<int>({a, b, c}), QList<int>({0, 0, 0}));

    for (int bpm = 0; bpm < 2; ++bpm) {
        QCOMPARE(config.getOrient(bpm), 0);
        QCOMPARE(config.getScaleX(bpm), 0.0);
        QCOMPARE(config.getScaleY(bpm), 0.0);
        QCOMPARE(config.getOffsetX(bpm), 0.0);
        QCOMPARE(config.getOffsetY(bpm), 0.0);
        a = b = c = d = -1;
        config.getQuadrants(&a, &b, &c, &d, bpm);
        QCOMPARE(QList<int>({a, b, c, d}), QList<int>({0, 0, 0, 0}));
        double x = -1, y = -1, lo = -1, hi = -1, percent = -1, th = -1;
        config.loadROCandROI(&x, &y, &lo, &hi, &percent, bpm);
        QCOMPARE(QList<double>({x, y, lo, hi, percent}), QList<double>({0, 0, 0, 0, 0}));
        config.getBeamOffTh(&th, bpm);
        QCOMPARE(th, 0.0);
    }

    double p[10];
    std::fill(p, p + 10, -1.0);
    config.loadPIDI0(&p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7], &p[8], &p[9]);
    for (double v : p)
        QCOMPARE(v, 0.0);

    double iir[6][10];
    std::fill(&iir[0][0], &iir[0][0] + 60, -1.0);
    config.loadIIR(iir[0], iir[1], iir[2], iir[3], iir[4], iir[5]);
    for (int i = 0; i < 6; ++i)
        for (int k = 0; k < 10; ++k)
            QCOMPARE(iir[i][k], 0.0);
    QVERIFY(!config.hasIIR());

    // Reading never creates the file.
    QVERIFY(!QFile::exists(m_path));
}

void TestConfigSettings::bpmRoundTrip_data()
{
    QTest::addColumn<int>("bpm");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("otherGroup");

    QTest::newRow("bpm 0 is BPM1") << 0 << "BPM1" << "BPM2";
    QTest::newRow("bpm 1 is BPM2") << 1 << "BPM2" << "BPM1";
}

void TestConfigSettings::bpmRoundTrip()
{
    QFETCH(int, bpm);
    QFETCH(QString, group);
    QFETCH(QString, otherGroup);

    ConfigSettings config(m_path);
    config.setOrient(1, bpm);
    config.setScaleX(bpm, 12.5);
    config.setScaleY(bpm, 0.03125);
    config.setOffsetX(bpm, 1.25e-3);
    config.setOffsetY(bpm, -7.0);
    config.setQuadrants(3, 2, 1, 0, bpm);

    QCOMPARE(config.getOrient(bpm), 1);
    QCOMPARE(config.getScaleX(bpm), 12.5);
    QCOMPARE(config.getScaleY(bpm), 0.03125);
    QCOMPARE(config.getOffsetX(bpm), 1.25e-3);
    QCOMPARE(config.getOffsetY(bpm), -7.0);
    int t = -1, r = -1, b = -1, l = -1;
    config.getQuadrants(&t, &r, &b, &l, bpm);
    QCOMPARE(QList<int>({t, r, b, l}), QList<int>({3, 2, 1, 0}));

    // The keys the file holds, under their group.
    QCOMPARE(rawValue(group + "/Orient").toInt(), 1);
    QCOMPARE(rawValue(group + "/Scale_X").toDouble(), 12.5);
    QCOMPARE(rawValue(group + "/Scale_Y").toDouble(), 0.03125);
    QCOMPARE(rawValue(group + "/Offset_X").toDouble(), 1.25e-3);
    QCOMPARE(rawValue(group + "/Offset_Y").toDouble(), -7.0);
    QCOMPARE(rawValue(group + "/Top").toInt(), 3);
    QCOMPARE(rawValue(group + "/Right").toInt(), 2);
    QCOMPARE(rawValue(group + "/Bottom").toInt(), 1);
    QCOMPARE(rawValue(group + "/Left").toInt(), 0);
    QCOMPARE(QSettings(m_path, QSettings::IniFormat).childGroups(), QStringList({group}));
    QVERIFY(!rawValue(otherGroup + "/Orient").isValid());
}

void TestConfigSettings::limitsRoundTrip_data()
{
    QTest::addColumn<int>("bpm");
    QTest::addColumn<QString>("group");

    QTest::newRow("bpm 0 is ROCandROI") << 0 << "ROCandROI";
    QTest::newRow("bpm 1 is ROCandROI2") << 1 << "ROCandROI2";
}

void TestConfigSettings::limitsRoundTrip()
{
    QFETCH(int, bpm);
    QFETCH(QString, group);

    ConfigSettings config(m_path);
    config.saveROCandROI(bpm, 100.0, 50.0, 1e-9, 2.5e-6, 80.0);
    config.setBeamOffTh(bpm, 3e-10);

    // RocX and RocY hold the half-widths, not the percentage.
    QCOMPARE(rawValue(group + "/RoiX").toDouble(), 100.0);
    QCOMPARE(rawValue(group + "/RoiY").toDouble(), 50.0);
    QCOMPARE(rawValue(group + "/RoiI0min").toDouble(), 1e-9);
    QCOMPARE(rawValue(group + "/RoiI0max").toDouble(), 2.5e-6);
    QCOMPARE(rawValue(group + "/RocX").toDouble(), 80.0);
    QCOMPARE(rawValue(group + "/RocY").toDouble(), 40.0);
    QCOMPARE(rawValue(group + "/BeamOffTh").toDouble(), 3e-10);
    QCOMPARE(QSettings(m_path, QSettings::IniFormat).childGroups(), QStringList({group}));

    double x = 0, y = 0, lo = 0, hi = 0, percent = 0, th = 0;
    config.loadROCandROI(&x, &y, &lo, &hi, &percent, bpm);
    QCOMPARE(x, 100.0);
    QCOMPARE(y, 50.0);
    QCOMPARE(lo, 1e-9);
    QCOMPARE(hi, 2.5e-6);
    QCOMPARE(percent, 80.0);
    config.getBeamOffTh(&th, bpm);
    QCOMPARE(th, 3e-10);
}

void TestConfigSettings::rocPercentWithoutRoiX_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<double>("percent");

    QTest::newRow("RoiX 0, RoiY 50, RocY 40: Y gives 80")
        << QByteArray("[ROCandROI]\nRoiX=0\nRocX=0\nRoiY=50\nRocY=40\n") << 80.0;
    QTest::newRow("RoiX 0 with RocX 10, RoiY 0: 0")
        << QByteArray("[ROCandROI]\nRoiX=0\nRocX=10\nRoiY=0\nRocY=5\n") << 0.0;
    QTest::newRow("RoiX missing, RocX present: 0") << QByteArray("[ROCandROI]\nRocX=5\n") << 0.0;
    QTest::newRow("RoiX missing, RoiY 20, RocY 25: Y gives 125")
        << QByteArray("[ROCandROI]\nRoiY=20\nRocY=25\n") << 125.0;
    QTest::newRow("group missing: 0") << QByteArray("[Beamline]\nDAC_posX=1\n") << 0.0;
    QTest::newRow("RoiX tiny, RocX huge overflows: Y gives 150")
        << QByteArray("[ROCandROI]\nRoiX=1e-300\nRocX=1e300\nRoiY=10\nRocY=15\n") << 150.0;
}

void TestConfigSettings::rocPercentWithoutRoiX()
{
    QFETCH(QByteArray, file);
    QFETCH(double, percent);

    QVERIFY(!writeFile(file).isEmpty());
    ConfigSettings config(m_path);
    double x = -1, y = -1, lo = -1, hi = -1, result = -1;
    config.loadROCandROI(&x, &y, &lo, &hi, &result, 0);
    QVERIFY(std::isfinite(result));
    QCOMPARE(result, percent);
}

void TestConfigSettings::rocEnables()
{
    ConfigSettings config(m_path);
    config.saveROCenables(true, false, true, false, true, false);
    QCOMPARE(rawValue("ROCandROI/RocXenable").toBool(), true);
    QCOMPARE(rawValue("ROCandROI/RocYenable").toBool(), false);
    QCOMPARE(rawValue("ROCandROI/BeamOffEnable").toBool(), true);
    QCOMPARE(rawValue("ROCandROI2/RocXenable").toBool(), false);
    QCOMPARE(rawValue("ROCandROI2/RocYenable").toBool(), true);
    QCOMPARE(rawValue("ROCandROI2/BeamOffEnable").toBool(), false);
    QVERIFY(rawValue("ROCandROI2/BeamOffEnable").isValid());
}

void TestConfigSettings::pidRoundTrip_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("group");

    QTest::newRow("savePIDX to PID_X") << 0 << "PID_X";
    QTest::newRow("savePIDY to PID_Y") << 1 << "PID_Y";
    QTest::newRow("savePIDI0 to PID_I0") << 2 << "PID_I0";
}

void TestConfigSettings::pidRoundTrip()
{
    QFETCH(int, channel);
    QFETCH(QString, group);

    using Save = bool (ConfigSettings::*)(double, double, double, double, double, double, double, double, double,
                                          double);
    using Load = void (ConfigSettings::*)(double*, double*, double*, double*, double*, double*, double*, double*,
                                          double*, double*, QStringList*) const;
    const Save saves[3] = {&ConfigSettings::savePIDX, &ConfigSettings::savePIDY, &ConfigSettings::savePIDI0};
    const Load loads[3] = {&ConfigSettings::loadPIDX, &ConfigSettings::loadPIDY, &ConfigSettings::loadPIDI0};
    const char* const keys[10] = {"Freq", "Kp", "Ki", "Kd", "emin", "Imax", "Omin", "Omax", "Ogain", "Offset"};
    const double v[10] = {1000.0, 0.5, 0.025, 1.5, 1e-3, 10.0, -12.0, 12.0, 0.75, 0.125 * (channel + 1)};

    ConfigSettings config(m_path);
    (config.*saves[channel])(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]);

    for (int i = 0; i < 10; ++i)
        QCOMPARE(rawValue(group + "/" + keys[i]).toDouble(), v[i]);
    QCOMPARE(QSettings(m_path, QSettings::IniFormat).childGroups(), QStringList({group}));

    double r[10];
    (config.*loads[channel])(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], &r[7], &r[8], &r[9], nullptr);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(r[i], v[i]);

    // The other channels still read 0.
    for (int other = 0; other < 3; ++other) {
        if (other == channel)
            continue;
        (config.*loads[other])(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], &r[7], &r[8], &r[9], nullptr);
        for (double value : r)
            QCOMPARE(value, 0.0);
    }
}

void TestConfigSettings::pidNonFiniteReadsAsMissing_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("index");

    QTest::newRow("Kp=nan") << QByteArray("Kp=nan") << 1;
    QTest::newRow("Ki=inf") << QByteArray("Ki=inf") << 2;
    QTest::newRow("Omin=-inf") << QByteArray("Omin=-inf") << 6;
    QTest::newRow("Freq=NaN") << QByteArray("Freq=NaN") << 0;
    QTest::newRow("Ogain=1e999 overflows") << QByteArray("Ogain=1e999") << 8;
}

// A hand-edited value that is not a finite number must not reach the
// controller as a gain or a limit: it reads as missing, the others as written.
void TestConfigSettings::pidNonFiniteReadsAsMissing()
{
    QFETCH(QByteArray, line);
    QFETCH(int, index);

    const char* const keys[10] = {"Freq", "Kp", "Ki", "Kd", "emin", "Imax", "Omin", "Omax", "Ogain", "Offset"};
    const double written[10] = {500, 1, 2, 3, 4, 5, -6, 7, 8, 9};
    QByteArray content = "[PID_Y]\n";
    for (int i = 0; i < 10; ++i)
        content += (i == index ? line : QByteArray(keys[i]) + "=" + QByteArray::number(written[i])) + "\n";
    QVERIFY(!writeFile(content).isEmpty());

    double r[10];
    ConfigSettings(m_path).loadPIDY(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], &r[7], &r[8], &r[9]);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(r[i], i == index ? 0.0 : written[i]);
}

void TestConfigSettings::pidEnableAndMaps()
{
    QVERIFY(!writeFile("[PID_X]\nenable=1\n[PID_Y]\nenable=0\n[PID_I0]\nenable=1\n").isEmpty());
    ConfigSettings config(m_path);
    int x = -1, y = -1, i0 = -1;
    config.getPIDenable(&x, &y, &i0);
    QCOMPARE(QList<int>({x, y, i0}), QList<int>({1, 0, 1}));

    config.setDACmap(3, 0, 1);
    config.setBPMmap(1, 0, 1);
    config.getDACmap(&x, &y, &i0);
    QCOMPARE(QList<int>({x, y, i0}), QList<int>({3, 0, 1}));
    config.getBPMmap(&x, &y, &i0);
    QCOMPARE(QList<int>({x, y, i0}), QList<int>({1, 0, 1}));
    QCOMPARE(rawValue("Beamline/DAC_posX").toInt(), 3);
    QCOMPARE(rawValue("Beamline/DAC_posY").toInt(), 0);
    QCOMPARE(rawValue("Beamline/DAC_I0").toInt(), 1);
    QCOMPARE(rawValue("Beamline/BPM_posX").toInt(), 1);
    QCOMPARE(rawValue("Beamline/BPM_posY").toInt(), 0);
    QCOMPARE(rawValue("Beamline/BPM_I0").toInt(), 1);
    // The enables were left as they were.
    QCOMPARE(rawValue("PID_X/enable").toInt(), 1);
}

void TestConfigSettings::iirWithoutSizeKey()
{
    double in[6][10];
    for (int i = 0; i < 6; ++i)
        for (int k = 0; k < 10; ++k)
            in[i][k] = (i + 1) * 100.0 + k + 0.5;

    ConfigSettings config(m_path);
    config.saveIIR(in[0], in[1], in[2], in[3], in[4], in[5]);
    QVERIFY(config.hasIIR());

    const QSettings raw(m_path, QSettings::IniFormat);
    QVERIFY(!raw.contains("IIR_X/a/size"));
    QVERIFY(!raw.contains("IIR_X/b/size"));
    QVERIFY(!readFile().contains("size"));
    const char* const groups[3] = {"IIR_X", "IIR_Y", "IIR_I0"};
    for (int g = 0; g < 3; ++g)
        for (int k = 0; k < 10; ++k) {
            QCOMPARE(raw.value(QString("%1/a/%2/val").arg(groups[g]).arg(k + 1)).toDouble(), in[2 * g][k]);
            QCOMPARE(raw.value(QString("%1/b/%2/val").arg(groups[g]).arg(k + 1)).toDouble(), in[2 * g + 1][k]);
        }
    QCOMPARE(raw.allKeys().size(), 60);

    double out[6][10];
    std::fill(&out[0][0], &out[0][0] + 60, -1.0);
    config.loadIIR(out[0], out[1], out[2], out[3], out[4], out[5]);
    for (int i = 0; i < 6; ++i)
        for (int k = 0; k < 10; ++k)
            QCOMPARE(out[i][k], in[i][k]);
}

void TestConfigSettings::iirReadsTenWhateverTheFileSays()
{
    // A size key of 3 and only some entries: ten are read, missing ones 0.
    QVERIFY(!writeFile("[IIR_X]\na\\size=3\na\\1\\val=1.5\na\\7\\val=7.5\na\\10\\val=10.5\nb\\2\\val=-2\n").isEmpty());
    ConfigSettings config(m_path);
    double iir[6][10];
    std::fill(&iir[0][0], &iir[0][0] + 60, -1.0);
    config.loadIIR(iir[0], iir[1], iir[2], iir[3], iir[4], iir[5]);
    const double a[10] = {1.5, 0, 0, 0, 0, 0, 7.5, 0, 0, 10.5};
    const double b[10] = {0, -2, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int k = 0; k < 10; ++k) {
        QCOMPARE(iir[0][k], a[k]);
        QCOMPARE(iir[1][k], b[k]);
        for (int i = 2; i < 6; ++i)
            QCOMPARE(iir[i][k], 0.0);
    }
}

void TestConfigSettings::removeIIR()
{
    const double c[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ConfigSettings config(m_path);
    config.setOrient(1, 0);
    config.saveIIR(c, c, c, c, c, c);
    QVERIFY(config.hasIIR());

    config.removeIIR();
    QVERIFY(!config.hasIIR());
    QCOMPARE(QSettings(m_path, QSettings::IniFormat).allKeys(), QStringList({"BPM1/Orient"}));
}

void TestConfigSettings::hasIIRIsCaseSensitive()
{
    QVERIFY(!writeFile("[iir_x]\na\\1\\val=1\n[IIR_Y]\na\\1\\val=1\n").isEmpty());
    QVERIFY(!ConfigSettings(m_path).hasIIR());
    QVERIFY(!writeFile("[IIR_X]\na\\1\\val=1\n").isEmpty());
    QVERIFY(ConfigSettings(m_path).hasIIR());
}

void TestConfigSettings::otherBpmIndexTouchesNothing()
{
    QVERIFY(!writeFile("[BPM1]\nOrient=1\n[BPM2]\nOrient=1\n[ROCandROI]\nRoiX=5\n").isEmpty());
    const QByteArray before = readFile();
    ConfigSettings config(m_path);
    for (int bpm : {-1, 2}) {
        config.setOrient(0, bpm);
        config.setScaleX(bpm, 9.0);
        config.setQuadrants(1, 1, 1, 1, bpm);
        config.saveROCandROI(bpm, 1, 1, 1, 1, 1);
        config.setBeamOffTh(bpm, 1.0);
        QCOMPARE(config.getOrient(bpm), 0);
        double x = -1, y = -1, lo = -1, hi = -1, percent = -1;
        config.loadROCandROI(&x, &y, &lo, &hi, &percent, bpm);
        QCOMPARE(x, 0.0);
        QCOMPARE(percent, 0.0);
    }
    QCOMPARE(readFile(), before);
}

void TestConfigSettings::corruptFileIsCopiedBeforeFirstWrite_data()
{
    QTest::addColumn<QByteArray>("file");

    QTest::newRow("line without =") << CORRUPT;
    QTest::newRow("unterminated group") << UNTERMINATED_GROUP;
    // QSettings takes no "#" for a comment: without "=" the line cannot be parsed.
    QTest::newRow("a # note") << QByteArray("[BPM1]\nOrient=1\nScale_X=2.5\n# measured 2026-03-01\n[Beamline]\nDAC_posX=3\n");
}

void TestConfigSettings::corruptFileIsCopiedBeforeFirstWrite()
{
    QFETCH(QByteArray, file);

    QVERIFY(!writeFile(file).isEmpty());
    QVERIFY(reportsFormatError());

    ConfigSettings config(m_path);
    // Reading is harmless: no copy, the file unchanged. It also leaves the
    // parsed file in QSettings' cache, whose later objects report no error.
    QCOMPARE(config.getOrient(0), 1);
    QCOMPARE(config.getScaleX(0), 2.5);
    QVERIFY(corruptCopies().isEmpty());
    QCOMPARE(readFile(), file);

    config.setScaleY(0, 4.0);
    const QStringList copies = corruptCopies();
    QCOMPARE(copies.size(), 1);
    QVERIFY2(QRegularExpression("^config\\.ini\\.corrupt-\\d{8}-\\d{6}$").match(copies[0]).hasMatch(),
             qPrintable(copies[0]));
    QFile copy(m_dir->filePath(copies[0]));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), file);

    // The write went through, and the parsable keys survived.
    QCOMPARE(config.getScaleY(0), 4.0);
    QCOMPARE(config.getOrient(0), 1);
    int x = -1, y = -1, i0 = -1;
    config.getDACmap(&x, &y, &i0);
    QCOMPARE(x, 3);

    QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Warn).size(), 1);
    const QString warning = LogCapture::messagesAt(QsLogging::Warn).at(0);
    QVERIFY2(warning.contains(copies[0]), qPrintable(warning));
    QVERIFY2(warning.contains(QDir::toNativeSeparators(m_path)), qPrintable(warning));

    // Later writes make no further copy.
    config.setOrient(0, 0);
    config.saveROCandROI(0, 1, 1, 0, 1, 50);
    QCOMPARE(corruptCopies().size(), 1);
}

void TestConfigSettings::corruptAgainGetsANewCopy()
{
    ConfigSettings config(m_path);
    QVERIFY(!writeFile(CORRUPT).isEmpty());
    QVERIFY(reportsFormatError());
    config.setOrient(0, 0);
    QCOMPARE(corruptCopies().size(), 1);

    // Spoiled again by hand: a second copy beside the first, the first kept.
    const QByteArray second = "[PID_X]\nKp=0.5\nbroken line\n";
    QVERIFY(!writeFile(second).isEmpty());
    QVERIFY(reportsFormatError());
    config.savePIDX(1, 2, 3, 4, 5, 6, 7, 8, 9, 10);
    const QStringList copies = corruptCopies();
    QCOMPARE(copies.size(), 2);
    QList<QByteArray> contents;
    for (const QString& name : copies) {
        QFile f(m_dir->filePath(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        contents << f.readAll();
    }
    QVERIFY(contents.contains(CORRUPT));
    QVERIFY(contents.contains(second));
    QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Warn).size(), 2);
}

void TestConfigSettings::corruptFileWithoutPossibleCopyIsReported()
{
    if (::geteuid() == 0)
        QSKIP("root writes into a read-only directory");
    QVERIFY(!writeFile(CORRUPT).isEmpty());
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner));

    ConfigSettings config(m_path);
    config.setOrient(0, 0);
    config.removeIIR();
    QCOMPARE(readFile(), CORRUPT);
    QVERIFY(corruptCopies().isEmpty());
    QTRY_VERIFY(!LogCapture::messagesAt(QsLogging::Error).isEmpty());
}

// Every dialog's save writes several times; a session saves many times. One
// copy of what the file held is enough, and a later save must not add another.
void TestConfigSettings::corruptFileBackedUpOnceOverManySaves()
{
    QVERIFY(!writeFile(CORRUPT).isEmpty());
    for (int save = 0; save < 7; ++save) {
        ConfigSettings config(m_path);
        config.setOrient(save % 2, 0);
        config.setScaleX(0, 100.0 + save);
        config.setQuadrants(0, 1, 2, 3, 0);
        config.saveROCandROI(0, 10, 10, 0, 1e-4, 110);
        config.setBeamOffTh(0, 1e-6);
        config.savePIDX(100, 1, 0, 0, 0, 0, -1, 1, 1, 0);
    }
    const QStringList copies = corruptCopies();
    QCOMPARE(copies.size(), 1);
    QFile copy(m_dir->filePath(copies[0]));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), CORRUPT);
    QVERIFY(commentCopies().isEmpty());
    QCOMPARE(ConfigSettings(m_path).getScaleX(0), 106.0);
}

// A later run of the program finds the file as the earlier one left it (say a
// write failed): the copy that run made is the one kept, not a second.
void TestConfigSettings::earlierCopyOfTheSameContentIsKept()
{
    QVERIFY(!writeFile(CORRUPT).isEmpty());
    const QString earlier = m_dir->filePath(QStringLiteral("config.ini.corrupt-20200101-000000"));
    QFile copy(earlier);
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write(CORRUPT);
    copy.close();

    ConfigSettings config(m_path);
    QVERIFY(config.setScaleY(0, 4.0));
    QCOMPARE(corruptCopies(), QStringList({"config.ini.corrupt-20200101-000000"}));
    QCOMPARE(config.getScaleY(0), 4.0);
    QTRY_VERIFY(!LogCapture::messagesAt(QsLogging::Info).isEmpty());
    QVERIFY2(LogCapture::messagesAt(QsLogging::Info).last().contains(QDir::toNativeSeparators(earlier)),
             qPrintable(LogCapture::messagesAt(QsLogging::Info).last()));
}

void TestConfigSettings::commentedFileIsCopiedOnce_data()
{
    QTest::addColumn<QByteArray>("file");

    QTest::newRow("a line starting with ;")
        << QByteArray("; Beamline 7, set up by the vendor\n[BPM1]\nScale_X=2.5\n[Beamline]\nDAC_posX=3\n");
    QTest::newRow("a comment after a value") << QByteArray("[BPM1]\nScale_X=2.5 ; from the survey\n");
    QTest::newRow("an indented comment") << QByteArray("[PID_X]\n   ; tuned by hand\nKp=0.5\n");
}

// QSettings drops comments when it writes: the first save keeps the file as it
// was beside it, the next saves find it already kept, and the settings in it
// read as before.
void TestConfigSettings::commentedFileIsCopiedOnce()
{
    QFETCH(QByteArray, file);

    QVERIFY(!writeFile(file).isEmpty());
    ConfigSettings config(m_path);
    QVERIFY(config.setOrient(1, 1));
    QVERIFY(!readFile().contains(';'));
    for (int save = 0; save < 5; ++save) {
        QVERIFY(config.setScaleY(1, save));
        QVERIFY(ConfigSettings(m_path).setOffsetX(1, save));
    }
    const QStringList copies = commentCopies();
    QCOMPARE(copies.size(), 1);
    QVERIFY2(QRegularExpression("^config\\.ini\\.with-comments-\\d{8}-\\d{6}$").match(copies[0]).hasMatch(),
             qPrintable(copies[0]));
    QFile copy(m_dir->filePath(copies[0]));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), file);
    QVERIFY(corruptCopies().isEmpty());
    QCOMPARE(config.getOrient(1), 1);

    QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Info).size(), 1);
    const QString line = LogCapture::messagesAt(QsLogging::Info).at(0);
    QVERIFY2(line.contains(QDir::toNativeSeparators(m_dir->filePath(copies[0]))), qPrintable(line));
    QVERIFY2(line.contains("comments"), qPrintable(line));

    // Comments written in again by hand are kept again, beside the first copy.
    QVERIFY(!writeFile("; second note\n" + readFile()).isEmpty());
    QVERIFY(config.setScaleY(1, 9.0));
    QCOMPARE(commentCopies().size(), 2);
}

void TestConfigSettings::plainFileGetsNoCopy()
{
    QVERIFY(!writeFile("[Beamline]\nDAC_posX=3\n[BPM1]\nScale_X=2.5\nOrient=1\n").isEmpty());
    ConfigSettings config(m_path);
    QVERIFY(config.setScaleY(0, 4.0));
    QVERIFY(config.setOrient(0, 0));
    QVERIFY(commentCopies().isEmpty());
    QVERIFY(corruptCopies().isEmpty());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList({"config.ini"}));
}

void TestConfigSettings::fileProblem_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem");

    QTest::newRow("readable file") << "good" << "";
    QTest::newRow("empty file") << "empty" << "";
    QTest::newRow("missing file") << "missing" << "is missing";
    QTest::newRow("a directory cannot be read") << "directory" << "cannot be read";
    QTest::newRow("line without =") << "corrupt" << "cannot be parsed";
    QTest::newRow("unterminated group") << "unterminated" << "cannot be parsed";
}

void TestConfigSettings::fileProblem()
{
    QFETCH(QString, kind);
    QFETCH(QString, problem);

    if (kind == "good")
        QVERIFY(!writeFile("[BPM1]\nScale_X=2.5\n").isEmpty());
    else if (kind == "empty")
        QVERIFY(!writeFile("").isEmpty());
    else if (kind == "directory")
        QVERIFY(QDir().mkdir(m_path));
    else if (kind == "corrupt")
        QVERIFY(!writeFile(CORRUPT).isEmpty());
    else if (kind == "unterminated")
        QVERIFY(!writeFile(UNTERMINATED_GROUP).isEmpty());

    QCOMPARE(ConfigSettings(m_path).fileProblem(), problem);
    // Looking changes nothing and logs nothing.
    QVERIFY(corruptCopies().isEmpty());
    QCOMPARE(LogCapture::messagesAt(QsLogging::Warn), QStringList());
}

void TestConfigSettings::refusedWriteIsLogged_data()
{
    QTest::addColumn<std::function<bool(ConfigSettings&)>>("write");

    using W = std::function<bool(ConfigSettings&)>;
    QTest::newRow("setScaleX") << W([](ConfigSettings& c) { return c.setScaleX(0, 1.0); });
    QTest::newRow("setQuadrants") << W([](ConfigSettings& c) { return c.setQuadrants(0, 1, 2, 3, 1); });
    QTest::newRow("saveROCandROI") << W([](ConfigSettings& c) { return c.saveROCandROI(1, 100, 50, 0, 1, 80); });
    QTest::newRow("saveROCenables") << W([](ConfigSettings& c) { return c.saveROCenables(true, true, true, 0, 0, 0); });
    QTest::newRow("savePIDI0") << W([](ConfigSettings& c) { return c.savePIDI0(1, 2, 3, 4, 5, 6, 7, 8, 9, 10); });
    QTest::newRow("setDACmap") << W([](ConfigSettings& c) { return c.setDACmap(1, 2, 3); });
    QTest::newRow("setBPMmap") << W([](ConfigSettings& c) { return c.setBPMmap(1, 1, 1); });
    QTest::newRow("saveIIR") << W([](ConfigSettings& c) {
        const double a[10] = {}, b[10] = {};
        return c.saveIIR(a, b, a, b, a, b);
    });
}

void TestConfigSettings::refusedWriteIsLogged()
{
    QFETCH(std::function<bool(ConfigSettings&)>, write);

    // A plain file where the folder should be: no file can be made below it,
    // whoever runs the test.
    const QString blocker = m_dir->filePath(QStringLiteral("not-a-folder"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString path = blocker + QStringLiteral("/config.ini");
    ConfigSettings config(path);

    // The caller learns it, to tell the operator.
    QVERIFY(!write(config));

    QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Warn).size(), 1);
    const QString warning = LogCapture::messagesAt(QsLogging::Warn).at(0);
    QVERIFY2(warning.contains(QDir::toNativeSeparators(path)), qPrintable(warning));
    QVERIFY2(warning.contains(QStringLiteral("could not be written")), qPrintable(warning));

    // A write that the file system takes logs nothing.
    LogCapture::clear();
    ConfigSettings fine(m_path);
    QVERIFY(write(fine));
    QVERIFY(QFile::exists(m_path));
    QTest::qWait(50);
    QCOMPARE(LogCapture::messagesAt(QsLogging::Warn), QStringList());
}

QTEST_GUILESS_MAIN(TestConfigSettings)
#include "tst_configsettings.moc"
