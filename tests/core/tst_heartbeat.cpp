#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTimer>
#include <QtTest>
#include <optional>

#include "Globals.h"
#include "HeartBeat.h"
#include "QLed.h"
#include "SimControl.h"
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
        QTest::newRow("-1 failed read leaves text and lamp")
            << -1 << "Beam OFF" << int(QLed::Purple) << "Disable Feedback" << true;
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

        QTest::newRow("cruise disables") << 0 << true << false;
        QTest::newRow("user enables") << 1 << false << true;
        QTest::newRow("admin enables") << 2 << false << true;
        QTest::newRow("negative keeps enabled") << -1 << true << true;
        QTest::newRow("negative keeps disabled") << -1 << false << false;
        QTest::newRow("3 keeps disabled") << 3 << false << false;
        QTest::newRow("3 keeps enabled") << 3 << true << true;
    }

    void levelRule()
    {
        QFETCH(int, lockStatus);
        QFETCH(bool, enabledBefore);
        QFETCH(bool, enabledAfter);

        HeartBeat panel;
        panel.setEnabled(enabledBefore);
        SimControl::setLockStatus(lockStatus);
        QSignalSpy spy(&panel, &HeartBeat::userLevelChanged);
        tick(panel);

        QCOMPARE(USER_LEVEL, lockStatus);
        QCOMPARE(panel.isEnabled(), enabledAfter);
        QCOMPARE(feedbackButton(panel)->isEnabled(), enabledAfter);
        QCOMPARE(resetButton(panel)->isEnabled(), enabledAfter);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), lockStatus);
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

private:
    void pollStatus(int status)
    {
        SimControl::failCall("getPIDstatus", status);
        m_program->link->refreshData();
        QCOMPARE(m_program->link->pidStatus(), status);
    }
    static void tick(HeartBeat& panel) { QVERIFY(QMetaObject::invokeMethod(&panel, "refreshFields")); }
    static QLed* lamp(HeartBeat& panel) { return panel.findChild<QLed*>("heartbeatLed"); }
    static QLabel* statusLabel(HeartBeat& panel) { return panel.findChild<QLabel*>("heartbeatLabel"); }
    static QPushButton* feedbackButton(HeartBeat& panel) { return panel.findChild<QPushButton*>("buttonFdbk"); }
    static QPushButton* resetButton(HeartBeat& panel) { return panel.findChild<QPushButton*>("resetPIDbutton"); }

    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestHeartBeat)
#include "tst_heartbeat.moc"
