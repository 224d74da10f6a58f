// The raster rocking scan against the simulated plant with its clock stepped: every
// cell true to the plant with its disturbances on, the outputs handed back however
// the run ends (done, Stop, closed, a failure, the program's end), how often it
// redraws, the raw grid saved, and windows that go when closed.
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include <QAction>
#include <QTimer>

#include "ConfigSettings.h"
#include "DacOutputsWriter.h"
#include "Globals.h"
#include "Graph3D.h"
#include "MainWindow.h"
#include "PlantConstants.h"
#include "Prompts.h"
#include "ScanSession.h"
#include "SimControl.h"
#include "SurfacePlot.h"
#include "Updater.h"
#include "WindowRocking3D.h"
#include "simulator/SimTestSupport.h"
#include "support/BeamTruth.h"
#include "support/GlDriverPin.h"
#include "support/LogCapture.h"
#include "support/Later.h"
#include "support/ProgramFixture.h"
#include "support/SteppedMeasurementClock.h"

namespace {

using RasterScan::CELLS;
using RasterScan::POINTS;

const FileStamp STAMP{QDateTime(QDate(2026, 11, 3), QTime(14, 5, 9)), QStringLiteral("beamline-ws3")};
const QByteArray HEADER =
    "Tarquel Instruments VORN\r\nVORN\r\n\r\nTime and Date: 14:05:09 03.11.2026\r\nHost Name: beamline-ws3\r\n";

// Sleeps of one point at a step time up to 20 ms: settling, ten readings, the
// pause after drawing; the first point of a row sleeps more before, in slices,
// while channel 2 flies back.
constexpr int SLEEPS_PER_POINT = 12;
constexpr int SETTLE_SLEEPS = SteppedMeasurementClock::slicesOf(ScanSession::SETTLE_US);

// The clock's call number of sleep k of point i in the first row.
constexpr int callIn(int point, int k)
{
    return SETTLE_SLEEPS + point * SLEEPS_PER_POINT + k;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines of a file without "\r\n"; empty when a line ends otherwise.
QList<QByteArray> crlfLines(const QByteArray& bytes)
{
    if (!bytes.endsWith("\r\n") || bytes.count('\n') != bytes.count("\r\n"))
        return {};
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();
    for (QByteArray& line : lines)
        line.chop(1);
    return lines;
}

// What a main window needs in the globals, for the tests that make one.
struct MainWindowGlobals
{
    explicit MainWindowGlobals(const QString& configPath)
        : config(configPath)
    {
        CONFIG_SETTINGS = &config;
        UPDATER = &updater;
        USER_LEVEL = USER_LEVEL_USER;
    }
    ~MainWindowGlobals()
    {
        CONFIG_SETTINGS = nullptr;
        UPDATER = nullptr;
    }

    ConfigSettings config;
    Updater updater;
};

int countRed(const QImage& image)
{
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            red += qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
        }
    return red;
}

template <class T>
T* child(QWidget* window, const char* name)
{
    return window->findChild<T*>(name);
}

void click(QWidget* window, const char* button)
{
    child<QPushButton>(window, button)->click();
}

}  // namespace

class TestWindowRocking3D : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The plant as it starts: noise, 50 Hz line and drift on.
        m_program.emplace(ProgramFixture::Options().noConfig());

        // One whole scan with the default form, shared by the tests that look at its result.
        QVERIFY(setFBenable(1) >= 0);
        m_scanClock.beforeEach = [this](int n) {
            m_truth.record();
            if (SimControl::sent().dacWrites > int(m_writtenAt.size()))
                m_writtenAt.push_back(SimControl::now());
            if (n == 0)
                m_firstRecord = SimControl::sent().lastDacWrite;
            if (n == 5) {
                m_duringScan = SimControl::sent();
                m_openDuringScan = SimControl::openFileCount(DEVICE_ZENTRIM0) + SimControl::openFileCount(DEVICE_ORVANE);
                m_goEnabledDuringScan = child<QPushButton>(m_scanned.get(), "goButton")->isEnabled();
                m_heldDuringScan = m_program->outputs.holder();
            }
        };
        m_scanned = std::make_unique<WindowRocking3D>(m_program->outputs, m_scanClock);
        m_scanned->setStampSource([] { return STAMP; });
        m_truth.record();
        m_scanStart = SimControl::now();
        click(m_scanned.get(), "goButton");
        m_scanEnd = SimControl::now();
        m_afterScan = SimControl::sent();
        m_openAfterScan = SimControl::openFileCount(DEVICE_ZENTRIM0) + SimControl::openFileCount(DEVICE_ORVANE);
    }

    void cleanupTestCase()
    {
        pinLoadedGlDrivers();
        m_scanned.reset();
        m_program.reset();
    }

    void init()
    {
        SimTest::start();
        Prompts::clear();
    }

    void formAtStart()
    {
        WindowRocking3D window(m_program->outputs, MeasurementClock::system());
        QCOMPARE(window.objectName(), QString("WindowRocking3D"));
        QCOMPARE(window.windowTitle(), QString("3D Rocking Curve"));
        QCOMPARE(window.size(), QSize(874, 610));
        const char* boxes[] = {"xMinBox", "xMaxBox", "yMinBox", "yMaxBox"};
        const double values[] = {4, 6, 4, 6};
        for (int k = 0; k < 4; ++k) {
            QDoubleSpinBox* box = child<QDoubleSpinBox>(&window, boxes[k]);
            QVERIFY(box);
            QCOMPARE(box->value(), values[k]);
            QCOMPARE(box->minimum(), -20.0);
            QCOMPARE(box->maximum(), 99.99);
            QCOMPARE(box->decimals(), 2);
            QCOMPARE(box->suffix(), QString(" V"));
        }
        QDoubleSpinBox* time = child<QDoubleSpinBox>(&window, "timeBox");
        QCOMPARE(time->value(), 10.0);
        QCOMPARE(time->minimum(), 1.0);
        QCOMPARE(time->maximum(), 1000.0);
        QCOMPARE(time->decimals(), 0);
        QCOMPARE(time->suffix(), QString(" ms"));
        QCOMPARE(child<QPushButton>(&window, "saveButton")->text(), QString("Save Data"));
        QCOMPARE(child<QPushButton>(&window, "goButton")->text(), QString("Go"));
        QCOMPARE(child<QPushButton>(&window, "stopButton")->text(), QString("Stop"));
        QVERIFY(child<QDialogButtonBox>(&window, "buttonBox")->button(QDialogButtonBox::Close));
        // A flat, blue surface until the first point.
        Graph3D* view = child<Graph3D>(&window, "graph3D");
        QVERIFY(view);
        QCOMPARE(view->surface()->quads().size(), size_t(63 * 63));
        for (const SurfaceQuad& quad : view->surface()->quads())
            QVERIFY(quad.blue == 1.0f && quad.red == 0.0f && quad.green == 0.0f);
        for (float v : window.rawGrid())
            QCOMPARE(v, 0.0f);
    }

    // Every cell, the first column included, against the plant's intensity at the
    // cell's voltages, with what the plant's own disturbances added at each reading.
    void defaultScanIsTrueInEveryCell()
    {
        using namespace PlantConstants;
        const auto& raw = m_scanned->rawGrid();
        QCOMPARE(int(m_writtenAt.size()), CELLS);
        const double peak = INTENSITY_PEAK_A * TRANSMISSION[0];
        const double step = 0.010;
        double worst = 0.0, worstStatic = 0.0, worstFirstColumn = 0.0;
        int worstAt = -1, worstStaticAt = -1;
        for (int cell = 0; cell < CELLS; ++cell) {
            const int a = cell / POINTS, i = cell % POINTS;
            const double ax = RasterScan::voltage(4.0, 2.0, a) - CENTRE_OUTPUT_V;
            const double ay = RasterScan::voltage(4.0, 2.0, i) - CENTRE_OUTPUT_V;
            // Ten readings a tenth of the step apart, after the step (and the settling at a row's start).
            const double firstReading = m_writtenAt[size_t(cell)] + (i == 0 ? ScanSession::SETTLE_US * 1e-6 : 0.0) + step;
            double truth = 0.0;
            for (int k = 1; k <= RasterScan::READINGS_PER_POINT; ++k) {
                const double t = firstReading + k * step / 10;
                QVERIFY2(m_truth.recordedAt(t), qPrintable(QString("cell %1 reading %2").arg(cell).arg(k)));
                truth += BeamTruth::intensity(ax + m_truth.disturbance(0, t), ay + m_truth.disturbance(1, t));
            }
            truth /= RasterScan::READINGS_PER_POINT;
            const double deviation = qAbs(raw[size_t(cell)] - truth) / peak;
            const double deviationStatic = qAbs(raw[size_t(cell)] - BeamTruth::intensity(ax, ay)) / peak;
            if (deviation > worst) {
                worst = deviation;
                worstAt = cell;
            }
            if (i == 0)
                worstFirstColumn = std::max(worstFirstColumn, deviation);
            if (deviationStatic > worstStatic) {
                worstStatic = deviationStatic;
                worstStaticAt = cell;
            }
        }
        qInfo("largest deviation %.2f %% of the peak (cell %d, %d) from the plant's intensity with its "
              "disturbances, %.2f %% in the first column; %.2f %% (cell %d, %d) from the intensity alone",
              100 * worst, worstAt / POINTS, worstAt % POINTS, 100 * worstFirstColumn, 100 * worstStatic,
              worstStaticAt / POINTS, worstStaticAt % POINTS);
        QVERIFY2(worst <= 0.02, qPrintable(QString::number(100 * worst)));

        int best = 0;
        for (int k = 1; k < CELLS; ++k)
            if (raw[size_t(k)] > raw[size_t(best)])
                best = k;
        const auto& normalised = m_scanned->normalisedGrid();
        float smallest = normalised[0], largest = normalised[0];
        for (float v : normalised) {
            smallest = std::min(smallest, v);
            largest = std::max(largest, v);
        }
        QCOMPARE(smallest, 0.0f);
        QCOMPARE(largest, 1.0f);
        QCOMPARE(normalised[size_t(best)], 1.0f);
    }

    void scanDrivesChannelsOneAndTwoThenHandsTheOutputsBack()
    {
        // During the scan: feedback off, outputs from the program, both devices open.
        QCOMPARE(m_duringScan.fbEnable, uint8_t(0));
        QCOMPARE(m_duringScan.outputMux, uint8_t(0));
        QCOMPARE(m_openDuringScan, 2);
        QVERIFY(!m_goEnabledDuringScan);
        QCOMPARE(m_heldDuringScan, QString("3D Rocking Curve"));
        QVERIFY(!m_program->outputs.isHeld());

        QCOMPARE(m_afterScan.dacWrites, CELLS);
        QCOMPARE(m_firstRecord.ch1, 4.0);
        QCOMPARE(m_firstRecord.ch2, 4.0);
        QCOMPARE(m_firstRecord.ch3, 0.0);
        QCOMPARE(m_firstRecord.ch4, 0.0);
        QCOMPARE(m_firstRecord.flag, 1);
        QCOMPARE(m_afterScan.lastDacWrite.ch1, 6.0);
        QCOMPARE(m_afterScan.lastDacWrite.ch2, 6.0);
        QCOMPARE(m_afterScan.lastDacWrite.ch3, 0.0);
        QCOMPARE(m_afterScan.lastDacWrite.flag, 1);
        QCOMPARE(m_afterScan.outputMux, uint8_t(1));
        QCOMPARE(m_afterScan.fbEnable, uint8_t(0));  // the scan does not switch the feedback on again
        QCOMPARE(m_openAfterScan, 0);
        QVERIFY(child<QPushButton>(m_scanned.get(), "goButton")->isEnabled());
        QVERIFY(!m_scanned->scanning());

        // Ten readings a tenth of the step apart between two waits of the step, and
        // the settling at the start of each row.
        QCOMPARE(m_scanClock.calls.load(), CELLS * SLEEPS_PER_POINT + POINTS * SETTLE_SLEEPS);
        QCOMPARE(m_scanClock.sleptUs.load(),
                 (long long)(CELLS) * (10000 + 10 * 1000 + 10000) + POINTS * ScanSession::SETTLE_US);
        QVERIFY(qAbs(m_scanEnd - m_scanStart - CELLS * 0.030 - POINTS * ScanSession::SETTLE_US * 1e-6) < 1e-6);
    }

    void viewShowsRowsAlongChannelOne()
    {
        // Row a (channel 1), column i (channel 2): quad (column c, row r) starts at cell r * 64 + c.
        const Graph3D* view = child<Graph3D>(m_scanned.get(), "graph3D");
        const auto& quads = view->surface()->quads();
        QCOMPARE(quads.size(), size_t(63 * 63));
        const auto& normalised = m_scanned->normalisedGrid();
        for (int c : {0, 17, 40})
            for (int r : {0, 31, 62}) {
                const SurfaceQuad& quad = quads[size_t(c * 63 + r)];
                QCOMPARE(quad.corner[0][2], normalised[size_t(r * POINTS + c)]);
                QCOMPARE(quad.corner[2][2], normalised[size_t((r + 1) * POINTS + c + 1)]);
            }
    }

    void savedFileHoldsTheRawGrid()
    {
        const QString path = m_program->filePath("scan.csv");
        // The file carries the raster of the scan, not what the form says now.
        child<QDoubleSpinBox>(m_scanned.get(), "xMinBox")->setValue(0.0);
        Prompts::queueFileName(path);
        click(m_scanned.get(), "saveButton");
        child<QDoubleSpinBox>(m_scanned.get(), "xMinBox")->setValue(4.0);

        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::SaveFileName);
        QCOMPARE(shown[0].title, QString("DialogTitle"));
        QCOMPARE(shown[0].text, QString("VORN_rock3D_2026-11-03_14-05-09.csv"));

        const QByteArray bytes = contents(path);
        QVERIFY(bytes.startsWith(HEADER + "ch0,ch1,I0\r\n"));
        const QList<QByteArray> lines = crlfLines(bytes);
        QCOMPARE(lines.size(), 5 + 1 + CELLS);
        const auto& raw = m_scanned->rawGrid();
        QVERIFY(lines[6].startsWith("4,4,"));
        QVERIFY(lines[6 + 63].startsWith("4,6,"));
        QVERIFY(lines[6 + 64].startsWith("4.03175,4,"));
        QVERIFY(lines.last().startsWith("6,6,"));
        for (int k = 0; k < CELLS; ++k) {
            const QList<QByteArray> fields = lines[6 + k].split(',');
            QCOMPARE(fields.size(), 3);
            QVERIFY(qAbs(fields[0].toDouble() - RasterScan::voltage(4.0, 2.0, k / POINTS)) < 5e-6 * 6);
            QVERIFY(qAbs(fields[1].toDouble() - RasterScan::voltage(4.0, 2.0, k % POINTS)) < 5e-6 * 6);
            QVERIFY2(qAbs(fields[2].toDouble() - raw[size_t(k)]) <= 5e-6 * qAbs(raw[size_t(k)]),
                     lines[6 + k].constData());
        }
    }

    void screenshotShowsTheRedHill()
    {
        m_scanned->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_scanned.get()));
        // What the screen shows: the view's white background is drawn with alpha
        // 0.5, which only the window system's composition turns into white.
        QImage shot;
        QTRY_VERIFY((shot = m_scanned->screen()->grabWindow(m_scanned->winId()).toImage(), countRed(shot) > 50));
        QVERIFY(shot.save(VORN_SCREENSHOT_PATH));

        Graph3D* view = child<Graph3D>(m_scanned.get(), "graph3D");
        const QImage surface = view->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        int blue = 0;
        for (int y = 0; y < surface.height(); ++y)
            for (int x = 0; x < surface.width(); ++x) {
                const QRgb c = surface.pixel(x, y);
                blue += qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60;
            }
        const int red = countRed(surface);
        QVERIFY2(red > 50, qPrintable(QString::number(red)));
        QVERIFY2(blue > red, qPrintable(QString::number(blue)));
        m_scanned->hide();
    }

    // Every way a run is asked to end: from the window, and from the program.
    void stoppingDuringTheFirstRow_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Stop") << "stop";
        QTest::newRow("Close button") << "close button";
        QTest::newRow("window closed") << "close";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("the program ends") << "exit";
    }

    void stoppingDuringTheFirstRow()
    {
        QFETCH(QString, how);
        SteppedMeasurementClock clock;
        WindowRocking3D window(m_program->outputs, clock);
        window.show();
        clock.beforeEach = [&](int n) {
            // In point 2: a second Go, with a new minimum on the form, is refused.
            if (n == callIn(2, 4)) {
                child<QDoubleSpinBox>(&window, "xMinBox")->setValue(1.0);
                later(&window, [&window] { window.startMeasurement(); });
            }
            // In point 5: stop; the point still ends, with its drawing.
            if (n == callIn(5, 3))
                askToStop(window, how);
        };
        click(&window, "goButton");

        const int measured = 6;
        const SimControl::Sent sent = SimControl::sent();
        QCOMPARE(sent.dacWrites, measured);
        QCOMPARE(sent.lastDacWrite.ch1, 4.0);
        QCOMPARE(sent.lastDacWrite.ch2, RasterScan::voltage(4.0, 2.0, measured - 1));
        QCOMPARE(sent.outputMux, uint8_t(1));
        QCOMPARE(sent.fbEnable, uint8_t(0));
        QCOMPARE(SimControl::openFileCount(DEVICE_ZENTRIM0), 0);
        QCOMPARE(SimControl::openFileCount(DEVICE_ORVANE), 0);
        QCOMPARE(clock.calls.load(), callIn(measured, 0));
        QVERIFY(!window.scanning());
        QVERIFY(!m_program->outputs.isHeld());
        QCOMPARE(window.isVisible(), how == "stop" || how == "exit");

        const auto& raw = window.rawGrid();
        for (int k = 0; k < CELLS; ++k) {
            if (k < measured)
                QVERIFY2(raw[size_t(k)] > 0.0f, qPrintable(QString::number(k)));
            else
                QCOMPARE(raw[size_t(k)], 0.0f);
        }
        // Each cell the mean of the ten readings at its point: BPM1's intensity there,
        // within what the plant's low-pass still lags behind the last step.
        const double expected = PlantConstants::INTENSITY_PEAK_A * PlantConstants::TRANSMISSION[0] *
                                std::exp(-(1.0 + std::pow(RasterScan::voltage(4.0, 2.0, 5) - 5.0, 2)) /
                                         (2 * PlantConstants::INTENSITY_SIGMA_V * PlantConstants::INTENSITY_SIGMA_V));
        QVERIFY2(qAbs(raw[5] - expected) < 0.03 * expected, qPrintable(QString("%1 vs %2").arg(raw[5]).arg(expected)));
        // The largest of the measured cells is 1, the cells not yet measured 0. (The
        // first cell can be the largest: the beam still settles from where it stood.)
        const auto& normalised = window.normalisedGrid();
        QCOMPARE(*std::max_element(normalised.begin(), normalised.begin() + measured), 1.0f);
        QCOMPARE(normalised[measured], 0.0f);
        QCOMPARE(normalised[CELLS - 1], 0.0f);

        // The saved file shows the cells measured so far and zeros elsewhere.
        Prompts::queueFileName(m_program->filePath("stopped.csv"));
        click(&window, "saveButton");
        const QList<QByteArray> lines = crlfLines(contents(m_program->filePath("stopped.csv")));
        QCOMPARE(lines.size(), 5 + 1 + CELLS);
        QCOMPARE(lines[6 + measured], QByteArray("4,4.19048,0"));
        QVERIFY(lines[6].startsWith("4,4,"));
        QCOMPARE(lines.last(), QByteArray("6,6,0"));
    }

    void goAgainAfterAStopStartsAFreshScan()
    {
        SteppedMeasurementClock clock;
        WindowRocking3D window(m_program->outputs, clock);
        clock.beforeEach = [&](int n) {
            if (n == callIn(3, 1))
                later(&window, [&window] { window.stopMeasurement(); });
        };
        click(&window, "goButton");
        QCOMPARE(SimControl::sent().dacWrites, 4);

        child<QDoubleSpinBox>(&window, "xMinBox")->setValue(5.0);
        child<QDoubleSpinBox>(&window, "timeBox")->setValue(2.0);
        clock.beforeEach = [&](int n) {
            if (n == callIn(4, 0) + callIn(1, 1))
                later(&window, [&window] { window.stopMeasurement(); });
        };
        click(&window, "goButton");
        QCOMPARE(SimControl::sent().dacWrites, 4 + 2);
        QCOMPARE(SimControl::sent().lastDacWrite.ch1, 5.0);
        QCOMPARE(clock.sleptUs.load(), 4LL * 30000 + 2LL * 6000 + 2 * ScanSession::SETTLE_US);
        // The grid starts again from zeros.
        QVERIFY(window.rawGrid()[0] > 0.0f);
        QVERIFY(window.rawGrid()[1] > 0.0f);
        QCOMPARE(window.rawGrid()[2], 0.0f);
    }

    void deviceThatCannotBeOpenedRefusesTheRun()
    {
        SimControl::setZentrimPresent(0, false);
        SteppedMeasurementClock clock;
        WindowRocking3D window(m_program->outputs, clock);
        click(&window, "goButton");
        QCOMPARE(SimControl::sent().dacWrites, 0);
        QCOMPARE(SimControl::callCount("setFBenable"), 0);
        QCOMPARE(SimControl::callCount("setOutputMux"), 0);
        QCOMPARE(SimControl::openFileCount(DEVICE_ORVANE), 0);
        QVERIFY(!m_program->outputs.isHeld());
        QVERIFY(child<QPushButton>(&window, "goButton")->isEnabled());
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QCOMPARE(shown[0].title, QString("3D Rocking Curve"));
        QVERIFY2(shown[0].text.contains("/dev/vorn_zentrim0 could not be opened"), qPrintable(shown[0].text));
    }

    // A cell with a failed reading has no current: it is missing from the grid,
    // leaves a hole in the surface and is marked "nan" in the saved file, never
    // drawn at the floor or saved as 0 A. The run goes on and says so once, on
    // screen and in the log.
    void failedReadingsLeaveTheirCellsOut()
    {
        LogCapture::install();
        SteppedMeasurementClock clock;
        WindowRocking3D window(m_program->outputs, clock);
        window.setStampSource([] { return STAMP; });
        clock.beforeEach = [&](int n) {
            // Point 1 loses its fourth reading; point 2 all of them.
            if (n == callIn(1, 4))
                SimControl::failIoctl(DEVICE_ZENTRIM0);
            if (n == callIn(1, 5))
                SimControl::clearFailures();
            if (n == callIn(2, 0))
                SimControl::failIoctl(DEVICE_ZENTRIM0);
            if (n == callIn(3, 0))
                SimControl::clearFailures();
            if (n == callIn(4, 0))
                later(&window, [&window] { window.stopMeasurement(); });
        };
        click(&window, "goButton");
        QCOMPARE(SimControl::sent().dacWrites, 5);
        const auto& raw = window.rawGrid();
        QVERIFY(raw[0] > 0.0f && raw[3] > 0.0f && raw[4] > 0.0f);
        QVERIFY(RasterScan::isMissing(raw[1]));
        QVERIFY(RasterScan::isMissing(raw[2]));
        for (int k = 5; k < CELLS; ++k)
            QCOMPARE(raw[size_t(k)], 0.0f);  // not measured yet
        QCOMPARE(SimControl::sent().outputMux, uint8_t(1));
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains("11 of 50 picoammeter readings failed"), qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains("Their points are left out."), qPrintable(shown[0].text));
        QTRY_COMPARE(LogCapture::messagesAt(QsLogging::Warn).filter("readings failed").size(), 1);

        // The grid spans the measured cells, 0 to 1, without the missing ones.
        const auto& normalised = window.normalisedGrid();
        QVERIFY(RasterScan::isMissing(normalised[1]) && RasterScan::isMissing(normalised[2]));
        QCOMPARE(std::max({normalised[0], normalised[3], normalised[4]}), 1.0f);
        for (int k : {0, 3, 4})
            QVERIFY(normalised[size_t(k)] > 0.0f);
        // The surface: cells 1 and 2 of row 0 take the quads of columns 0 to 2 of
        // that row; every quad drawn has real corners.
        const auto& quads = child<Graph3D>(&window, "graph3D")->surface()->quads();
        QCOMPARE(quads.size(), size_t(63 * 63 - 3));
        for (const SurfaceQuad& quad : quads)
            for (const float* corner : quad.corner)
                QVERIFY(std::isfinite(corner[2]));
        QCOMPARE(quads[0].corner[0][0], 0.0f);
        QCOMPARE(quads[0].corner[0][1], 1.0f / 63.0f);  // column 0 starts at row 1

        // The file keeps its 4096 rows; the two missing cells read as no value.
        const QString path = m_program->filePath("gaps.csv");
        Prompts::queueFileName(path);
        click(&window, "saveButton");
        const QList<QByteArray> lines = crlfLines(contents(path));
        QCOMPARE(lines.size(), 5 + 1 + CELLS);
        QCOMPARE(lines[6 + 1], QByteArray("4,4.03175,nan"));
        QCOMPARE(lines[6 + 2], QByteArray("4,4.06349,nan"));
        int marked = 0;
        for (int k = 0; k < CELLS; ++k) {
            const QByteArray current = lines[6 + k].split(',').value(2);
            marked += current == "nan";
            if (k == 0 || k == 3 || k == 4)
                QVERIFY2(current.toDouble() > 0.0, lines[6 + k].constData());
        }
        QCOMPARE(marked, 2);
    }

    // A block of cells that could not be read, across the flank of the hill: the
    // view draws the rest of the surface and leaves a hole where they are.
    void screenshotShowsTheMissingCells()
    {
        SteppedMeasurementClock clock;
        WindowRocking3D window(m_program->outputs, clock);
        window.resize(874, 610);
        // Rows 24 to 30 (channel 1), columns 20 to 44 (channel 2) fail.
        const auto inBlock = [](int point) {
            const int a = point / POINTS, i = point % POINTS;
            return a >= 24 && a <= 30 && i >= 20 && i <= 44;
        };
        int failing = -1;
        clock.beforeEach = [&](int) {
            const int point = SimControl::sent().dacWrites - 1;
            if (point != failing && inBlock(point)) {
                SimControl::failIoctl(DEVICE_ZENTRIM0);
                failing = point;
            } else if (point != failing && failing >= 0) {
                SimControl::clearFailures();
                failing = -1;
            }
            if (point == 40 * POINTS - 1)
                later(&window, [&window] { window.stopMeasurement(); });
        };
        click(&window, "goButton");
        QCOMPARE(SimControl::sent().dacWrites, 40 * POINTS);
        int missing = 0;
        for (int k = 0; k < CELLS; ++k)
            missing += RasterScan::isMissing(window.rawGrid()[size_t(k)]);
        QCOMPARE(missing, 7 * 25);
        // Every quad with a corner in the block goes: columns 19 to 44, rows 23 to 30.
        const Graph3D* view = child<Graph3D>(&window, "graph3D");
        QCOMPARE(view->surface()->quads().size(), size_t(63 * 63 - 26 * 8));

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QImage shot;
        QTRY_VERIFY((shot = window.screen()->grabWindow(window.winId()).toImage(), countRed(shot) > 50));
        const QString folder = qEnvironmentVariable("VORN_TEST_TMP", QDir::tempPath());
        QVERIFY(shot.save(folder + "/rocking3d-missing-cells.png"));
        // Seen from above, where the hill does not hide the hole.
        Graph3D* turned = child<Graph3D>(&window, "graph3D");
        turned->setXRotation(5760 - 16 * 20);
        turned->setYRotation(0);
        turned->setZRotation(16 * 200);
        const QImage before = shot;
        QTRY_VERIFY((shot = window.screen()->grabWindow(window.winId()).toImage(), shot != before && countRed(shot) > 50));
        QVERIFY(shot.save(folder + "/rocking3d-missing-cells-above.png"));
        window.hide();
        Prompts::clear();
    }

    // A raster whose corners lie beyond the output unit's range does not start:
    // the operator is told the box and value, and nothing reaches the feedback,
    // the multiplexer or the outputs. The limits themselves are put out.
    void cornersOutsideTheOutputRange_data()
    {
        QTest::addColumn<QList<double>>("corners");  // X min, X max, Y min, Y max
        QTest::addColumn<QString>("told");           // empty: the scan runs

        QTest::newRow("X max 99 V") << QList<double>{4, 99, 4, 6} << "X max is 99 V";
        QTest::newRow("X min 15 V") << QList<double>{15, 6, 4, 6} << "X min is 15 V";
        QTest::newRow("X min -20 V") << QList<double>{-20, 6, 4, 6} << "X min is -20 V";
        QTest::newRow("Y min -13 V") << QList<double>{4, 6, -13, 6} << "Y min is -13 V";
        QTest::newRow("Y max 12.5 V") << QList<double>{4, 6, 4, 12.5} << "Y max is 12.5 V";
        QTest::newRow("from -12 to 12 V") << QList<double>{-12, 12, 12, -12} << "";
    }

    void cornersOutsideTheOutputRange()
    {
        QFETCH(QList<double>, corners);
        QFETCH(QString, told);
        SteppedMeasurementClock clock;
        WindowRocking3D window(m_program->outputs, clock);
        const char* boxes[] = {"xMinBox", "xMaxBox", "yMinBox", "yMaxBox"};
        for (int b = 0; b < 4; ++b)
            child<QDoubleSpinBox>(&window, boxes[b])->setValue(corners[b]);
        std::vector<DacOutputs> records;
        clock.beforeEach = [&](int) {
            if (SimControl::sent().dacWrites > int(records.size()))
                records.push_back(SimControl::sent().lastDacWrite);
            // The last point of the first row, then stop.
            if (SimControl::sent().dacWrites == POINTS)
                later(&window, [&window] { window.stopMeasurement(); });
        };
        click(&window, "goButton");

        const QList<Prompts::Shown> shown = Prompts::shown();
        if (!told.isEmpty()) {
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
            QCOMPARE(shown[0].title, QString("3D Rocking Curve"));
            QVERIFY2(shown[0].text.contains(told + ", outside the output range of -12 to 12 V"),
                     qPrintable(shown[0].text));
            QCOMPARE(SimControl::sent().dacWrites, 0);
            QCOMPARE(SimControl::callCount("setFBenable"), 0);
            QCOMPARE(SimControl::callCount("setOutputMux"), 0);
            QVERIFY(!m_program->outputs.isHeld());
            return;
        }
        QVERIFY(shown.isEmpty());
        QCOMPARE(int(records.size()), POINTS);
        QCOMPARE(records.front().ch1, -12.0);
        QCOMPARE(records.front().ch2, 12.0);
        QCOMPARE(records.back().ch2, -12.0);
        for (const DacOutputs& r : records)
            QVERIFY(r.ch2 >= DAC_OUTPUT_MIN_V && r.ch2 <= DAC_OUTPUT_MAX_V);
    }

    // The feedback left on would fight the scan: the scan does not start.
    void feedbackNotSwitchedOffRefusesTheScan()
    {
        QVERIFY(setFBenable(1) >= 0);
        SimControl::failCall("setFBenable");
        SteppedMeasurementClock clock;
        WindowRocking3D window(m_program->outputs, clock);
        click(&window, "goButton");
        QCOMPARE(SimControl::sent().dacWrites, 0);
        QCOMPARE(SimControl::callCount("setOutputMux"), 0);
        QCOMPARE(SimControl::sent().fbEnable, uint8_t(1));
        QVERIFY(!m_program->outputs.isHeld());
        QVERIFY(child<QPushButton>(&window, "goButton")->isEnabled());
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QString("3D Rocking Curve"));
        QVERIFY2(shown[0].text.contains("setFBenable(0) failed"), qPrintable(shown[0].text));
    }

    void failedWriteEndsTheRun()
    {
        SteppedMeasurementClock clock;
        WindowRocking3D window(m_program->outputs, clock);
        clock.beforeEach = [&](int n) {
            if (n == callIn(2, 11))
                SimControl::failIoctl(DEVICE_ORVANE);
        };
        click(&window, "goButton");
        // Point 3 never reached the outputs: its cell and the rest stay empty.
        QCOMPARE(SimControl::sent().dacWrites, 3);
        QVERIFY(window.rawGrid()[2] > 0.0f);
        QCOMPARE(window.rawGrid()[3], 0.0f);
        QCOMPARE(clock.calls.load(), callIn(3, 0));
        QCOMPARE(SimControl::sent().outputMux, uint8_t(1));
        QCOMPARE(SimControl::openFileCount(DEVICE_ZENTRIM0) + SimControl::openFileCount(DEVICE_ORVANE), 0);
        QVERIFY(!m_program->outputs.isHeld());
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains("did not take the voltages 4, 4.09524, 0, 0 V"), qPrintable(shown[0].text));
    }

    void stopAtTheLongestStepTime_data() { stoppingDuringTheFirstRow_data(); }

    // A point at 1000 ms takes 3 s; a stop in it ends the run within a second.
    void stopAtTheLongestStepTime()
    {
        QFETCH(QString, how);
        SteppedMeasurementClock clock;
        WindowRocking3D window(m_program->outputs, clock);
        window.show();
        child<QDoubleSpinBox>(&window, "timeBox")->setValue(1000.0);
        double askedAt = -1.0;
        int intoPoint = 0;
        clock.beforeEach = [&](int) {
            // 400 ms into point 1's first wait of the step.
            if (SimControl::sent().dacWrites != 2 || ++intoPoint != 20)
                return;
            askedAt = SimControl::now();
            askToStop(window, how);
        };
        click(&window, "goButton");
        QVERIFY(askedAt > 0.0);
        const double took = SimControl::now() - askedAt;
        qInfo("stopped %.3f s after it was asked", took);
        QVERIFY2(took <= 1.0, qPrintable(QString::number(took)));
        QCOMPARE(SimControl::sent().dacWrites, 2);
        QCOMPARE(SimControl::sent().outputMux, uint8_t(1));
        QCOMPARE(SimControl::openFileCount(DEVICE_ZENTRIM0) + SimControl::openFileCount(DEVICE_ORVANE), 0);
        QVERIFY(!m_program->outputs.isHeld());
        // Point 1 was cut short: left out, not half measured.
        QVERIFY(window.rawGrid()[0] > 0.0f);
        QCOMPARE(window.rawGrid()[1], 0.0f);
    }

    // About ten redraws a second of scan time, and one at the end.
    void redrawsAreThrottled()
    {
        SteppedMeasurementClock clock;
        WindowRocking3D window(m_program->outputs, clock);
        std::array<float, CELLS> shown{};
        int redraws = 0;
        clock.beforeEach = [&](int n) {
            if (window.normalisedGrid() != shown) {
                shown = window.normalisedGrid();
                ++redraws;
            }
            if (n == callIn(2 * POINTS, 0))
                later(&window, [&window] { window.stopMeasurement(); });
        };
        click(&window, "goButton");
        if (window.normalisedGrid() != shown)
            ++redraws;
        const double seconds = double(clock.nowMicroseconds()) * 1e-6;
        qInfo("%d redraws in %.3f s of scan", redraws, seconds);
        QVERIFY2(redraws >= int(seconds * 5) && redraws <= int(seconds * 10) + 2, qPrintable(QString::number(redraws)));
    }

    void saveBeforeTheFirstGoUsesTheForm()
    {
        WindowRocking3D window(m_program->outputs, MeasurementClock::system());
        window.setStampSource([] { return STAMP; });
        child<QDoubleSpinBox>(&window, "xMinBox")->setValue(1.0);
        child<QDoubleSpinBox>(&window, "xMaxBox")->setValue(3.0);
        child<QDoubleSpinBox>(&window, "yMinBox")->setValue(-2.0);
        child<QDoubleSpinBox>(&window, "yMaxBox")->setValue(2.0);
        const QString path = m_program->filePath("before.csv");
        Prompts::queueFileName(path);
        click(&window, "saveButton");

        const QByteArray bytes = contents(path);
        QVERIFY(bytes.startsWith(HEADER + "ch0,ch1,I0\r\n"));
        const QList<QByteArray> lines = crlfLines(bytes);
        QCOMPARE(lines.size(), 5 + 1 + CELLS);
        QCOMPARE(lines[6], QByteArray("1,-2,0"));
        QCOMPARE(lines[6 + 63], QByteArray("1,2,0"));
        QCOMPARE(lines.last(), QByteArray("3,2,0"));
        QCOMPARE(SimControl::sent().dacWrites, 0);
    }

    void saveThatCannotBeWritten_data()
    {
        QTest::addColumn<bool>("cancelled");
        QTest::newRow("file dialog cancelled: nothing, silently") << true;
        QTest::newRow("folder cannot hold the file: a warning") << false;
    }

    void saveThatCannotBeWritten()
    {
        QFETCH(bool, cancelled);
        WindowRocking3D window(m_program->outputs, MeasurementClock::system());
        QFile plain(m_program->filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        if (!cancelled)
            Prompts::queueFileName(m_program->filePath("plain/scan.csv"));
        click(&window, "saveButton");

        QVERIFY(!QFile::exists(m_program->filePath("plain/scan.csv")));
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), cancelled ? 1 : 2);
        if (!cancelled) {
            QCOMPARE(shown[1].kind, Prompts::Kind::Warning);
            QCOMPARE(shown[1].title, QString("Saving failed"));
            QVERIFY(shown[1].text.contains("plain/scan.csv"));
        }
    }

    // Its 3D view needs a real OpenGL context once shown, so the main window's
    // entry is checked here rather than with the other menu entries.
    void menuEntryOpensANewWindowEachTime()
    {
        MainWindowGlobals globals(m_program->filePath("config.ini"));
        {
            MainWindow window;
            QAction* entry = window.findChild<QAction*>("actionRocking_Curve_3D");
            QVERIFY(entry && entry->isEnabled());
            entry->trigger();
            entry->trigger();
            const QList<WindowRocking3D*> opened = window.findChildren<WindowRocking3D*>();
            QCOMPARE(opened.size(), 2);
            for (WindowRocking3D* scan : opened) {
                QCOMPARE(scan->parentWidget(), &window);
                QVERIFY(scan->isVisible());
                QVERIFY(!scan->isModal());
            }
            // Closed, it goes: its view holds an OpenGL context and buffers.
            QPointer<WindowRocking3D> closed(opened[0]);
            closed->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(!closed);
            QCOMPARE(window.findChildren<WindowRocking3D*>().size(), 1);
        }
    }

    // File > Exit while a scan waits through a point at the longest step time: the
    // program's loop ends with 0 within a second, the outputs handed back.
    void exitDuringAScan()
    {
        MainWindowGlobals globals(m_program->filePath("config.ini"));
        {
            SteppedMeasurementClock clock;
            MainWindow window(nullptr, clock);
            // The manual output dialog keeps its own descriptor of the output unit.
            const int openBefore = SimControl::openFileCount(DEVICE_ZENTRIM0) + SimControl::openFileCount(DEVICE_ORVANE);
            double askedAt = -1.0;
            int intoPoint = 0;
            clock.beforeEach = [&](int) {
                if (SimControl::sent().dacWrites == 2 && ++intoPoint == 20) {
                    askedAt = SimControl::now();
                    window.findChild<QAction*>("action_Exit")->trigger();
                }
            };
            QTimer::singleShot(0, &window, [&] {
                window.findChild<QAction*>("actionRocking_Curve_3D")->trigger();
                WindowRocking3D* scan = window.findChild<WindowRocking3D*>();
                child<QDoubleSpinBox>(scan, "timeBox")->setValue(1000.0);
                click(scan, "goButton");
            });
            QTimer guard;
            guard.setSingleShot(true);
            connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
            guard.start(20000);
            QCOMPARE(QCoreApplication::exec(), 0);
            QVERIFY(askedAt > 0.0);
            QVERIFY2(SimControl::now() - askedAt <= 1.0, qPrintable(QString::number(SimControl::now() - askedAt)));
            QCOMPARE(SimControl::sent().dacWrites, 2);
            QCOMPARE(SimControl::sent().outputMux, uint8_t(1));
            QCOMPARE(SimControl::openFileCount(DEVICE_ZENTRIM0) + SimControl::openFileCount(DEVICE_ORVANE), openBefore);
            QVERIFY(!window.outputs().isHeld());
            QVERIFY(Prompts::shown().isEmpty());
        }
    }

private:
    // Asks the run to end as `how` says, from the scan's next event processing.
    void askToStop(WindowRocking3D& window, const QString& how)
    {
        QAbstractButton* close = child<QDialogButtonBox>(&window, "buttonBox")->button(QDialogButtonBox::Close);
        if (how == "stop")
            later(&window, [&window] { child<QPushButton>(&window, "stopButton")->click(); });
        else if (how == "close button")
            later(close, [close] { close->click(); });
        else if (how == "close")
            later(&window, [&window] { window.close(); });
        else if (how == "escape")
            later(&window, [&window] { QTest::keyClick(&window, Qt::Key_Escape); });
        else
            later(&window, [this] { m_program->outputs.requestStop(); });
    }

    std::optional<ProgramFixture> m_program;
    SteppedMeasurementClock m_scanClock;
    BeamTruth m_truth;
    std::vector<double> m_writtenAt;  // simulated time of each write of the scan
    QString m_heldDuringScan;
    std::unique_ptr<WindowRocking3D> m_scanned;
    DacOutputs m_firstRecord{};
    SimControl::Sent m_duringScan{};
    SimControl::Sent m_afterScan{};
    int m_openDuringScan = -1;
    int m_openAfterScan = -1;
    bool m_goEnabledDuringScan = true;
    double m_scanStart = 0.0;
    double m_scanEnd = 0.0;
};

QTEST_MAIN(TestWindowRocking3D)
#include "tst_windowrocking3d.moc"
