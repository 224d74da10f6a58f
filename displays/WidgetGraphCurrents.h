#pragma once
// Four traces against time: the channel currents of one picoammeter, or the
// four output voltages.
#include <QList>
#include <QSharedPointer>
#include <QString>
#include <QWidget>

#include <qcustomplot.h>

namespace Ui {
class WidgetGraphCurrents;
}
class PlotRefresher;

class WidgetGraphCurrents : public QWidget
{
    Q_OBJECT

public:
    // graphCount above the four channel colours is limited to four.
    explicit WidgetGraphCurrents(QWidget* parent = nullptr, int graphCount = 4);
    ~WidgetGraphCurrents() override;

    // The container graph(index) draws from, created once and never replaced;
    // null for an index outside 0 .. graph count - 1.
    QSharedPointer<QCPGraphDataContainer> getGraphData(int index) const;

    void setAxisLabels(const QString& xLabel, const QString& yLabel);
    void setYNumberFormat(const QString& format, int precision);

public slots:
    void replot();

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void chEnablesChanged();

private:
    Ui::WidgetGraphCurrents* ui;
    QList<QSharedPointer<QCPGraphDataContainer>> m_graphData;
    PlotRefresher* m_refresher;
};
