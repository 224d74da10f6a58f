#pragma once
// Every modal message box and file dialog of the program goes through here, so
// that a test can answer them in advance instead of hanging on them.
#include <QList>
#include <QMessageBox>
#include <QString>

class QWidget;

class Prompts
{
public:
    enum class Kind { Information, Warning, Critical, Question, SaveFileName, OpenFileName };

    struct Shown
    {
        Kind kind;
        QString title;
        QString text;
    };

    static QMessageBox::StandardButton information(QWidget* parent, const QString& title, const QString& text,
                                                   QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    static QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                               QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    static QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    static QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No);
    static QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
    static QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);

    // Test mode: nothing is shown, every prompt is recorded and answered from the
    // queues below (a box with no queued answer returns its first button, a file
    // dialog an empty name, as a cancelled one would).
    static void setTestMode(bool on);
    static bool testMode();
    static void queueAnswer(QMessageBox::StandardButton button);
    static void queueFileName(const QString& name);
    static QList<Shown> shown();
    static void clear();

private:
    static QMessageBox::StandardButton box(Kind kind, QWidget* parent, const QString& title, const QString& text,
                                           QMessageBox::StandardButtons buttons);
    static QString file(Kind kind, QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
};
