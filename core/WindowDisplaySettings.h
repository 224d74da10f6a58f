#pragma once
// Display stream settings: sample rate and hardware filter, records per display
// tick, and pausing the live display.
#include <QDialog>

class OutputOwner;

namespace Ui {
class WindowDisplaySettings;
}

class WindowDisplaySettings : public QDialog
{
    Q_OBJECT

public:
    // `outputs`, when given, is the owner of the output unit: a tool that holds
    // it has set the display rate its run needs, so the rate is not changed then.
    explicit WindowDisplaySettings(QWidget* parent = nullptr, OutputOwner* outputs = nullptr);
    ~WindowDisplaySettings() override;

    // Shows the dialog with the values that are in force now.
    void showWindow();

private slots:
    void saveSettings();
    void pauseButtonChanged(bool checked);

private:
    QWidget* promptParent();
    // Reads the hardware's filter flag into its box; a failed read leaves the
    // box partly checked, meaning not known, until the operator sets it.
    void readFilter();
    // Why the rate and filter may not be sent now, empty when they may.
    QString rateRefusal() const;
    void applyBufferChoice();
    void showReadNote();

    Ui::WindowDisplaySettings* ui = nullptr;
    OutputOwner* m_outputs = nullptr;
    // The controller's rate at the last opening or save (-1 before the first),
    // and whether the operator has changed the box since.
    int m_heldRate = -1;
    bool m_rateEdited = false;
    // The operator changed the filter box since the last opening or save.
    bool m_filterEdited = false;
    // The last opening could not read the controller's rate.
    bool m_rateUnread = false;
};
