// The beamline configuration's Save against the simulated controller: what it
// refuses to send (no orientation, a map with an unset channel, a scale of 0, a
// value neither read from the file nor typed), what it asks first (a repeated
// channel), what a stored value the boxes cannot show gives, that a hidden box
// never blocks the shown one, and that the file takes only what the controller took.
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>
#include <QtTest>

#include <cmath>
#include <optional>

#include "BPM.h"
#include "BeamlineConfChecks.h"
#include "Globals.h"
#include "Prompts.h"
#include "SimControl.h"
#include "WindowBeamlineConf.h"
#include "support/ProgramFixture.h"
#include "support/TestFiles.h"
#include "support/WidgetClicks.h"

using namespace BeamlineConfChecks;

class TestWindowBeamlineConfSave : public BeamlineConfTest
{
    Q_OBJECT

private slots:
    void init()
    {
        startProgram();
    }

    void cleanup() { m_program.reset(); }

    // An orientation the file does not give (no number) is not guessed: the
    // combo box shows none, either picture shows the stored map, and Save asks for one.
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
        writeBpm(0, 1, {3, 2, 1, 0}, 1000.0, 0.0);
        stored().setValue("BPM1/Orient", "ninety");
        const QByteArray before = TestFiles::contents(m_program->configPath());
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        auto* orientation = child<QComboBox>(*box, "BPMorientation");
        QCOMPARE(orientation->currentIndex(), -1);
        QCOMPARE(orientation->placeholderText(), QString("not set"));
        QVERIFY2(child<QLabel>(*box, "loadNote")->text().contains("BPM1/Orient was not read"),
                 qPrintable(child<QLabel>(*box, "loadNote")->text()));
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

    // A repeated channel shows the warning; Save asks first, naming it. Yes
    // sends and stores the map as shown, No leaves everything as it was.
    void duplicateMapAsksFirst_data()
    {
        QTest::addColumn<int>("answer");

        QTest::newRow("Yes saves the map as shown") << int(QMessageBox::Yes);
        QTest::newRow("No keeps the dialog and the file") << int(QMessageBox::No);
    }

    void duplicateMapAsksFirst()
    {
        QFETCH(int, answer);

        SimControl::setZentrimPresent(1, false);
        writeBpm(0, 1, {0, 2, 3, 1}, 1000.0, 0.0);
        const QByteArray before = TestFiles::contents(m_program->configPath());
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        QVERIFY(!invalidShown(box));
        // "Ch 2" for both top and left.
        child<QComboBox>(*box, "BPM90_top")->setCurrentIndex(1);
        QVERIFY(invalidShown(box));
        QCOMPARE(child<QLabel>(*box, "textInvalidConf")->text(), QString("Invalid BPM configuration"));
        const QList<int> sentBefore = sentMap(0);

        Prompts::queueAnswer(QMessageBox::StandardButton(answer));
        saveThroughTheButton(dialog);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown()[0].kind, Prompts::Kind::Question);
        QVERIFY2(Prompts::shown()[0].text.contains("BPM 1: Ch 2 (top and left)"),
                 qPrintable(Prompts::shown()[0].text));

        if (answer == QMessageBox::Yes) {
            QCOMPARE(sentMap(0), QList<int>({1, 2, 3, 1}));
            QCOMPARE(stored().value("BPM1/Top").toInt(), 1);
            QCOMPARE(stored().value("BPM1/Left").toInt(), 1);
            QCOMPARE(SimControl::callCount("setBPMscale"), 1);
            QVERIFY(!dialog.isVisible());
            return;
        }
        QCOMPARE(sentMap(0), sentBefore);
        QCOMPARE(SimControl::callCount("setCrossBar") + SimControl::callCount("setBPMscale") +
                     SimControl::callCount("setBPMorient") + SimControl::callCount("setBPMoffset"),
                 0);
        QCOMPARE(TestFiles::contents(m_program->configPath()), before);
        QCOMPARE(POS_SCALE_X[0], 1.0);
        // The dialog stays open with what was chosen.
        QVERIFY(dialog.isVisible());
        QCOMPARE(child<QComboBox>(*box, "BPM90_top")->currentIndex(), 1);
    }

    // A stored Orient other than 0 and 1 leaves the orientation as it was, and
    // the stored map goes into that picture; a note says what the file holds,
    // and Save stores the orientation shown.
    void orientationOutsideZeroAndOneKeepsThePrevious_data()
    {
        QTest::addColumn<int>("previous");
        QTest::addColumn<int>("orient");

        QTest::newRow("7 after 90") << 1 << 7;
        QTest::newRow("7 after 45") << 0 << 7;
        QTest::newRow("-1 after 45") << 0 << -1;
        QTest::newRow("2 after 90") << 1 << 2;
    }

    void orientationOutsideZeroAndOneKeepsThePrevious()
    {
        QFETCH(int, previous);
        QFETCH(int, orient);

        SimControl::setZentrimPresent(1, false);
        writeBpm(0, previous, {0, 1, 2, 3}, 1000.0, 0.0);
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        writeBpm(0, orient, {3, 2, 1, 0}, 1000.0, 0.0);
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        const QString picture = previous == 1 ? "BPM90" : "BPM45";
        QCOMPARE(child<QComboBox>(*box, "BPMorientation")->currentText(), previous == 1 ? DEGREES_90 : DEGREES_45);
        QCOMPARE(child<QComboBox>(*box, picture + "_top")->currentIndex(), 3);
        QCOMPARE(child<QComboBox>(*box, picture + "_left")->currentIndex(), 0);
        auto* note = child<QLabel>(*box, "loadNote");
        QVERIFY(!note->isHidden());
        QVERIFY2(note->text().contains(QString("BPM1/Orient = %1").arg(orient)), qPrintable(note->text()));

        saveThroughTheButton(dialog);
        QVERIFY(Prompts::shown().isEmpty());
        QCOMPARE(int(SimControl::sent().orient[0]), previous);
        QCOMPARE(sentMap(0), QList<int>({3, 2, 1, 0}));
        QCOMPARE(stored().value("BPM1/Orient").toInt(), previous);
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
        QVERIFY2(child<QLabel>(*box, "loadNote")->text().contains("BPM1/Top = 9"),
                 qPrintable(child<QLabel>(*box, "loadNote")->text()));

        child<QDoubleSpinBox>(*box, "xGain")->setValue(750.0);
        saveThroughTheButton(dialog);

        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QCOMPARE(shown[0].title, QString("Invalid BPM configuration"));
        QVERIFY(shown[0].text.contains("BPM 1: an electrode has no channel"));
        // What the file holds, and what to do.
        QVERIFY2(shown[0].text.contains("BPM1/Top = 9"), qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains("press Save again"), qPrintable(shown[0].text));
        QCOMPARE(SimControl::callCount("setCrossBar") + SimControl::callCount("setBPMscale"), 0);
        QCOMPARE(TestFiles::contents(m_program->configPath()), before);
        QCOMPARE(POS_SCALE_X[0], 1.0);
    }

    // Switching the orientation puts the other picture's channels in force:
    // they are checked at once, and Save asks about the map 0, 0, 0, 0.
    void orientationChangeChecksTheMap()
    {
        SimControl::setZentrimPresent(1, false);
        writeBpm(0, 1, {0, 1, 2, 3}, 1000.0, 0.0);
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        QVERIFY(!invalidShown(box));
        child<QComboBox>(*box, "BPMorientation")->setCurrentText(DEGREES_45);
        QVERIFY(invalidShown(box));
        Prompts::queueAnswer(QMessageBox::No);
        saveThroughTheButton(dialog);
        QCOMPARE(SimControl::callCount("setCrossBar"), 0);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown()[0].kind, Prompts::Kind::Question);
        QVERIFY2(Prompts::shown()[0].text.contains("Ch 1 (top, right, bottom and left)"),
                 qPrintable(Prompts::shown()[0].text));
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
        QTest::newRow("Scale_X empty") << QByteArray("Scale_X=") << "xGain" << "X scaling" << 800.0;
        QTest::newRow("Offset_X nan") << QByteArray("Offset_X=nan") << "xOffset" << "X offset" << -3.0;
        QTest::newRow("Offset_Y inf") << QByteArray("Offset_Y=-inf") << "yOffset" << "Y offset" << 0.0;
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

    // A stored value beyond what its box shows: the box shows its nearest
    // value and a note with the key and what the file holds. Save sends what
    // the box shows, unless that is a scale of 0, which stays refused.
    void storedValueBeyondTheBox_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("note");
        QTest::addColumn<double>("saved");  // NaN: refused

        QTest::newRow("Scale_X negative") << QByteArray("Scale_X=-1000") << "xGain" << QString("0.000 µm")
                                          << "BPM1/Scale_X = -1000" << qQNaN();
        QTest::newRow("Scale_Y beyond the box") << QByteArray("Scale_Y=1e9") << "yGain"
                                                << QString("100000000.000 µm") << "BPM1/Scale_Y = 1000000000" << 1e8;
        QTest::newRow("Offset_Y below the box") << QByteArray("Offset_Y=-20000") << "yOffset"
                                                << QString("-10000.000 µm") << "BPM1/Offset_Y = -20000" << -10000.0;
        QTest::newRow("Offset_X finer than the box") << QByteArray("Offset_X=0.0004") << "xOffset"
                                                     << QString("0.000 µm") << "BPM1/Offset_X = 0.0004" << 0.0;
    }

    void storedValueBeyondTheBox()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, field);
        QFETCH(QString, shown);
        QFETCH(QString, note);
        QFETCH(double, saved);

        const QByteArray key = line.left(line.indexOf('='));
        const QByteArray file = TestFiles::replacingKey(
            "[BPM1]\nOrient=1\nTop=0\nRight=1\nBottom=2\nLeft=3\nScale_X=1000\nScale_Y=1000\nOffset_X=1\nOffset_Y=1\n",
            line);
        TestFiles::put(m_program->configPath(), file);
        SimControl::setZentrimPresent(1, false);
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        QCOMPARE(child<QDoubleSpinBox>(*box, field)->text(), shown);
        auto* noteLabel = child<QLabel>(*box, "loadNote");
        QVERIFY(!noteLabel->isHidden());
        QVERIFY2(noteLabel->text().contains(note), qPrintable(noteLabel->text()));
        QCOMPARE(SimControl::callCount("setBPMscale"), 0);

        saveThroughTheButton(dialog);
        if (std::isnan(saved)) {
            QCOMPARE(Prompts::shown().size(), 1);
            QVERIFY2(Prompts::shown()[0].text.contains("X scaling is 0"), qPrintable(Prompts::shown()[0].text));
            QVERIFY2(Prompts::shown()[0].text.contains(note), qPrintable(Prompts::shown()[0].text));
            QCOMPARE(SimControl::callCount("setBPMscale"), 0);
            QCOMPARE(TestFiles::contents(m_program->configPath()), file);
            return;
        }
        QVERIFY(Prompts::shown().isEmpty());
        QCOMPARE(stored().value("BPM1/" + QString::fromLatin1(key)).toDouble(), saved);
        QVERIFY(!dialog.isVisible());
        // The file now holds what the box showed: the next opening has nothing to tell.
        dialog.showAndRefresh();
        QVERIFY(noteLabel->isHidden());
    }

    // Device 0 absent: BPM 1's box is hidden. With a fresh file it holds no
    // usable map or scale, and BPM 2 still saves; BPM 1 stays as the file has it.
    void hiddenBoxNeverBlocksTheShownOne()
    {
        SimControl::setZentrimPresent(0, false);
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        QVERIFY(boxOf(dialog, 0)->isHidden());
        const SimControl::Sent before = SimControl::sent();
        edit(boxOf(dialog, 1), DEGREES_90, {1, 2, 3, 0}, 900.0, 2.0);
        saveThroughTheButton(dialog);

        QVERIFY(Prompts::shown().isEmpty());
        QVERIFY(!dialog.isVisible());
        QCOMPARE(sentMap(1), QList<int>({1, 2, 3, 0}));
        QCOMPARE(SimControl::sent().bpmScale[1][0], 900.0);
        QCOMPARE(POS_SCALE_X[1], 900.0);
        QCOMPARE(stored().value("BPM2/Scale_X").toDouble(), 900.0);
        // Nothing of BPM 1 went anywhere.
        QCOMPARE(SimControl::callCount("setBPMscale", 0) + SimControl::callCount("setBPMoffset", 0), 0);
        QCOMPARE(sentMap(0), QList<int>({before.crossBar[0][0], before.crossBar[0][1], before.crossBar[0][2],
                                         before.crossBar[0][3]}));
        QVERIFY(!stored().childGroups().contains("BPM1"));
        QCOMPARE(POS_SCALE_X[0], 1.0);
    }

    // Below admin the boxes take no edits: a refusal says where the remedy is.
    void refusalBelowAdminNamesTheLevel()
    {
        USER_LEVEL = USER_LEVEL_USER;
        SimControl::setZentrimPresent(1, false);
        TestFiles::put(m_program->configPath(), "[BPM1]\nOrient=1\nTop=0\nRight=1\nBottom=2\nLeft=3\nScale_X=nan\n"
                                                "Scale_Y=1000\nOffset_X=0\nOffset_Y=0\n");
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        QVERIFY(!boxOf(dialog, 0)->isEnabled());
        saveThroughTheButton(dialog);
        QCOMPARE(Prompts::shown().size(), 1);
        QVERIFY2(Prompts::shown()[0].text.contains("X scaling was not read"), qPrintable(Prompts::shown()[0].text));
        QVERIFY2(Prompts::shown()[0].text.contains("admin level (Settings > Login)"),
                 qPrintable(Prompts::shown()[0].text));
        QCOMPARE(SimControl::callCount("setBPMscale"), 0);
    }

    // The notes take room: the dialog grows to hold them, and squeezes no
    // control below what it needs to be read and pressed.
    void notesGetRoomInTheDialog()
    {
        TestFiles::put(m_program->configPath(), "[BPM1]\nOrient=7\nTop=7\nRight=1\nBottom=2\nLeft=3\n"
                                                "Scale_X=-2\nScale_Y=1e9\nOffset_X=-20000\nOffset_Y=2e8\n");
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        BPM* box = boxOf(dialog, 0);
        QCOMPARE(box->storedNotes().size(), 6);
        for (const char* name : {"enableHVbutton", "setHVbutton", "biasVoltageDoubleSpinBox", "xGain"}) {
            auto* control = child<QWidget>(*box, name);
            QVERIFY2(control->height() >= control->sizeHint().height(), name);
        }
        auto* note = child<QLabel>(*box, "loadNote");
        QVERIFY(note->height() >= note->heightForWidth(note->width()));
    }

    // On a controller without offsets their rows are hidden: an offset the box
    // cannot show is neither sent as its clamp nor written over in the file.
    void hiddenOffsetBeyondItsBoxStaysInTheFile()
    {
        SW_VERSION = "1.0.02";
        SimControl::setZentrimPresent(1, false);
        TestFiles::put(m_program->configPath(), "[BPM1]\nOrient=1\nTop=0\nRight=1\nBottom=2\nLeft=3\n"
                                                "Scale_X=1000\nScale_Y=1000\nOffset_X=-20000\nOffset_Y=1\n");
        WindowBeamlineConf dialog;
        dialog.showAndRefresh();
        BPM* box = boxOf(dialog, 0);
        QVERIFY(child<QDoubleSpinBox>(*box, "xOffset")->isHidden());
        // What cannot be seen is not noted either.
        QVERIFY(box->storedNotes().isEmpty());
        saveThroughTheButton(dialog);
        QVERIFY(Prompts::shown().isEmpty());
        QCOMPARE(SimControl::callCount("setBPMoffset"), 0);
        QCOMPARE(SimControl::callCount("setBPMscale"), 1);
        QCOMPARE(stored().value("BPM1/Offset_X").toDouble(), -20000.0);
        QCOMPARE(stored().value("BPM1/Offset_Y").toDouble(), 1.0);
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
};

QTEST_MAIN(TestWindowBeamlineConfSave)
#include "tst_windowbeamlineconf_save.moc"
