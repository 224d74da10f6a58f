#pragma once
// Checks shared by the graph panel tests: the panel's plot and controls by
// object name, filling a container, and the background gradient read back
// from the drawn widget.
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QtTest>

#include <cmath>

#include <qcustomplot.h>

namespace GraphPanelChecks {

inline QCustomPlot* plotOf(QWidget* panel)
{
    return panel->findChild<QCustomPlot*>(QStringLiteral("graph"));
}

inline QCheckBox* boxOf(QWidget* panel, int channel)
{
    return panel->findChild<QCheckBox*>(QStringLiteral("CheckCh%1").arg(channel));
}

inline QLabel* swatchOf(QWidget* panel, int channel)
{
    return panel->findChild<QLabel*>(QStringLiteral("label_%1_color").arg(channel));
}

inline QCheckBox* autoscaleOf(QWidget* panel)
{
    return panel->findChild<QCheckBox*>(QStringLiteral("buttonAutoscale"));
}

// count points from key `start` at `step`, values offset + amplitude * sin.
inline void fill(const QSharedPointer<QCPGraphDataContainer>& data, int count, double start, double step,
                 double offset, double amplitude)
{
    data->clear();
    for (int i = 0; i < count; ++i)
        data->add(QCPGraphData(start + i * step, offset + amplitude * std::sin(i * 0.01)));
}

inline bool finiteRange(const QCPRange& r)
{
    return std::isfinite(r.lower) && std::isfinite(r.upper) && r.lower < r.upper;
}

// Grey level of the drawn plot in its right margin at row y.
inline int greyAt(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y));
}

// The gradient must span the plot's present height: 100 at the top, 30 at the
// bottom and about halfway between at mid-height (a gradient left at its
// provisional 200 pixels would already be 30 there).
inline void verifyBackgroundFollowsHeight(QWidget* panel, int height)
{
    QCustomPlot* plot = plotOf(panel);
    QVERIFY(plot);
    panel->resize(400, height);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    QCoreApplication::processEvents();
    QVERIFY2(plot->height() > 400, "plot too small for the check");

    const QImage image = plot->grab().toImage();
    const int x = image.width() - 2;
    QVERIFY2(x > plot->axisRect()->right(), "column not in the right margin");
    const int h = image.height();
    QVERIFY(qAbs(greyAt(image, x, 0) - 100) <= 2);
    QVERIFY(qAbs(greyAt(image, x, (h - 1) / 2) - 65) <= 3);
    QVERIFY(qAbs(greyAt(image, x, h - 1) - 30) <= 2);
}

}  // namespace GraphPanelChecks
