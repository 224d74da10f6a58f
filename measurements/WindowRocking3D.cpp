#include "WindowRocking3D.h"

#include <fcntl.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>

#include "DacOutputsWriter.h"
#include "DeviceIo.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "MeasurementClock.h"
#include "MeasurementFileWriter.h"
#include "Prompts.h"
#include "QsLog.h"
#include "ui_windowrocking3d.h"

using RasterScan::CELLS;
using RasterScan::POINTS;

WindowRocking3D::WindowRocking3D(OutputOwner& outputs, MeasurementClock& clock, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::WindowRocking3D)
    , m_outputs(outputs)
    , m_clock(clock)
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
    if (m_scanning)
        return;
    m_raster.xMin = ui->xMinBox->value();
    m_raster.yMin = ui->yMinBox->value();
    m_raster.xSpan = ui->xMaxBox->value() - ui->xMinBox->value();
    m_raster.ySpan = ui->yMaxBox->value() - ui->yMinBox->value();
    m_stepTimeMs = quint64(ui->timeBox->value());
    m_stop = false;
    m_started = true;
    measure();
}

void WindowRocking3D::measure()
{
    if (m_scanning)
        return;
    m_scanning = true;
    ui->goButton->setEnabled(false);

    const int picoammeter = DeviceIo::open(DEVICE_ZENTRIM0, O_RDWR | O_SYNC);
    if (picoammeter < 0)
        QLOG_WARN() << "3D rocking curve:" << DEVICE_ZENTRIM0 << "could not be opened";
    const int outputs = DeviceIo::open(DEVICE_ORVANE, O_RDWR | O_SYNC);
    if (outputs < 0)
        QLOG_WARN() << "3D rocking curve:" << DEVICE_ORVANE << "could not be opened";

    m_raw.fill(0.0f);
    m_normalised.fill(0.0f);
    MAILBOX_COMM->setFBenable(0);
    MAILBOX_COMM->setOutputMux(0);

    bool readingFailed = false;
    for (int a = 0; a < POINTS && !m_stop; ++a) {
        for (int i = 0; i < POINTS && !m_stop; ++i) {
            m_raw[size_t(a * POINTS + i)] = measurePoint(picoammeter, outputs, a, i, readingFailed);
            // The cells not measured yet hold 0 and take part in the range.
            RasterScan::normalise(m_raw.data(), m_normalised.data(), CELLS);
            ui->graph3D->setData(m_normalised.data(), POINTS, POINTS);
            ui->graph3D->update();
            m_clock.sleepMicroseconds(long(m_stepTimeMs * 1000));
            QCoreApplication::processEvents();
        }
    }
    if (readingFailed)
        QLOG_WARN() << "3D rocking curve: picoammeter readings failed; their cells hold the mean of the others or 0";

    MAILBOX_COMM->setOutputMux(1);
    if (picoammeter >= 0)
        DeviceIo::close(picoammeter);
    if (outputs >= 0)
        DeviceIo::close(outputs);
    m_scanning = false;
    ui->goButton->setEnabled(true);
}

float WindowRocking3D::measurePoint(int picoammeter, int outputs, int a, int i, bool& readingFailed)
{
    writeDacOutputs(outputs, RasterScan::voltage(m_raster.xMin, m_raster.xSpan, a),
                    RasterScan::voltage(m_raster.yMin, m_raster.ySpan, i), 0.0, 0.0);
    m_clock.sleepMicroseconds(long(m_stepTimeMs * 1000));
    float sum = 0.0f;
    int readings = 0;
    for (int k = 0; k < RasterScan::READINGS_PER_POINT; ++k) {
        m_clock.sleepMicroseconds(long(m_stepTimeMs * 100));
        ZentrimCurrentSample sample{};
        if (picoammeter >= 0 && DeviceIo::ioctl(picoammeter, IOCTL_ZENTRIM_CURRENTS, &sample) >= 0) {
            sum = float(double(sum) + RasterScan::summedCurrent(sample));
            ++readings;
        } else {
            readingFailed = true;
        }
    }
    // A failed reading is left out rather than counted as a current of 0.
    return readings > 0 ? sum / float(readings) : 0.0f;
}

void WindowRocking3D::stopMeasurement()
{
    m_stop = true;
}

void WindowRocking3D::closeEvent(QCloseEvent* event)
{
    m_stop = true;
    QDialog::closeEvent(event);
}

void WindowRocking3D::reject()
{
    m_stop = true;
    QDialog::reject();
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
