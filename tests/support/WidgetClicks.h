#pragma once
// Mouse clicks where an operator would put them.
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

}  // namespace WidgetClicks
