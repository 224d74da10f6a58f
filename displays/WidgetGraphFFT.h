#pragma once
// The amplitude spectrum of one signal of the display stream, one trace per
// BPM, with the controls that tell the Updater what to compute it from.
#include <QList>
#include <QSharedPointer>
#include <QString>
#include <QWidget>

#include <qcustomplot.h>

namespace Ui {
class WidgetGraphFFT;
}
class PlotRefresher;
class QMouseEvent;

class WidgetGraphFFT : public QWidget
{
    Q_OBJECT

public:
    // graphCount above the two BPM colours is limited to two. UPDATER must exist:
    // the panel hands it the spectrum source while it is built.
    explicit WidgetGraphFFT(QWidget* parent = nullptr, int graphCount = 2);
    ~WidgetGraphFFT() override;

    // Container 0 is BPM1's spectrum, 1 BPM2's; null for any other index.
    QSharedPointer<QCPGraphDataContainer> getGraphData(int index) const;
    void setAxisLabels(const QString& xLabel, const QString& yLabel);
    // Hides a BPM's box and swatch; the graphs keep their visibility.
    void setBpmHidden(bool hideBpm1, bool hideBpm2);

    // Spectrum length N for an item of the length combo, and the BPM1 record
    // column for an item of the signal selector; unknown items give 64 and 0.
    static int fftLengthForIndex(int index);
    static int sourceColumnForIndex(int index);

public slots:
    void replot();

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void xAxesChanged(int index);
    void yAxesChanged(int index);
    void fftLengthChanged(int index);
    void graphClicked(QMouseEvent* event);
    void fftSelectorChanged(int index);
    void chEnablesChanged();

private:
    Ui::WidgetGraphFFT* ui;
    QList<QSharedPointer<QCPGraphDataContainer>> m_graphData;
    PlotRefresher* m_refresher = nullptr;
};
