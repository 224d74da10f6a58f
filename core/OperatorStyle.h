#pragma once
// The program's look: Fusion with light icons of our own wherever the style's
// own are dark (the feedback button's play and stop marks, the file dialog's
// tool buttons, the docks' float and close buttons) and no icons on dialog
// buttons; the dark style sheet goes on top.
#include <QHash>
#include <QIcon>
#include <QProxyStyle>

class QApplication;

class OperatorStyle : public QProxyStyle
{
    Q_OBJECT

public:
    OperatorStyle();

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

    // The dark style sheet from the resources (Latin-1); empty when it cannot be read.
    static QString styleSheet();

    // Both at once, as the running program has them (for tests and benchmarks;
    // the program itself sets the style before its window and the sheet after it).
    static void applyTo(QApplication& app);

private:
    // Each drawn icon built once: a new icon at every call renders its SVG anew
    // at every paint of a dock title, and fills the pixmap cache with copies.
    mutable QHash<QString, QIcon> m_drawnIcons;
};
