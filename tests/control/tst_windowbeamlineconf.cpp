// The beamline configuration against the simulated controller: what Save stores
// in the file, sends to the controller and puts into the position scales, what a
// map that misses the monitor's cabling does to the measured beam, presence,
// user levels, and the high voltage with its range, refusals and readout. What
// Save refuses and what the file takes are in tst_windowbeamlineconf_save.
#include <QComboBox>
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
#include "BeamlineConfChecks.h"
#include "support/OutputDevice.h"
#include "support/ProgramFixture.h"

using namespace PlantConstants;

using namespace BeamlineConfChecks;

class TestWindowBeamlineConf : public BeamlineConfTest
{
    Q_OBJECT

private slots:
    void init()
    {
        startProgram();
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
};

QTEST_MAIN(TestWindowBeamlineConf)
#include "tst_windowbeamlineconf.moc"
