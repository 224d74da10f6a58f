#include "WindowRocking3D.h"

#include <QCoreApplication>
#include <QIcon>

#include "DacOutputsWriter.h"
#include "MeasurementClock.h"
#include "MeasurementFileWriter.h"
#include "Prompts.h"
#include "QsLog.h"
#include "ScanSession.h"
#include "ui_windowrocking3d.h"

using RasterScan::CELLS;
using RasterScan::POINTS;

WindowRocking3D::WindowRocking3D(OutputOwner& outputs, MeasurementClock& clock, QWidget* parent)
    : ScanWindow(outputs, clock, parent)
    , ui(new Ui::WindowRocking3D)
{
    ui->setupUi(this);
    if (QIcon::hasThemeIcon(QStringLiteral("SP_Play")))
        ui->goButton->setIcon(QIcon::fromTheme(QStringLiteral("SP_Play")));
    // A flat surface until the first point.
    ui->graph3D->setData(m_raw.data(), POINTS, POINTS);
    connect(ui->goButton, &QPushButton::released, this, &WindowRocking3D::startMeasurement);
    connect(ui->stopButton, &QPushButton::released, this, &WindowRocking3D::stopMeasurement);
    connect(ui->saveButton, &QPushButton::released, this, &WindowRocking3D::saveData);
    connect(ui->buttonBox, &QDialogButtonBox::clicked, this, &WindowRocking3D::stopMeasurement);
}

WindowRocking3D::~WindowRocking3D()
{
    delete ui;
}

void WindowRocking3D::setStampSource(FileStampSource source)
{
    m_stamp = std::move(source);
}

void WindowRocking3D::startMeasurement()
{
    // The form stays live between points; a second Go would start a scan inside the first.
    if (scanning())
        return;
    // The raster's corners bound every voltage it puts out; channels 3 and 4 stay at 0.
    const struct
    {
        QString name;
        double volts;
    } corners[] = {{tr("X min"), ui->xMinBox->value()},
                   {tr("X max"), ui->xMaxBox->value()},
                   {tr("Y min"), ui->yMinBox->value()},
                   {tr("Y max"), ui->yMaxBox->value()}};
    for (const auto& corner : corners)
        if (!isOutputVoltage(corner.volts)) {
            const QString refusal = outsideOutputRangeText(corner.name, corner.volts);
            QLOG_WARN() << QStringLiteral("3D Rocking Curve refused: %1").arg(refusal);
            Prompts::warning(this, tr("3D Rocking Curve"),
                             tr("The scan cannot start:\n%1\n\nNothing was written.").arg(refusal));
            return;
        }
    m_raster.xMin = ui->xMinBox->value();
    m_raster.yMin = ui->yMinBox->value();
    m_raster.xSpan = ui->xMaxBox->value() - ui->xMinBox->value();
    m_raster.ySpan = ui->yMaxBox->value() - ui->yMinBox->value();
    m_stepTimeMs = quint64(ui->timeBox->value());
    m_started = true;
    measure();
}

void WindowRocking3D::measure()
{
    runScan(tr("3D Rocking Curve"), [this](ScanSession& session) {
        ui->goButton->setEnabled(false);
        scan(session);
        ui->goButton->setEnabled(true);
    });
}

void WindowRocking3D::scan(ScanSession& session)
{
    m_raw.fill(0.0f);
    m_normalised.fill(0.0f);
    bool running = true;
    for (int a = 0; a < POINTS && running; ++a)
        for (int i = 0; i < POINTS && running; ++i) {
            running = measurePoint(session, a, i);
            if (running)
                QCoreApplication::processEvents();
            running = running && !session.stopRequested();
        }
    showGrid();
}

bool WindowRocking3D::measurePoint(ScanSession& session, int a, int i)
{
    const long long stepUs = static_cast<long long>(m_stepTimeMs) * 1000;
    if (!session.write({RasterScan::voltage(m_raster.xMin, m_raster.xSpan, a),
                        RasterScan::voltage(m_raster.yMin, m_raster.ySpan, i), 0.0, 0.0}))
        return false;
    // Each row starts with channel 2 flown back across the whole raster.
    if (i == 0 && !session.settle())
        return false;
    if (!session.wait(stepUs))
        return false;
    float sum = 0.0f;
    bool read = true;
    for (int k = 0; k < RasterScan::READINGS_PER_POINT; ++k) {
        if (!session.pause(stepUs / 10))
            return false;
        ZentrimCurrentSample sample{};
        if (session.read(sample))
            sum = float(double(sum) + RasterScan::summedCurrent(sample));
        else
            read = false;
    }
    // A cell without its ten readings has no current: it stays out of the
    // surface and is saved as missing.
    m_raw[size_t(a * POINTS + i)] = read ? sum / float(RasterScan::READINGS_PER_POINT) : RasterScan::MISSING;
    if (session.drawDue())
        showGrid();
    return session.pause(stepUs);
}

void WindowRocking3D::showGrid()
{
    // The cells not measured yet hold 0 and take part in the range; missing ones do not.
    RasterScan::normalise(m_raw.data(), m_normalised.data(), CELLS);
    ui->graph3D->setData(m_normalised.data(), POINTS, POINTS);
    ui->graph3D->update();
}

void WindowRocking3D::stopMeasurement()
{
    stopRun();
}

RasterScan::Raster WindowRocking3D::savedRaster() const
{
    if (m_started)
        return m_raster;
    RasterScan::Raster form;
    form.xMin = ui->xMinBox->value();
    form.yMin = ui->yMinBox->value();
    form.xSpan = ui->xMaxBox->value() - ui->xMinBox->value();
    form.ySpan = ui->yMaxBox->value() - ui->yMinBox->value();
    return form;
}

void WindowRocking3D::saveData()
{
    const FileStamp stamp = m_stamp();
    const QString path = Prompts::saveFileName(this, tr("DialogTitle"),
                                               measurementFileName(QStringLiteral("VORN_rock3D_"), stamp.time),
                                               tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    const FileWriteResult result = replaceFile(path, RasterScan::fileContents(stamp, savedRaster(), m_raw.data()));
    if (!result.ok)
        Prompts::warning(this, tr("Saving failed"),
                         tr("File: %1 could not be written:\n%2\n\nNothing was saved.").arg(path, result.error));
}
