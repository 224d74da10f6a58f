#include "Slider.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QSpacerItem>

#include <cmath>

#include "ui_slider.h"

namespace {
constexpr int DECADE_DIVISIONS = 5;
constexpr int BAR_MIN_HEIGHT = 30;
constexpr int TOP_ROW_MIN_HEIGHT = 55;

// A value that stands for a whole percent can come back a hair below it after a
// round trip through single precision and a unit conversion; without this the
// I0 field and the handle would push each other down one position at a time.
constexpr double POSITION_ROUNDING = 1e-5;

void clearLayout(QLayout* layout, bool deleteWidgets)
{
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (deleteWidgets) {
            if (QWidget* widget = item->widget())
                delete widget;
        }
        if (QLayout* nested = item->layout())
            clearLayout(nested, deleteWidgets);
        delete item;
    }
}

QSpacerItem* divisionSpacer()
{
    return new QSpacerItem(1, 10, QSizePolicy::MinimumExpanding, QSizePolicy::Minimum);
}

QFrame* tickLine()
{
    auto* line = new QFrame;
    line->setFrameShape(QFrame::VLine);
    return line;
}
}  // namespace

Slider::Slider(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::Slider)
{
    ui->setupUi(this);

    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("bar"));
    m_bar->setTextVisible(false);
    m_bar->setMinimumHeight(BAR_MIN_HEIGHT);
    m_bar->setValue(0);

    m_handle = new QSlider(Qt::Horizontal, this);
    m_handle->setObjectName(QStringLiteral("handle"));
    m_handle->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Fixed);

    m_labelRow = new QHBoxLayout;
    m_labelRow->setObjectName(QStringLiteral("labelRow"));
    m_tickRow = new QHBoxLayout;
    m_tickRow->setObjectName(QStringLiteral("tickRow"));

    connect(m_handle, &QSlider::valueChanged, this, &Slider::signalSender);

    // Handle, bar and ticks overlap in one cell; the numbers sit below.
    ui->gridLayout->addWidget(m_handle, 0, 0);
    ui->gridLayout->addWidget(m_bar, 0, 0, Qt::AlignBottom);
    ui->gridLayout->addLayout(m_tickRow, 0, 0, Qt::AlignBottom);
    ui->gridLayout->addLayout(m_labelRow, 1, 0, Qt::AlignTop);
    ui->gridLayout->setRowMinimumHeight(0, TOP_ROW_MIN_HEIGHT);

    setScale(DECADE_DIVISIONS, 0.0f, 1.0f);
}

Slider::~Slider()
{
    delete ui;
}

void Slider::signalSender(int val)
{
    emit valueChanged(static_cast<float>(val / 100.0 * double(m_max - m_min) + m_min));
}

void Slider::setValue(float value)
{
    // No beam reads 0 or a little below: there is no decade, so the scale stays
    // where it was (the handle keeps its meaning) and the bar is empty.
    if (!(value > 0.0f) || !std::isfinite(value)) {
        setBarValue(0.0f);
        return;
    }
    const float power = std::ceil(std::log10(value));
    const float top = static_cast<float>(std::pow(10.0, double(power)));
    if (!std::isfinite(top) || !(top > 0.0f)) {
        setBarValue(value);
        return;
    }
    // The same decade keeps its labels: rebuilding them every second would
    // create, polish and lay out a dozen widgets each time for nothing.
    if (m_min != 0.0f || m_max != top || m_labelRow->count() != 2 * DECADE_DIVISIONS + 1) {
        clearScale();
        setScale(DECADE_DIVISIONS, 0.0f, top);
    }
    setBarValue(value);
}

void Slider::setSliderValue(float x)
{
    if (std::isnan(x) || !(m_max > m_min))
        return;
    double position = (double(x) - m_min) * 100.0 / (double(m_max) - m_min) + POSITION_ROUNDING;
    // The handle clamps to its range; this only keeps the conversion to int defined.
    position = std::fmax(-1.0, std::fmin(position, 100.0));
    m_handle->setValue(static_cast<int>(position));
}

void Slider::setBarValue(float x)
{
    int value;
    if (std::isnan(x) || x < m_min)
        value = 0;
    else if (x > m_max)
        value = 100;
    else if (!(m_max > m_min))
        value = 0;
    else
        value = static_cast<int>(double(x - m_min) * 100.0 / double(m_max - m_min));
    m_bar->setValue(value);
}

void Slider::setScale(int n, float min, float max)
{
    clearLayout(m_labelRow, true);
    m_min = min;
    m_max = max;

    const int divisions = n > 0 ? n : 0;
    const float step = divisions > 0 ? (max - min) / float(divisions) : 0.0f;
    for (int i = 0; i < divisions; ++i) {
        const float labelValue = float(i) * step + min;
        auto* label = new QLabel(QString::number(labelValue, 'g', 6));
        label->setAlignment(Qt::AlignCenter);
        m_labelRow->addWidget(label);
        m_labelRow->addItem(divisionSpacer());
    }
    auto* last = new QLabel(QString::number(max, 'e', 0));
    last->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_labelRow->addWidget(last);

    for (int i = 0; i < divisions; ++i) {
        m_tickRow->addWidget(tickLine());
        m_tickRow->addItem(divisionSpacer());
    }
    m_tickRow->addWidget(tickLine());
}

void Slider::clearScale()
{
    clearLayout(m_labelRow, true);
    clearLayout(m_tickRow, true);
}
