#pragma once
// One picoammeter in the picoammeter dialog: its four channel currents and its
// current range.
#include <QWidget>

namespace Ui {
class WidgetPico;
}

class WidgetPico : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetPico(QWidget* parent = nullptr);
    ~WidgetPico() override;

    void setDeviceNumber(int device) { m_device = device; }
    int deviceNumber() const { return m_device; }

    // Amperes, CH1 to CH4.
    void showCurrents(double ch1, double ch2, double ch3, double ch4);
    // No reading: empty fields and a note that says why, never the last good values.
    void showNoReading(const QString& why);

public slots:
    // Sends the chosen range to the picoammeter.
    void sendSettings();

private:
    Ui::WidgetPico* ui;
    int m_device = 0;
    // Nothing reads the range back: only a range the device accepted is shown as set.
    int m_acceptedIndex = -1;
};
