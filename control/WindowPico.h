#pragma once
// The picoammeter dialog: the four channel currents of each picoammeter, from
// the status blocks the display tick reads, and each one's current range.
#include <QDialog>

namespace Ui {
class WindowPico;
}
class QTimer;

class WindowPico : public QDialog
{
    Q_OBJECT

public:
    static constexpr int REFRESH_MS = 970;

    explicit WindowPico(QWidget* parent = nullptr);
    ~WindowPico() override;

public slots:
    void refreshFields();

private:
    Ui::WindowPico* ui;
    QTimer* m_timer;
};
