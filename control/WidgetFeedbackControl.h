#pragma once
// The feedback loop's targets and wiring: the setpoint, the regulated axes, the
// output channel each loop drives and the BPM that feeds it.
#include <QStringList>
#include <QWidget>

namespace Ui {
class WidgetFeedbackControl;
}
class ConfigWriteReport;
class QComboBox;
class QTimer;

class WidgetFeedbackControl : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetFeedbackControl(QWidget* parent = nullptr);
    ~WidgetFeedbackControl() override;

signals:
    // The setpoint or the regulated axes may have changed.
    void somethingChanged();
    // The BPM selection was sent.
    void BPMselectorChanged();

public slots:
    // Reloads the three setpoint fields from the controller.
    void updateXYfields();
    // Shows the regulated axes of a RegulationCode; other values change nothing.
    void confChanged(int item);
    void checkUserLevel();

private slots:
    void sendNewSetpoint();
    void updateButtonPressed();
    void refreshFields();
    void sliderValueChanged(float f);
    void spinboxValueChanged(double d);

private:
    void getDacOutputs(uchar* x, uchar* y, uchar* i0) const;
    void setDacOutputs(int x, int y, int i0);
    void setRegulatedAxes(int x, int y, int i0);
    // 0 when the output selection was accepted and sent, -1 when refused.
    int applyDacOutputs(ConfigWriteReport& writes);
    bool sourcesValid() const;
    // Amperes per displayed unit of the I0 field.
    double unitFactor() const;

    // After a refused call: show what the controller holds instead of the request.
    void showHeldOutputs();
    void showHeldSources();
    void showSources(int x, int y, int i0);
    void showHeldCode();
    // Logs and tells the operator which settings the controller refused.
    void reportRefusals(const QStringList& refused);

    Ui::WidgetFeedbackControl* ui;
    QTimer* m_timer;
    // Set while a read-back fills the I0 field: the handle follows the field,
    // but must not round the value just read to its own position.
    bool m_holdI0Field = false;
    // Settings the controller refused during one "Update Configuration".
    QStringList m_refused;

};
