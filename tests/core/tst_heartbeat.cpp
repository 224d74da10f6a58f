#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTimer>
#include <QtTest>
#include <optional>

#include "Globals.h"
#include "HeartBeat.h"
#include "OutputOwner.h"
#include "Prompts.h"
#include "QLed.h"
#include "SimControl.h"
#include "VornLibrary.h"
#include "support/LogCapture.h"
#include "support/ProgramFixture.h"

namespace {

QImage iconImage(const QIcon& icon)
{
    return icon.pixmap(QSize(24, 24)).toImage();
}

QImage standardImage(QStyle::StandardPixmap which)
{
    return iconImage(QApplication::style()->standardIcon(which));
}

}  // namespace

class TestHeartBeat : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_program.emplace(ProgramFixture::Options().noConfig().refreshed()); }

    void cleanup() { m_program.reset(); }

    void formAsBuilt()
    {
        HeartBeat panel;
        QCOMPARE(panel.objectName(), QString("HeartBeat"));
        QCOMPARE(panel.windowTitle(), QString("Form"));
        QCOMPARE(panel.size(), QSize(255, 204));
        QCOMPARE(panel.findChild<QLabel*>("label")->text(), QString("Heartbeat:"));
        QLed* led = lamp(panel);
        QCOMPARE(led->minimumSize(), QSize(70, 35));
        QCOMPARE(led->maximumWidth(), 100);
        QCOMPARE(led->shape(), QLed::Rounded);
        QVERIFY(!led->value());
        QCOMPARE(resetButton(panel)->text(), QString("Reset Controller"));

        QPushButton* button = feedbackButton(panel);
        QVERIFY(button->isCheckable());
        QVERIFY(!button->isChecked());
        QCOMPARE(button->iconSize(), QSize(24, 24));
        QCOMPARE(button->text(), QString("Enable Feedback"));
        QCOMPARE(iconImage(button->icon()), standardImage(QStyle::SP_MediaPlay));
        // The construction's first refresh has already shown the polled status.
        QCOMPARE(statusLabel(panel)->text(), QString("Feedback OFF"));
        QCOMPARE(led->offColor(), QLed::Grey);
        QCOMPARE(led->imagePath(), QString(":/resources/round_grey.svg"));
        QVERIFY(QFile::exists(led->imagePath()));
    }

    void iconsAreTheStandardMediaPixmaps()
    {
        QCOMPARE(int(QStyle::SP_MediaPlay), 61);
        QCOMPARE(int(QStyle::SP_MediaStop), 62);
    }

    void refreshTimerRunsEverySecond()
    {
        HeartBeat panel;
        const QList<QTimer*> timers = panel.findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(timers.size(), 1);
        QCOMPARE(timers.first()->interval(), 1000);
        QVERIFY(timers.first()->isActive());
    }

    void statusShown_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("color");
        QTest::addColumn<QString>("buttonText");
        QTest::addColumn<bool>("stopIcon");

        // Before each row the panel shows "Beam OFF" in purple (or "Feedback ON"
        // in green for the beam-off row), so an unchanged display is visible.
        QTest::newRow("0 feedback off") << 0 << "Feedback OFF" << int(QLed::Grey) << "Enable Feedback" << false;
        QTest::newRow("1 fault out of ROC") << 1 << "FAULT: Out of ROC" << int(QLed::Red) << "Disable Feedback" << true;
        QTest::newRow("2 beam off") << 2 << "Beam OFF" << int(QLed::Purple) << "Disable Feedback" << true;
        QTest::newRow("3 feedback on") << 3 << "Feedback ON" << int(QLed::Green) << "Disable Feedback" << true;
        QTest::newRow("4 leaves text and lamp") << 4 << "Beam OFF" << int(QLed::Purple) << "Disable Feedback" << true;
        QTest::newRow("255 leaves text and lamp") << 255 << "Beam OFF" << int(QLed::Purple) << "Disable Feedback"
                                                  << true;
    }

    void statusShown()
    {
        QFETCH(int, status);
        QFETCH(QString, text);
        QFETCH(int, color);
        QFETCH(QString, buttonText);
        QFETCH(bool, stopIcon);

        HeartBeat panel;
        panel.updateHeartbeat(status == 2 ? 3 : 2);
        pollStatus(status);
        tick(panel);

        QCOMPARE(statusLabel(panel)->text(), text);
        QCOMPARE(int(lamp(panel)->offColor()), color);
        QVERIFY(!lamp(panel)->value());
        QCOMPARE(feedbackButton(panel)->text(), buttonText);
        QCOMPARE(iconImage(feedbackButton(panel)->icon()),
                 standardImage(stopIcon ? QStyle::SP_MediaStop : QStyle::SP_MediaPlay));
        // Checked exactly while the button offers to switch off.
        QCOMPARE(feedbackButton(panel)->isChecked(), stopIcon);
    }

    void levelRule_data()
    {
        QTest::addColumn<int>("lockStatus");
        QTest::addColumn<bool>("enabledBefore");
        QTest::addColumn<bool>("enabledAfter");
        // The level in force afterwards: a failed read (negative) keeps the one
        // read while the panel was built, "user".
        QTest::addColumn<int>("level");

        QTest::newRow("cruise disables") << 0 << true << false << 0;
        QTest::newRow("user enables") << 1 << false << true << 1;
        QTest::newRow("admin enables") << 2 << false << true << 2;
        QTest::newRow("negative keeps enabled") << -1 << true << true << 1;
        QTest::newRow("negative keeps disabled") << -1 << false << false << 1;
        QTest::newRow("3 keeps disabled") << 3 << false << false << 3;
        QTest::newRow("3 keeps enabled") << 3 << true << true << 3;
    }

    void levelRule()
    {
        QFETCH(int, lockStatus);
        QFETCH(bool, enabledBefore);
        QFETCH(bool, enabledAfter);
        QFETCH(int, level);

        HeartBeat panel;
        panel.setEnabled(enabledBefore);
        SimControl::setLockStatus(lockStatus);
        QSignalSpy spy(&panel, &HeartBeat::userLevelChanged);
        tick(panel);

        QCOMPARE(USER_LEVEL, level);
        QCOMPARE(panel.isEnabled(), enabledAfter);
        QCOMPARE(feedbackButton(panel)->isEnabled(), enabledAfter);
        QCOMPARE(resetButton(panel)->isEnabled(), enabledAfter);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), level);
    }

    void constructionReadsTheLevel()
    {
        SimControl::setLockStatus(2);
        USER_LEVEL = 0;
        HeartBeat panel;
        QCOMPARE(USER_LEVEL, 2);
        QVERIFY(panel.isEnabled());
        SimControl::setLockStatus(0);
        HeartBeat atCruise;
        QCOMPARE(USER_LEVEL, 0);
        QVERIFY(!atCruise.isEnabled());
    }

    void lockStatusUnreadFromTheStartKeepsTheStartLevel()
    {
        SimControl::failCall("getLockStatus", -1);
        USER_LEVEL = USER_LEVEL_CRUISE;
        HeartBeat panel;
        // Cruise, the level the program starts at, and gated as cruise.
        QCOMPARE(USER_LEVEL, int(USER_LEVEL_CRUISE));
        QVERIFY(!panel.isEnabled());
        QVERIFY(noteLabel(panel)->text().contains("stays cruise"));
    }

    void levelEmittedAtEveryTickAndOverwritesALogin()
    {
        SimControl::setLockStatus(1);
        HeartBeat panel;
        QSignalSpy spy(&panel, &HeartBeat::userLevelChanged);
        USER_LEVEL = 2;  // as a login may have left it
        tick(panel);
        tick(panel);
        panel.checkUserLevel();
        QCOMPARE(spy.count(), 3);
        for (const QList<QVariant>& args : spy)
            QCOMPARE(args.at(0).toInt(), 1);
        QCOMPARE(USER_LEVEL, 1);
    }

    void firstClickSwitchesTheFeedbackOn()
    {
        SimControl::setLockStatus(1);
        HeartBeat panel;
        QCOMPARE(SimControl::sent().fbEnable, uint8_t(0));

        QTest::mouseClick(feedbackButton(panel), Qt::LeftButton);
        QVERIFY(feedbackButton(panel)->isChecked());
        QCOMPARE(SimControl::sent().fbEnable, uint8_t(1));
        // Nothing changes until the device link has polled the new status.
        tick(panel);
        QCOMPARE(statusLabel(panel)->text(), QString("Feedback OFF"));

        m_program->link->refreshData();
        tick(panel);
        QCOMPARE(statusLabel(panel)->text(), QString("Feedback ON"));
        QCOMPARE(lamp(panel)->offColor(), QLed::Green);
        QCOMPARE(feedbackButton(panel)->text(), QString("Disable Feedback"));
        QCOMPARE(iconImage(feedbackButton(panel)->icon()), standardImage(QStyle::SP_MediaStop));
    }

    void switchedOffElsewhereOneClickSwitchesOn()
    {
        SimControl::setLockStatus(1);
        HeartBeat panel;
        QTest::mouseClick(feedbackButton(panel), Qt::LeftButton);
        m_program->link->refreshData();
        tick(panel);
        QCOMPARE(statusLabel(panel)->text(), QString("Feedback ON"));

        // A scan switches the feedback off behind the panel's back.
        m_program->link->setFBenable(0);
        m_program->link->refreshData();
        tick(panel);
        QCOMPARE(statusLabel(panel)->text(), QString("Feedback OFF"));
        QCOMPARE(feedbackButton(panel)->text(), QString("Enable Feedback"));
        QVERIFY(!feedbackButton(panel)->isChecked());

        QTest::mouseClick(feedbackButton(panel), Qt::LeftButton);
        QCOMPARE(SimControl::sent().fbEnable, uint8_t(1));
        QCOMPARE(SimControl::callCount("setFBenable", 1), 2);
        QCOMPARE(SimControl::callCount("setFBenable", 0), 1);
    }

    void clickDoesWhatTheLabelSays_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("sent");

        QTest::newRow("off: Enable switches on") << 0 << "Enable Feedback" << 1;
        QTest::newRow("out of ROC: Disable switches off") << 1 << "Disable Feedback" << 0;
        QTest::newRow("beam off: Disable switches off") << 2 << "Disable Feedback" << 0;
        QTest::newRow("on at start: Disable switches off") << 3 << "Disable Feedback" << 0;
    }

    void clickDoesWhatTheLabelSays()
    {
        QFETCH(int, status);
        QFETCH(QString, label);
        QFETCH(int, sent);

        SimControl::setLockStatus(1);
        // The status is already there when the panel is built (another client,
        // or a run before this one, left the loop as it is).
        pollStatus(status);
        HeartBeat panel;
        QCOMPARE(feedbackButton(panel)->text(), label);
        QCOMPARE(feedbackButton(panel)->isChecked(), status != 0);

        QTest::mouseClick(feedbackButton(panel), Qt::LeftButton);
        QCOMPARE(SimControl::callCount("setFBenable"), 1);
        QCOMPARE(SimControl::callCount("setFBenable", sent), 1);
    }

    void failedSwitchIsSentAgainByTheNextClick()
    {
        SimControl::setLockStatus(1);
        HeartBeat panel;
        SimControl::failCall("setFBenable");
        QTest::mouseClick(feedbackButton(panel), Qt::LeftButton);
        QCOMPARE(SimControl::sent().fbEnable, uint8_t(0));

        // The status still reads off, so the label still offers to switch on.
        SimControl::clearFailure("setFBenable");
        m_program->link->refreshData();
        tick(panel);
        QCOMPARE(feedbackButton(panel)->text(), QString("Enable Feedback"));
        QVERIFY(!feedbackButton(panel)->isChecked());
        QTest::mouseClick(feedbackButton(panel), Qt::LeftButton);
        QCOMPARE(SimControl::callCount("setFBenable", 1), 2);
        QCOMPARE(SimControl::sent().fbEnable, uint8_t(1));
    }

    void resetButtonResetsTheController()
    {
        SimControl::setLockStatus(1);
        HeartBeat panel;
        QCOMPARE(SimControl::sent().ctrlResets, 0);
        QTest::mouseClick(resetButton(panel), Qt::LeftButton);
        QCOMPARE(SimControl::sent().ctrlResets, 1);
        // Nothing else is sent by a reset.
        QCOMPARE(SimControl::callCount("setFBenable"), 0);
    }

    void disabledAtCruiseIgnoresClicks()
    {
        SimControl::setLockStatus(0);
        HeartBeat panel;
        QTest::mouseClick(feedbackButton(panel), Qt::LeftButton);
        QTest::mouseClick(resetButton(panel), Qt::LeftButton);
        QCOMPARE(SimControl::callCount("setFBenable"), 0);
        QCOMPARE(SimControl::sent().ctrlResets, 0);
    }

    // ---- the outputs held by a tool --------------------------------------------

    void switchOnRefusedWhileAToolHoldsTheOutputs_data()
    {
        // Each tool that drives the outputs, by the name it takes them under.
        QTest::addColumn<QString>("tool");
        QTest::newRow("frequency sweep") << "Frequency Analysis Tool";
        QTest::newRow("step test") << "Step Response";
        QTest::newRow("rocking curve") << "Rocking Curve";
        QTest::newRow("raster scan") << "3D Rocking Curve";
        QTest::newRow("manual output control") << "Manual Output Control";
    }

    void switchOnRefusedWhileAToolHoldsTheOutputs()
    {
        QFETCH(QString, tool);
        SimControl::setLockStatus(1);
        HeartBeat panel(nullptr, &m_program->outputs);
        auto lease = m_program->outputs.take(tool);
        QVERIFY(lease);

        QTest::mouseClick(feedbackButton(panel), Qt::LeftButton);
        // Nothing sent, the button still offers what it offered, and the operator is told who holds them.
        QCOMPARE(SimControl::callCount("setFBenable"), 0);
        QCOMPARE(SimControl::sent().fbEnable, uint8_t(0));
        QVERIFY(!feedbackButton(panel)->isChecked());
        QCOMPARE(feedbackButton(panel)->text(), QString("Enable Feedback"));
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().first().kind, Prompts::Kind::Warning);
        QCOMPARE(Prompts::shown().first().text, OutputOwner::busyText(tool));
        QVERIFY(Prompts::shown().first().text.contains(tool));

        // Once the tool has ended, the same click switches the feedback on.
        lease.reset();
        Prompts::clear();
        QTest::mouseClick(feedbackButton(panel), Qt::LeftButton);
        QCOMPARE(SimControl::callCount("setFBenable", 1), 1);
        QCOMPARE(SimControl::sent().fbEnable, uint8_t(1));
        QVERIFY(Prompts::shown().isEmpty());
    }

    void switchOffWorksWhileAToolHoldsTheOutputs()
    {
        SimControl::setLockStatus(1);
        QVERIFY(::setFBenable(1) >= 0);
        m_program->link->refreshData();
        HeartBeat panel(nullptr, &m_program->outputs);
        QCOMPARE(feedbackButton(panel)->text(), QString("Disable Feedback"));
        auto lease = m_program->outputs.take(QStringLiteral("Manual Output Control"));
        QTest::mouseClick(feedbackButton(panel), Qt::LeftButton);
        QCOMPARE(SimControl::callCount("setFBenable", 0), 1);
        QCOMPARE(SimControl::sent().fbEnable, uint8_t(0));
        QVERIFY(Prompts::shown().isEmpty());
    }

    void panelSaysWhenTheFeedbackDoesNotDriveTheOutputs_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("holder");   // empty: none
        QTest::addColumn<int>("mux");          // -1: the poll cannot read it
        QTest::addColumn<QString>("note");     // a part of the note; empty: no note

        QTest::newRow("on, on the outputs: no note") << 3 << "" << 1 << "";
        QTest::newRow("on, manual control holds them") << 3 << "Manual Output Control" << 0
                                                       << "Manual Output Control holds them";
        QTest::newRow("on, the sweep holds them") << 3 << "Frequency Analysis Tool" << 1
                                                  << "Frequency Analysis Tool holds them";
        QTest::newRow("on, switched away with no tool") << 3 << "" << 0 << "output multiplexer 0";
        QTest::newRow("out of ROC, a scan holds them") << 1 << "Rocking Curve" << 0 << "Rocking Curve holds them";
        QTest::newRow("beam off, switched away") << 2 << "" << 0 << "output multiplexer 0";
        QTest::newRow("off, held: nothing acts, no note") << 0 << "Step Response" << 0 << "";
        QTest::newRow("on, multiplexer not read, no tool: no claim") << 3 << "" << -1 << "";
    }

    void panelSaysWhenTheFeedbackDoesNotDriveTheOutputs()
    {
        QFETCH(int, status);
        QFETCH(QString, holder);
        QFETCH(int, mux);
        QFETCH(QString, note);
        SimControl::setLockStatus(1);
        if (mux >= 0)
            QVERIFY(::setOutputMux(uint8_t(mux)) >= 0);
        else
            SimControl::failCall("getOutputMux");
        pollStatus(status);
        HeartBeat panel(nullptr, &m_program->outputs);
        std::unique_ptr<OutputLease> lease;
        if (!holder.isEmpty())
            lease = m_program->outputs.take(holder);
        tick(panel);

        QCOMPARE(noteLabel(panel)->isVisibleTo(&panel), !note.isEmpty());
        QVERIFY2(noteLabel(panel)->text().contains(note), qPrintable(noteLabel(panel)->text()));
        // Given back: said at once, not at the next tick.
        lease.reset();
        if (mux != 0)
            QVERIFY(noteLabel(panel)->isHidden());
    }

    // ---- failed reads --------------------------------------------------------

    void failedStatusPollKeepsTheLastStatus_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("buttonText");
        QTest::newRow("on before") << 3 << "Feedback ON" << "Disable Feedback";
        QTest::newRow("off before") << 0 << "Feedback OFF" << "Enable Feedback";
    }

    void failedStatusPollKeepsTheLastStatus()
    {
        QFETCH(int, before);
        QFETCH(QString, text);
        QFETCH(QString, buttonText);
        LogCapture::install();
        SimControl::setLockStatus(1);
        pollStatus(before);
        HeartBeat panel;
        QCOMPARE(statusLabel(panel)->text(), text);
        QVERIFY(noteLabel(panel)->isHidden());

        SimControl::failCall("getPIDstatus", -1);
        for (int poll = 0; poll < 3; ++poll) {
            m_program->link->refreshData();
            tick(panel);
        }
        // The last status read, said to be old; never a status of its own.
        QCOMPARE(m_program->link->pidStatusReading().status, before);
        QVERIFY(!m_program->link->pidStatusReading().current());
        QCOMPARE(statusLabel(panel)->text(), text);
        QCOMPARE(feedbackButton(panel)->text(), buttonText);
        QVERIFY(noteLabel(panel)->isVisibleTo(&panel));
        QVERIFY2(noteLabel(panel)->text().contains("Not current"), qPrintable(noteLabel(panel)->text()));
        QTRY_COMPARE(warningsAbout("getPIDstatus()"), 1);

        // Read again: current, no note, and the next run of failures is told again.
        SimControl::clearFailure("getPIDstatus");
        QVERIFY(::setFBenable(before == 0 ? 1 : 0) >= 0);
        m_program->link->refreshData();
        tick(panel);
        QVERIFY(m_program->link->pidStatusReading().current());
        QCOMPARE(statusLabel(panel)->text(), QString(before == 0 ? "Feedback ON" : "Feedback OFF"));
        QVERIFY(noteLabel(panel)->isHidden());
        SimControl::failCall("getPIDstatus", -1);
        m_program->link->refreshData();
        QTRY_COMPARE(warningsAbout("getPIDstatus()"), 2);
    }

    void statusNeverReadIsNotShownAsOne()
    {
        m_program.emplace(ProgramFixture::Options().noConfig());
        SimControl::setLockStatus(1);
        SimControl::failCall("getPIDstatus", -1);
        m_program->link->refreshData();
        HeartBeat panel;
        QCOMPARE(statusLabel(panel)->text(), QString("No status read"));
        QCOMPARE(lamp(panel)->offColor(), QLed::Grey);
        QVERIFY(noteLabel(panel)->text().contains("No feedback status has been read"));

        SimControl::clearFailure("getPIDstatus");
        m_program->link->refreshData();
        tick(panel);
        QCOMPARE(statusLabel(panel)->text(), QString("Feedback OFF"));
        QVERIFY(noteLabel(panel)->isHidden());
    }

    void failedLockStatusKeepsTheLevel_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("admin stays admin") << 2 << "admin" << true;
        QTest::newRow("cruise stays cruise") << 0 << "cruise" << false;
    }

    void failedLockStatusKeepsTheLevel()
    {
        QFETCH(int, before);
        QFETCH(QString, name);
        QFETCH(bool, enabled);
        LogCapture::install();
        SimControl::setLockStatus(before);
        HeartBeat panel;
        QSignalSpy spy(&panel, &HeartBeat::userLevelChanged);

        SimControl::failCall("getLockStatus", -1);
        tick(panel);
        tick(panel);
        QCOMPARE(USER_LEVEL, before);
        QCOMPARE(panel.isEnabled(), enabled);
        // Still emitted at every tick, with the level in force.
        QCOMPARE(spy.count(), 2);
        for (const QList<QVariant>& args : spy)
            QCOMPARE(args.at(0).toInt(), before);
        QVERIFY2(noteLabel(panel)->text().contains("User level not current"), qPrintable(noteLabel(panel)->text()));
        QVERIFY(noteLabel(panel)->text().contains("stays " + name));
        QTRY_COMPARE(warningsAbout("getLockStatus()"), 1);

        SimControl::clearFailure("getLockStatus");
        SimControl::setLockStatus(1);
        tick(panel);
        QCOMPARE(USER_LEVEL, 1);
        QVERIFY(panel.isEnabled());
        QCOMPARE(spy.last().at(0).toInt(), 1);
        QVERIFY(noteLabel(panel)->isHidden());
    }

    void refusedLoginThenFailedLockStatusKeepsTheLevelRead()
    {
        SimControl::setLockStatus(1);
        HeartBeat panel;
        tick(panel);
        QSignalSpy spy(&panel, &HeartBeat::userLevelChanged);
        // What a refused login leaves behind: the library's failure as the level.
        USER_LEVEL = -1;
        SimControl::failCall("getLockStatus", -1);
        tick(panel);
        QCOMPARE(USER_LEVEL, 1);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.last().at(0).toInt(), 1);
        QVERIFY(panel.isEnabled());
        SimControl::clearFailure("getLockStatus");
    }

private:
    static int warningsAbout(const QString& call)
    {
        int count = 0;
        for (const QString& line : LogCapture::messagesAt(QsLogging::Warn))
            count += line.startsWith(call) ? 1 : 0;
        return count;
    }

    void pollStatus(int status)
    {
        SimControl::failCall("getPIDstatus", status);
        m_program->link->refreshData();
        QCOMPARE(m_program->link->pidStatus(), status);
    }
    static void tick(HeartBeat& panel) { QVERIFY(QMetaObject::invokeMethod(&panel, "refreshFields")); }
    static QLed* lamp(HeartBeat& panel) { return panel.findChild<QLed*>("heartbeatLed"); }
    static QLabel* statusLabel(HeartBeat& panel) { return panel.findChild<QLabel*>("heartbeatLabel"); }
    static QLabel* noteLabel(HeartBeat& panel) { return panel.findChild<QLabel*>("heartbeatNote"); }
    static QPushButton* feedbackButton(HeartBeat& panel) { return panel.findChild<QPushButton*>("buttonFdbk"); }
    static QPushButton* resetButton(HeartBeat& panel) { return panel.findChild<QPushButton*>("resetPIDbutton"); }

    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestHeartBeat)
#include "tst_heartbeat.moc"
