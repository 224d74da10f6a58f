#pragma once
// Display stream settings: sample rate and hardware filter, records per display
// tick, and pausing the live display.
#include <QDialog>

namespace Ui {
class WindowDisplaySettings;
}

class WindowDisplaySettings : public QDialog
{
    Q_OBJECT

public:
    explicit WindowDisplaySettings(QWidget* parent = nullptr);
    ~WindowDisplaySettings() override;

    // Shows the dialog with the values that are in force now.
    void showWindow();

private slots:
    void saveSettings();
    void pauseButtonChanged(bool checked);

private:
    QWidget* promptParent();

    Ui::WindowDisplaySettings* ui = nullptr;
    // The controller's rate at the last opening or save (-1 before the first),
    // and whether the operator has changed the box since.
    int m_heldRate = -1;
    bool m_rateEdited = false;
};
