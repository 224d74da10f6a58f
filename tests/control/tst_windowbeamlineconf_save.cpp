// The beamline configuration's Save against the simulated controller: what it
// refuses to send (no orientation, a map with an unset or repeated channel, a
// scale of 0, a value neither read from the file nor typed), what a file the
// dialog cannot use gives, and that the file takes only what the controller took.
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSettings>
#include <QtTest>

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
};

QTEST_MAIN(TestWindowBeamlineConfSave)
#include "tst_windowbeamlineconf_save.moc"
