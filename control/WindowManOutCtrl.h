#pragma once
// The four output voltages set by hand, and the output multiplexer handed
// between the feedback loop and the program. Every change is written to the
// output unit while no other tool holds the outputs: with manual control off the
// feedback loop still drives them, so the values are a preset that takes effect
// at the hand-over. The dialog opens with the voltages the unit holds, read back,
// so that a hand-over with untouched values does not move the beam. While manual
// control is on the dialog holds the outputs through the program's one owner.
// The output device stays open for the dialog's lifetime.
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

    // Reads the multiplexer and (unless a preset waits) the output voltages,
    // shows them, then the dialog.
    void showWindow();
    // Manual control is on: the dialog holds the outputs.
    bool holdsOutputs() const { return m_lease != nullptr; }
    // The boxes hold values the operator set while manual control was off, to
    // take effect at the hand-over.
    bool presetWaiting() const { return m_preset; }

private slots:
    void enableMan_changed(bool enable);
    void sliders_changed();
    void boxes_changed();
    // Another tool took the outputs or gave them back.
    void outputsHeldChanged();

private:
    // Reads the voltages the unit holds into the form; false (with the reason
    // shown) when they cannot be read.
    bool readBack();
    // Boxes and sliders from m_volts, without a write.
    void showVolts();
    void switchOn();
    void switchOff();
    // After a refused switch: what the multiplexer reads now. `known` is false
    // when it cannot be read.
    uint8_t muxNow(bool* known) const;
    void setChecked(bool checked);
    // The controls work unless another tool holds the outputs; the note says why not.
    void updateControls();
    // The values after a change of the boxes or sliders.
    void changed();
    bool mayWrite() const;
    bool writeOutputs();
    void showDeviceProblem(const QString& text);

    Ui::WindowManOutCtrl* ui;
    OutputOwner& m_outputs;
    std::unique_ptr<OutputLease> m_lease;
    int m_fd = -1;
    bool m_writeFailing = false;
    bool m_preset = false;
    // What the output unit holds, as last read back or written; index 0 is Ch1.
    // A change of one channel changes only its own entry.
    std::array<double, 4> m_volts{};
    // What each box showed after the last change; a box that differs was edited.
    std::array<double, 4> m_shown{};
    std::array<QSlider*, 4> m_sliders;
    std::array<QDoubleSpinBox*, 4> m_boxes;
};
