// The step-response test against the simulated plant: gain, dead time and
// settling time held against the plant's constants, what reached the
// controller, the state a run leaves, and the runs that analyse nothing.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <cmath>

#include <qcustomplot.h>

#include "DeviceIo.h"
#include "PlantConstants.h"
#include "VornLibrary.h"
#include "WindowStepResponse.h"
#include "support/Contrast.h"
#include "support/ProgramFixture.h"
#include "support/SteppedMeasurementClock.h"

namespace {

using namespace PlantConstants;

// Raw position units per volt of steering output.
double trueGain(int bpm)
{
    return GAIN_UM_PER_V[bpm] / BPM_PHYSICAL_SCALE_UM;
}

// Edge to 10 %: the dead time, the half plant step the output is held, and
// the first-order rise to 10 %.
double trueDeadTime()
{
    const double plantStep = 1.0 / internalStepHz(WindowStepResponse::RUN_SAMPLE_RATE);
    return DEAD_TIME_S + OUTPUT_HOLD_DELAY_STEPS * plantStep + TIME_CONSTANT_S * std::log(10.0 / 9.0);
}

double trueSettlingTime()
{
    return TIME_CONSTANT_S * std::log(9.0);
}

struct Form
{
    explicit Form(const QWidget& w)
        : run(w.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Apply))
        , x(w.findChild<QRadioButton*>("stepInXbutton"))
        , y(w.findChild<QRadioButton*>("stepInYbutton"))
        , i0(w.findChild<QRadioButton*>("stepInI0button"))
        , biasX(w.findChild<QDoubleSpinBox*>("posXbiasDoubleSpinBox"))
        , biasY(w.findChild<QDoubleSpinBox*>("posYbiasDoubleSpinBox"))
        , biasI0(w.findChild<QDoubleSpinBox*>("i0biasDoubleSpinBox"))
        , stepX(w.findChild<QDoubleSpinBox*>("posXStepDoubleSpinBox"))
        , stepY(w.findChild<QDoubleSpinBox*>("posYStepDoubleSpinBox"))
        , stepI0(w.findChild<QDoubleSpinBox*>("i0StepDoubleSpinBox"))
        , bpm2(w.findChild<QCheckBox*>("useBPM2checkbox"))
        , dc(w.findChild<QLabel*>("dclabel"))
        , du(w.findChild<QLabel*>("dulabel"))
        , k(w.findChild<QLabel*>("Klabel"))
        , tdead(w.findChild<QLabel*>("Tdeadlabel"))
        , tset(w.findChild<QLabel*>("Tsetlabel"))
        , remark(w.findChild<QLabel*>("invertedLabel"))
        , plot(w.findChild<QCustomPlot*>("graph"))
    {
    }

    // Seconds from a label such as "1.56 ms".
    static double seconds(const QLabel* label)
    {
        QString text = label->text();
        if (!text.endsWith(" ms"))
            return std::nan("");
        text.chop(3);
        return text.toDouble() / 1000.0;
    }
    double gain() const { return k->text().toDouble(); }
    QStringList values() const { return {dc->text(), du->text(), k->text(), tdead->text(), tset->text()}; }

    QPushButton* run;
    QRadioButton *x, *y, *i0;
    QDoubleSpinBox *biasX, *biasY, *biasI0, *stepX, *stepY, *stepI0;
    QCheckBox* bpm2;
    QLabel *dc, *du, *k, *tdead, *tset, *remark;
    QCustomPlot* plot;
};

}  // namespace

class TestWindowStepResponse : public QObject
{
    Q_OBJECT

private:
    // A window on the stepped clock, biases from the PID offsets.
    struct Bench
    {
        explicit Bench(bool disturbances, double biasX = 5.0, double biasY = 5.0)
            : setup(ProgramFixture::Options().withDisturbances(disturbances).atUserLevel(USER_LEVEL_USER).refreshed())
            , window(setup.outputs, clock)
            , form(window)
        {
            setup.setPidOffset(0, biasX);
            setup.setPidOffset(1, biasY);
            setup.setPidOffset(2, 0.0);
            window.showWindow();
        }
        ProgramFixture setup;
        SteppedMeasurementClock clock;
        WindowStepResponse window;
        Form form;
    };

private slots:
    void plantWithoutDisturbances_data()
    {
        QTest::addColumn<bool>("useBpm2");
        QTest::newRow("BPM1") << false;
        QTest::newRow("BPM2") << true;
    }

    void plantWithoutDisturbances()
    {
        QFETCH(bool, useBpm2);
        Bench bench(false);
        QCOMPARE(bench.form.stepX->value(), 0.1);
        bench.form.bpm2->setChecked(useBpm2);
        bench.form.run->click();

        const double gain = trueGain(useBpm2 ? 1 : 0);
        const double k = bench.form.gain(), tdead = Form::seconds(bench.form.tdead),
                     tset = Form::seconds(bench.form.tset);
        qInfo("K %.5g (true %.5g), Tdead %.4g ms (true %.4g), Tset %.4g ms (true %.4g)", k, gain, 1e3 * tdead,
              1e3 * trueDeadTime(), 1e3 * tset, 1e3 * trueSettlingTime());
        QVERIFY(qAbs(k - gain) <= 0.01 * gain);
        QVERIFY(qAbs(tdead - trueDeadTime()) <= 0.06e-3);
        QVERIFY(qAbs(tset - trueSettlingTime()) <= 0.2e-3);
        QCOMPARE(bench.form.du->text(), QString("0.1"));
        QCOMPARE(bench.form.remark->text(), QString());
        QCOMPARE(bench.form.plot->graph(0)->data()->size(), WindowStepResponse::ANALYSED_RECORDS);
        QCOMPARE(bench.form.plot->graph(1)->data()->size(), WindowStepResponse::ANALYSED_RECORDS);
    }

    void plantWithDisturbances_data()
    {
        QTest::addColumn<quint64>("seed");
        QTest::newRow("start seed") << quint64(NOISE_SEED);
        QTest::newRow("seed 1") << quint64(1);
        QTest::newRow("seed 2") << quint64(2);
    }

    void plantWithDisturbances()
    {
        QFETCH(quint64, seed);
        Bench bench(true);
        SimControl::setNoiseSeed(seed);
        // A second of drift and line before the run.
        SimControl::step(1.0);
        bench.form.stepX->setValue(1.0);
        bench.form.run->click();

        const double gain = trueGain(0);
        const double k = bench.form.gain(), tdead = Form::seconds(bench.form.tdead),
                     tset = Form::seconds(bench.form.tset);
        qInfo("K %.5g (true %.5g), Tdead %.4g ms (true %.4g), Tset %.4g ms (true %.4g)", k, gain, 1e3 * tdead,
              1e3 * trueDeadTime(), 1e3 * tset, 1e3 * trueSettlingTime());
        QVERIFY(qAbs(k - gain) <= 0.05 * gain);
        QVERIFY(qAbs(tdead - trueDeadTime()) <= 0.2e-3);
        QVERIFY(qAbs(tset - trueSettlingTime()) <= 1.5e-3);
        QCOMPARE(bench.form.remark->text(), QString());
    }

    void smallStepInNoiseNeverGivesNegativeDeadTime_data()
    {
        QTest::addColumn<quint64>("seed");
        for (quint64 seed = 1; seed <= 8; ++seed)
            QTest::newRow(qPrintable(QString("seed %1").arg(seed))) << seed;
    }

    void smallStepInNoiseNeverGivesNegativeDeadTime()
    {
        QFETCH(quint64, seed);
        Bench bench(true);
        SimControl::setNoiseSeed(seed);
        SimControl::step(1.0);
        bench.form.run->click();
        const double tdead = Form::seconds(bench.form.tdead);
        QVERIFY(!std::isnan(tdead));
        QVERIFY2(tdead >= 0.0, qPrintable(bench.form.tdead->text()));
    }

    void stateAfterARun_data()
    {
        QTest::addColumn<bool>("feedbackOn");
        QTest::newRow("feedback was on") << true;
        QTest::newRow("feedback was off") << false;
    }

    void stateAfterARun()
    {
        QFETCH(bool, feedbackOn);
        Bench bench(false, 4.5, 5.25);
        if (feedbackOn) {
            QVERIFY(setFBenable(1) >= 0);
            SimControl::step(0.01);
            bench.setup.link->refreshData();
            QCOMPARE(bench.setup.link->pidStatus(), PID_STATUS_ON);
        }
        const int outputsOpen = SimControl::openFileCount(DEVICE_ORVANE);
        const int displayOpen = SimControl::openFileCount(DEVICE_DISPLAY);
        QList<DacOutputs> written;
        QList<int> muxWhileStepping;
        bench.clock.beforeEach = [&](int) {
            const SimControl::Sent s = SimControl::sent();
            written << s.lastDacWrite;
            muxWhileStepping << s.outputMux;
        };
        bench.form.run->click();

        const SimControl::Sent sent = SimControl::sent();
        QCOMPARE(sent.dacWrites, 3);
        QCOMPARE(written.size(), 3);
        const double low[4] = {4.5, 5.25, 0.0, 0.0};
        for (int r = 0; r < 3; ++r) {
            const double step = r == 1 ? 0.1 : 0.0;
            QVERIFY(qAbs(written[r].ch1 - (low[0] + step)) < 1e-12);
            QCOMPARE(written[r].ch2, low[1]);
            QCOMPARE(written[r].ch3, low[2]);
            QCOMPARE(written[r].ch4, low[3]);
            QCOMPARE(written[r].flag, 1);
        }
        QCOMPARE(bench.clock.sleptUs.load(), 320000LL);
        QCOMPARE(muxWhileStepping, QList<int>({0, 0, 0}));
        QCOMPARE(int(sent.outputMux), 1);
        QCOMPARE(int(sent.fbEnable), 0);
        QCOMPARE(SimControl::callCount("setFBenable", 0), feedbackOn ? 1 : 0);
        QCOMPARE(loadSampFreq(), 50000);
        QCOMPARE(sent.displayHz, 50000);
        QCOMPARE(int(sent.displayFilter), 1);
        QCOMPARE(SimControl::openFileCount(DEVICE_ORVANE), outputsOpen);
        QCOMPARE(SimControl::openFileCount(DEVICE_DISPLAY), displayOpen);
    }

    void runsThatAnalyseNothing_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("reachesTheController");
        QTest::newRow("step of 0") << "step 0" << false;
        QTest::newRow("display read short") << "short read" << true;
        QTest::newRow("display read empty") << "empty read" << true;
        QTest::newRow("display device missing") << "no display" << true;
    }

    void runsThatAnalyseNothing()
    {
        QFETCH(QString, failure);
        QFETCH(bool, reachesTheController);
        Bench bench(false);
        bench.form.run->click();
        QVERIFY(!bench.form.k->text().isEmpty());
        const int writesBefore = SimControl::sent().dacWrites;
        const int muxCallsBefore = SimControl::callCount("setOutputMux");
        const int displayOpen = SimControl::openFileCount(DEVICE_DISPLAY);
        Prompts::clear();

        if (failure == "step 0")
            bench.form.stepX->setValue(0.0);
        else if (failure == "short read")
            SimControl::shortRead(DEVICE_DISPLAY, sizeof(DisplayRecord) + 8);
        else if (failure == "empty read")
            SimControl::shortRead(DEVICE_DISPLAY, size_t(WindowStepResponse::READ_RECORDS) * sizeof(DisplayRecord));
        else
            SimControl::failOpen(DEVICE_DISPLAY);
        bench.form.run->click();

        // The previous result is gone and nothing unread is shown.
        for (const QString& value : bench.form.values())
            QVERIFY2(value.isEmpty(), qPrintable(value));
        QVERIFY(!bench.form.remark->text().isEmpty());
        QVERIFY(bench.form.remark->text().contains("nothing"));
        QCOMPARE(bench.form.plot->graph(0)->data()->size(), 0);
        QCOMPARE(bench.form.plot->graph(1)->data()->size(), 0);

        const SimControl::Sent sent = SimControl::sent();
        QCOMPARE(sent.dacWrites - writesBefore, reachesTheController ? 3 : 0);
        QCOMPARE(SimControl::callCount("setOutputMux") - muxCallsBefore, reachesTheController ? 2 : 0);
        QCOMPARE(int(sent.outputMux), 1);
        QCOMPARE(SimControl::openFileCount(DEVICE_DISPLAY), displayOpen);

        const QList<Prompts::Shown> shown = Prompts::shown();
        if (failure == "no display") {
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].kind, Prompts::Kind::Critical);
            QCOMPARE(shown[0].title, QString("Cannot open file"));
            QCOMPARE(shown[0].text, QString("System file /dev/vorn_dma_displ could not be opened.\n\n"
                                            "Please check if VORN driver is loaded.\nApplication will now quit.\n"));
        } else {
            QVERIFY(shown.isEmpty());
        }
    }

    void missingDisplayDeviceEndsTheApplication()
    {
        Bench bench(false);
        SimControl::failOpen(DEVICE_DISPLAY);
        QTimer::singleShot(0, &bench.window, [&bench] { bench.form.run->click(); });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, this, [] { QCoreApplication::exit(99); });
        guard.start(10000);
        QCOMPARE(QCoreApplication::exec(), 0);
        // The run went on to its end first.
        QCOMPARE(SimControl::sent().dacWrites, 3);
        QCOMPARE(int(SimControl::sent().outputMux), 1);
    }

    void outputChannelOutsideTheUnitIsRefused()
    {
        Bench bench(false);
        bench.setup.config->setDACmap(4, 1, 2);
        bench.form.run->click();
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QCOMPARE(SimControl::sent().dacWrites, 0);
        QCOMPARE(SimControl::callCount("setOutputMux"), 0);
        QCOMPARE(SimControl::callCount("setDisplayFreq"), 0);
        QVERIFY(bench.form.k->text().isEmpty());
    }

    void biasesFromThePidOffsets()
    {
        Bench bench(false, -1.0, 1.234);
        bench.setup.setPidOffset(2, 7.0);
        bench.form.stepX->setValue(0.7);
        bench.window.showWindow();
        QVERIFY(bench.window.isVisible());
        // Below the box's minimum it shows and uses 0; two decimals.
        QCOMPARE(bench.form.biasX->value(), 0.0);
        QCOMPARE(bench.form.biasY->value(), 1.23);
        QCOMPARE(bench.form.biasI0->value(), 7.0);
        QCOMPARE(bench.form.stepX->value(), 0.7);
        QCOMPARE(bench.window.buildStimulus().low[0], 0.0);
    }

    void selectorEnablesOneStep()
    {
        Bench bench(false);
        QVERIFY(bench.form.x->isChecked());
        QCOMPARE(bench.form.run->text(), QString("Run"));
        bench.form.y->click();
        QVERIFY(bench.form.y->isChecked());
        QCOMPARE(QList<bool>({bench.form.stepX->isEnabled(), bench.form.stepY->isEnabled(),
                              bench.form.stepI0->isEnabled()}),
                 QList<bool>({false, true, false}));
        QCOMPARE(QList<double>({bench.form.stepX->value(), bench.form.stepY->value(), bench.form.stepI0->value()}),
                 QList<double>({0.0, 0.1, 0.0}));
        bench.form.i0->click();
        QCOMPARE(QList<bool>({bench.form.stepX->isEnabled(), bench.form.stepY->isEnabled(),
                              bench.form.stepI0->isEnabled()}),
                 QList<bool>({false, false, true}));
        const StepStimulus stim = bench.window.buildStimulus();
        QCOMPARE(stim.stimulusWord, 10);
        QCOMPARE(stim.responseWord, 2);
    }

    void secondRunShowsItselfAlone()
    {
        Bench bench(false);
        bench.form.run->click();
        const double firstGain = bench.form.gain();
        bench.form.stepX->setValue(0.2);
        bench.form.run->click();
        QCOMPARE(bench.form.du->text(), QString("0.2"));
        QVERIFY(qAbs(bench.form.gain() - firstGain) <= 0.01 * firstGain);
        QCOMPARE(bench.form.plot->graph(1)->data()->size(), WindowStepResponse::ANALYSED_RECORDS);
        // The stimulus axis spans the second step.
        QCOMPARE(bench.form.plot->yAxis->range().lower, 5.0 - 0.2 * 0.2);
        QCOMPARE(bench.form.plot->yAxis->range().upper, 5.0 + 1.2 * 0.2);
    }

    void annotationsReadOnThePlot()
    {
        Bench bench(false);
        bench.form.run->click();
        // The plot's background runs from (250, 250, 250) at the top to (220, 220, 220).
        int texts = 0;
        for (int i = 0; i < bench.form.plot->itemCount(); ++i) {
            auto* text = qobject_cast<QCPItemText*>(bench.form.plot->item(i));
            if (!text)
                continue;
            ++texts;
            for (const QColor& background : {QColor(250, 250, 250), QColor(220, 220, 220)})
                QVERIFY2(contrastRatio(text->color(), background) >= TEXT_CONTRAST,
                         qPrintable(QStringLiteral("\"%1\" in %2 on %3")
                                        .arg(text->text(), text->color().name(), background.name())));
        }
        QCOMPARE(texts, 3);
    }

    void screenshotAfterARun()
    {
        Bench bench(false);
        bench.form.run->click();
        bench.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bench.window));
        const QImage shot = bench.window.grab().toImage();
        const QString path = qEnvironmentVariable("VORN_TEST_TMP", QDir::tempPath()) + "/step-response.png";
        QVERIFY(shot.save(path));
        // The response curve (200, 0, 0) and the dead-time arrow (200, 50, 50) are drawn,
        // their edges smoothed.
        auto near = [](QRgb p, int r, int g, int b) {
            return qAbs(qRed(p) - r) <= 25 && qAbs(qGreen(p) - g) <= 20 && qAbs(qBlue(p) - b) <= 20;
        };
        int response = 0, dead = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb p = shot.pixel(x, y);
                response += near(p, 200, 0, 0);
                dead += near(p, 200, 50, 50);
            }
        QVERIFY2(response > 200, qPrintable(QString::number(response)));
        QVERIFY2(dead > 20, qPrintable(QString::number(dead)));
    }
};

QTEST_MAIN(TestWindowStepResponse)
#include "tst_windowstepresponse.moc"
