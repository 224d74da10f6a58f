#include "Prompts.h"

#include <QFileDialog>
#include <QQueue>

namespace {
struct TestState
{
    bool on = false;
    QQueue<QMessageBox::StandardButton> answers;
    QQueue<QString> fileNames;
    QList<Prompts::Shown> shown;
};

TestState& state()
{
    static TestState s;
    return s;
}

QMessageBox::StandardButton firstButton(QMessageBox::StandardButtons buttons)
{
    for (unsigned bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (buttons & bit)
            return static_cast<QMessageBox::StandardButton>(bit);
    }
    return QMessageBox::NoButton;
}
}  // namespace

QMessageBox::StandardButton Prompts::information(QWidget* parent, const QString& title, const QString& text,
                                                 QMessageBox::StandardButtons buttons)
{
    return box(Kind::Information, parent, title, text, buttons);
}

QMessageBox::StandardButton Prompts::warning(QWidget* parent, const QString& title, const QString& text,
                                             QMessageBox::StandardButtons buttons)
{
    return box(Kind::Warning, parent, title, text, buttons);
}

QMessageBox::StandardButton Prompts::critical(QWidget* parent, const QString& title, const QString& text,
                                              QMessageBox::StandardButtons buttons)
{
    return box(Kind::Critical, parent, title, text, buttons);
}

QMessageBox::StandardButton Prompts::question(QWidget* parent, const QString& title, const QString& text,
                                              QMessageBox::StandardButtons buttons)
{
    return box(Kind::Question, parent, title, text, buttons);
}

QString Prompts::saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return file(Kind::SaveFileName, parent, caption, dir, filter);
}

QString Prompts::openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return file(Kind::OpenFileName, parent, caption, dir, filter);
}

void Prompts::setTestMode(bool on) { state().on = on; }
bool Prompts::testMode() { return state().on; }
void Prompts::queueAnswer(QMessageBox::StandardButton button) { state().answers.enqueue(button); }
void Prompts::queueFileName(const QString& name) { state().fileNames.enqueue(name); }
QList<Prompts::Shown> Prompts::shown() { return state().shown; }

void Prompts::clear()
{
    state().answers.clear();
    state().fileNames.clear();
    state().shown.clear();
}

QMessageBox::StandardButton Prompts::box(Kind kind, QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons buttons)
{
    TestState& s = state();
    if (s.on) {
        s.shown.append({kind, title, text});
        return s.answers.isEmpty() ? firstButton(buttons) : s.answers.dequeue();
    }
    switch (kind) {
    case Kind::Warning:
        return QMessageBox::warning(parent, title, text, buttons);
    case Kind::Critical:
        return QMessageBox::critical(parent, title, text, buttons);
    case Kind::Question:
        return QMessageBox::question(parent, title, text, buttons);
    default:
        return QMessageBox::information(parent, title, text, buttons);
    }
}

QString Prompts::file(Kind kind, QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    TestState& s = state();
    if (s.on) {
        s.shown.append({kind, caption, dir});
        return s.fileNames.isEmpty() ? QString() : s.fileNames.dequeue();
    }
    if (kind == Kind::OpenFileName)
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}
