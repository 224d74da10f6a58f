#pragma once
// What the time graphs (positions, intensity, channel currents and output
// voltages) share: the frame built on the panel's form, the data containers the
// Updater refills, autoscale, the redraw and the background. A panel states only
// its form's controls, how many graphs it draws and which boxes show which graph.
#include <QList>
#include <QSharedPointer>
#include <QString>
#include <QWidget>

#include <functional>

#include <qcustomplot.h>

class PlotRefresher;
class QCheckBox;
class QLabel;

class TimeGraphPanel : public QWidget
{
    Q_OBJECT

public:
    ~TimeGraphPanel() override;

    // The container graph(index) draws from, created once and never replaced;
    // null for an index outside 0 .. graph count - 1.
    QSharedPointer<QCPGraphDataContainer> getGraphData(int index) const;

    void setYNumberFormat(const QString& format, int precision);

public slots:
    void replot();

protected:
    // The controls of a panel's form: its plot, the autoscale box, and one
    // check box and colour swatch for each colour the panel uses.
    struct FormControls
    {
        QCustomPlot* plot = nullptr;
        QCheckBox* autoscale = nullptr;
        QList<QCheckBox*> boxes;
        QList<QLabel*> swatches;
    };

    explicit TimeGraphPanel(QWidget* parent);

    // Builds the frame once the panel's form is set up: graphCount is limited to
    // the swatches' colours, and every box's toggle calls onToggle.
    void buildFrame(const FormControls& form, int graphCount, const std::function<void()>& onToggle);

    void setAxisLabels(const QString& xLabel, const QString& yLabel);

    QCustomPlot* plot() const { return m_form.plot; }
    QCheckBox* box(int index) const { return m_form.boxes.at(index); }
    QLabel* swatch(int index) const { return m_form.swatches.at(index); }
    int boxCount() const { return int(m_form.boxes.size()); }

    void resizeEvent(QResizeEvent* event) override;

private:
    FormControls m_form;
    QList<QSharedPointer<QCPGraphDataContainer>> m_graphData;
    PlotRefresher* m_refresher = nullptr;
};
