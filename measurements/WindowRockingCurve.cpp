#include "WindowRockingCurve.h"

#include <fcntl.h>

#include <QCoreApplication>

#include <qcustomplot.h>

#include "ConfigSettings.h"
#include "DacOutputsWriter.h"
#include "DeviceIo.h"
#include "Globals.h"
#include "GraphFrame.h"
#include "MailboxComm.h"
#include "MeasurementClock.h"
#include "PlotRefresher.h"
#include "Prompts.h"
#include "RockingCurvePlan.h"
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
    : QDialog(parent)
    , ui(new Ui::WindowRockingCurve)
    , m_outputs(outputs)
    , m_clock(clock)
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

double WindowRockingCurve::heldOutputLevel(bool scanY) const
{
    double freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset;
    if (scanY)
        CONFIG_SETTINGS->loadPIDX(&freq, &kp, &ki, &kd, &emin, &imax, &omin, &omax, &ogain, &offset);
    else
        CONFIG_SETTINGS->loadPIDY(&freq, &kp, &ki, &kd, &emin, &imax, &omin, &omax, &ogain, &offset);
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
    if (m_scanning)
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

    m_scanning = true;
    ui->buttonStart->setEnabled(false);
    runScan(dacX, dacY, top, right, bottom, left);
    ui->buttonStart->setEnabled(true);
    m_scanning = false;
}

void WindowRockingCurve::runScan(int dacX, int dacY, int top, int right, int bottom, int left)
{
    clearGraph();
    const int currentsFd = DeviceIo::open(DEVICE_ZENTRIM0, O_RDWR | O_SYNC);
    const int outputFd = DeviceIo::open(DEVICE_ORVANE, O_RDWR | O_SYNC);
    MAILBOX_COMM->setFBenable(0);
    MAILBOX_COMM->setOutputMux(0);

    const bool scanYAtStart = ui->chSel->currentText() == QLatin1String("posY");
    const double held = heldOutputLevel(scanYAtStart);

    QCustomPlot* plot = ui->graph;
    const RockingCurvePlan::Pair named = RockingCurvePlan::facingPair(scanYAtStart, top, right, bottom, left);
    plot->graph(0)->setName(named.firstName);
    plot->graph(1)->setName(named.secondName);
    plot->graph(2)->setName(named.sumName);
    plot->graph(0)->setPen(curvePen(GraphFrame::graphColour(named.first), 2));
    plot->graph(1)->setPen(curvePen(GraphFrame::graphColour(named.second), 2));

    for (int i = 0; i < ui->boxN->value(); ++i) {
        // The boxes and the direction act from the next point on when changed during a scan.
        const int n = ui->boxN->value();
        const double x = RockingCurvePlan::rampVoltage(i, n, ui->boxStart->value(), ui->boxStop->value());
        const bool scanY = ui->chSel->currentText() == QLatin1String("posY");
        const auto out = RockingCurvePlan::outputs(x, held, scanY, dacX, dacY);
        writeDacOutputs(outputFd, out[0], out[1], out[2], out[3]);
        m_clock.sleepMicroseconds(long(ui->boxTimePoint->value() * 1000.0));

        ZentrimCurrentSample sample{};
        // A failed read leaves no point rather than one at zero current.
        if (currentsFd >= 0 && DeviceIo::ioctl(currentsFd, IOCTL_ZENTRIM_CURRENTS, &sample) >= 0) {
            const RockingCurvePlan::Pair pair = RockingCurvePlan::facingPair(scanY, top, right, bottom, left);
            const double first = sample.channel(pair.first);
            const double second = sample.channel(pair.second);
            plot->graph(0)->addData(x, first);
            plot->graph(1)->addData(x, second);
            plot->graph(2)->addData(x, first + second);
        }
        plot->xAxis->rescale();
        plot->yAxis->rescale();
        m_refresher->replot();
        ui->progressBar->setValue(RockingCurvePlan::progressAfter(i, n));
        m_clock.sleepMicroseconds(long(ui->boxTimePoint->value() * 1000.0));
        QCoreApplication::processEvents();
    }

    MAILBOX_COMM->setOutputMux(1);
    if (currentsFd >= 0)
        DeviceIo::close(currentsFd);
    if (outputFd >= 0)
        DeviceIo::close(outputFd);
}
