#pragma once
// The feedback loop's targets and wiring: the setpoint, the regulated axes, the
// output channel each loop drives and the BPM that feeds it.
//
// What the panel could not read (a controller read that failed, a stored value
// that is no number) shows as missing: an empty selector, a dashed check box or
// field, and a line of the note below the buttons that names the read. Nothing
// missing is ever sent on: the button that would send it refuses and says why.
#include <QMap>
#include <QStringList>
#include <QWidget>

namespace Ui {
class WidgetFeedbackControl;
}
class ConfigWriteReport;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QTimer;
class UnloadedFields;

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
    // Reads the regulated axes from the controller and shows them, or shows
    // them as missing when the read fails.
    void readRegulatedAxes();
    void checkUserLevel();

private slots:
    void sendNewSetpoint();
    void updateButtonPressed();
    void refreshFields();
    void sliderValueChanged(float f);
    void spinboxValueChanged(double d);

private:
    // The lines of the note, one per thing the panel could not read.
    enum class Note { StoredOutputs, StoredAxes, Sources, Outputs, Axes, Setpoint, Intensity };

    void getDacOutputs(uchar* x, uchar* y, uchar* i0) const;
    void setDacOutputs(int x, int y, int i0);
    void setRegulatedAxes(int x, int y, int i0);
    // 0 when the output selection was accepted and sent, -1 when refused.
    int applyDacOutputs(ConfigWriteReport& writes);
    bool sourcesValid() const;
    // Amperes per displayed unit of the I0 field.
    double unitFactor() const;

    void loadStoredOutputs();
    void loadStoredAxes();
    // The controller's BPM selection into the selectors and the globals; a
    // failed read empties the selectors and leaves the globals as they were.
    bool readSources();
    // Reads the fields `which` (bits 0 X, 1 Y, 2 I0) from the controller; those
    // it cannot read show a dash. Returns the bits still unread.
    int readSetpointFields(int which);
    QStringList missingSetpointFields() const;
    QDoubleSpinBox* setpointField(int axis) const;
    QList<QCheckBox*> axisBoxes() const;
    // A dash in each box: the regulated axes are not known.
    void showAxesMissing();
    bool axesKnown() const;

    // After a refused call: show what the controller holds instead of the request.
    void showHeldOutputs();
    void showHeldSources();
    void showSources(int x, int y, int i0);
    void showHeldCode();
    // Logs and tells the operator which settings the controller refused.
    void reportRefusals(const QStringList& refused);

    void setNote(Note topic, const QString& text);

    Ui::WidgetFeedbackControl* ui;
    QTimer* m_timer;
    // The setpoint fields whose value the controller could not give.
    UnloadedFields* m_unreadSetpoint = nullptr;
    // Set while a read-back fills the I0 field: the handle follows the field,
    // but must not round the value just read to its own position.
    bool m_holdI0Field = false;
    // Set while the I0 field is dashed: its placeholder minimum is no value for the handle.
    bool m_dashingI0Field = false;
    // Settings the controller refused during one "Update Configuration", and
    // those whose held value could not be read back either.
    QStringList m_refused;
    QStringList m_unreadBack;
    QMap<Note, QString> m_notes;
};
