#pragma once
// A small lamp drawn from a compiled-in SVG image chosen by its shape and by
// its on or off colour.
#include <QStringList>
#include <QWidget>

class QSvgRenderer;

class QLed : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool value READ value WRITE setValue)
    Q_PROPERTY(ledColor onColor READ onColor WRITE setOnColor)
    Q_PROPERTY(ledColor offColor READ offColor WRITE setOffColor)
    Q_PROPERTY(ledShape shape READ shape WRITE setShape)

public:
    enum ledColor { Red = 0, Green, Yellow, Grey, Orange, Purple, Blue };
    Q_ENUM(ledColor)
    enum ledShape { Circle = 0, Square, Triangle, Rounded };
    Q_ENUM(ledShape)

    explicit QLed(QWidget* parent = nullptr);
    ~QLed() override;

    bool value() const { return m_value; }
    ledColor onColor() const { return m_onColor; }
    ledColor offColor() const { return m_offColor; }
    ledShape shape() const { return m_shape; }

    // The resource the next paint loads; only the rounded shape in green, grey,
    // yellow, red and purple has an image, any other path draws nothing.
    QString imagePath() const;

public slots:
    void setValue(bool value);
    void setOnColor(QLed::ledColor color);
    void setOffColor(QLed::ledColor color);
    void setShape(QLed::ledShape shape);
    void toggleValue();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_value = false;
    ledColor m_onColor = Red;
    ledColor m_offColor = Grey;
    ledShape m_shape = Circle;
    QStringList m_shapes;
    QStringList m_colors;
    QSvgRenderer* m_renderer = nullptr;
};
