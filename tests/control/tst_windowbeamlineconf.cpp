// The beamline configuration against the simulated controller: what Save stores
// in the file, sends to the controller and puts into the position scales, what a
// map that misses the monitor's cabling does to the measured beam, presence,
// user levels, and the high voltage with its readout.
#include <QComboBox>
#include <QDir>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <optional>

#include "BPM.h"
#include "DeviceIo.h"
#include "Globals.h"
#include "PlantConstants.h"
#include "Prompts.h"
#include "SimControl.h"
#include "Updater.h"
#include "WindowBeamlineConf.h"
#include "support/FormChild.h"
#include "support/OutputDevice.h"
#include "support/ProgramFixture.h"
#include "support/TestFiles.h"
#include "support/WidgetClicks.h"

using namespace PlantConstants;

namespace {

const QString DEGREES_90 = QStringLiteral("90\u00B0");
const QString DEGREES_45 = QStringLiteral("45\u00B0");

using FormChild::child;

BPM* boxOf(const WindowBeamlineConf& dialog, int bpm)
{
    return child<BPM>(dialog, bpm == 0 ? "boxBPM1" : "boxBPM2");
}

QPushButton* button(const WindowBeamlineConf& dialog, QDialogButtonBox::StandardButton which)
{
    return child<QDialogButtonBox>(dialog, "buttonBox")->button(which);
}

// What the operator does in one box: orientation, the map of that picture, scaling, offsets.
void edit(BPM* box, const QString& orientation, const QList<int>& map, double scale, double offset)
{
    child<QComboBox>(*box, "BPMorientation")->setCurrentText(orientation);
    const QString picture = orientation == DEGREES_90 ? "BPM90" : "BPM45";
    const char* sides[4] = {"_top", "_right", "_bottom", "_left"};
    for (int e = 0; e < 4; ++e)
        child<QComboBox>(*box, picture + sides[e])->setCurrentIndex(map[e]);
    child<QDoubleSpinBox>(*box, "xGain")->setValue(scale);
    child<QDoubleSpinBox>(*box, "yGain")->setValue(scale);
    child<QDoubleSpinBox>(*box, "xOffset")->setValue(offset);
    child<QDoubleSpinBox>(*box, "yOffset")->setValue(offset);
}

QList<int> sentMap(int bpm)
{
    const SimControl::Sent s = SimControl::sent();
    return {s.crossBar[bpm][0], s.crossBar[bpm][1], s.crossBar[bpm][2], s.crossBar[bpm][3]};
}

QString readout(const BPM* box, const char* name)
{
    return child<QLineEdit>(*box, name)->text();
}

QString statusText(const BPM* box) { return child<QLabel>(*box, "statusLabel")->text(); }

bool invalidShown(const BPM* box) { return !child<QLabel>(*box, "textInvalidConf")->isHidden(); }

}  // namespace

class TestWindowBeamlineConf : public QObject
{
    Q_OBJECT

private:
    QSettings stored() const { return QSettings(m_program->config->path(), QSettings::IniFormat); }

    void writeBpm(int bpm, int orient, const QList<int>& map, double scale, double offset)
    {
        m_program->config->setOrient(orient, bpm);
        m_program->config->setQuadrants(map[0], map[1], map[2], map[3], bpm);
        m_program->config->setScaleX(bpm, scale);
        m_program->config->setScaleY(bpm, scale);
        m_program->config->setOffsetX(bpm, offset);
        m_program->config->setOffsetY(bpm, offset);
    }

    void saveThroughTheButton(WindowBeamlineConf& dialog)
    {
        QTest::mouseClick(button(dialog, QDialogButtonBox::Save), Qt::LeftButton);
    }

private slots:
    void init()
    {
        m_program.emplace(
            ProgramFixture::Options().withUpdater().atUserLevel(USER_LEVEL_ADMIN).withSwVersion("1.0.03"));
        DISPLAY_BUFFER_BYTES = 2000 * 256;
    }

    void cleanup() { m_program.reset(); }

    void constructionLoadsNothingAndStartsTheReadout()
    {
        writeBpm(0, 0, {3, 2, 1, 0}, 500.0, 7.0);
        WindowBeamlineConf dialog;
        QCOMPARE(dialog.objectName(), QString("WindowBeamlineConf"));
        QCOMPARE(dialog.windowTitle(), QString("Beamline Configuration"));
        QCOMPARE(boxOf(dialog, 0)->title(), QString("BPM 1"));
        QCOMPARE(boxOf(dialog, 1)->title(), QString("BPM 2"));
        QCOMPARE(int(boxOf(dialog, 0)->index()), 0);
        QCOMPARE(int(boxOf(dialog, 1)->index()), 1);
        // The form's values until the first opening.
        QVERIFY(boxOf(dialog, 0)->isOrientation90());
        double x = 0, y = 0;
        boxOf(dialog, 0)->getScaling(&x, &y);
        QCOMPARE(x, 1.0);
        // Both picoammeters are there, so the presence shows BPM 2's box again.
        QVERIFY(!boxOf(dialog, 1)->isHidden());

        auto* timer = dialog.findChild<QTimer*>();
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 770);
        QVERIFY(!dialog.isVisible());
    }

    void presence_data()
    {
        QTest::addColumn<bool>("present0");
        QTest::addColumn<bool>("present1");
        QTest::addColumn<bool>("callFails");

        QTest::newRow("both") << true << true << false;
        QTest::newRow("BPM1 only") << true << false << false;
        QTest::newRow("BPM2 only") << false << true << false;
        QTest::newRow("none") << false << false << false;
        QTest::newRow("a failed call reads as none") << false << false << true;
    }

    void presence()
    {
        QFETCH(bool, present0);
        QFETCH(bool, present1);
        QFETCH(bool, callFails);

        WindowBeamlineConf dialog;
        if (callFails)
            SimControl::failCall("getZentrims");
        else {
            SimControl::setZentrimPresent(0, present0);
            SimControl::setZentrimPresent(1, present1);
        }
        // The mask is not looked at; the library's answer is.
        dialog.nr_zentrims_changed(3);
        for (int bpm = 0; bpm < 2; ++bpm) {
            const bool present = bpm == 0 ? present0 : present1;
            QCOMPARE(boxOf(dialog, bpm)->isHidden(), !present);
            QCOMPARE(child<QWidget>(*boxOf(dialog, bpm), "hv_widget")->isHidden(), !present);
        }
    }

    void saveReachesControllerFileAndScale()
    {
        SimControl::setZentrimPresent(1, false);
        WindowBeamlineConf dialog;
        QSignalSpy scaleChanged(&dialog, &WindowBeamlineConf::BPMscaleChanged);
        dialog.showAndRefresh();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(!boxOf(dialog, 1)->isVisible());
        const SimControl::Sent before = SimControl::sent();

        edit(boxOf(dialog, 0), DEGREES_45, {3, 2, 1, 0}, 500.0, 7.0);
        saveThroughTheButton(dialog);

        // Save closes the dialog.
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(scaleChanged.count(), 1);

        const SimControl::Sent s = SimControl::sent();
        QCOMPARE(int(s.orient[0]), 0);
        QCOMPARE(sentMap(0), QList<int>({3, 2, 1, 0}));
        QCOMPARE(s.bpmScale[0][0], 500.0);
        QCOMPARE(s.bpmScale[0][1], 500.0);
        QCOMPARE(s.bpmOffset[0][0], 7.0);
        QCOMPARE(s.bpmOffset[0][1], 7.0);
        QCOMPARE(POS_SCALE_X[0], 500.0);
        QCOMPARE(POS_SCALE_Y[0], 500.0);

        QSettings file = stored();
        QCOMPARE(file.value("BPM1/Orient").toInt(), 0);
        QCOMPARE(file.value("BPM1/Top").toInt(), 3);
        QCOMPARE(file.value("BPM1/Right").toInt(), 2);
        QCOMPARE(file.value("BPM1/Bottom").toInt(), 1);
        QCOMPARE(file.value("BPM1/Left").toInt(), 0);
        QCOMPARE(file.value("BPM1/Scale_X").toDouble(), 500.0);
        QCOMPARE(file.value("BPM1/Scale_Y").toDouble(), 500.0);
        QCOMPARE(file.value("BPM1/Offset_X").toDouble(), 7.0);
        QCOMPARE(file.value("BPM1/Offset_Y").toDouble(), 7.0);

        // BPM 2's box was hidden: nothing of it was written or sent.
        QCOMPARE(file.childGroups(), QStringList{"BPM1"});
        QCOMPARE(POS_SCALE_X[1], 1.0);
        QCOMPARE(POS_SCALE_Y[1], 1.0);
        QCOMPARE(sentMap(1), QList<int>({before.crossBar[1][0], before.crossBar[1][1], before.crossBar[1][2],
                                         before.crossBar[1][3]}));
        QCOMPARE(s.bpmScale[1][0], before.bpmScale[1][0]);
        QCOMPARE(SimControl::callCount("setBPMscale", 1), 0);
    }

    void saveWritesBothWhileBothAreShown_data()
    {
        QTest::addColumn<bool>("present0");

        QTest::newRow("both present") << true;
        QTest::newRow("BPM2 only: BPM 1 is stored from its hidden box too") << false;
    }

    void saveWritesBothWhileBothAreShown()
    {
        QFETCH(bool, present0);

        writeBpm(0, 1, {0, 1, 2, 3}, 800.0, 1.0);
        writeBpm(1, 0, {1, 2, 3, 0}, 900.0, -2.0);
        SimControl::setZentrimPresent(0, present0);
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        QCOMPARE(boxOf(dialog, 0)->isVisible(), present0);
        QVERIFY(boxOf(dialog, 1)->isVisible());

        edit(boxOf(dialog, 1), DEGREES_90, {2, 3, 0, 1}, 1200.0, 5.0);
        saveThroughTheButton(dialog);

        QCOMPARE(POS_SCALE_X[0], 800.0);
        QCOMPARE(POS_SCALE_X[1], 1200.0);
        QCOMPARE(POS_SCALE_Y[1], 1200.0);
        const SimControl::Sent s = SimControl::sent();
        QCOMPARE(int(s.orient[0]), 1);
        QCOMPARE(int(s.orient[1]), 1);
        QCOMPARE(sentMap(0), QList<int>({0, 1, 2, 3}));
        QCOMPARE(sentMap(1), QList<int>({2, 3, 0, 1}));
        QCOMPARE(s.bpmScale[1][1], 1200.0);
        QCOMPARE(s.bpmOffset[0][0], 1.0);
        QCOMPARE(s.bpmOffset[1][1], 5.0);
        QSettings file = stored();
        QCOMPARE(file.value("BPM2/Orient").toInt(), 1);
        QCOMPARE(file.value("BPM2/Top").toInt(), 2);
        QCOMPARE(file.value("BPM2/Scale_X").toDouble(), 1200.0);
        QCOMPARE(file.value("BPM2/Offset_Y").toDouble(), 5.0);
        QCOMPARE(file.value("BPM1/Scale_X").toDouble(), 800.0);
    }

    void cancelStoresNothingAndReopeningDropsEdits()
    {
        writeBpm(0, 1, {0, 1, 2, 3}, 800.0, 1.0);
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        edit(boxOf(dialog, 0), DEGREES_45, {3, 2, 1, 0}, 5.0, 9.0);
        QTest::mouseClick(button(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(stored().value("BPM1/Scale_X").toDouble(), 800.0);
        QCOMPARE(SimControl::callCount("setBPMscale"), 0);
        QCOMPARE(POS_SCALE_X[0], 1.0);

        // The box keeps what was typed until the next opening reloads it.
        QVERIFY(!boxOf(dialog, 0)->isOrientation90());
        dialog.showAndRefresh();
        QVERIFY(boxOf(dialog, 0)->isOrientation90());
        double x = 0, y = 0;
        boxOf(dialog, 0)->getScaling(&x, &y);
        QCOMPARE(x, 800.0);
        boxOf(dialog, 0)->getOffsets(&x, &y);
        QCOMPARE(x, 1.0);
    }

    void buttonTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("saves");

        QTest::newRow("&Save") << "&Save" << true;
        QTest::newRow("Save") << "Save" << true;
        QTest::newRow("&Cancel") << "&Cancel" << false;
        QTest::newRow("Cancel") << "Cancel" << false;
        QTest::newRow("save in lower case") << "save" << false;
        QTest::newRow("Apply") << "Apply" << false;
    }

    void buttonTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, saves);

        // BPM 2's box would be saved too, and its empty group is no map.
        SimControl::setZentrimPresent(1, false);
        writeBpm(0, 1, {0, 1, 2, 3}, 1000.0, 0.0);
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        child<QDoubleSpinBox>(*boxOf(dialog, 0), "xGain")->setValue(1234.0);
        QPushButton pressed(text);
        dialog.sendSettings(&pressed);
        QCOMPARE(SimControl::callCount("setBPMscale"), saves ? 1 : 0);
        QCOMPARE(stored().value("BPM1/Scale_X").toDouble(), saves ? 1234.0 : 1000.0);
    }

    void loadMissingGroupGivesZeros()
    {
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        // Orientation 0 shows the 45° picture, all four channels "Ch 1", scales and offsets 0.
        QVERIFY(!box->isOrientation90());
        int top = -9, right = -9, bottom = -9, left = -9;
        box->getChannelMap(&top, &right, &bottom, &left);
        QCOMPARE(QList<int>({top, right, bottom, left}), QList<int>({0, 0, 0, 0}));
        QVERIFY(invalidShown(box));
        double x = -1, y = -1;
        box->getScaling(&x, &y);
        QCOMPARE(x, 0.0);
        QCOMPARE(y, 0.0);
    }

    // An orientation the file does not give is not guessed: the combo box
    // shows none, either picture shows the stored map, and Save asks for one.
    void unknownOrientationIsNotGuessed_data()
    {
        QTest::addColumn<int>("previous");

        QTest::newRow("90 before") << 1;
        QTest::newRow("45 before") << 0;
    }

    void unknownOrientationIsNotGuessed()
    {
        QFETCH(int, previous);

        SimControl::setZentrimPresent(1, false);
        writeBpm(0, previous, {0, 1, 2, 3}, 1000.0, 0.0);
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        writeBpm(0, 7, {3, 2, 1, 0}, 1000.0, 0.0);
        const QByteArray before = TestFiles::contents(m_program->configPath());
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        auto* orientation = child<QComboBox>(*box, "BPMorientation");
        QCOMPARE(orientation->currentIndex(), -1);
        QCOMPARE(orientation->placeholderText(), QString("not set"));
        for (const QString picture : {"BPM90", "BPM45"}) {
            QCOMPARE(child<QComboBox>(*box, picture + "_top")->currentIndex(), 3);
            QCOMPARE(child<QComboBox>(*box, picture + "_left")->currentIndex(), 0);
        }

        saveThroughTheButton(dialog);
        QCOMPARE(Prompts::shown().size(), 1);
        QVERIFY(Prompts::shown()[0].text.contains("no orientation is chosen"));
        QCOMPARE(SimControl::callCount("setBPMorient"), 0);
        QCOMPARE(TestFiles::contents(m_program->configPath()), before);
        QVERIFY(dialog.isVisible());

        orientation->setCurrentText(DEGREES_45);
        saveThroughTheButton(dialog);
        QCOMPARE(int(SimControl::sent().orient[0]), 0);
        QCOMPARE(sentMap(0), QList<int>({3, 2, 1, 0}));
        QCOMPARE(stored().value("BPM1/Orient").toInt(), 0);
    }

    // A monitor's four electrodes are four channels: a repeat is refused, and
    // nothing of the box goes out.
    void duplicateMapIsRefused()
    {
        writeBpm(0, 1, {0, 1, 2, 3}, 1000.0, 0.0);
        const QByteArray before = TestFiles::contents(m_program->configPath());
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        QVERIFY(!invalidShown(box));
        child<QComboBox>(*box, "BPM90_top")->setCurrentIndex(1);
        child<QComboBox>(*box, "BPM90_left")->setCurrentIndex(1);
        QVERIFY(invalidShown(box));
        QCOMPARE(child<QLabel>(*box, "textInvalidConf")->text(), QString("Invalid BPM configuration"));
        const QList<int> sentBefore = sentMap(0);

        saveThroughTheButton(dialog);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown()[0].title, QString("Invalid BPM configuration"));
        QVERIFY(Prompts::shown()[0].text.contains("BPM 1: two electrodes share a channel"));
        QCOMPARE(sentMap(0), sentBefore);
        QCOMPARE(SimControl::callCount("setCrossBar") + SimControl::callCount("setBPMscale") +
                     SimControl::callCount("setBPMorient") + SimControl::callCount("setBPMoffset"),
                 0);
        QCOMPARE(TestFiles::contents(m_program->configPath()), before);
        // The dialog stays open with what was chosen.
        QVERIFY(dialog.isVisible());
        QCOMPARE(child<QComboBox>(*box, "BPM90_left")->currentIndex(), 1);
    }

    // A channel the combo boxes cannot show is neither sent as 255 nor stored as -1.
    void channelOutsideTheBoxesIsNotSent()
    {
        writeBpm(0, 1, {9, 1, 2, 3}, 1000.0, 0.0);
        const QByteArray before = TestFiles::contents(m_program->configPath());
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        QCOMPARE(child<QComboBox>(*box, "BPM90_top")->currentIndex(), -1);
        QVERIFY(invalidShown(box));

        child<QDoubleSpinBox>(*box, "xGain")->setValue(750.0);
        saveThroughTheButton(dialog);

        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QCOMPARE(shown[0].title, QString("Invalid BPM configuration"));
        QVERIFY(shown[0].text.contains("BPM 1: an electrode has no channel"));
        QCOMPARE(SimControl::callCount("setCrossBar") + SimControl::callCount("setBPMscale"), 0);
        QCOMPARE(TestFiles::contents(m_program->configPath()), before);
        QCOMPARE(POS_SCALE_X[0], 1.0);
    }

    // Switching the orientation puts the other picture's channels in force:
    // they are checked at once, and Save refuses the map 0, 0, 0, 0.
    void orientationChangeChecksTheMap()
    {
        writeBpm(0, 1, {0, 1, 2, 3}, 1000.0, 0.0);
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        QVERIFY(!invalidShown(box));
        child<QComboBox>(*box, "BPMorientation")->setCurrentText(DEGREES_45);
        QVERIFY(invalidShown(box));
        saveThroughTheButton(dialog);
        QCOMPARE(SimControl::callCount("setCrossBar"), 0);
        QCOMPARE(Prompts::shown().size(), 1);
        child<QComboBox>(*box, "BPMorientation")->setCurrentText(DEGREES_90);
        QVERIFY(!invalidShown(box));
    }

    void zeroScaleIsRefused()
    {
        writeBpm(0, 1, {0, 1, 2, 3}, 1000.0, 0.0);
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        child<QDoubleSpinBox>(*boxOf(dialog, 0), "yGain")->setValue(0.0);
        saveThroughTheButton(dialog);
        QCOMPARE(Prompts::shown().size(), 1);
        QVERIFY(Prompts::shown()[0].text.contains("Y scaling is 0"));
        QCOMPARE(SimControl::callCount("setBPMscale"), 0);
        QCOMPARE(POS_SCALE_Y[0], 1.0);
    }

    // What the dialog shows of a value the file does not give usably, what
    // Save sends, and what the file holds afterwards.
    void unusableStoredValue_data()
    {
        QTest::addColumn<QByteArray>("line");      // under [BPM1], after a valid box
        QTest::addColumn<QString>("field");        // the box that shows the dash
        QTest::addColumn<QString>("name");         // as the note and the refusal name it
        QTest::addColumn<double>("typed");

        QTest::newRow("Scale_X nan") << QByteArray("Scale_X=nan") << "xGain" << "X scaling" << 800.0;
        QTest::newRow("Scale_X inf") << QByteArray("Scale_X=inf") << "xGain" << "X scaling" << 800.0;
        QTest::newRow("Scale_X negative") << QByteArray("Scale_X=-1000") << "xGain" << "X scaling" << 800.0;
        QTest::newRow("Scale_Y beyond the box") << QByteArray("Scale_Y=1e9") << "yGain" << "Y scaling" << 900.0;
        QTest::newRow("Offset_X nan") << QByteArray("Offset_X=nan") << "xOffset" << "X offset" << -3.0;
        QTest::newRow("Offset_Y below the box") << QByteArray("Offset_Y=-20000") << "yOffset" << "Y offset" << 0.0;
        QTest::newRow("Offset_Y text") << QByteArray("Offset_Y=far") << "yOffset" << "Y offset" << 12.5;
    }

    void unusableStoredValue()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, field);
        QFETCH(QString, name);
        QFETCH(double, typed);

        const QByteArray key = line.left(line.indexOf('='));
        const QByteArray file = TestFiles::replacingKey(
            "[BPM1]\nOrient=1\nTop=0\nRight=1\nBottom=2\nLeft=3\nScale_X=1000\nScale_Y=1000\nOffset_X=1\nOffset_Y=1\n",
            line);
        TestFiles::put(m_program->configPath(), file);
        SimControl::setZentrimPresent(1, false);
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        auto* shownBox = child<QDoubleSpinBox>(*box, field);
        QCOMPARE(shownBox->text(), QString::fromUtf8("\u2014"));
        auto* note = child<QLabel>(*box, "loadNote");
        QVERIFY(!note->isHidden());
        QVERIFY2(note->text().contains(name), qPrintable(note->text()));

        saveThroughTheButton(dialog);
        QCOMPARE(Prompts::shown().size(), 1);
        QVERIFY2(Prompts::shown()[0].text.contains(name + " was not read from the configuration file"),
                 qPrintable(Prompts::shown()[0].text));
        QCOMPARE(SimControl::callCount("setBPMscale") + SimControl::callCount("setBPMoffset") +
                     SimControl::callCount("setCrossBar") + SimControl::callCount("setBPMorient"),
                 0);
        QCOMPARE(TestFiles::contents(m_program->configPath()), file);
        QVERIFY(dialog.isVisible());

        // A typed value is the operator's: it goes out and into the file as typed.
        WidgetClicks::typeInto(shownBox, QString::number(typed));
        QVERIFY(note->isHidden());
        saveThroughTheButton(dialog);
        QCOMPARE(Prompts::shown().size(), 1);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(stored().value("BPM1/" + QString::fromLatin1(key)).toDouble(), typed);
        const SimControl::Sent s = SimControl::sent();
        const double sent = field == "xGain"   ? s.bpmScale[0][0]
                            : field == "yGain" ? s.bpmScale[0][1]
                            : field == "xOffset" ? s.bpmOffset[0][0]
                                                 : s.bpmOffset[0][1];
        QCOMPARE(sent, typed);
    }

    // With a file that cannot be read nothing of it is shown as loaded: Save
    // sends nothing until every field is chosen or typed.
    void unreadableFileSendsNothing()
    {
        QVERIFY(QDir().mkdir(m_program->configPath()));
        SimControl::setZentrimPresent(1, false);
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        QCOMPARE(child<QComboBox>(*box, "BPMorientation")->currentIndex(), -1);
        QCOMPARE(child<QComboBox>(*box, "BPM90_top")->currentIndex(), -1);
        QCOMPARE(child<QDoubleSpinBox>(*box, "xGain")->text(), QString::fromUtf8("\u2014"));
        QCOMPARE(child<QDoubleSpinBox>(*box, "yOffset")->text(), QString::fromUtf8("\u2014"));

        saveThroughTheButton(dialog);
        QCOMPARE(Prompts::shown().size(), 1);
        for (const char* problem : {"no orientation is chosen", "an electrode has no channel",
                                    "X scaling was not read", "Y offset was not read"})
            QVERIFY2(Prompts::shown()[0].text.contains(problem), qPrintable(Prompts::shown()[0].text));
        QCOMPARE(SimControl::callCount("setBPMscale") + SimControl::callCount("setCrossBar") +
                     SimControl::callCount("setBPMorient") + SimControl::callCount("setBPMoffset"),
                 0);

        // Everything typed: it goes to the controller, and the operator learns
        // that it lasts only until the program restarts.
        edit(box, DEGREES_90, {0, 1, 2, 3}, 1000.0, 0.0);
        for (const char* name : {"xGain", "yGain", "xOffset", "yOffset"}) {
            auto* field = child<QDoubleSpinBox>(*box, name);
            WidgetClicks::typeInto(field, QString::number(field->value() + 1.0));
        }
        saveThroughTheButton(dialog);
        QCOMPARE(SimControl::sent().bpmScale[0][0], 1001.0);
        QCOMPARE(sentMap(0), QList<int>({0, 1, 2, 3}));
        QCOMPARE(Prompts::shown().size(), 2);
        QCOMPARE(Prompts::shown()[1].title, QString("Settings not stored"));
        QVERIFY(Prompts::shown()[1].text.contains("until the program restarts"));
        QVERIFY(dialog.isVisible());
    }

    // Whatever the controller refused stays out of the file, byte for byte.
    void refusedCallLeavesTheFileAsItWas_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("what");

        QTest::newRow("orientation") << "setBPMorient" << "BPM 1 orientation";
        QTest::newRow("scaling") << "setBPMscale" << "BPM 1 scaling";
        QTest::newRow("offsets") << "setBPMoffset" << "BPM 1 offsets";
        QTest::newRow("channel map") << "setCrossBar" << "BPM 1 channel map";
    }

    void refusedCallLeavesTheFileAsItWas()
    {
        QFETCH(QString, function);
        QFETCH(QString, what);

        SimControl::setZentrimPresent(1, false);
        writeBpm(0, 1, {0, 1, 2, 3}, 1000.0, 2.0);
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        // Everything the refused call carries changes.
        edit(boxOf(dialog, 0), DEGREES_45, {3, 2, 1, 0}, 700.0, 5.0);
        SimControl::failCall(function.toStdString());
        for (const QString other : {"setBPMorient", "setBPMscale", "setBPMoffset", "setCrossBar"})
            if (other != function)
                SimControl::failCall(other.toStdString());
        const QByteArray before = TestFiles::contents(m_program->configPath());

        saveThroughTheButton(dialog);

        QCOMPARE(TestFiles::contents(m_program->configPath()), before);
        QCOMPARE(POS_SCALE_X[0], 1.0);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown()[0].title, QString("Controller refused"));
        QVERIFY2(Prompts::shown()[0].text.contains(what), qPrintable(Prompts::shown()[0].text));
        QVERIFY(dialog.isVisible());

        // Only that call refused: the rest is stored.
        SimControl::clearFailures();
        SimControl::failCall(function.toStdString());
        saveThroughTheButton(dialog);
        QSettings file = stored();
        QCOMPARE(file.value("BPM1/Orient").toInt(), function == "setBPMorient" ? 1 : 0);
        QCOMPARE(file.value("BPM1/Scale_X").toDouble(), function == "setBPMscale" ? 1000.0 : 700.0);
        QCOMPARE(file.value("BPM1/Offset_X").toDouble(), function == "setBPMoffset" ? 2.0 : 5.0);
        QCOMPARE(file.value("BPM1/Top").toInt(), function == "setCrossBar" ? 0 : 3);
    }

    void userLevel_data()
    {
        QTest::addColumn<bool>("enabledBefore");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("enabledAfter");

        QTest::newRow("cruise disables") << true << 0 << false;
        QTest::newRow("user disables") << true << 1 << false;
        QTest::newRow("admin enables") << false << 2 << true;
        QTest::newRow("3 leaves them disabled") << false << 3 << false;
        QTest::newRow("3 leaves them enabled") << true << 3 << true;
        QTest::newRow("a failed read -1 leaves them") << true << -1 << true;
    }

    void userLevel()
    {
        QFETCH(bool, enabledBefore);
        QFETCH(int, level);
        QFETCH(bool, enabledAfter);

        WindowBeamlineConf dialog;
        USER_LEVEL = enabledBefore ? 2 : 0;
        dialog.checkUserLevel();
        USER_LEVEL = level;
        dialog.checkUserLevel();
        QCOMPARE(boxOf(dialog, 0)->isEnabled(), enabledAfter);
        QCOMPARE(boxOf(dialog, 1)->isEnabled(), enabledAfter);
        QVERIFY(button(dialog, QDialogButtonBox::Save)->isEnabled());
        QVERIFY(button(dialog, QDialogButtonBox::Cancel)->isEnabled());
    }

    void saveAtLevelOneStoresTheLoadedValues()
    {
        SimControl::setZentrimPresent(1, false);
        writeBpm(0, 0, {1, 2, 3, 0}, 640.0, 3.0);
        USER_LEVEL = 1;
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        QVERIFY(!boxOf(dialog, 0)->isEnabled());
        saveThroughTheButton(dialog);
        QCOMPARE(sentMap(0), QList<int>({1, 2, 3, 0}));
        QCOMPARE(int(SimControl::sent().orient[0]), 0);
        QCOMPARE(SimControl::sent().bpmScale[0][0], 640.0);
        QCOMPARE(SimControl::sent().bpmOffset[0][1], 3.0);
        QCOMPARE(stored().value("BPM1/Scale_X").toDouble(), 640.0);
        QCOMPARE(POS_SCALE_X[0], 640.0);
    }

    void offsetsSavedAsShownOnAnOldController()
    {
        SimControl::setZentrimPresent(1, false);
        SW_VERSION = "1.0.02";
        writeBpm(0, 1, {0, 1, 2, 3}, 1000.0, 4.0);
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        QVERIFY(child<QDoubleSpinBox>(*boxOf(dialog, 0), "xOffset")->isHidden());
        saveThroughTheButton(dialog);
        QCOMPARE(SimControl::sent().bpmOffset[0][0], 4.0);
        QCOMPARE(stored().value("BPM1/Offset_X").toDouble(), 4.0);
    }

    void highVoltageRampsAndReadsBack()
    {
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        child<QDoubleSpinBox>(*box, "biasVoltageDoubleSpinBox")->setValue(500.0);
        QTest::mouseClick(child<QPushButton>(*box, "setHVbutton"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(*box, "enableHVbutton"), Qt::LeftButton);
        QCOMPARE(SimControl::sent().hvSetVoltage[0], 500.0f);
        QCOMPARE(SimControl::sent().hvEnable[0], 1);

        SimControl::step(1.0);
        m_program->tickReadout(dialog);
        const double atOneSecond = readout(box, "voltageReadoutLineEdit").chopped(1).toDouble();
        SimControl::step(1.0);
        m_program->tickReadout(dialog);
        QCOMPARE(statusText(box), QString("HV rising"));
        const double atTwoSeconds = readout(box, "voltageReadoutLineEdit").chopped(1).toDouble();
        QVERIFY(atTwoSeconds > atOneSecond);
        QCOMPARE(atTwoSeconds, 2.0 * HV_RAMP_V_PER_S);

        SimControl::step(8.0);
        m_program->tickReadout(dialog);
        QCOMPARE(statusText(box), QString("HV ON"));
        QCOMPARE(readout(box, "voltageReadoutLineEdit"), QString("500.00V"));
        QCOMPARE(readout(box, "currentReadoutLineEdit"),
                 QString::number(500.0 * HV_LEAKAGE_UA_PER_V, 'f', 2) + "uA");

        // The second press switches off, whatever the readout shows.
        QTest::mouseClick(child<QPushButton>(*box, "enableHVbutton"), Qt::LeftButton);
        QCOMPARE(SimControl::sent().hvEnable[0], 0);
        QCOMPARE(SimControl::callCount("zentrimHVenable", 0), 1);
        SimControl::step(1.0);
        m_program->tickReadout(dialog);
        QCOMPARE(statusText(box), QString("HV falling"));
    }

    void secondReadoutStandsStillWhileClosed()
    {
        WindowBeamlineConf dialog;
        QCOMPARE(MAILBOX_COMM->zentrimHVSetVoltage(1, 300.0f), 0);
        QCOMPARE(MAILBOX_COMM->zentrimHVenable(1, 1), 0);
        SimControl::step(1.0);
        m_program->tickReadout(dialog);
        QCOMPARE(readout(boxOf(dialog, 0), "voltageReadoutLineEdit"), QString("0.00V"));
        QCOMPARE(statusText(boxOf(dialog, 0)), QString("HV OFF"));
        QCOMPARE(readout(boxOf(dialog, 1), "voltageReadoutLineEdit"), QString());
        QCOMPARE(statusText(boxOf(dialog, 1)), QString("TextLabel"));

        dialog.showAndRefresh();
        m_program->tickReadout(dialog);
        QCOMPARE(readout(boxOf(dialog, 1), "voltageReadoutLineEdit"),
                 QString::number(HV_RAMP_V_PER_S, 'f', 2) + "V");
        QCOMPARE(statusText(boxOf(dialog, 1)), QString("HV rising"));
    }

    void readoutOfAnUnknownBpmDoesNothing()
    {
        WindowBeamlineConf dialog;
        dialog.updateBPMhvStatus(1, 2, 5.0f, 1.0f);
        dialog.updateBPMhvStatus(1, -1, 5.0f, 1.0f);
        QCOMPARE(statusText(boxOf(dialog, 0)), QString("TextLabel"));
        QCOMPARE(statusText(boxOf(dialog, 1)), QString("TextLabel"));
        dialog.updateBPMhvStatus(5, 1, 5.0f, 1.0f);
        QCOMPARE(statusText(boxOf(dialog, 1)), QString("HV falling"));
    }

    // The supply's range is checked here, and a refusal is told, not left for
    // the operator to guess from the readout.
    void biasBeyondTheSupplyIsRefused_data()
    {
        QTest::addColumn<double>("volts");
        QTest::addColumn<bool>("sent");

        QTest::newRow("1308 V") << 1308.0 << false;
        QTest::newRow("-1000.01 V") << -1000.01 << false;
        QTest::newRow("1000 V is the supply's edge") << 1000.0 << true;
        QTest::newRow("-250 V") << -250.0 << true;
    }

    void biasBeyondTheSupplyIsRefused()
    {
        QFETCH(double, volts);
        QFETCH(bool, sent);

        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        child<QDoubleSpinBox>(*box, "biasVoltageDoubleSpinBox")->setValue(volts);
        QTest::mouseClick(child<QPushButton>(*box, "setHVbutton"), Qt::LeftButton);
        QCOMPARE(SimControl::callCount("zentrimHVSetVoltage"), sent ? 1 : 0);
        QCOMPARE(Prompts::shown().size(), sent ? 0 : 1);
        if (sent) {
            QCOMPARE(SimControl::sent().hvSetVoltage[0], float(volts));
            return;
        }
        QCOMPARE(Prompts::shown()[0].title, QString("Bias voltage out of range"));
        QVERIFY(Prompts::shown()[0].text.contains("-1000 V to +1000 V"));
    }

    void refusedHighVoltageIsTold()
    {
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        SimControl::failCall("zentrimHVSetVoltage");
        SimControl::failCall("zentrimHVenable");
        QTest::mouseClick(child<QPushButton>(*box, "setHVbutton"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(*box, "enableHVbutton"), Qt::LeftButton);
        QCOMPARE(Prompts::shown().size(), 2);
        QCOMPARE(Prompts::shown()[0].title, QString("High voltage refused"));
        QVERIFY(Prompts::shown()[1].text.contains("switch its high voltage on"));

        // The refused switch-on is asked for again by the next press.
        SimControl::clearFailures();
        QTest::mouseClick(child<QPushButton>(*box, "enableHVbutton"), Qt::LeftButton);
        QCOMPARE(SimControl::sent().hvEnable[0], 1);
    }

    // A status block that could not be read is no reading: never the last one.
    void failedReadoutShowsNoReading()
    {
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        QCOMPARE(MAILBOX_COMM->zentrimHVSetVoltage(0, 200.0f), 0);
        QCOMPARE(MAILBOX_COMM->zentrimHVenable(1, 0), 0);
        SimControl::step(5.0);
        m_program->tickReadout(dialog);
        QCOMPARE(readout(box, "voltageReadoutLineEdit"), QString("200.00V"));
        auto* note = child<QLabel>(*box, "readingNote");
        QVERIFY(note->isHidden());

        SimControl::failOpen(DEVICE_ZENTRIM0, EACCES);
        SimControl::step(1.0);
        m_program->tickReadout(dialog);
        QCOMPARE(readout(box, "voltageReadoutLineEdit"), QString());
        QCOMPARE(readout(box, "currentReadoutLineEdit"), QString());
        QCOMPARE(statusText(box), QString());
        QVERIFY(!note->isHidden());
        QVERIFY2(note->text().startsWith("No reading: /dev/vorn_zentrim0 cannot be opened"),
                 qPrintable(note->text()));

        // The next good block is shown again.
        SimControl::clearFailures();
        m_program->tickReadout(dialog);
        QCOMPARE(readout(box, "voltageReadoutLineEdit"), QString("200.00V"));
        QVERIFY(note->isHidden());
    }

    void theMapMeetsTheCabling_data()
    {
        QTest::addColumn<QString>("orientation");
        QTest::addColumn<QList<int>>("map");
        // Measured = (xx x + xy y, yy y + yx x) of the true x and y.
        QTest::addColumn<double>("xx");
        QTest::addColumn<double>("xy");
        QTest::addColumn<double>("yy");
        QTest::addColumn<double>("yx");

        QTest::newRow("the map that matches gives the true position")
            << DEGREES_90 << QList<int>{2, 3, 0, 1} << 1.0 << 0.0 << 1.0 << 0.0;
        QTest::newRow("left and right swapped mirrors X")
            << DEGREES_90 << QList<int>{2, 1, 0, 3} << -1.0 << 0.0 << 1.0 << 0.0;
        QTest::newRow("45 degrees on this 90 degree monitor mixes the axes")
            << DEGREES_45 << QList<int>{2, 3, 0, 1} << 0.5 << -0.5 << 0.5 << 0.5;
    }

    void theMapMeetsTheCabling()
    {
        QFETCH(QString, orientation);
        QFETCH(QList<int>, map);
        QFETCH(double, xx);
        QFETCH(double, xy);
        QFETCH(double, yy);
        QFETCH(double, yx);

        // A still beam, so that every point of the scatter must sit on the computed position.
        SimControl::setDisturbances(false);
        // BPM1 cabled round by two electrodes; the controller still holds the straight map.
        QVERIFY(SimControl::setWiring(0, 1, 2, 3, 0, 1));
        GraphData scatter = GraphData::create();
        UPDATER->setGraphData(Updater::KindScatterBpm1, 0, scatter);
        // The beam steered right and up by the outputs.
        QCOMPARE(MAILBOX_COMM->setOutputMux(0), 0);
        QVERIFY(OutputDevice::write(CENTRE_OUTPUT_V + 0.5, CENTRE_OUTPUT_V + 0.25, 0.0, 0.0));

        SimControl::setZentrimPresent(1, false);
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        POS_SCALE_X[0] = POS_SCALE_Y[0] = BPM_PHYSICAL_SCALE_UM;
        // Long enough for the scatter's last second to hold only the settled beam.
        SimControl::step(1.5);
        UPDATER->updateGraphs();
        const double x = SimControl::truePosition(0, 0);
        const double y = SimControl::truePosition(0, 1);
        QVERIFY(x > 10.0 && y > 5.0);
        // One count of the coarser range moves a difference of two electrodes by at most
        // count / (2 quarter) of the intensity; two counts of margin.
        const double quarter = SimControl::trueIntensity(0) / 4.0;
        const double tolerance =
            2.0 * RANGE_FULL_SCALE_A[1] / ADC_COUNTS_PER_FULL_SCALE / (2.0 * quarter) * BPM_PHYSICAL_SCALE_UM;
        QVERIFY(tolerance < 0.1 * y);
        auto farthestFrom = [&scatter](double shownX, double shownY) {
            double farthest = 0.0;
            for (const QCPGraphData& point : *scatter)
                farthest = std::max({farthest, std::fabs(point.key - shownX), std::fabs(point.value - shownY)});
            return farthest;
        };
        QCOMPARE(scatter->size(), Updater::SCATTER_POINTS);
        // The straight map reads this cabling upside down and mirrored.
        QVERIFY(farthestFrom(-x, -y) < tolerance);

        edit(boxOf(dialog, 0), orientation, map, BPM_PHYSICAL_SCALE_UM, 0.0);
        saveThroughTheButton(dialog);
        QCOMPARE(sentMap(0), map);

        // The next tick shows what the controller now computes.
        SimControl::step(1.0);
        UPDATER->updateGraphs();
        QCOMPARE(SimControl::truePosition(0, 0), x);
        const double shownX = xx * x + xy * y;
        const double shownY = yy * y + yx * x;
        QVERIFY2(farthestFrom(shownX, shownY) < tolerance,
                 qPrintable(QString("x %1, y %2: a point %3 away from (%4, %5)")
                                .arg(x)
                                .arg(y)
                                .arg(farthestFrom(shownX, shownY))
                                .arg(shownX)
                                .arg(shownY)));
    }

private:
    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestWindowBeamlineConf)
#include "tst_windowbeamlineconf.moc"
