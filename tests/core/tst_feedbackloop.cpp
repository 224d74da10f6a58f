// The main window steering the simulated beam: with the feedback on, a click
// into BPM1's scatter moves the setpoint, and over the next ticks the beam.
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <qcustomplot.h>

#include "ConfigSettings.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "MainWindow.h"
#include "Prompts.h"
#include "SimControl.h"
#include "Updater.h"
#include "VornLibrary.h"
#include "WidgetGraphXY.h"

class TestFeedbackLoop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SimControl::useSteppedClock();
        Prompts::setTestMode(true);
        QVERIFY(m_dir.isValid());
    }

    void init()
    {
        SimControl::reset();
        Prompts::clear();
        m_config = std::make_unique<ConfigSettings>(m_dir.filePath("config.ini"));
        m_config->saveROCandROI(0, 100, 100, 0, 2e-4, 80);
        m_config->saveROCandROI(1, 100, 100, 0, 2e-4, 80);
        CONFIG_SETTINGS = m_config.get();
        m_updater = std::make_unique<Updater>();
        m_link = std::make_unique<MailboxComm>();
        UPDATER = m_updater.get();
        MAILBOX_COMM = m_link.get();
        m_link->refreshData();
        for (int b = 0; b < 2; ++b)
            POS_SCALE_X[b] = POS_SCALE_Y[b] = 1000.0;
        storeSampFreq(1000);
        DISPLAY_BUFFER_BYTES = 3670016;
        USER_LEVEL = 1;
        BPM_SEL_X = BPM_SEL_Y = BPM_SEL_I0 = 0;
    }

    void cleanup()
    {
        UPDATER = nullptr;
        MAILBOX_COMM = nullptr;
        CONFIG_SETTINGS = nullptr;
        m_link.reset();
        m_updater.reset();
        m_config.reset();
        USER_LEVEL = 0;
    }

    void clickMovesTheBeam()
    {
        // Both axes regulated, feedback on: the simulator's own loop parameters are stable.
        QVERIFY(setPIDconf(1) >= 0);
        QVERIFY(setFBenable(1) >= 0);

        MainWindow window;
        window.resize(1600, 1000);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto scatters = window.findChildren<WidgetGraphXY*>();
        WidgetGraphXY* bpm1 = *std::find_if(scatters.begin(), scatters.end(),
                                            [](WidgetGraphXY* g) { return g->bpmIndex() == 0; });
        auto* plot = bpm1->findChild<QCustomPlot*>("graph");
        bpm1->findChild<QPushButton*>("targetEnable")->setChecked(true);

        // The beam starts centred.
        SimControl::step(1.0);
        m_updater->updateGraphs();

        const QPoint pixel(int(plot->xAxis->coordToPixel(30.0)), int(plot->yAxis->coordToPixel(-20.0)));
        const double wantX = plot->xAxis->pixelToCoord(pixel.x());
        const double wantY = plot->yAxis->pixelToCoord(pixel.y());
        QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, pixel);

        QVERIFY(Prompts::shown().isEmpty());
        const SimControl::Sent sent = SimControl::sent();
        QCOMPARE(sent.setpoint[0], wantX);
        QCOMPARE(sent.setpoint[1], wantY);
        // The feedback panel shows the new setpoint (XYchanged -> updateXYfields).
        auto* fieldX = window.findChild<QDoubleSpinBox*>("posXDoubleSpinBox");
        auto* fieldY = window.findChild<QDoubleSpinBox*>("posYDoubleSpinBox");
        QVERIFY(qAbs(fieldX->value() - wantX) < 0.01);
        QVERIFY(qAbs(fieldY->value() - wantY) < 0.01);

        for (int second = 0; second < 3; ++second) {
            SimControl::step(1.0);
            m_updater->updateGraphs();
        }
        QCOMPARE(getPIDstatus(), 3);
        QVERIFY(qAbs(SimControl::truePosition(0, 0) - wantX) < 2.0);
        QVERIFY(qAbs(SimControl::truePosition(0, 1) - wantY) < 2.0);

        // What the operator sees: the last 1000 samples sit around the new setpoint.
        const auto data = bpm1->getGraphData();
        double sumX = 0, sumY = 0;
        for (auto it = data->constBegin(); it != data->constEnd(); ++it) {
            sumX += it->key;
            sumY += it->value;
        }
        QCOMPARE(data->size(), 1000);
        QVERIFY(qAbs(sumX / data->size() - wantX) < 2.0);
        QVERIFY(qAbs(sumY / data->size() - wantY) < 2.0);

        const QString shot = qEnvironmentVariable("VORN_TEST_TMP", QDir::tempPath()) + "/feedback-click.png";
        QDir().mkpath(QFileInfo(shot).path());
        window.grab().save(shot);
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ConfigSettings> m_config;
    std::unique_ptr<Updater> m_updater;
    std::unique_ptr<MailboxComm> m_link;
};

QTEST_MAIN(TestFeedbackLoop)
#include "tst_feedbackloop.moc"
