#pragma once
// The recent beam positions of one BPM as an XY scatter, with its region of
// interest (ROI), region of confidence (ROC) and the feedback setpoint marker.
// With "Target Enable" pressed, a click inside the ROI moves the setpoint.
#include <QSharedPointer>
#include <QWidget>

#include <qcustomplot.h>

namespace Ui {
class WidgetGraphXY;
}
class PlotRefresher;
class QMouseEvent;

class WidgetGraphXY : public QWidget
{
    Q_OBJECT

public:
    // What the marker graph shows for a regulation code.
    enum class Marker { None, VerticalLine, HorizontalLine, Point };

    // What a click does: refused (outside the ROI), or which setpoints it writes.
    struct ClickAction
    {
        bool rejected = false;
        bool setX = false;
        bool setY = false;
    };

    static constexpr int MARKER_SIZE = 6;

    // bpmIndex 0 is BPM1, 1 is BPM2.
    explicit WidgetGraphXY(int bpmIndex, QWidget* parent = nullptr);
    ~WidgetGraphXY() override;

    int bpmIndex() const { return m_bpm; }

    // Shared with the Updater, which refills it with the last positions in µm.
    QSharedPointer<QCPGraphDataContainer> getGraphData() const;

    // ROI of roiX by roiY and the ROC scaled by rocFraction; neither replots.
    void setRoiRects(double roiX, double roiY, double rocFraction);
    void setRoiRect(double a, double b);
    void setRocRect(double a, double b);

    // The decisions behind the marker and the click, for the loops' BPM selectors.
    static Marker markerFor(int regulationCode, int bpm, int bpmSelX, int bpmSelY);
    static ClickAction clickAction(int regulationCode, int bpm, int bpmSelX, int bpmSelY, double x, double y,
                                   double roiX, double roiY);

public slots:
    void replot();
    // Re-reads the setpoint and the regulated axes and redraws the marker.
    void updateGraphXY();
    // Both axes to the ROC rectangle plus 1 %; shows at the next replot.
    void resetZoom();

signals:
    void XYchanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void graphClicked(QMouseEvent* event);

private:
    void styleAxes();
    void showMarkerNote(const QString& text);
    // A click that cannot be acted on: nothing is sent, the operator is told why.
    void refuseClick(const QString& why);

    Ui::WidgetGraphXY* ui;
    int m_bpm;
    QSharedPointer<QCPGraphDataContainer> m_graphData;
    QCPItemRect* m_roiRect = nullptr;
    QCPItemRect* m_rocRect = nullptr;
    PlotRefresher* m_refresher = nullptr;
    // Says why the marker is missing when a read it needs failed; hidden otherwise.
    QCPItemText* m_markerNote = nullptr;
};
