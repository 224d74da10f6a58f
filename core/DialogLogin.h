#pragma once
// Changes the user level by name and password. The hardware library judges the
// credentials; the program holds no password.
#include <QDialog>

namespace Ui {
class DialogLogin;
}
class QLineEdit;

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

    // Shown, also when it already was (behind the main window): to the front,
    // active, and the keyboard in the user name field.
    void setVisible(bool visible) override;

signals:
    void userLevelChanged(int level);

private slots:
    void checkPasswd();

private:
    // After a refused try: the dialog back in front, and the keyboard in the
    // field to correct, its text selected so that typing replaces it.
    void correct(QLineEdit* field);

    Ui::DialogLogin* ui = nullptr;
    QWidget* m_mainWindow = nullptr;
};
