#include "PlotRefresher.h"

#include <QEvent>

#include <qcustomplot.h>

PlotRefresher::PlotRefresher(QCustomPlot* plot)
    : QObject(plot)
    , m_plot(plot)
{
    m_plot->installEventFilter(this);
}

void PlotRefresher::replot()
{
    if (!m_plot->isVisible()) {
        m_pending = true;
        return;
    }
    m_pending = false;
    m_plot->replot(QCustomPlot::rpRefreshHint);
}

bool PlotRefresher::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_plot && event->type() == QEvent::Show && m_pending) {
        m_pending = false;
        m_plot->replot(QCustomPlot::rpRefreshHint);
    }
    return QObject::eventFilter(watched, event);
}
