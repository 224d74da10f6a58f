#include "QLed.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

// The lamp images sit in a static library; referencing the bundle here keeps
// the linker from dropping it.
static int anchorLedResources()
{
    Q_INIT_RESOURCE(leds);
    return 1;
}
[[maybe_unused]] static const int ledResourcesAnchored = anchorLedResources();

QLed::QLed(QWidget* parent)
    : QWidget(parent)
    , m_shapes{QStringLiteral(":/resources/circle_"), QStringLiteral(":/resources/square_"),
               QStringLiteral(":/resources/triang_"), QStringLiteral(":/resources/round_")}
    , m_colors{QStringLiteral("red.svg"),    QStringLiteral("green.svg"),  QStringLiteral("yellow.svg"),
               QStringLiteral("grey.svg"),   QStringLiteral("orange.svg"), QStringLiteral("purple.svg"),
               QStringLiteral("blue.svg")}
    , m_renderer(new QSvgRenderer)
{
}

QLed::~QLed()
{
    delete m_renderer;
}

QString QLed::imagePath() const
{
    return m_shapes.at(m_shape) + m_colors.at(m_value ? m_onColor : m_offColor);
}

void QLed::setValue(bool value)
{
    m_value = value;
    update();
}

void QLed::setOnColor(QLed::ledColor color)
{
    m_onColor = color;
    update();
}

void QLed::setOffColor(QLed::ledColor color)
{
    m_offColor = color;
    update();
}

void QLed::setShape(QLed::ledShape shape)
{
    m_shape = shape;
    update();
}

void QLed::toggleValue()
{
    m_value = !m_value;
    update();
}

void QLed::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    // No image for this shape or colour: the lamp stays blank, without the
    // renderer's warning at every paint.
    const QString path = imagePath();
    if (QFile::exists(path) && m_renderer->load(path))
        m_renderer->render(&painter);
}
