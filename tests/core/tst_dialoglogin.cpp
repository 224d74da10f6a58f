#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QtTest>
#include <cstring>
#include <memory>
#include <optional>

#include "DialogLogin.h"
#include "Globals.h"
#include "HeartBeat.h"
#include "MainWindow.h"
#include "Prompts.h"
#include "SimControl.h"
#include "WidgetFeedbackControl.h"
#include "support/ProgramFixture.h"

namespace {

const QString noBox;

QAction* action(const MainWindow& window, const char* name)
{
    return window.findChild<QAction*>(name);
}

// Types as an operator does: each key goes to whatever has the keyboard focus
// at that moment; a tab moves to the next field, a line feed is Return.
bool typeAtFocus(const QString& keys)
{
    for (const QChar key : keys) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus) {
            qWarning("nothing has the keyboard for \"%s\"", qPrintable(keys));
            return false;
        }
        if (key == QLatin1Char('\t'))
            QTest::keyClick(focus, Qt::Key_Tab);
        else if (key == QLatin1Char('\n'))
            QTest::keyClick(focus, Qt::Key_Return);
        else
            QTest::keyClicks(focus, QString(key));
    }
    return true;
}

// The three measurement entries, which always move together: -1 when they disagree.
int measurementsEnabled(const MainWindow& window)
{
    const bool rocking = action(window, "action_Rocking_Curve")->isEnabled();
    if (action(window, "actionRocking_Curve_3D")->isEnabled() != rocking
        || action(window, "actionStep_Response")->isEnabled() != rocking)
        return -1;
    return rocking ? 1 : 0;
}

}  // namespace

class TestDialogLogin : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_program.emplace(ProgramFixture::Options().withUpdater().atUserLevel(USER_LEVEL_USER)); }

    void cleanup() { m_program.reset(); }

    void formAsBuilt()
    {
        DialogLogin dialog;
        QCOMPARE(dialog.objectName(), QString("DialogLogin"));
        QCOMPARE(dialog.windowTitle(), QString("Log in"));
        QCOMPARE(dialog.size(), QSize(400, 228));
        QCOMPARE(dialog.findChild<QLabel*>("usernameLabel")->text(), QString("Username: "));
        QCOMPARE(dialog.findChild<QLabel*>("passwordLabel")->text(), QString("Password: "));
        QCOMPARE(dialog.findChild<QLabel*>("label")->text(), QString("Current level: "));
        QCOMPARE(currentLevel(dialog)->text(), QString());
        QCOMPARE(password(dialog)->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog.findChild<QPushButton*>("logIn")->text(), QString("Log in"));
        QVERIFY(!dialog.isModal());
    }

    void login_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pass");
        QTest::addColumn<int>("libraryAnswer");  // -2: the simulator judges
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("boxTitle");
        QTest::addColumn<QString>("boxText");
        QTest::addColumn<bool>("accepted");

        const QString wrongPassword = "Wrong password";
        const QString passwordText = "Password entered does not match.\n\n";
        const QString wrongUser = "Wrong username";
        const QString userText = "Username entered does not match.\n\n";

        QTest::newRow("cruise accepted") << "cruise" << "cruise" << -2 << 0 << noBox << noBox << true;
        QTest::newRow("user accepted") << "user" << "user" << -2 << 1 << noBox << noBox << true;
        QTest::newRow("admin accepted") << "admin" << "admin" << -2 << 2 << noBox << noBox << true;
        QTest::newRow("admin wrong password") << "admin" << "nimda" << -2 << -1 << wrongPassword << passwordText
                                              << false;
        QTest::newRow("user wrong password") << "user" << "admin" << -2 << -1 << wrongPassword << passwordText
                                             << false;
        QTest::newRow("cruise wrong password stays silent") << "cruise" << "x" << -2 << -1 << noBox << noBox
                                                            << false;
        QTest::newRow("cruise answered 1 stays silent") << "cruise" << "cruise" << 1 << 1 << noBox << noBox
                                                        << false;
        QTest::newRow("admin answered 1") << "admin" << "admin" << 1 << 1 << wrongPassword << passwordText << false;
        QTest::newRow("user answered 2") << "user" << "user" << 2 << 2 << wrongPassword << passwordText << false;
        QTest::newRow("capital Admin is no user name") << "Admin" << "admin" << 2 << 2 << wrongUser << userText
                                                       << false;
        QTest::newRow("unknown name") << "bob" << "bob" << -2 << -1 << wrongUser << userText << false;
        QTest::newRow("empty name and password") << "" << "" << -2 << -1 << wrongUser << userText << false;
        QTest::newRow("name with a blank") << "admin " << "admin" << 2 << 2 << wrongUser << userText << false;
    }

    void login()
    {
        QFETCH(QString, name);
        QFETCH(QString, pass);
        QFETCH(int, libraryAnswer);
        QFETCH(int, level);
        QFETCH(QString, boxTitle);
        QFETCH(QString, boxText);
        QFETCH(bool, accepted);

        if (libraryAnswer != -2)
            SimControl::failCall("getLock", libraryAnswer);
        USER_LEVEL = 7;
        DialogLogin dialog;
        dialog.show();
        QSignalSpy spy(&dialog, &DialogLogin::userLevelChanged);
        user(dialog)->setText(name);
        password(dialog)->setText(pass);
        QTest::mouseClick(dialog.findChild<QPushButton*>("logIn"), Qt::LeftButton);

        QCOMPARE(SimControl::callCount("getLock"), 1);
        // The library's answer is kept whether or not the name matches it.
        QCOMPARE(USER_LEVEL, level);
        const QList<Prompts::Shown> shown = Prompts::shown();
        if (boxTitle.isEmpty()) {
            QVERIFY(shown.isEmpty());
        } else {
            QCOMPARE(shown.size(), 1);
            QCOMPARE(int(shown.at(0).kind), int(Prompts::Kind::Warning));
            QCOMPARE(shown.at(0).title, boxTitle);
            QCOMPARE(shown.at(0).text, boxText);
        }
        QCOMPARE(dialog.isVisible(), !accepted);
        QCOMPARE(spy.count(), accepted ? 1 : 0);
        if (accepted) {
            QCOMPARE(spy.at(0).at(0).toInt(), level);
            QCOMPARE(currentLevel(dialog)->text(), name);
        } else {
            QCOMPARE(currentLevel(dialog)->text(), QString());
            // Left as typed behind the box.
            QCOMPARE(user(dialog)->text(), name);
            QCOMPARE(password(dialog)->text(), pass);
        }
    }

    void credentialBuffer_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("short") << "admin" << QByteArray("admin");
        QTest::newRow("31 characters kept") << QString(31, 'a') << QByteArray(31, 'a');
        QTest::newRow("32 characters cut to 31") << QString(32, 'b') << QByteArray(31, 'b');
        QTest::newRow("40 characters cut to 31") << QString("0123456789").repeated(4)
                                                 << QByteArray("0123456789012345678901234567890");
        QTest::newRow("latin-1 letter as one byte") << QString::fromUtf8("j\xc3\xa9r\xc3\xb4me")
                                                    << QByteArray("j\xe9r\xf4me");
    }

    void credentialBuffer()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);

        char buffer[DialogLogin::CREDENTIAL_BYTES];
        std::memset(buffer, 'x', sizeof buffer);
        DialogLogin::fillCredential(text, buffer);
        QCOMPARE(QByteArray(buffer, int(qstrnlen(buffer, sizeof buffer))), expected);
        // Zero from the end of the text to the end of the buffer.
        for (size_t i = size_t(expected.size()); i < sizeof buffer; ++i)
            QCOMPARE(int(buffer[i]), 0);
    }

    void longNameIsCutBeforeTheLibrary()
    {
        // A name that matches an account only in its first 31 characters
        // would be accepted; "admin" plus 35 blanks is not "admin".
        DialogLogin dialog;
        user(dialog)->setText("admin" + QString(35, ' '));
        password(dialog)->setText("admin");
        QTest::mouseClick(dialog.findChild<QPushButton*>("logIn"), Qt::LeftButton);
        QCOMPARE(USER_LEVEL, -1);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().at(0).title, QString("Wrong username"));
    }

    void levelNames_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("name");
        QTest::newRow("0") << 0 << "cruise";
        QTest::newRow("1") << 1 << "user";
        QTest::newRow("2") << 2 << "admin";
        QTest::newRow("3 nameless") << 3 << "";
        QTest::newRow("-1 nameless") << -1 << "";
    }

    void levelNames()
    {
        QFETCH(int, level);
        QFETCH(QString, name);
        DialogLogin dialog;
        QSignalSpy spy(&dialog, &DialogLogin::userLevelChanged);
        USER_LEVEL = level;
        dialog.updateLevel();
        QCOMPARE(currentLevel(dialog)->text(), name);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), level);
    }

    void clearFieldsEmptiesBoth()
    {
        DialogLogin dialog;
        user(dialog)->setText("admin");
        password(dialog)->setText("secret");
        dialog.clearFields();
        QCOMPARE(user(dialog)->text(), QString());
        QCOMPARE(password(dialog)->text(), QString());
    }

    void heartbeatSitsAboveTheControlTabs()
    {
        std::unique_ptr<MainWindow> window = buildWindow();
        auto* heartbeat = window->findChild<HeartBeat*>();
        QVERIFY(heartbeat);
        auto* tabs = window->findChild<QTabWidget*>();
        QVERIFY(tabs);
        QVERIFY(heartbeat->parentWidget() == tabs->parentWidget());
        auto* layout = qobject_cast<QVBoxLayout*>(heartbeat->parentWidget()->layout());
        QVERIFY(layout);
        QCOMPARE(layout->indexOf(heartbeat), 0);
        QCOMPARE(layout->indexOf(tabs), 1);
        // Shown from the cached status while the window was built.
        QCOMPARE(heartbeat->findChild<QLabel*>("heartbeatLabel")->text(), QString("Feedback OFF"));
    }

    void constructorGatesWithTheLevelTheHeartbeatRead_data()
    {
        QTest::addColumn<int>("lockStatus");
        QTest::addColumn<bool>("measurements");
        QTest::addColumn<bool>("manualOutput");
        QTest::newRow("user") << 1 << true << true;
        QTest::newRow("cruise") << 0 << false << false;
        QTest::newRow("admin") << 2 << false << true;
        // A failed read is no level: the one before it (1, set below) stays.
        QTest::newRow("library failure keeps the level before") << -1 << true << true;
    }

    void constructorGatesWithTheLevelTheHeartbeatRead()
    {
        QFETCH(int, lockStatus);
        QFETCH(bool, measurements);
        QFETCH(bool, manualOutput);
        SimControl::setLockStatus(lockStatus);
        USER_LEVEL = 1;
        std::unique_ptr<MainWindow> window = buildWindow();
        QCOMPARE(USER_LEVEL, lockStatus < 0 ? 1 : lockStatus);
        QCOMPARE(measurementsEnabled(*window), measurements ? 1 : 0);
        QCOMPARE(action(*window, "actionManual_Output_Control")->isEnabled(), manualOutput);
    }

    void noLevelWiringBeforeTheDialogExists()
    {
        std::unique_ptr<MainWindow> window = buildWindow();
        SimControl::setLockStatus(2);
        tick(*window);
        QCOMPARE(measurementsEnabled(*window), 1);
    }

    void adminLoginDisablesTheMeasurementsForGood()
    {
        std::unique_ptr<MainWindow> window = buildWindow();
        DIALOG_LOGIN = new DialogLogin(window.get());
        DIALOG_LOGIN->initConnections();
        QCOMPARE(measurementsEnabled(*window), 1);

        QVERIFY(QMetaObject::invokeMethod(window.get(), "showLoginDialog"));
        QVERIFY(DIALOG_LOGIN->isVisible());
        user(*DIALOG_LOGIN)->setText("admin");
        password(*DIALOG_LOGIN)->setText("admin");
        QTest::mouseClick(DIALOG_LOGIN->findChild<QPushButton*>("logIn"), Qt::LeftButton);
        QVERIFY(!DIALOG_LOGIN->isVisible());
        QCOMPARE(USER_LEVEL, 2);
        QCOMPARE(measurementsEnabled(*window), 0);
        QVERIFY(action(*window, "actionManual_Output_Control")->isEnabled());

        // The lock status falls back to "user"; the next tick reports it.
        SimControl::setLockStatus(1);
        tick(*window);
        QCOMPARE(USER_LEVEL, 1);
        QCOMPARE(measurementsEnabled(*window), 0);
        QVERIFY(action(*window, "actionManual_Output_Control")->isEnabled());
    }

    void loginAndTickReachTheFeedbackPanel()
    {
        std::unique_ptr<MainWindow> window = buildWindow();
        auto* feedback = window->findChild<WidgetFeedbackControl*>();
        QVERIFY(feedback);
        DIALOG_LOGIN = new DialogLogin(window.get());
        DIALOG_LOGIN->initConnections();
        QVERIFY(feedback->isEnabled());

        user(*DIALOG_LOGIN)->setText("cruise");
        password(*DIALOG_LOGIN)->setText("cruise");
        QTest::mouseClick(DIALOG_LOGIN->findChild<QPushButton*>("logIn"), Qt::LeftButton);
        QVERIFY(!feedback->isEnabled());
        QVERIFY(!action(*window, "actionManual_Output_Control")->isEnabled());

        SimControl::setLockStatus(1);
        tick(*window);
        QVERIFY(feedback->isEnabled());
        QVERIFY(action(*window, "actionManual_Output_Control")->isEnabled());
    }

    void menuEntryClearsAndReannounces()
    {
        std::unique_ptr<MainWindow> window = buildWindow();
        DIALOG_LOGIN = new DialogLogin(window.get());
        DIALOG_LOGIN->initConnections();
        QCOMPARE(DIALOG_LOGIN->parentWidget(), window.get());
        user(*DIALOG_LOGIN)->setText("admin");
        password(*DIALOG_LOGIN)->setText("secret");
        QSignalSpy spy(DIALOG_LOGIN, &DialogLogin::userLevelChanged);

        USER_LEVEL = 0;  // as if the last report was "cruise"
        action(*window, "action_Login")->trigger();
        QVERIFY(DIALOG_LOGIN->isVisible());
        QCOMPARE(user(*DIALOG_LOGIN)->text(), QString());
        QCOMPARE(password(*DIALOG_LOGIN)->text(), QString());
        QCOMPARE(currentLevel(*DIALOG_LOGIN)->text(), QString("cruise"));
        QCOMPARE(spy.count(), 1);
        QVERIFY(!action(*window, "actionManual_Output_Control")->isEnabled());
        QCOMPARE(SimControl::callCount("getLock"), 0);

        // Choosing the entry again while open only refreshes it.
        user(*DIALOG_LOGIN)->setText("user");
        action(*window, "action_Login")->trigger();
        QVERIFY(DIALOG_LOGIN->isVisible());
        QCOMPARE(user(*DIALOG_LOGIN)->text(), QString());
        QCOMPARE(spy.count(), 2);
    }

    void keyboardAloneLogsInTwice_data()
    {
        QTest::addColumn<QString>("refused");     // the first try, typed from the user name field
        QTest::addColumn<QString>("boxTitle");    // empty: refused without a box
        QTest::addColumn<QString>("field");       // where the keyboard goes after the refusal
        QTest::addColumn<QString>("correction");  // typed from there
        QTest::addColumn<int>("firstLevel");

        QTest::newRow("wrong password for user") << "user\twrong\n" << "Wrong password" << "passwordLineEdit"
                                                 << "user\n" << 1;
        QTest::newRow("wrong password for admin") << "admin\tuser\n" << "Wrong password" << "passwordLineEdit"
                                                  << "admin\n" << 2;
        QTest::newRow("wrong user name") << "usr\tuser\n" << "Wrong username" << "usernameLineEdit"
                                         << "user\tuser\n" << 1;
        QTest::newRow("capital letter in the name") << "Admin\tadmin\n" << "Wrong username" << "usernameLineEdit"
                                                    << "admin\tadmin\n" << 2;
        QTest::newRow("cruise with a wrong password, refused in silence")
            << "cruise\tx\n" << "" << "passwordLineEdit" << "cruise\n" << 0;
    }

    // Opened from the menu, refused once, corrected, then opened again: the
    // keyboard alone does it all, and the second opening also raises a dialog
    // left open behind the main window.
    void keyboardAloneLogsInTwice()
    {
        QFETCH(QString, refused);
        QFETCH(QString, boxTitle);
        QFETCH(QString, field);
        QFETCH(QString, correction);
        QFETCH(int, firstLevel);

        std::unique_ptr<MainWindow> window = buildWindow();
        DIALOG_LOGIN = new DialogLogin(window.get());
        DIALOG_LOGIN->initConnections();
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));

        action(*window, "action_Login")->trigger();
        QTRY_COMPARE(QApplication::activeWindow(), DIALOG_LOGIN);
        QCOMPARE(QApplication::focusWidget(), user(*DIALOG_LOGIN));

        QVERIFY(typeAtFocus(refused));
        QCOMPARE(SimControl::callCount("getLock"), 1);
        QVERIFY(DIALOG_LOGIN->isVisible());
        if (boxTitle.isEmpty()) {
            QVERIFY(Prompts::shown().isEmpty());
        } else {
            QCOMPARE(Prompts::shown().size(), 1);
            QCOMPARE(Prompts::shown().at(0).title, boxTitle);
        }
        QTRY_COMPARE(QApplication::activeWindow(), DIALOG_LOGIN);
        QCOMPARE(QApplication::focusWidget()->objectName(), field);

        QVERIFY(typeAtFocus(correction));
        QCOMPARE(SimControl::callCount("getLock"), 2);
        QCOMPARE(USER_LEVEL, firstLevel);
        QVERIFY(!DIALOG_LOGIN->isVisible());

        // Opened and left half typed behind the main window, then chosen again.
        action(*window, "action_Login")->trigger();
        QTRY_COMPARE(QApplication::activeWindow(), DIALOG_LOGIN);
        QVERIFY(typeAtFocus(QStringLiteral("adm\tad")));
        window->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), window.get());
        action(*window, "action_Login")->trigger();
        QTRY_COMPARE(QApplication::activeWindow(), DIALOG_LOGIN);
        QCOMPARE(user(*DIALOG_LOGIN)->text(), QString());
        QCOMPARE(password(*DIALOG_LOGIN)->text(), QString());
        QCOMPARE(QApplication::focusWidget(), user(*DIALOG_LOGIN));

        const QString second = firstLevel == USER_LEVEL_ADMIN ? QStringLiteral("user\tuser\n")
                                                              : QStringLiteral("admin\tadmin\n");
        QVERIFY(typeAtFocus(second));
        QCOMPARE(SimControl::callCount("getLock"), 3);
        QCOMPARE(USER_LEVEL, firstLevel == USER_LEVEL_ADMIN ? int(USER_LEVEL_USER) : int(USER_LEVEL_ADMIN));
        QVERIFY(!DIALOG_LOGIN->isVisible());
        QCOMPARE(Prompts::shown().size(), boxTitle.isEmpty() ? 0 : 1);
    }

    void loginEntryWithoutDialogDoesNothing()
    {
        std::unique_ptr<MainWindow> window = buildWindow();
        DIALOG_LOGIN = nullptr;
        action(*window, "action_Login")->trigger();
        QVERIFY(Prompts::shown().isEmpty());
    }

private:
    std::unique_ptr<MainWindow> buildWindow()
    {
        SW_VERSION = "1.0.10";
        ProgramFixture::setPosScales(1000.0);
        m_program->link->refreshData();
        return std::make_unique<MainWindow>();
    }
    static void tick(MainWindow& window)
    {
        auto* heartbeat = window.findChild<HeartBeat*>();
        QVERIFY(heartbeat);
        QVERIFY(QMetaObject::invokeMethod(heartbeat, "refreshFields"));
    }
    static QLineEdit* user(DialogLogin& d) { return d.findChild<QLineEdit*>("usernameLineEdit"); }
    static QLineEdit* password(DialogLogin& d) { return d.findChild<QLineEdit*>("passwordLineEdit"); }
    static QLabel* currentLevel(DialogLogin& d) { return d.findChild<QLabel*>("currentLevel"); }

    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestDialogLogin)
#include "tst_dialoglogin.moc"
