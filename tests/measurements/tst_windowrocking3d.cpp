// The raster rocking scan against the simulated plant with its clock stepped: it
// must find the intensity peak where the plant has it, hand the outputs back,
// stop cleanly, and save the raw grid.
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

#include "ConfigSettings.h"
#include "Globals.h"
#include "Graph3D.h"
#include "MainWindow.h"
#include "PlantConstants.h"
#include "Prompts.h"
#include "SimControl.h"
#include "SurfacePlot.h"
#include "Updater.h"
#include "WindowRocking3D.h"
#include "simulator/SimTestSupport.h"
#include "support/GaussianFit.h"
#include "support/GlDriverPin.h"
#include "support/LogCapture.h"
#include "support/ProgramFixture.h"
#include "support/SteppedMeasurementClock.h"

namespace {

using RasterScan::CELLS;
using RasterScan::POINTS;

const FileStamp STAMP{QDateTime(QDate(2026, 11, 3), QTime(14, 5, 9)), QStringLiteral("beamline-ws3")};
const QByteArray HEADER =
    "Tarquel Instruments VORN\r\nVORN\r\n\r\nTime and Date: 14:05:09 03.11.2026\r\nHost Name: beamline-ws3\r\n";

// Sleeps of one point: settling, ten readings, the pause after drawing.
constexpr int SLEEPS_PER_POINT = 12;

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

// Runs a slot later, from the scan's own event processing.
template <class F>
void later(QObject* context, F f)
{
    QMetaObject::invokeMethod(context, f, Qt::QueuedConnection);
}

}  // namespace

class TestWindowRocking3D : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_program.emplace(ProgramFixture::Options().noConfig().quietBeam());

        // One whole quiet scan with the default form, shared by the tests that look at its result.
        QVERIFY(setFBenable(1) >= 0);
        m_scanClock.beforeEach = [this](int n) {
            if (n == 0)
                m_firstRecord = SimControl::sent().lastDacWrite;
            if (n == 5) {
                m_duringScan = SimControl::sent();
                m_openDuringScan = SimControl::openFileCount(DEVICE_ZENTRIM0) + SimControl::openFileCount(DEVICE_ORVANE);
                m_goEnabledDuringScan = child<QPushButton>(m_scanned.get(), "goButton")->isEnabled();
            }
        };
        m_scanned = std::make_unique<WindowRocking3D>(m_program->outputs, m_scanClock);
        m_scanned->setStampSource([] { return STAMP; });
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

    // The peak where the plant has it: the maximum cell, and a Gaussian through it
    // along each axis.
    void quietScanFindsThePlantPeak()
    {
        using namespace PlantConstants;
        const auto& raw = m_scanned->rawGrid();
        int best = 0;
        for (int k = 1; k < CELLS; ++k)
            if (raw[size_t(k)] > raw[size_t(best)])
                best = k;
        const int a = best / POINTS, i = best % POINTS;
        const double step = 2.0 / 63.0;
        QVERIFY2(qAbs(RasterScan::voltage(4.0, 2.0, a) - CENTRE_OUTPUT_V) <= step, qPrintable(QString::number(a)));
        QVERIFY2(qAbs(RasterScan::voltage(4.0, 2.0, i) - CENTRE_OUTPUT_V) <= step, qPrintable(QString::number(i)));

        std::vector<double> volts, alongChannel2, alongChannel1;
        for (int k = 0; k < POINTS; ++k) {
            volts.push_back(RasterScan::voltage(4.0, 2.0, k));
            alongChannel2.push_back(raw[size_t(a * POINTS + k)]);
            alongChannel1.push_back(raw[size_t(k * POINTS + i)]);
        }
        const GaussianFitResult fit2 = fitGaussian(volts, alongChannel2);
        const GaussianFitResult fit1 = fitGaussian(volts, alongChannel1);
        QVERIFY(fit1.ok && fit2.ok);
        qInfo("channel 1: centre %.5f V sigma %.5f V; channel 2: centre %.5f V sigma %.5f V; peak %.4g A",
              fit1.centre, fit1.sigma, fit2.centre, fit2.sigma, double(raw[size_t(best)]));
        QVERIFY(qAbs(fit1.centre - CENTRE_OUTPUT_V) < 0.01);
        QVERIFY(qAbs(fit2.centre - CENTRE_OUTPUT_V) < 0.01);
        QVERIFY(qAbs(fit1.sigma - INTENSITY_SIGMA_V) < 0.01);
        QVERIFY(qAbs(fit2.sigma - INTENSITY_SIGMA_V) < 0.01);
        // The summed current is BPM1's whole intensity.
        QVERIFY(qAbs(raw[size_t(best)] - INTENSITY_PEAK_A * TRANSMISSION[0]) < 0.01 * INTENSITY_PEAK_A);

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

        // Ten readings a tenth of the step apart between two waits of the step.
        QCOMPARE(m_scanClock.calls.load(), CELLS * SLEEPS_PER_POINT);
        QCOMPARE(m_scanClock.sleptUs.load(), (long long)(CELLS) * (10000 + 10 * 1000 + 10000));
        QVERIFY(qAbs(m_scanEnd - m_scanStart - CELLS * 0.030) < 1e-6);
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

    void stoppingDuringTheFirstRow_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Stop") << "stop";
        QTest::newRow("Close button") << "close button";
        QTest::newRow("window closed") << "close";
        QTest::newRow("Escape") << "escape";
    }

    void stoppingDuringTheFirstRow()
    {
        QFETCH(QString, how);
        SteppedMeasurementClock clock;
        WindowRocking3D window(m_program->outputs, clock);
        window.show();
        QPushButton* stop = child<QPushButton>(&window, "stopButton");
        QAbstractButton* close = child<QDialogButtonBox>(&window, "buttonBox")->button(QDialogButtonBox::Close);
        clock.beforeEach = [&](int n) {
            // In point 2: a second Go, with a new minimum on the form, is refused.
            if (n == 2 * SLEEPS_PER_POINT + 4) {
                child<QDoubleSpinBox>(&window, "xMinBox")->setValue(1.0);
                later(&window, [&window] { window.startMeasurement(); });
            }
            // In point 5: stop; the point still ends, with its drawing.
            if (n == 5 * SLEEPS_PER_POINT + 3) {
                if (how == "stop")
                    later(stop, [stop] { stop->click(); });
                else if (how == "close button")
                    later(close, [close] { close->click(); });
                else if (how == "close")
                    later(&window, [&window] { window.close(); });
                else
                    later(&window, [&window] { QTest::keyClick(&window, Qt::Key_Escape); });
            }
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
        QCOMPARE(clock.calls.load(), measured * SLEEPS_PER_POINT);
        QVERIFY(!window.scanning());
        QCOMPARE(window.isVisible(), how == "stop");

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
            if (n == 3 * SLEEPS_PER_POINT + 1)
                later(&window, [&window] { window.stopMeasurement(); });
        };
        click(&window, "goButton");
        QCOMPARE(SimControl::sent().dacWrites, 4);

        child<QDoubleSpinBox>(&window, "xMinBox")->setValue(5.0);
        child<QDoubleSpinBox>(&window, "timeBox")->setValue(2.0);
        clock.beforeEach = [&](int n) {
            if (n == 3 * SLEEPS_PER_POINT + 2 * SLEEPS_PER_POINT + 1)
                later(&window, [&window] { window.stopMeasurement(); });
        };
        click(&window, "goButton");
        QCOMPARE(SimControl::sent().dacWrites, 4 + 2);
        QCOMPARE(SimControl::sent().lastDacWrite.ch1, 5.0);
        QCOMPARE(clock.sleptUs.load(), 4LL * 30000 + 2LL * 6000);
        // The grid starts again from zeros.
        QVERIFY(window.rawGrid()[0] > 0.0f);
        QVERIFY(window.rawGrid()[1] > 0.0f);
        QCOMPARE(window.rawGrid()[2], 0.0f);
    }

    void missingPicoammeterLeavesAFlatGrid()
    {
        LogCapture::install();
        SimControl::setZentrimPresent(0, false);
        SteppedMeasurementClock clock;
        WindowRocking3D window(m_program->outputs, clock);
        clock.beforeEach = [&](int n) {
            if (n == 2 * SLEEPS_PER_POINT)
                later(&window, [&window] { window.stopMeasurement(); });
        };
        click(&window, "goButton");
        QCOMPARE(SimControl::sent().dacWrites, 3);
        QCOMPARE(SimControl::sent().outputMux, uint8_t(1));
        QCOMPARE(SimControl::openFileCount(DEVICE_ORVANE), 0);
        for (int k = 0; k < CELLS; ++k) {
            QCOMPARE(window.rawGrid()[size_t(k)], 0.0f);
            QCOMPARE(window.normalisedGrid()[size_t(k)], 0.0f);  // flat: 0, not a division by zero
        }
        // The operator can find out why in the log.
        QTRY_VERIFY(
            LogCapture::messagesAt(QsLogging::Warn).join('|').contains("/dev/vorn_zentrim0 could not be opened"));
        QVERIFY(LogCapture::messagesAt(QsLogging::Warn).join('|').contains("picoammeter readings failed"));
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
        ConfigSettings config(m_program->filePath("config.ini"));
        Updater updater;
        CONFIG_SETTINGS = &config;
        UPDATER = &updater;
        USER_LEVEL = 1;
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
            opened[0]->close();
            QCOMPARE(window.findChildren<WindowRocking3D*>().size(), 2);
        }
        CONFIG_SETTINGS = nullptr;
        UPDATER = nullptr;
    }

private:
    std::optional<ProgramFixture> m_program;
    SteppedMeasurementClock m_scanClock;
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
