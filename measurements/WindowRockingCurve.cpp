#include "WindowRockingCurve.h"

#include <QCoreApplication>

#include <qcustomplot.h>

#include "ConfigSettings.h"
#include "DacOutputsWriter.h"
#include "Globals.h"
#include "GraphFrame.h"
#include "MeasurementClock.h"
#include "PlotRefresher.h"
#include "Prompts.h"
#include "RockingCurvePlan.h"
#include "ScanSession.h"
#include "VornRecords.h"
#include "ui_windowrockingcurve.h"

namespace {

QPen curvePen(const QColor& colour, int width)
{
    return QPen(QBrush(colour), width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

QColor translucent(int r, int g, int b)
{
    return QColor(r, g, b, 240);
}

}  // namespace

WindowRockingCurve::WindowRockingCurve(OutputOwner& outputs, MeasurementClock& clock, QWidget* parent)
    : ScanWindow(outputs, clock, parent)
    , ui(new Ui::WindowRockingCurve)
{
    ui->setupUi(this);
    connect(ui->buttonStart, &QPushButton::released, this, &WindowRockingCurve::startMeasurement);
    connect(ui->boxStart, &QDoubleSpinBox::valueChanged, this, &WindowRockingCurve::minMaxChanged);
    connect(ui->boxStop, &QDoubleSpinBox::valueChanged, this, &WindowRockingCurve::minMaxChanged);
    setupPlot();
}

WindowRockingCurve::~WindowRockingCurve()
{
    delete ui;
}

void WindowRockingCurve::setupPlot()
{
    QCustomPlot* plot = ui->graph;
    for (int g = 0; g < 3; ++g)
        plot->addGraph();
    plot->xAxis->setRange(4, 6);
    plot->yAxis->setRange(-1.5e-4, 1.5e-4);
    plot->setBackground(QBrush(Qt::darkGray));
    plot->graph(0)->setPen(curvePen(translucent(250, 250, 135), 2));
    plot->graph(1)->setPen(curvePen(translucent(255, 120, 255), 2));
    plot->graph(2)->setPen(curvePen(translucent(240, 240, 240), 3));
    plot->xAxis->setLabel(QStringLiteral(" Output voltage [V] "));
    plot->yAxis->setLabel(QStringLiteral(" Input current [A] "));
    plot->legend->setVisible(true);
    plot->legend->setTextColor(QColor(255, 255, 255));
    plot->legend->setBrush(QBrush(QColor(10, 10, 10)));
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    m_refresher = new PlotRefresher(plot);
}

double WindowRockingCurve::heldOutputLevel(bool scanY, bool* usable) const
{
    double freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset;
    QStringList unread;
    if (scanY)
        CONFIG_SETTINGS->loadPIDX(&freq, &kp, &ki, &kd, &emin, &imax, &omin, &omax, &ogain, &offset, &unread);
    else
        CONFIG_SETTINGS->loadPIDY(&freq, &kp, &ki, &kd, &emin, &imax, &omin, &omax, &ogain, &offset, &unread);
    if (usable)
        *usable = !unread.contains(QStringLiteral("Offset")) && offset >= DAC_OUTPUT_MIN_V
                  && offset <= DAC_OUTPUT_MAX_V;
    return offset;
}

void WindowRockingCurve::minMaxChanged()
{
    ui->graph->xAxis->setRange(ui->boxStart->value(), ui->boxStop->value());
    ui->graph->replot();
}

void WindowRockingCurve::clearGraph()
{
    for (int g = 0; g < 3; ++g)
        ui->graph->graph(g)->data()->clear();
    ui->graph->replot();
}

void WindowRockingCurve::startMeasurement()
{
    // The form stays live between points: a second scan would interleave its
    // writes with this one's.
    if (scanning())
        return;

    int dacX = 0, dacY = 1, dacI0 = 2;
    CONFIG_SETTINGS->getDACmap(&dacX, &dacY, &dacI0);
    int top = 0, right = 0, bottom = 0, left = 0;
    CONFIG_SETTINGS->getQuadrants(&top, &right, &bottom, &left, 0);
    using RockingCurvePlan::validChannel;
    if (!validChannel(dacX) || !validChannel(dacY) || !validChannel(top) || !validChannel(right) ||
        !validChannel(bottom) || !validChannel(left)) {
        Prompts::warning(this, tr("Rocking Curve"),
                         tr("The scan needs channel indices 0 to 3.\n"
                            "Output map: X %1, Y %2. BPM1 channel map: top %3, right %4, bottom %5, left %6.\n"
                            "Please correct the beamline configuration.")
                             .arg(dacX)
                             .arg(dacY)
                             .arg(top)
                             .arg(right)
                             .arg(bottom)
                             .arg(left));
        return;
    }

    // The other output would stand at a level nobody chose.
    const bool scanY = ui->chSel->currentText() == QLatin1String("posY");
    bool heldUsable = true;
    heldOutputLevel(scanY, &heldUsable);
    if (!heldUsable) {
        Prompts::warning(this, tr("Rocking Curve"),
                         tr("The stored offset of the %1 loop (%2), at which the scan holds the other output, "
                            "is not a usable voltage (see the log).\nPlease set it in the PID parameters.")
                             .arg(scanY ? QStringLiteral("X") : QStringLiteral("Y"),
                                  scanY ? QStringLiteral("PID_X") : QStringLiteral("PID_Y")));
        return;
    }

    runScan(tr("Rocking Curve"), [&](ScanSession& session) {
        ui->buttonStart->setEnabled(false);
        scan(session, dacX, dacY, top, right, bottom, left);
        ui->buttonStart->setEnabled(true);
    });
}

long long WindowRockingCurve::pointTimeUs() const
{
    return static_cast<long long>(ui->boxTimePoint->value() * 1000.0);
}

void WindowRockingCurve::draw(int progress)
{
    ui->graph->xAxis->rescale();
    ui->graph->yAxis->rescale();
    m_refresher->replot();
    ui->progressBar->setValue(progress);
}

void WindowRockingCurve::scan(ScanSession& session, int dacX, int dacY, int top, int right, int bottom, int left)
{
    clearGraph();
    const bool scanYAtStart = ui->chSel->currentText() == QLatin1String("posY");
    const double held = heldOutputLevel(scanYAtStart);

    QCustomPlot* plot = ui->graph;
    const RockingCurvePlan::Pair named = RockingCurvePlan::facingPair(scanYAtStart, top, right, bottom, left);
    plot->graph(0)->setName(named.firstName);
    plot->graph(1)->setName(named.secondName);
    plot->graph(2)->setName(named.sumName);
    plot->graph(0)->setPen(curvePen(GraphFrame::graphColour(named.first), 2));
    plot->graph(1)->setPen(curvePen(GraphFrame::graphColour(named.second), 2));

    int progress = 0;
    for (int i = 0; i < ui->boxN->value() && !session.stopRequested(); ++i) {
        // The boxes and the direction act from the next point on when changed during a scan.
        const int n = ui->boxN->value();
        const double x = RockingCurvePlan::rampVoltage(i, n, ui->boxStart->value(), ui->boxStop->value());
        const bool scanY = ui->chSel->currentText() == QLatin1String("posY");
        if (!session.write(RockingCurvePlan::outputs(x, held, scanY, dacX, dacY)))
            break;
        // The beam is still on its way from wherever the outputs stood before.
        if (i == 0 && !session.settle())
            break;
        if (!session.wait(pointTimeUs()))
            break;

        ZentrimCurrentSample sample{};
        // A failed read leaves no point rather than one at zero current.
        if (session.read(sample)) {
            const RockingCurvePlan::Pair pair = RockingCurvePlan::facingPair(scanY, top, right, bottom, left);
            const double first = sample.channel(pair.first);
            const double second = sample.channel(pair.second);
            plot->graph(0)->addData(x, first);
            plot->graph(1)->addData(x, second);
            plot->graph(2)->addData(x, first + second);
        }
        progress = RockingCurvePlan::progressAfter(i, n);
        if (session.drawDue())
            draw(progress);
        if (!session.pause(pointTimeUs()))
            break;
        QCoreApplication::processEvents();
    }
    draw(progress);
}
