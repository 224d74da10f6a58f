#pragma once
// Changes the user level by name and password. The hardware library judges the
// credentials; the program holds no password.
#include <QDialog>

namespace Ui {
class DialogLogin;
}

class DialogLogin : public QDialog
{
    Q_OBJECT

public:
    static constexpr int CREDENTIAL_BYTES = 32;

    // parent: the main window, whose level wiring initConnections sets up.
    explicit DialogLogin(QWidget* parent = nullptr);
    ~DialogLogin() override;

    void initConnections();
    void clearFields();
    // Shows the name of USER_LEVEL and announces it.
    void updateLevel();

    // "cruise", "user", "admin"; empty for any other level.
    static QString levelName(int level);
    // Zero-filled, then the Latin-1 text cut to 31 characters and a terminating zero.
    static void fillCredential(const QString& text, char (&buffer)[CREDENTIAL_BYTES]);

signals:
    void userLevelChanged(int level);

private slots:
    void checkPasswd();

private:
    Ui::DialogLogin* ui = nullptr;
    QWidget* m_mainWindow = nullptr;
};
