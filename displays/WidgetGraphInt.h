#pragma once
// The beam intensity of BPM1 and BPM2 against time.
#include <QList>
#include <QSharedPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <qcustomplot.h>

namespace Ui {
class WidgetGraphInt;
}
class PlotRefresher;

class WidgetGraphInt : public QWidget
{
    Q_OBJECT

public:
    // graphCount above the two BPM colours is limited to two.
    explicit WidgetGraphInt(QWidget* parent = nullptr, int graphCount = 2);
    ~WidgetGraphInt() override;

    // The container graph(index) draws from, created once and never replaced;
    // null for an index outside 0 .. graph count - 1.
    QSharedPointer<QCPGraphDataContainer> getGraphData(int index) const;

    // Graph i is named names[i]; names beyond the graphs are ignored.
    void setAxisLabels(const QString& xLabel, const QString& yLabel, const QStringList& names);
    void setYNumberFormat(const QString& format, int precision);
    // From the main window when the picoammeter presence changes.
    void setBpmHidden(bool hideBpm1, bool hideBpm2);

public slots:
    void replot();
    // Graph i visible when BPM i+1 is present and its box is checked.
    void chEnablesChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    Ui::WidgetGraphInt* ui;
    QList<QSharedPointer<QCPGraphDataContainer>> m_graphData;
    PlotRefresher* m_refresher;
};
