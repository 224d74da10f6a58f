#pragma once
// The ROI and ROC rectangles of a beam position scatter, found by their pens.
#include <QColor>

#include <qcustomplot.h>

namespace ScatterRects {

inline const QColor ROI_PEN(50, 250, 50, 240);
inline const QColor ROC_PEN(250, 70, 70, 240);

inline QCPItemRect* rectWithPen(QCustomPlot* plot, const QColor& colour)
{
    for (int i = 0; i < plot->itemCount(); ++i)
        if (auto* rect = qobject_cast<QCPItemRect*>(plot->item(i)))
            if (rect->pen().color() == colour)
                return rect;
    return nullptr;
}

// Half-widths (x, y) of a rectangle centred on the origin.
inline QPointF halfWidths(const QCPItemRect* rect)
{
    return QPointF(rect->topLeft->coords().x(), rect->bottomRight->coords().y());
}

}  // namespace ScatterRects
