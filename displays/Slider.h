#pragma once
// A bar whose scale ends at the smallest power of ten not below the value shown,
// with a handle that turns a position into a value on the same scale.
#include <QWidget>

namespace Ui {
class Slider;
}
class QHBoxLayout;
class QProgressBar;
class QSlider;

class Slider : public QWidget
{
    Q_OBJECT

public:
    explicit Slider(QWidget* parent = nullptr);
    ~Slider() override;

    // Moves the handle to the whole percent of the scale at or below x.
    void setSliderValue(float x);
    void setBarValue(float x);
    // Rebuilds the labels for n divisions from min to max and appends n + 1 ticks.
    void setScale(int n, float min, float max);
    void clearScale();

signals:
    void valueChanged(float value);

public slots:
    // Rescales to the decade of value and moves the bar; the handle stays.
    void setValue(float value);

private slots:
    void signalSender(int val);

private:
    Ui::Slider* ui;
    QProgressBar* m_bar;
    QSlider* m_handle;
    QHBoxLayout* m_labelRow;
    QHBoxLayout* m_tickRow;
    float m_min = 0.0f;
    float m_max = 1.0f;
};
