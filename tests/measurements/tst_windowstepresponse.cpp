// The step-response test against the simulated plant, its disturbances on:
// gain, dead time and settling time held against the plant's constants, what
// reached the controller, the state a run hands back, the failing calls and the
// records that give no result, and what it refuses to start.
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

#include "DacOutputsWriter.h"
#include "DeviceIo.h"
#include "PlantConstants.h"
#include "QsLog.h"
#include "VornLibrary.h"
#include "WindowDisplaySettings.h"
#include "WindowManOutCtrl.h"
#include "WindowStepResponse.h"
#include "support/Contrast.h"
#include "support/LogCapture.h"
#include "support/ProgramFixture.h"
#include "support/SteppedMeasurementClock.h"

namespace {

using namespace PlantConstants;

// Raw position units per volt of steering output.
double trueGain(int bpm)
{
    return GAIN_UM_PER_V[bpm] / BPM_PHYSICAL_SCALE_UM;
}

// Edge to 10 %. The display record that first shows a new output ends the plant
// step that applied it; the plant's filter takes as its input over each step the
// output held one dead time earlier, so the beam starts to move DEAD_TIME_S
// after that record. The edge, where the recorded output passes half the step,
// lies half a record before it: at 50000 records per second the plant steps
// once per record, so that is the output hold delay of half a plant step. Then
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
    // No value, no curve: what a run without a result leaves.
    bool showsNothing() const
    {
        for (const QString& value : values())
            if (!value.isEmpty())
                return false;
        return plot->graph(0)->data()->isEmpty() && plot->graph(1)->data()->isEmpty();
    }

    QPushButton* run;
    QRadioButton *x, *y, *i0;
    QDoubleSpinBox *biasX, *biasY, *biasI0, *stepX, *stepY, *stepI0;
    QCheckBox* bpm2;
    QLabel *dc, *du, *k, *tdead, *tset, *remark;
    QCustomPlot* plot;
};

// What a run leaves with the controller and the program.
struct HandedBack
{
    int mux;
    int displayHz;
    int filter;
    int sampFreq;
};

HandedBack handedBack()
{
    const SimControl::Sent s = SimControl::sent();
    return {int(s.outputMux), s.displayHz, int(s.displayFilter), loadSampFreq()};
}

QString warnings()
{
    return LogCapture::messagesAt(QsLogging::Warn).join('|');
}

// The stepped clock, where each write to the output unit takes `callMs` of
// the controller's time, as the simulated controller's own steps do in the
// running program: whoever looks at the clock next finds that time gone.
class SlowWritesClock final : public MeasurementClock
{
public:
    explicit SlowWritesClock(double callMs) : m_callSeconds(callMs * 1e-3), m_writes(SimControl::sent().dacWrites) {}

    void sleepMicroseconds(long microseconds) override
    {
        chargeWrites();
        if (microseconds > 0)
            SimControl::step(double(microseconds) * 1e-6);
    }
    void waitOn(QWaitCondition&, QMutex&, int) override { QFAIL("the step test never waits on a condition"); }
    long long nowMicroseconds() const override
    {
        chargeWrites();
        return std::llround(SimControl::now() * 1e6);
    }

private:
    void chargeWrites() const
    {
        const int writes = SimControl::sent().dacWrites;
        if (writes > m_writes)
            SimControl::step(m_callSeconds * (writes - m_writes));
        m_writes = writes;
    }

    double m_callSeconds;
    mutable int m_writes;
};

}  // namespace

class TestWindowStepResponse : public QObject
{
    Q_OBJECT

private:
    // A window on the stepped clock, biases from the PID offsets (5 V for X and Y, as the demo has them).
    struct Bench
    {
        explicit Bench(bool disturbances = true, double biasX = 5.0, double biasY = 5.0, double biasI0 = 0.0)
            : setup(ProgramFixture::Options().withDisturbances(disturbances).atUserLevel(USER_LEVEL_USER).refreshed())
            , window(setup.outputs, clock)
            , form(window)
        {
            setup.setPidOffset(0, biasX);
            setup.setPidOffset(1, biasY);
            setup.setPidOffset(2, biasI0);
            window.showWindow();
        }
        // Feedback on and holding the beam for a while, as an operator finds it.
        void feedbackOn()
        {
            QVERIFY(setFBenable(1) >= 0);
            SimControl::step(1.0);
            setup.link->refreshData();
            QCOMPARE(setup.link->pidStatus(), PID_STATUS_ON);
        }
        // What reached the controller so far.
        QList<int> calls() const
        {
            return {SimControl::callCount("setDisplayFreq"), SimControl::callCount("setOutputMux"),
                    SimControl::callCount("setFBenable"), SimControl::sent().dacWrites};
        }
        ProgramFixture setup;
        SteppedMeasurementClock clock;
        WindowStepResponse window;
        Form form;
    };

private slots:
    void initTestCase() { LogCapture::install(); }
    void init() { LogCapture::clear(); }

    void truthAtTheDefaults_data()
    {
        QTest::addColumn<quint64>("seed");
        QTest::addColumn<int>("bpm");
        QTest::addColumn<bool>("feedbackFirst");
        for (int bpm = 0; bpm < 2; ++bpm)
            for (quint64 seed = 1; seed <= 10; ++seed)
                QTest::newRow(qPrintable(QString("BPM%1 seed %2").arg(bpm + 1).arg(seed))) << seed << bpm << false;
        QTest::newRow("BPM1 after the feedback held the beam") << quint64(11) << 0 << true;
        QTest::newRow("BPM2 after the feedback held the beam") << quint64(12) << 1 << true;
    }

    void truthAtTheDefaults()
    {
        QFETCH(quint64, seed);
        QFETCH(int, bpm);
        QFETCH(bool, feedbackFirst);
        Bench bench;
        SimControl::setNoiseSeed(seed);
        // A second of drift and line before the run.
        SimControl::step(1.0);
        if (feedbackFirst)
            bench.feedbackOn();
        // The form as the window opens: X selected, a step of 0.1 V.
        QVERIFY(bench.form.x->isChecked());
        QCOMPARE(bench.form.stepX->value(), 0.1);
        QCOMPARE(bench.form.biasX->value(), 5.0);
        bench.form.bpm2->setChecked(bpm == 1);
        bench.form.run->click();

        const double gain = trueGain(bpm);
        const double k = bench.form.gain(), tdead = Form::seconds(bench.form.tdead),
                     tset = Form::seconds(bench.form.tset);
        qInfo("BPM%d seed %llu: K %.5g (true %.5g), Tdead %.4g ms (true %.4g), Tset %.4g ms (true %.4g)", bpm + 1,
              static_cast<unsigned long long>(seed), k, gain, 1e3 * tdead, 1e3 * trueDeadTime(), 1e3 * tset,
              1e3 * trueSettlingTime());
        QCOMPARE(bench.form.remark->text(), QString());
        QVERIFY(qAbs(k - gain) <= 0.05 * gain);
        QVERIFY(qAbs(tdead - trueDeadTime()) <= 0.3e-3);
        QVERIFY(qAbs(tset - trueSettlingTime()) <= 1.5e-3);
        QCOMPARE(bench.form.du->text(), QString("0.1"));
        QCOMPARE(bench.form.plot->graph(0)->data()->size(), WindowStepResponse::ANALYSED_RECORDS);
        QCOMPARE(bench.form.plot->graph(1)->data()->size(), WindowStepResponse::ANALYSED_RECORDS);
    }

    void largerStepInNoise_data()
    {
        QTest::addColumn<quint64>("seed");
        QTest::newRow("start seed") << quint64(NOISE_SEED);
        QTest::newRow("seed 1") << quint64(1);
        QTest::newRow("seed 2") << quint64(2);
    }

    void largerStepInNoise()
    {
        QFETCH(quint64, seed);
        Bench bench;
        SimControl::setNoiseSeed(seed);
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

    void quietPlantGivesItsConstants_data()
    {
        QTest::addColumn<bool>("useBpm2");
        QTest::newRow("BPM1") << false;
        QTest::newRow("BPM2") << true;
    }

    void quietPlantGivesItsConstants()
    {
        // Without disturbances only the picoammeters' quantisation is left: the
        // record timing above must then give the plant's constants closely.
        QFETCH(bool, useBpm2);
        Bench bench(false);
        bench.form.bpm2->setChecked(useBpm2);
        bench.form.run->click();
        const double gain = trueGain(useBpm2 ? 1 : 0);
        QVERIFY(qAbs(bench.form.gain() - gain) <= 0.01 * gain);
        QVERIFY(qAbs(Form::seconds(bench.form.tdead) - trueDeadTime()) <= 0.02e-3);
        QVERIFY(qAbs(Form::seconds(bench.form.tset) - trueSettlingTime()) <= 0.05e-3);
    }

    void recordReadLate_data()
    {
        QTest::addColumn<int>("lateMs");
        QTest::addColumn<bool>("result");
        // The block ends at the read: read late, it starts later and the rise moves towards its start.
        QTest::newRow("20 ms late: still a whole record") << 20 << true;
        QTest::newRow("70 ms late: still a whole record") << 70 << true;
        QTest::newRow("85 ms late: too little before the rise") << 85 << false;
        QTest::newRow("120 ms late: the record begins inside the step") << 120 << false;
        QTest::newRow("220 ms late: only the fall") << 220 << false;
    }

    void recordReadLate()
    {
        // On a loaded machine the read came late and K 0.012 was shown as a result.
        QFETCH(int, lateMs);
        QFETCH(bool, result);
        Bench bench;
        SimControl::setNoiseSeed(3);
        SimControl::step(1.0);
        bench.clock.beforeEach = [&](int n) {
            if (n == 2)
                SimControl::step(lateMs * 1e-3);
        };
        bench.form.run->click();
        QVERIFY(Prompts::shown().isEmpty());
        if (result) {
            QCOMPARE(bench.form.remark->text(), QString());
            QVERIFY(qAbs(bench.form.gain() - trueGain(0)) <= 0.05 * trueGain(0));
            QVERIFY(qAbs(Form::seconds(bench.form.tdead) - trueDeadTime()) <= 0.3e-3);
            QVERIFY(qAbs(Form::seconds(bench.form.tset) - trueSettlingTime()) <= 1.5e-3);
            return;
        }
        QVERIFY(bench.form.showsNothing());
        QVERIFY2(bench.form.remark->text().startsWith("No result:"), qPrintable(bench.form.remark->text()));
        QVERIFY2(bench.form.remark->text().contains("read late") || lateMs == 220,
                 qPrintable(bench.form.remark->text()));
        QTRY_VERIFY(warnings().contains("Step Response: no result:"));
        // Everything was handed back all the same.
        const HandedBack back = handedBack();
        QCOMPARE(back.mux, 1);
        QCOMPARE(back.displayHz, 1000);
        QCOMPARE(back.sampFreq, 1000);
    }

    void slowWritesKeepThePhases()
    {
        // 30 ms in each write: relative sleeps would make the high phase 130 ms
        // and the read 60 ms late.
        Bench bench;
        SlowWritesClock clock(30.0);
        WindowStepResponse window(bench.setup.outputs, clock);
        window.showWindow();
        const Form form(window);
        form.run->click();
        QCOMPARE(form.remark->text(), QString());
        QVERIFY(qAbs(form.gain() - trueGain(0)) <= 0.05 * trueGain(0));

        // The recorded output: the rise where a read on time puts it, then 100 ms high.
        const QSharedPointer<QCPGraphDataContainer> stimulus = form.plot->graph(0)->data();
        double rise = -1.0, fall = -1.0;
        for (auto it = stimulus->constBegin() + 1; it != stimulus->constEnd(); ++it) {
            if (rise < 0.0 && it->value > 5.05 && (it - 1)->value <= 5.05)
                rise = it->key;
            else if (rise >= 0.0 && fall < 0.0 && it->value <= 5.05 && (it - 1)->value > 5.05)
                fall = it->key;
        }
        const double recordSpan = double(WindowStepResponse::READ_RECORDS) / WindowStepResponse::RUN_SAMPLE_RATE;
        const double tail = (StepResponseRun::TAIL_US + StepResponseRun::HIGH_US) * 1e-6;
        QVERIFY2(qAbs(rise - (recordSpan - tail)) <= 2.0 / WindowStepResponse::RUN_SAMPLE_RATE,
                 qPrintable(QString::number(rise)));
        QVERIFY2(qAbs(fall - rise - StepResponseRun::HIGH_US * 1e-6) <= 1.5 / WindowStepResponse::RUN_SAMPLE_RATE,
                 qPrintable(QString::number(fall - rise)));
    }

    void stateAfterARun_data()
    {
        QTest::addColumn<bool>("feedbackOn");
        QTest::addColumn<int>("controllerHz");
        QTest::addColumn<int>("controllerFilter");
        QTest::addColumn<int>("sampFreq");
        QTest::newRow("feedback was on") << true << 1000 << 0 << 1000;
        QTest::newRow("feedback was off") << false << 1000 << 0 << 1000;
        QTest::newRow("display at 2000 Hz with the filter on") << false << 2000 << 1 << 2000;
        QTest::newRow("program and controller disagree on the rate") << false << 5000 << 0 << 1000;
    }

    void stateAfterARun()
    {
        QFETCH(bool, feedbackOn);
        QFETCH(int, controllerHz);
        QFETCH(int, controllerFilter);
        QFETCH(int, sampFreq);
        Bench bench(true, 4.5, 5.25);
        QCOMPARE(::setDisplayFreq(controllerHz, uint8_t(controllerFilter)), 0);
        storeSampFreq(sampFreq);
        if (feedbackOn)
            bench.feedbackOn();
        const int outputsOpen = SimControl::openFileCount(DEVICE_ORVANE);
        const int displayOpen = SimControl::openFileCount(DEVICE_DISPLAY);
        QList<DacOutputs> written;
        QList<int> muxWhileStepping;
        QList<HandedBack> whileStepping;
        QStringList holders;
        bench.clock.beforeEach = [&](int) {
            const SimControl::Sent s = SimControl::sent();
            written << s.lastDacWrite;
            muxWhileStepping << s.outputMux;
            whileStepping << handedBack();
            holders << bench.setup.outputs.holder();
        };
        bench.form.run->click();

        QCOMPARE(bench.form.remark->text(), QString());
        QVERIFY(!bench.form.k->text().isEmpty());
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
            // Stepping at 50000 samples per second with the filter on, the outputs held by this tool.
            QCOMPARE(whileStepping[r].displayHz, 50000);
            QCOMPARE(whileStepping[r].filter, 1);
            QCOMPARE(whileStepping[r].sampFreq, 50000);
            QCOMPARE(holders[r], QString("Step Response"));
        }
        QCOMPARE(bench.clock.sleptUs.load(), 290000LL);
        QCOMPARE(muxWhileStepping, QList<int>({0, 0, 0}));
        QCOMPARE(int(sent.fbEnable), 0);
        QCOMPARE(SimControl::callCount("setFBenable", 0), feedbackOn ? 1 : 0);

        // Handed back as found: the outputs to the feedback, the controller's rate
        // and filter, and the program's SAMP_FREQ even where the two differed.
        const HandedBack back = handedBack();
        QCOMPARE(back.mux, 1);
        QCOMPARE(back.displayHz, controllerHz);
        QCOMPARE(back.filter, controllerFilter);
        QCOMPARE(back.sampFreq, sampFreq);
        QVERIFY(!bench.setup.outputs.isHeld());
        QCOMPARE(SimControl::openFileCount(DEVICE_ORVANE), outputsOpen);
        QCOMPARE(SimControl::openFileCount(DEVICE_DISPLAY), displayOpen);

        // The display settings opened now show what the controller holds.
        WindowDisplaySettings settings;
        settings.showWindow();
        QCOMPARE(settings.findChild<QDoubleSpinBox*>("dispFreqBox")->value(), double(controllerHz));
    }

    void failingCalls_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("reachesTheController");
        QTest::addColumn<int>("writes");
        QTest::addColumn<int>("muxAfter");
        QTest::addColumn<int>("rateAfter");

        QTest::newRow("output device cannot be opened")
            << "open outputs" << "/dev/vorn_orvane0 could not be opened" << false << 0 << 1 << 1000;
        QTest::newRow("output writes fail") << "write outputs" << "did not take the low record" << true << 0 << 1
                                            << 1000;
        QTest::newRow("display rate cannot be read")
            << "getDisplayFreq" << "display rate could not be read (getDisplayFreq failed)" << false << 0 << 1 << 1000;
        QTest::newRow("display rate refused")
            << "setDisplayFreq" << "did not take the display rate of 50000 Hz" << true << 0 << 1 << 1000;
        QTest::newRow("outputs not taken from the feedback")
            << "setOutputMux" << "setOutputMux(0) failed" << true << 0 << 1 << 1000;
        QTest::newRow("outputs not handed back")
            << "setOutputMux(1)" << "setOutputMux(1) failed" << true << 3 << 0 << 1000;
        QTest::newRow("display rate not put back")
            << "setDisplayFreq back" << "could not be put back to 1000 Hz with the filter off" << true << 3 << 1
            << 50000;
        QTest::newRow("display read short")
            << "short read" << "returned 3669752 of 3670016 bytes" << true << 3 << 1 << 1000;
        QTest::newRow("display read empty") << "empty read" << "returned 0 of 3670016 bytes" << true << 3 << 1
                                            << 1000;
        QTest::newRow("display device cannot be opened")
            << "open display" << "/dev/vorn_dma_displ could not be opened" << true << 3 << 1 << 1000;
    }

    void failingCalls()
    {
        QFETCH(QString, failure);
        QFETCH(QString, message);
        QFETCH(bool, reachesTheController);
        QFETCH(int, writes);
        QFETCH(int, muxAfter);
        QFETCH(int, rateAfter);
        Bench bench;
        // A result first: a failed run must not leave it standing.
        bench.form.run->click();
        QVERIFY(!bench.form.k->text().isEmpty());
        const QList<int> callsBefore = bench.calls();
        const int writesBefore = SimControl::sent().dacWrites;
        const int outputsOpen = SimControl::openFileCount(DEVICE_ORVANE);
        const int displayOpen = SimControl::openFileCount(DEVICE_DISPLAY);
        Prompts::clear();
        LogCapture::clear();

        if (failure == "open outputs")
            SimControl::failOpen(DEVICE_ORVANE);
        else if (failure == "write outputs")
            SimControl::failIoctl(DEVICE_ORVANE);
        else if (failure == "getDisplayFreq" || failure == "setDisplayFreq" || failure == "setOutputMux")
            SimControl::failCall(failure.toStdString());
        else if (failure == "setOutputMux(1)" || failure == "setDisplayFreq back")
            // From the first wait on: the calls that take over succeeded, those that hand back fail.
            bench.clock.beforeEach = [&, first = bench.clock.calls.load()](int n) {
                if (n == first)
                    SimControl::failCall(failure == "setOutputMux(1)" ? "setOutputMux" : "setDisplayFreq");
            };
        else if (failure == "short read")
            SimControl::shortRead(DEVICE_DISPLAY, sizeof(DisplayRecord) + 8);
        else if (failure == "empty read")
            SimControl::shortRead(DEVICE_DISPLAY, size_t(WindowStepResponse::READ_RECORDS) * sizeof(DisplayRecord));
        else
            SimControl::failOpen(DEVICE_DISPLAY);
        bench.form.run->click();

        // No result, the reason in the remark line.
        QVERIFY(bench.form.showsNothing());
        QVERIFY2(bench.form.remark->text().startsWith("Nothing measured: "), qPrintable(bench.form.remark->text()));
        QVERIFY2(bench.form.remark->text().contains(message), qPrintable(bench.form.remark->text()));
        // The operator is told, and the log has it.
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        if (failure == "open display") {
            QCOMPARE(shown[0].kind, Prompts::Kind::Critical);
            QCOMPARE(shown[0].title, QString("Cannot open file"));
            QCOMPARE(shown[0].text, QString("System file /dev/vorn_dma_displ could not be opened.\n\n"
                                            "Please check if VORN driver is loaded.\nApplication will now quit.\n"));
        } else {
            QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
            QCOMPARE(shown[0].title, QString("Step Response"));
            QVERIFY2(shown[0].text.contains(message), qPrintable(shown[0].text));
            QVERIFY(shown[0].text.endsWith("Nothing was measured."));
        }
        QTRY_VERIFY2(warnings().contains("Step Response: ") && warnings().contains(message), qPrintable(warnings()));

        // What reached the controller, and everything handed back that could be.
        if (!reachesTheController)
            QCOMPARE(bench.calls(), callsBefore);
        QCOMPARE(SimControl::sent().dacWrites - writesBefore, writes);
        SimControl::clearFailures();
        const HandedBack back = handedBack();
        QCOMPARE(back.mux, muxAfter);
        QCOMPARE(back.displayHz, rateAfter);
        // Where the rate could not be put back the controller keeps the run's filter too.
        QCOMPARE(back.filter, rateAfter == 1000 ? 0 : 1);
        QCOMPARE(back.sampFreq, 1000);
        QVERIFY(!bench.setup.outputs.isHeld());
        QCOMPARE(SimControl::openFileCount(DEVICE_ORVANE), outputsOpen);
        QCOMPARE(SimControl::openFileCount(DEVICE_DISPLAY), displayOpen);
    }

    void missingDisplayDeviceEndsTheApplication()
    {
        Bench bench;
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

    void refusedWhileAnotherToolHoldsTheOutputs()
    {
        Bench bench;
        bench.form.run->click();
        const QStringList shownBefore = bench.form.values();
        QVERIFY(!shownBefore[2].isEmpty());
        const QList<int> callsBefore = bench.calls();
        Prompts::clear();

        std::unique_ptr<OutputLease> other = bench.setup.outputs.take("Rocking Curve");
        QVERIFY(other);
        bench.form.run->click();
        // Told who holds them; nothing reached the controller and the last result stays.
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QCOMPARE(shown[0].title, QString("Step Response"));
        QVERIFY2(shown[0].text.contains("Rocking Curve"), qPrintable(shown[0].text));
        QCOMPARE(bench.calls(), callsBefore);
        QCOMPARE(bench.form.values(), shownBefore);
        QCOMPARE(bench.setup.outputs.holder(), QString("Rocking Curve"));

        other.reset();
        bench.form.run->click();
        QCOMPARE(SimControl::sent().dacWrites, 6);
        QVERIFY(!bench.setup.outputs.isHeld());
    }

    void biasBoxesSpanTheOutputRange()
    {
        Bench bench;
        WindowManOutCtrl manual(bench.setup.outputs);
        const QDoubleSpinBox* manualBox = manual.findChild<QDoubleSpinBox*>("boxCh1");
        QCOMPARE(manualBox->minimum(), DAC_OUTPUT_MIN_V);
        QCOMPARE(manualBox->maximum(), DAC_OUTPUT_MAX_V);
        for (const QDoubleSpinBox* box : {bench.form.biasX, bench.form.biasY, bench.form.biasI0}) {
            QCOMPARE(box->minimum(), DAC_OUTPUT_MIN_V);
            QCOMPARE(box->maximum(), DAC_OUTPUT_MAX_V);
            QCOMPARE(box->decimals(), 2);
        }
    }

    void outsideTheOutputRangeIsRefused_data()
    {
        QTest::addColumn<double>("storedX");
        QTest::addColumn<double>("storedY");
        QTest::addColumn<double>("storedI0");
        QTest::addColumn<double>("typedBiasX");  // NaN: the box keeps what showWindow put there
        QTest::addColumn<QString>("refusal");    // empty: the run goes ahead
        const double keep = std::nan("");
        QTest::newRow("stored X offset of 99") << 99.0 << 5.0 << 0.0 << keep << "X loop (PID_X)";
        QTest::newRow("stored Y offset of -20 while X is stepped")
            << 5.0 << -20.0 << 0.0 << keep << "Y loop (PID_Y)";
        QTest::newRow("stored I0 offset of 12.5") << 5.0 << 5.0 << 12.5 << keep << "I0 loop (PID_I0)";
        QTest::newRow("bias 11.95 with the step reaches 12.05 V")
            << 11.95 << 5.0 << 0.0 << keep << "A bias of 11.95 V with a step of 0.1 V reaches 12.05 V";
        QTest::newRow("bias 11.9 with the step reaches 12 V: runs") << 11.9 << 5.0 << 0.0 << keep << "";
        QTest::newRow("a bias typed over the refused offset: runs") << 99.0 << 5.0 << 0.0 << 5.0 << "";
    }

    void outsideTheOutputRangeIsRefused()
    {
        QFETCH(double, storedX);
        QFETCH(double, storedY);
        QFETCH(double, storedI0);
        QFETCH(double, typedBiasX);
        QFETCH(QString, refusal);
        Bench bench(true, storedX, storedY, storedI0);
        // The box shows what it can: never more than the unit takes.
        QVERIFY(bench.form.biasX->value() <= DAC_OUTPUT_MAX_V);
        if (!std::isnan(typedBiasX)) {
            bench.form.biasX->clear();
            QTest::keyClicks(bench.form.biasX, QString::number(typedBiasX));
            QCOMPARE(bench.form.biasX->value(), typedBiasX);
        }
        bench.form.run->click();

        if (refusal.isEmpty()) {
            QCOMPARE(SimControl::sent().dacWrites, 3);
            QVERIFY(Prompts::shown().isEmpty());
            return;
        }
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QCOMPARE(shown[0].title, QString("Step Response"));
        QVERIFY2(shown[0].text.contains(refusal), qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains("outside the output range of -12 to 12 V"), qPrintable(shown[0].text));
        QCOMPARE(bench.calls(), QList<int>({0, 0, 0, 0}));
        QVERIFY(bench.form.showsNothing());
        QVERIFY(!bench.form.remark->text().isEmpty());
        QVERIFY(!bench.setup.outputs.isHeld());
    }

    void stepOfZeroReachesNothing()
    {
        Bench bench;
        bench.form.run->click();
        QVERIFY(!bench.form.k->text().isEmpty());
        const QList<int> callsBefore = bench.calls();
        bench.form.stepX->setValue(0.0);
        bench.form.run->click();
        QVERIFY(bench.form.showsNothing());
        QVERIFY(bench.form.remark->text().contains("nothing measured"));
        QCOMPARE(bench.calls(), callsBefore);
        QVERIFY(Prompts::shown().isEmpty());
    }

    void outputChannelOutsideTheUnitIsRefused()
    {
        Bench bench;
        bench.setup.config->setDACmap(4, 1, 2);
        bench.form.run->click();
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QCOMPARE(bench.calls(), QList<int>({0, 0, 0, 0}));
        QVERIFY(bench.form.k->text().isEmpty());
    }

    void biasesFromThePidOffsets()
    {
        Bench bench(true, -1.0, 1.234);
        bench.setup.setPidOffset(2, 7.0);
        bench.form.stepX->setValue(0.7);
        bench.window.showWindow();
        QVERIFY(bench.window.isVisible());
        // Negative offsets are outputs like any other; two decimals.
        QCOMPARE(bench.form.biasX->value(), -1.0);
        QCOMPARE(bench.form.biasY->value(), 1.23);
        QCOMPARE(bench.form.biasI0->value(), 7.0);
        QCOMPARE(bench.form.stepX->value(), 0.7);
        QCOMPARE(bench.window.buildStimulus().low[0], -1.0);
        QCOMPARE(bench.window.buildStimulus().high[0], -0.3);
    }

    void selectorEnablesOneStep()
    {
        Bench bench;
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
        // Quiet, so that the two gains agree closely: the second run replaces the first.
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
        Bench bench;
        bench.form.run->click();
        // The plot's background runs from (250, 250, 250) at the top to (220, 220, 220).
        int texts = 0;
        for (int i = 0; i < bench.form.plot->itemCount(); ++i) {
            auto* text = qobject_cast<QCPItemText*>(bench.form.plot->item(i));
            if (!text)
                continue;
            ++texts;
            // Each stands on a light box of its own: a trace passing behind cannot hide it.
            QVERIFY(text->brush().style() == Qt::SolidPattern && text->brush().color().alpha() >= 200);
            for (const QColor& background : {QColor(250, 250, 250), QColor(220, 220, 220), text->brush().color()})
                QVERIFY2(contrastRatio(text->color(), background) >= TEXT_CONTRAST,
                         qPrintable(QStringLiteral("\"%1\" in %2 on %3")
                                        .arg(text->text(), text->color().name(), background.name())));
        }
        QCOMPARE(texts, 3);
    }

    void screenshotAfterARun()
    {
        Bench bench;
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
