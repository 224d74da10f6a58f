#pragma once
// The four output voltages set by hand, and the output multiplexer handed
// between the feedback loop and the program. The output device stays open for
// the dialog's lifetime.
#include <QDialog>

#include <array>

namespace Ui {
class WindowManOutCtrl;
}
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

    // Shows the multiplexer as the controller has it, then the dialog.
    void showWindow();

private slots:
    void enableMan_changed(bool enable);
    void sliders_changed();
    void boxes_changed();

private:
    void writeOutputs();
    void showDeviceProblem(const QString& text);

    Ui::WindowManOutCtrl* ui;
    OutputOwner& m_outputs;
    int m_fd = -1;
    bool m_writeFailing = false;
    // Index 0 is Ch1.
    std::array<QSlider*, 4> m_sliders;
    std::array<QDoubleSpinBox*, 4> m_boxes;
};
