#pragma once
// The four output voltages set by hand, and the output multiplexer handed
// between the feedback loop and the program. Manual control takes the outputs
// from the program's one owner and starts from the voltages the output unit
// holds, read back, so that the hand-over does not move the beam; while it is
// off the dialog writes nothing. The output device stays open for the dialog's
// lifetime.
#include <QDialog>

#include <array>
#include <memory>

namespace Ui {
class WindowManOutCtrl;
}
class OutputLease;
class OutputOwner;
class QDoubleSpinBox;
class QSlider;

class WindowManOutCtrl : public QDialog
{
    Q_OBJECT

public:
    // Manual control takes the outputs from `outputs` while it is on.
    explicit WindowManOutCtrl(OutputOwner& outputs, QWidget* parent = nullptr);
    ~WindowManOutCtrl() override;

    // Reads the multiplexer and the output voltages, shows them, then the dialog.
    void showWindow();
    // Manual control is on: the dialog holds the outputs.
    bool holdsOutputs() const { return m_lease != nullptr; }

private slots:
    void enableMan_changed(bool enable);
    void sliders_changed();
    void boxes_changed();

private:
    // Reads the voltages the unit holds into the form; false (with the reason
    // shown) when they cannot be read.
    bool readBack();
    // Boxes and sliders from m_volts, without a write.
    void showVolts();
    void setManual(bool on);
    void setChecked(bool checked);
    bool writeOutputs();
    void showDeviceProblem(const QString& text);

    Ui::WindowManOutCtrl* ui;
    OutputOwner& m_outputs;
    std::unique_ptr<OutputLease> m_lease;
    int m_fd = -1;
    bool m_writeFailing = false;
    // What the output unit holds, as last read back or written; index 0 is Ch1.
    // A change of one channel changes only its own entry.
    std::array<double, 4> m_volts{};
    // What each box showed after the last change; a box that differs was edited.
    std::array<double, 4> m_shown{};
    std::array<QSlider*, 4> m_sliders;
    std::array<QDoubleSpinBox*, 4> m_boxes;
};
