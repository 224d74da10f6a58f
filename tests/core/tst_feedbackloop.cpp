// The main window steering the simulated beam: with the feedback on, a click
// into BPM1's scatter moves the setpoint, and over the next ticks the beam.
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QtTest>

#include <optional>

#include <qcustomplot.h>

#include "Globals.h"
#include "MainWindow.h"
#include "Prompts.h"
#include "SimControl.h"
#include "Updater.h"
#include "VornLibrary.h"
#include "WidgetGraphXY.h"
#include "support/ProgramFixture.h"

class TestFeedbackLoop : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_program.emplace(ProgramFixture::Options()
                              .withUpdater()
                              .refreshed()
                              .atUserLevel(USER_LEVEL_USER)
                              .withPosScale(1000.0));
        m_program->config->saveROCandROI(0, 100, 100, 0, 2e-4, 110);
        m_program->config->saveROCandROI(1, 100, 100, 0, 2e-4, 110);
    }

    void cleanup() { m_program.reset(); }

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
        m_program->updater->updateGraphs();

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
            m_program->updater->updateGraphs();
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
    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestFeedbackLoop)
#include "tst_feedbackloop.moc"
