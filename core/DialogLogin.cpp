#include "DialogLogin.h"

#include <QLineEdit>

#include <cstring>

#include "Globals.h"
#include "MainWindow.h"
#include "Prompts.h"
#include "QsLog.h"
#include "VornLibrary.h"
#include "ui_dialoglogin.h"

DialogLogin::DialogLogin(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::DialogLogin)
    , m_mainWindow(parent)
{
    ui->setupUi(this);
    connect(ui->logIn, &QPushButton::released, this, &DialogLogin::checkPasswd);
}

DialogLogin::~DialogLogin()
{
    delete ui;
}

void DialogLogin::initConnections()
{
    if (auto* window = qobject_cast<MainWindow*>(m_mainWindow))
        window->connectLoginSignals();
}

void DialogLogin::clearFields()
{
    ui->usernameLineEdit->setText(QString());
    ui->passwordLineEdit->setText(QString());
}

void DialogLogin::setVisible(bool visible)
{
    // Before showing: a dialog being shown hands a focus-in to its focus widget,
    // and a line edit left with the focus would draw a cursor of its own.
    if (visible)
        ui->usernameLineEdit->setFocus(Qt::OtherFocusReason);
    QDialog::setVisible(visible);
    if (!visible)
        return;
    if (windowState() & Qt::WindowMinimized)
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    ui->usernameLineEdit->setFocus(Qt::OtherFocusReason);
}

void DialogLogin::correct(QLineEdit* field)
{
    raise();
    activateWindow();
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

void DialogLogin::updateLevel()
{
    ui->currentLevel->setText(levelName(USER_LEVEL));
    emit userLevelChanged(USER_LEVEL);
}

QString DialogLogin::levelName(int level)
{
    switch (level) {
    case USER_LEVEL_CRUISE:
        return QStringLiteral("cruise");
    case USER_LEVEL_USER:
        return QStringLiteral("user");
    case USER_LEVEL_ADMIN:
        return QStringLiteral("admin");
    default:
        return QString();
    }
}

void DialogLogin::fillCredential(const QString& text, char (&buffer)[CREDENTIAL_BYTES])
{
    std::memset(buffer, 0, sizeof buffer);
    qstrncpy(buffer, text.toLatin1().constData(), sizeof buffer);
}

void DialogLogin::checkPasswd()
{
    char user[CREDENTIAL_BYTES];
    char password[CREDENTIAL_BYTES];
    fillCredential(ui->usernameLineEdit->text(), user);
    fillCredential(ui->passwordLineEdit->text(), password);
    const int level = getLock(user, password);
    // Nothing of the password outlives this call.
    std::memset(password, 0, sizeof password);

    QLOG_INFO() << "login level changed:" << level;

    // Stored whatever the name; the next heartbeat tick replaces it anyway.
    USER_LEVEL = level;

    const QString name = ui->usernameLineEdit->text();
    if (name == QLatin1String("cruise")) {
        if (USER_LEVEL == USER_LEVEL_CRUISE) {
            updateLevel();
            close();
        } else {
            correct(ui->passwordLineEdit);
        }
    } else if (name == QLatin1String("admin")) {
        if (USER_LEVEL == USER_LEVEL_ADMIN) {
            updateLevel();
            close();
        } else {
            Prompts::warning(nullptr, tr("Wrong password"), tr("Password entered does not match.\n\n"));
            correct(ui->passwordLineEdit);
        }
    } else if (name == QLatin1String("user")) {
        if (USER_LEVEL == USER_LEVEL_USER) {
            updateLevel();
            close();
        } else {
            Prompts::warning(nullptr, tr("Wrong password"), tr("Password entered does not match.\n\n"));
            correct(ui->passwordLineEdit);
        }
    } else {
        Prompts::warning(nullptr, tr("Wrong username"), tr("Username entered does not match.\n\n"));
        correct(ui->usernameLineEdit);
    }
}
