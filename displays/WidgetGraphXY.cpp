#include "WidgetGraphXY.h"

#include <cmath>

#include "ConfigSettings.h"
#include "Globals.h"
#include "GraphFrame.h"
#include "MailboxComm.h"
#include "PlotRefresher.h"
#include "Prompts.h"
#include "QsLog.h"
#include "ui_widgetgraphxy.h"

namespace {

const QColor MARKER_COLOUR(0, 191, 250);
const QColor ROI_COLOUR(50, 250, 50, 240);
const QColor ROC_COLOUR(250, 70, 70, 240);
constexpr double RECT_PEN_WIDTH = 1.5;
constexpr double ZOOM_MARGIN = 1.01;

// NaN-safe: a coordinate or a limit that is not a number is never inside.
bool within(double value, double limit)
{
    return std::isfinite(value) && std::isfinite(limit) && std::abs(value) <= limit;
}

}  // namespace

WidgetGraphXY::WidgetGraphXY(int bpmIndex, QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::WidgetGraphXY)
    , m_bpm(bpmIndex)
{
    ui->setupUi(this);
    QCustomPlot* plot = ui->graph;

    QCPGraph* positions = plot->addGraph();
    positions->setPen(QPen(GraphFrame::graphColour(m_bpm == 0 ? 0 : 1), 1));
    positions->setLineStyle(QCPGraph::lsNone);
    positions->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, 2));
    m_graphData = QSharedPointer<QCPGraphDataContainer>::create();
    positions->setData(m_graphData);

    QCPGraph* marker = plot->addGraph();
    marker->setPen(QPen(MARKER_COLOUR, 2));
    marker->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, 15));
    marker->setLineStyle(QCPGraph::lsLine);
    marker->setVisible(false);

    m_roiRect = new QCPItemRect(plot);
    m_roiRect->setPen(QPen(ROI_COLOUR, RECT_PEN_WIDTH));
    m_rocRect = new QCPItemRect(plot);
    m_rocRect->setPen(QPen(ROC_COLOUR, RECT_PEN_WIDTH));

    // The limits as stored, whatever the ROC/ROI dialog's fields could show of
    // them; one the file does not give is not drawn as a value.
    double roiX = 0.0, roiY = 0.0, rocPercent = 0.0;
    QStringList unread;
    CONFIG_SETTINGS->loadROCandROI(&roiX, &roiY, nullptr, nullptr, &rocPercent, m_bpm, &unread);
    setRoiRects(roiX, roiY, rocPercent / 100.0);
    const bool roiRead = !unread.contains(QStringLiteral("RoiX")) && !unread.contains(QStringLiteral("RoiY"));
    m_roiRect->setVisible(roiRead);
    m_rocRect->setVisible(roiRead && !unread.contains(QStringLiteral("RocX")));

    GraphFrame::applyBackground(plot, plot->height() - 1);

    // Wheel zoom only: a drag or a selection would fight with click-to-set.
    plot->setInteraction(QCP::iRangeZoom);
    ui->targetEnable->setCheckable(true);

    connect(plot, &QCustomPlot::mousePress, this, &WidgetGraphXY::graphClicked);
    connect(ui->resetZoomButton, &QPushButton::released, this, &WidgetGraphXY::resetZoom);

    m_markerNote = new QCPItemText(plot);
    m_markerNote->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_markerNote->position->setType(QCPItemPosition::ptAxisRectRatio);
    m_markerNote->position->setCoords(0.01, 0.01);
    m_markerNote->setColor(Qt::white);
    m_markerNote->setBrush(QColor(0, 0, 0, 170));
    m_markerNote->setPadding(QMargins(4, 2, 4, 2));
    m_markerNote->setVisible(false);

    styleAxes();
    m_refresher = new PlotRefresher(plot);
    resetZoom();
}

WidgetGraphXY::~WidgetGraphXY()
{
    delete ui;
}

QSharedPointer<QCPGraphDataContainer> WidgetGraphXY::getGraphData() const
{
    return m_graphData;
}

void WidgetGraphXY::styleAxes()
{
    QCustomPlot* plot = ui->graph;
    const QPen white(Qt::white, 1);
    plot->xAxis->setTickLabelColor(Qt::white);
    plot->yAxis->setTickLabelColor(Qt::white);
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
        axis->setTickPen(white);
        axis->setSubTickPen(white);
    }
    plot->yAxis->setBasePen(white);
    plot->xAxis->setBasePen(white);

    const QString bpm = m_bpm == 0 ? QStringLiteral("BPM1") : QStringLiteral("BPM2");
    plot->xAxis->setLabel(QStringLiteral("Horizontal position %1 [um]").arg(bpm));
    plot->yAxis->setLabel(QStringLiteral("Vertical position %1 [um]").arg(bpm));
    plot->xAxis->setLabelColor(Qt::white);
    plot->yAxis->setLabelColor(Qt::white);
}

void WidgetGraphXY::setRoiRects(double roiX, double roiY, double rocFraction)
{
    setRoiRect(roiX, roiY);
    setRocRect(roiX * rocFraction, roiY * rocFraction);
}

void WidgetGraphXY::setRoiRect(double a, double b)
{
    m_roiRect->topLeft->setCoords(a, -b);
    m_roiRect->bottomRight->setCoords(-a, b);
    m_roiRect->setVisible(true);
}

void WidgetGraphXY::setRocRect(double a, double b)
{
    m_rocRect->topLeft->setCoords(a, -b);
    m_rocRect->bottomRight->setCoords(-a, b);
    m_rocRect->setVisible(true);
}

void WidgetGraphXY::replot()
{
    m_refresher->replot();
}

void WidgetGraphXY::resetZoom()
{
    // The plot refuses an empty range, so an ROC of 0 by 0 leaves the axes as they are.
    QCustomPlot* plot = ui->graph;
    plot->yAxis->setRange(m_rocRect->topLeft->coords().y() * ZOOM_MARGIN,
                          m_rocRect->bottomRight->coords().y() * ZOOM_MARGIN);
    plot->xAxis->setRange(m_rocRect->bottomRight->coords().x() * ZOOM_MARGIN,
                          m_rocRect->topLeft->coords().x() * ZOOM_MARGIN);
}

WidgetGraphXY::Marker WidgetGraphXY::markerFor(int regulationCode, int bpm, int bpmSelX, int bpmSelY)
{
    const bool feedsX = bpm == bpmSelX;
    const bool feedsY = bpm == bpmSelY;
    switch (regulationCode) {
    case 0:
    case 2:
        return feedsX ? Marker::VerticalLine : Marker::None;
    case 1:
        if (feedsX && feedsY)
            return Marker::Point;
        if (feedsX)
            return Marker::VerticalLine;
        if (feedsY)
            return Marker::HorizontalLine;
        return Marker::None;
    case 3:
    case 4:
        return feedsY ? Marker::HorizontalLine : Marker::None;
    default:
        return Marker::None;
    }
}

WidgetGraphXY::ClickAction WidgetGraphXY::clickAction(int regulationCode, int bpm, int bpmSelX, int bpmSelY,
                                                      double x, double y, double roiX, double roiY)
{
    ClickAction action;
    switch (regulationCode) {
    case 0:
    case 2:
        // The X loop's setpoint moves whichever BPM feeds it.
        action.rejected = !within(x, roiX);
        action.setX = !action.rejected;
        break;
    case 1:
        action.rejected = !within(x, roiX) || !within(y, roiY);
        action.setX = !action.rejected && bpm == bpmSelX;
        action.setY = !action.rejected && bpm == bpmSelY;
        break;
    case 3:
    case 4:
        action.rejected = !within(y, roiY);
        action.setY = !action.rejected;
        break;
    default:
        break;
    }
    return action;
}

void WidgetGraphXY::showMarkerNote(const QString& text)
{
    m_markerNote->setText(text);
    m_markerNote->setVisible(!text.isEmpty());
}

void WidgetGraphXY::updateGraphXY()
{
    double setX = 0.0, setY = 0.0;
    const bool setpointRead =
        MAILBOX_COMM->getSetpoint(&setX, &setY, nullptr) >= 0 && std::isfinite(setX) && std::isfinite(setY);

    QCPGraph* marker = ui->graph->graph(1);
    marker->setVisible(true);
    const int selX = BPM_SEL_X;
    const int selY = BPM_SEL_Y;
    const double rocX = m_rocRect->topLeft->coords().x();
    const double rocY = m_rocRect->bottomRight->coords().y();
    marker->data()->clear();

    // A failed read draws no marker: the setpoint is not known to be anywhere.
    int codeRead = 0;
    const RegulationCode code = MAILBOX_COMM->getPIDconf(&codeRead);
    Marker kind = Marker::None;
    if (codeRead < 0) {
        showMarkerNote(tr("Setpoint marker: no reading of the regulated axes"));
    } else {
        kind = markerFor(code, m_bpm, selX, selY);
        if (kind != Marker::None && !setpointRead) {
            kind = Marker::None;
            showMarkerNote(tr("Setpoint marker: no reading of the setpoint"));
        } else {
            showMarkerNote(QString());
        }
    }

    switch (kind) {
    case Marker::VerticalLine:
        marker->addData(setX, -rocY);
        marker->addData(setX, rocY);
        marker->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone, MARKER_SIZE));
        break;
    case Marker::HorizontalLine:
        marker->addData(rocX, setY);
        marker->addData(-rocX, setY);
        marker->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone, MARKER_SIZE));
        break;
    case Marker::Point:
        marker->addData(setX, setY);
        marker->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, MARKER_SIZE));
        break;
    case Marker::None:
        break;
    }
    if (kind != Marker::None)
        marker->setLineStyle(QCPGraph::lsLine);
    replot();
}

void WidgetGraphXY::refuseClick(const QString& why)
{
    const QString bpm = m_bpm == 0 ? QStringLiteral("BPM1") : QStringLiteral("BPM2");
    QLOG_WARN() << QStringLiteral("Click on the %1 scatter not acted on: %2; no setpoint sent").arg(bpm, why);
    Prompts::warning(nullptr, tr("Setpoint not set"),
                     tr("The setpoint was not changed: %1.\n\nNo setpoint was sent to the controller.").arg(why));
}

void WidgetGraphXY::graphClicked(QMouseEvent* event)
{
    const QPoint pixel = event->position().toPoint();
    const double x = ui->graph->xAxis->pixelToCoord(pixel.x());
    const double y = ui->graph->yAxis->pixelToCoord(pixel.y());

    if (!ui->targetEnable->isChecked() || (USER_LEVEL != USER_LEVEL_USER && USER_LEVEL != USER_LEVEL_ADMIN))
        return;

    // Checked against the ROI as stored, read anew at every click.
    double roiX = 0.0, roiY = 0.0;
    QStringList unread;
    CONFIG_SETTINGS->loadROCandROI(&roiX, &roiY, nullptr, nullptr, nullptr, m_bpm, &unread);
    // A failed read is no code: taken as 0 it would move the X loop of a
    // controller that regulates Y only.
    int codeRead = 0;
    const RegulationCode code = MAILBOX_COMM->getPIDconf(&codeRead);
    if (codeRead < 0) {
        refuseClick(tr("the regulated axes could not be read from the controller (getPIDconf failed)"));
        return;
    }
    const ClickAction action = clickAction(code, m_bpm, BPM_SEL_X, BPM_SEL_Y, x, y, roiX, roiY);
    // A limit the file holds no number for checks nothing: the click is refused, naming it.
    QStringList missing;
    const QString group = m_bpm == 0 ? QStringLiteral("ROCandROI") : QStringLiteral("ROCandROI2");
    const bool needsX = code >= 0 && code <= 2;
    const bool needsY = code >= 1 && code <= 4;
    for (const QString& name : {QStringLiteral("RoiX"), QStringLiteral("RoiY")}) {
        const QString full = group + QLatin1Char('/') + name;
        const bool needed = name.endsWith(QLatin1Char('X')) ? needsX : needsY;
        if (needed && (unread.contains(name) || unread.contains(full)))
            missing << full;
    }
    if (!missing.isEmpty()) {
        refuseClick(tr("the configuration file holds no usable %1, so the click cannot be checked against the "
                       "Region of Interest")
                        .arg(missing.join(tr(" and "))));
        return;
    }
    if (action.rejected) {
        Prompts::information(nullptr, QStringLiteral("Invalid setpoint"),
                             QStringLiteral("Setpoint was set outside Region of Interest.\n\n"), QMessageBox::Ok);
        return;
    }
    if (action.setX)
        MAILBOX_COMM->setSetpointX(x);
    if (action.setY)
        MAILBOX_COMM->setSetpointY(y);

    updateGraphXY();
    emit XYchanged();
}

void WidgetGraphXY::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    GraphFrame::applyBackground(ui->graph, ui->graph->height() - 1);
}
