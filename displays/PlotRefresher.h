#pragma once
// Redraws a plot at once while it is on screen; a plot in a hidden dock or an
// unselected tab is redrawn only when it is shown again, with the data it then holds.
#include <QObject>

class QCustomPlot;

class PlotRefresher : public QObject
{
    Q_OBJECT

public:
    // Becomes a child of the plot and watches it for being shown.
    explicit PlotRefresher(QCustomPlot* plot);

    // QCustomPlot::replot(rpRefreshHint) now, or as soon as the plot is shown.
    void replot();
    bool pending() const { return m_pending; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QCustomPlot* m_plot;
    bool m_pending = false;
};
