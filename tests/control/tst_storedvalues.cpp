// One stored value at a time, in a file where everything else is usable: what
// the configuration store gives for it, what the window that shows it shows
// (with its note), what the window's button sends to the simulated controller,
// and what the file holds afterwards. The values run from typical ones through
// the fields' limits to values just outside them, 80 % ROC, a negative scale,
// and values that are not numbers.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <cmath>
#include <optional>

#include "BPM.h"
#include "BeamlineConfChecks.h"
#include "ConfigSettings.h"
#include "Globals.h"
#include "Prompts.h"
#include "RocRoiChecks.h"
#include "SimControl.h"
#include "WidgetPIDparams.h"
#include "WidgetPidCtrl.h"
#include "WidgetRoc.h"
#include "WindowBeamlineConf.h"
#include "WindowROC_ROI.h"
#include "support/FormChild.h"
#include "support/ProgramFixture.h"
#include "support/TestFiles.h"

using FormChild::child;

namespace {

const QString DASH = QString::fromUtf8("\u2014");
const double NOTHING = std::nan("");  // the store gives the key as unread; nothing of it is sent

// Every group usable: BPM 1 at 90 degrees with four channels, its limits and three loops.
const QByteArray BASE = "[BPM1]\nOrient=1\nTop=0\nRight=1\nBottom=2\nLeft=3\nScale_X=1000\nScale_Y=1000\n"
                        "Offset_X=1\nOffset_Y=1\n"
                        "[ROCandROI]\nRoiX=100\nRoiY=50\nRoiI0min=0\nRoiI0max=0.0002\nRocX=110\nRocY=55\n"
                        "BeamOffTh=1e-06\n"
                        "[PID_X]\nFreq=500\nKp=0.5\nKi=0.25\nKd=0.125\nemin=1\nImax=50\nOmin=-10\nOmax=10\n"
                        "Ogain=-1\nOffset=1.5\n"
                        "[PID_Y]\nFreq=100\nKp=0.1\nKi=0.1\nKd=0\nemin=0\nImax=10\nOmin=-12\nOmax=12\nOgain=-1\n"
                        "Offset=0\n"
                        "[PID_I0]\nFreq=100\nKp=0\nKi=0\nKd=0\nemin=0\nImax=0\nOmin=-1\nOmax=1\nOgain=0\nOffset=0\n";

struct Row
{
    QString key;        // "PID_X/Freq"
    QByteArray stored;  // the text the file holds for it; then other keys of its group, "name=value" a line
    double store;       // what the store gives; NOTHING: unread
    QString field;      // the control that shows it
    QString shown;      // its text
    QString note;       // what the note says of it; empty: no note
    double sent;        // what the button sends of it; NOTHING: nothing of its loop or box
    QString after;      // the key's text in the file after the button
};

// The group and the name of a key.
QString groupOf(const QString& key) { return key.section('/', 0, 0); }
QString nameOf(const QString& key) { return key.section('/', 1); }

// The value the store gives for the key, through the accessor a window uses.
double storeGives(const ConfigSettings& config, const QString& key, QStringList* unread)
{
    const QString group = groupOf(key);
    const QString name = nameOf(key);
    if (group == "BPM1") {
        if (name == "Orient")
            return config.getOrient(0, unread);
        if (name == "Scale_X")
            return config.getScaleX(0, unread);
        if (name == "Offset_X")
            return config.getOffsetX(0, unread);
        int map[4];
        config.getQuadrants(&map[0], &map[1], &map[2], &map[3], 0, unread);
        return map[QStringList({"Top", "Right", "Bottom", "Left"}).indexOf(name)];
    }
    if (group == "ROCandROI") {
        double v[6];
        config.loadROCandROI(&v[0], &v[1], &v[2], &v[3], &v[4], 0, unread);
        config.getBeamOffTh(&v[5], 0, unread);
        return v[QStringList({"RoiX", "RoiY", "RoiI0min", "RoiI0max", "RocX", "BeamOffTh"}).indexOf(name)];
    }
    double p[10];
    config.loadPIDX(&p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7], &p[8], &p[9], unread);
    return p[QStringList({"Freq", "Kp", "Ki", "Kd", "emin", "Imax", "Omin", "Omax", "Ogain", "Offset"}).indexOf(name)];
}

// What reached the controller of the key, as the window sends it.
double sentOf(const QString& key)
{
    const SimControl::Sent s = SimControl::sent();
    const QString name = nameOf(key);
    if (groupOf(key) == "PID_X") {
        const SimControl::PidChannel& x = s.pid[0];
        const QMap<QString, double> sent{{"Freq", x.windAvg}, {"Kp", x.kp},     {"Ki", x.ki},
                                         {"Kd", x.kd},        {"emin", x.emin}, {"Imax", x.imax},
                                         {"Omin", x.omin},    {"Omax", x.omax}, {"Ogain", x.ogain},
                                         {"Offset", s.pidOffset[0]}};
        return sent.value(name);
    }
    if (groupOf(key) == "ROCandROI") {
        // The ROC X limit carries roiX and the percentage; the beam-off limit the threshold.
        return name == "BeamOffTh" ? s.rocHigh[2] : s.rocHigh[0];
    }
    if (name == "Orient")
        return s.orient[0];
    if (name == "Scale_X")
        return s.bpmScale[0][0];
    if (name == "Offset_X")
        return s.bpmOffset[0][0];
    return s.crossBar[0][QStringList({"Top", "Right", "Bottom", "Left"}).indexOf(name)];
}

// Calls that carry anything of the key's loop or box.
int callsFor(const QString& key)
{
    const QString group = groupOf(key);
    // A loop left out still has its offset sent with the others': not counted.
    if (group == "PID_X")
        return SimControl::callCount("setPIDparams", 0) + SimControl::callCount("setWindAvg", 0);
    if (group == "ROCandROI")
        return SimControl::callCount("setROClimits");
    return SimControl::callCount("setBPMorient") + SimControl::callCount("setBPMscale")
           + SimControl::callCount("setBPMoffset") + SimControl::callCount("setCrossBar");
}

QString shownText(QWidget* field)
{
    if (auto* spin = qobject_cast<QDoubleSpinBox*>(field))
        return spin->text();
    return static_cast<QComboBox*>(field)->currentText();
}

}  // namespace

Q_DECLARE_METATYPE(Row)

class TestStoredValues : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_program.emplace(ProgramFixture::Options().atUserLevel(USER_LEVEL_ADMIN).withSwVersion("1.0.03"));
        SimControl::setZentrimPresent(1, false);
    }
    void cleanup() { m_program.reset(); }

    void eachStoredValue_data();
    void eachStoredValue();

private:
    std::optional<ProgramFixture> m_program;
};

void TestStoredValues::eachStoredValue_data()
{
    QTest::addColumn<Row>("row");
    auto add = [](const char* name, const Row& row) { QTest::newRow(name) << row; };

    // PID editors: a value beyond an editor is clamped into it, with a note.
    add("Freq 500", {"PID_X/Freq", "500", 500, "curFreqBox", "500Hz", "", 200, "500"});
    add("Freq 1000, the top", {"PID_X/Freq", "1000", 1000, "curFreqBox", "1000Hz", "", 100, "1000"});
    add("Freq 1, the bottom", {"PID_X/Freq", "1", 1, "curFreqBox", "1Hz", "", 100000, "1"});
    add("Freq 2000 shows 1000", {"PID_X/Freq", "2000", 2000, "curFreqBox", "1000Hz", "PID_X/Freq = 2000", 100, "1000"});
    add("Freq 0 shows 1", {"PID_X/Freq", "0", 0, "curFreqBox", "1Hz", "PID_X/Freq = 0", 100000, "1"});
    add("Freq nan", {"PID_X/Freq", "nan", NOTHING, "curFreqBox", DASH, "Not read", NOTHING, "nan"});
    add("O max 99.99, the top", {"PID_X/Omax", "99.99", 99.99, "boxOmax", "99.99000", "", 99.99, "99.99"});
    add("O max 100 shows 99.99", {"PID_X/Omax", "100", 100, "boxOmax", "99.99000", "PID_X/Omax = 100", 99.99, "99.99"});
    add("O gain -91 shows -90", {"PID_X/Ogain", "-91", -91, "boxOgain", "-90.00000", "PID_X/Ogain = -91", -90, "-90"});
    add("Kp inf", {"PID_X/Kp", "inf", NOTHING, "boxKp", DASH, "Not read", NOTHING, "inf"});
    add("Kp finer than the editor", {"PID_X/Kp", "0.1234567", 0.1234567, "boxKp", "0.12346",
                                     "PID_X/Kp = 0.1234567", 0.12346, "0.12346"});
    add("Offset -12, the bottom", {"PID_X/Offset", "-12", -12, "offsetDoubleSpinBox", "-12.00", "", -12, "-12"});
    add("Offset 99 shows 12", {"PID_X/Offset", "99", 99, "offsetDoubleSpinBox", "12.00", "PID_X/Offset = 99", 12,
                               "12"});
    add("Offset text", {"PID_X/Offset", "abc", NOTHING, "offsetDoubleSpinBox", DASH, "Not read", NOTHING, "abc"});

    // ROC/ROI limits: the field shows its nearest value, with a note.
    add("roiX 100", {"ROCandROI/RoiX", "100", 100, "roiXDoubleSpinBox", "100.00 µm", "", 110, "100"});
    // With RocX at 110 % of it.
    add("roiX 1000, the top", {"ROCandROI/RoiX", "1000\nRocX=1100", 1000, "roiXDoubleSpinBox", "1000.00 µm", "",
                               1100, "1000"});
    add("roiX 1000.5 shows 1000", {"ROCandROI/RoiX", "1000.5\nRocX=1100.55", 1000.5, "roiXDoubleSpinBox",
                                   "1000.00 µm", "ROCandROI/RoiX = 1000.5", 1100, "1000"});
    add("roiX negative shows 0", {"ROCandROI/RoiX", "-5\nRocX=-5.5", -5, "roiXDoubleSpinBox", "0.00 µm",
                                  "ROCandROI/RoiX = -5", 0, "0"});
    add("roiX nan", {"ROCandROI/RoiX", "nan", NOTHING, "roiXDoubleSpinBox", DASH, "Not read", NOTHING, "nan"});
    add("ROC 80 % shows 100 %", {"ROCandROI/RocX", "80", 80, "rocFactorBox", "100% of ROI", "RocX is 80 %", 100,
                                 "100"});
    add("ROC 1000 %, the top", {"ROCandROI/RocX", "1000", 1000, "rocFactorBox", "1000% of ROI", "", 1000, "1000"});
    add("ROC 123.4 % shows 123 %", {"ROCandROI/RocX", "123.4", 123.4, "rocFactorBox", "123% of ROI",
                                    "RocX is 123.4 %", 123, "123"});
    add("ROC text", {"ROCandROI/RocX", "wide\nRocY=wide", NOTHING, "rocFactorBox", DASH, "Not read", NOTHING,
                     "wide"});
    add("I0 max 2 mA shows 1000 uA", {"ROCandROI/RoiI0max", "0.002", 0.002, "roiI0maxBox", "1000.000",
                                      "ROCandROI/RoiI0max = 0.002 A", 110, "0.001"});
    add("beam-off threshold negative shows 0", {"ROCandROI/BeamOffTh", "-3e-06", -3e-6, "beamOffTh", "0.000 uA",
                                                "ROCandROI/BeamOffTh = -3e-06 A", 0, "0"});
    add("beam-off threshold inf", {"ROCandROI/BeamOffTh", "inf", NOTHING, "beamOffTh", DASH, "Not read", NOTHING,
                                   "inf"});

    // Beamline configuration: a scale of 0 is refused, also one shown for a negative stored scale.
    add("X scaling 1000", {"BPM1/Scale_X", "1000", 1000, "xGain", "1000.000 µm", "", 1000, "1000"});
    add("X scaling 1e8, the top", {"BPM1/Scale_X", "1e8", 1e8, "xGain", "100000000.000 µm", "", 1e8, "100000000"});
    add("X scaling 2e8 shows 1e8", {"BPM1/Scale_X", "2e8", 2e8, "xGain", "100000000.000 µm",
                                    "BPM1/Scale_X = 200000000", 1e8, "100000000"});
    add("X scaling negative shows 0, refused", {"BPM1/Scale_X", "-2", -2, "xGain", "0.000 µm", "BPM1/Scale_X = -2",
                                                NOTHING, "-2"});
    add("X scaling nan", {"BPM1/Scale_X", "nan", NOTHING, "xGain", DASH, "Not read", NOTHING, "nan"});
    add("X offset -10000, the bottom", {"BPM1/Offset_X", "-10000", -10000, "xOffset", "-10000.000 µm", "", -10000,
                                        "-10000"});
    add("X offset -10001 shows -10000", {"BPM1/Offset_X", "-10001", -10001, "xOffset", "-10000.000 µm",
                                         "BPM1/Offset_X = -10001", -10000, "-10000"});
    add("X offset text", {"BPM1/Offset_X", "far", NOTHING, "xOffset", DASH, "Not read", NOTHING, "far"});
    add("Orient 7 keeps 90", {"BPM1/Orient", "7", 7, "BPMorientation", QString::fromUtf8("90\u00B0"),
                              "BPM1/Orient = 7", 1, "1"});
    add("Orient 0 is 45", {"BPM1/Orient", "0", 0, "BPMorientation", QString::fromUtf8("45\u00B0"), "", 0, "0"});
    add("Top channel 7 shows none, refused", {"BPM1/Top", "7", 7, "BPM90_top", "", "BPM1/Top = 7", NOTHING, "7"});
    // Ch 4 for top and left: the operator is asked, and the test's answer is Yes.
    add("Top channel 3 repeats Left's", {"BPM1/Top", "3", 3, "BPM90_top", "Ch 4", "", 3, "3"});
}

void TestStoredValues::eachStoredValue()
{
    QFETCH(Row, row);
    QByteArray file = BASE;
    const QByteArray group = "[" + groupOf(row.key).toLatin1() + "]\n";
    QList<QByteArray> lines = row.stored.split('\n');
    lines[0] = nameOf(row.key).toLatin1() + "=" + lines[0];
    for (const QByteArray& keyLine : lines) {
        // The key's line within its own group.
        const QByteArray name = keyLine.left(keyLine.indexOf('='));
        const qsizetype start = file.indexOf(group);
        const qsizetype line = file.indexOf("\n" + name + "=", start);
        QVERIFY(start >= 0 && line > start);
        const qsizetype end = file.indexOf('\n', line + 1);
        file.replace(line + 1, end - line - 1, keyLine);
    }
    TestFiles::put(m_program->configPath(), file);

    // The store: the number as the file holds it, or unread.
    QStringList unread;
    const double given = storeGives(*m_program->config, row.key, &unread);
    if (std::isnan(row.store)) {
        QVERIFY2(unread.contains(nameOf(row.key)), qPrintable(unread.join(",")));
    } else {
        QCOMPARE(unread, QStringList());
        QCOMPARE(given, row.store);
    }

    // The window: what it shows and its note, then its button.
    std::unique_ptr<QWidget> window;
    QWidget* form = nullptr;
    const QString kind = groupOf(row.key);
    if (kind == "PID_X") {
        auto* panel = new WidgetPidCtrl;
        window.reset(panel);
        form = child<WidgetPIDparams>(*panel, "posXwidget");
    } else if (kind == "ROCandROI") {
        auto* dialog = new WindowROC_ROI;
        window.reset(dialog);
        dialog->showAndRefresh();
        form = child<WidgetRoc>(*dialog, "rocWidget0");
    } else {
        auto* dialog = new WindowBeamlineConf;
        window.reset(dialog);
        dialog->showAndRefresh();
        form = BeamlineConfChecks::boxOf(*dialog, 0);
    }
    QWidget* field = child<QWidget>(*form, row.field);
    QCOMPARE(shownText(field), row.shown);
    auto* note = child<QLabel>(*form, "loadNote");
    if (row.note.isEmpty()) {
        QVERIFY2(note->isHidden(), qPrintable(note->text()));
    } else {
        QVERIFY(!note->isHidden());
        QVERIFY2(note->text().contains(row.note), qPrintable(note->text()));
    }
    // Nothing goes out before the button.
    QCOMPARE(callsFor(row.key), 0);

    if (kind == "PID_X")
        QTest::mouseClick(child<QPushButton>(*window, "pushButtonUpdate"), Qt::LeftButton);
    else if (kind == "ROCandROI")
        RocRoiChecks::press(*static_cast<WindowROC_ROI*>(window.get()), QDialogButtonBox::Apply);
    else
        BeamlineConfChecks::saveThroughTheButton(*static_cast<WindowBeamlineConf*>(window.get()));

    if (std::isnan(row.sent)) {
        QCOMPARE(callsFor(row.key), 0);
        QVERIFY(!Prompts::shown().isEmpty());
    } else {
        QVERIFY(callsFor(row.key) > 0);
        QCOMPARE(sentOf(row.key), row.sent);
    }
    QCOMPARE(QSettings(m_program->configPath(), QSettings::IniFormat).value(row.key).toString(), row.after);
}

QTEST_MAIN(TestStoredValues)
#include "tst_storedvalues.moc"
