#pragma once
// Mouse clicks where an operator would put them.
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QtTest>

namespace WidgetClicks {

// On the box's indicator: a check box that a layout widened hits nothing at its centre
// when it has no text of its own.
inline void clickCheckBox(QCheckBox* box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

// Types over what the box shows, as the operator does; no Return, which in a
// dialog presses its default button.
inline void typeInto(QAbstractSpinBox* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
}

}  // namespace WidgetClicks
