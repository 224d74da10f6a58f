// The frequency analysis window against the simulated controller, its clock
// stepped: the form, the refusals, sweeps on their thread (start, stop, the
// window closed or destroyed meanwhile), the sweeps' graphs and their export.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <optional>

#include <qcustomplot.h>

#include "DeviceIo.h"
#include "FrequencyResponse.h"
#include "Globals.h"
#include "OutputOwner.h"
#include "PlantConstants.h"
#include "Prompts.h"
#include "SimControl.h"
#include "VornLibrary.h"
#include "WindowFrequencyAnalysis.h"
#include "support/BodeTruth.h"
#include "support/FileSizeLimit.h"
#include "support/FormChild.h"
#include "support/FrequencyWindowForm.h"
#include "support/OutputDevice.h"
#include "support/ProgramFixture.h"
#include "support/SteppedMeasurementClock.h"
#include "support/TestFiles.h"

using namespace FrequencyWindowForm;

class TestWindowFrequencyAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_program.emplace(ProgramFixture::Options().noConfig().quietBeam().refreshed().withPosScale(
            PlantConstants::BPM_PHYSICAL_SCALE_UM));
    }

    void cleanup() { m_program.reset(); }

    void formAtStart()
    {
        WindowFrequencyAnalysis window(m_program->outputs);
        const Form f(window);
        QCOMPARE(window.windowTitle(), QString("Frequency Analysis Tool"));
        QVERIFY(f.start->isEnabled());
        QVERIFY(!f.stop->isEnabled());
        QCOMPARE(f.progress->value(), 0);
        QCOMPARE(f.startFreq->text(), QString("10"));
        QCOMPARE(f.stopFreq->text(), QString("100"));
        QCOMPARE(f.length->text(), QString("11"));
        QCOMPARE(f.sweepType->currentText(), QString("log"));
        QCOMPARE(f.output->currentText(), QString("x"));
        QCOMPARE(f.input->currentText(), QString("x"));
        QVERIFY(f.scaling->isChecked());
        QCOMPARE(f.amplitude->value(), 0.1);
        QCOMPARE(f.amplitude->minimum(), 0.01);
        QCOMPARE(f.amplitude->maximum(), 1.0);
        QCOMPARE(f.amplitude->singleStep(), 0.01);
        QCOMPARE(f.tree->headerItem()->text(0), QString("Plots"));
        // The display fields, from the controller: OUT1 drives X, read by BPM1.
        QCOMPARE(f.orvane->text(), QString("OUT1"));
        QCOMPARE(f.offset->text(), QString("5"));
        QCOMPARE(f.zentrim->text(), QString("X"));
        QCOMPARE(f.bpm->text(), QString("1"));
        for (QLineEdit* display : {f.zentrim, f.bpm, f.orvane, f.offset})
            QVERIFY(!display->isEnabled());

        QCOMPARE(f.mg->xAxis->scaleType(), QCPAxis::stLogarithmic);
        QCOMPARE(f.mg->yAxis->scaleType(), QCPAxis::stLogarithmic);
        QCOMPARE(f.ph->xAxis->scaleType(), QCPAxis::stLogarithmic);
        QCOMPARE(f.ph->yAxis->scaleType(), QCPAxis::stLinear);
        QCOMPARE(f.mg->yAxis->label(), QString("Magnitude"));
        QCOMPARE(f.ph->yAxis->label(), QString("Phase [deg]"));
        QCOMPARE(f.mg->xAxis->label(), QString("Frequency [Hz]"));
        QCOMPARE(f.ph->yAxis->range(), QCPRange(-360, 360));
        QCOMPARE(f.mg->xAxis->range(), QCPRange(1, 100));
        QCOMPARE(f.mg->yAxis->numberFormat(), QString("e"));
        QCOMPARE(f.ph->yAxis->numberFormat(), QString("f"));
        QCOMPARE(f.ph->yAxis->numberPrecision(), 2);
        auto ticker = f.mg->xAxis->ticker().dynamicCast<QCPAxisTickerLog>();
        QVERIFY(ticker);
        QCOMPARE(ticker->subTickCount(), 8);
        QCOMPARE(ticker->tickCount(), 4);
    }

    void displayFieldsFollowTheController()
    {
        // The loops drive OUT4 (X) and OUT3 (Y) from BPM2 (X) and BPM1 (Y);
        // the outputs are the device's values.
        QVERIFY(setPIDoutSel(3, 2, 0) >= 0);
        QVERIFY(setBPMselector(1, 0, 0) >= 0);
        QVERIFY(setOutputMux(0) >= 0);
        QVERIFY(OutputDevice::write(1.0, 2.0, 2.5, 3.75));
        SimControl::step(0.01);

        WindowFrequencyAnalysis window(m_program->outputs);
        const Form f(window);
        window.showWindow();
        QCOMPARE(f.orvane->text(), QString("OUT4"));
        QCOMPARE(f.offset->text(), QString("3,75"));
        QCOMPARE(f.zentrim->text(), QString("X"));
        QCOMPARE(f.bpm->text(), QString("2"));
        f.output->setCurrentText("y");
        QCOMPARE(f.orvane->text(), QString("OUT3"));
        QCOMPARE(f.offset->text(), QString("2,5"));
        f.input->setCurrentText("y");
        QCOMPARE(f.zentrim->text(), QString("Y"));
        QCOMPARE(f.bpm->text(), QString("1"));
        int c = -1;
        QCOMPARE(window.getOutputWordIndex(c), 10);
        QCOMPARE(c, 2);
        QCOMPARE(window.getInputWordIndex(), 1);
        f.input->setCurrentText("x");
        QCOMPARE(window.getInputWordIndex(), 4);
    }

    void failedOutputReadShowsNoOffset_data()
    {
        QTest::addColumn<bool>("openFails");
        QTest::newRow("device does not open") << true;
        QTest::newRow("read is short") << false;
    }
    void failedOutputReadShowsNoOffset()
    {
        QFETCH(bool, openFails);
        WindowFrequencyAnalysis window(m_program->outputs);
        const Form f(window);
        QCOMPARE(f.offset->text(), QString("5"));
        QVERIFY(setOutputMux(0) >= 0);
        QVERIFY(OutputDevice::write(-1.5, 0.0, 0.0, 0.0));
        SimControl::step(0.01);
        if (openFails)
            SimControl::failOpen(DEVICE_DISPLAY);
        else
            SimControl::shortRead(DEVICE_DISPLAY, 8);
        window.getOutputChValue();
        // Not the 5 V read before: the outputs hold -1.5 V by now.
        QCOMPARE(f.offset->text(), QString());
        SimControl::clearFailures();
        window.getOutputChValue();
        QCOMPARE(f.offset->text(), QString("-1,5"));
    }

    void sweepRunsAroundThePresentVoltages()
    {
        SteppedWindow w(m_program->outputs);
        w.window.showWindow();
        QCOMPARE(w.form.offset->text(), QString("5"));
        // Moved after the window read them, as a scan or manual control leaves them.
        QVERIFY(setOutputMux(0) >= 0);
        QVERIFY(OutputDevice::write(5.75, 4.5, 2.0, -3.0));
        SimControl::step(0.01);

        w.form.settings("20", "40", "2");
        w.form.start->click();
        QVERIFY(Prompts::shown().isEmpty());
        QCOMPARE(w.form.offset->text(), QString("5,75"));
        QTRY_VERIFY_WITH_TIMEOUT(w.form.start->isEnabled(), SWEEP_TIMEOUT_MS);
        QCOMPARE(w.form.tree->topLevelItemCount(), 1);
        const SimControl::Sent sent = SimControl::sent();
        QCOMPARE(sent.genOffset[0], 5.75f);
        QCOMPARE(sent.genOffset[1], 4.5f);
        QCOMPARE(sent.genOffset[2], 2.0f);
        QCOMPARE(sent.genOffset[3], -3.0f);
    }

    void unreadableOutputsRefuse()
    {
        SteppedWindow w(m_program->outputs);
        w.form.settings("20", "40", "2");
        SimControl::shortRead(DEVICE_DISPLAY, 8);
        w.form.start->click();
        QCOMPARE(titlesShown(), QStringList{"Error"});
        const QString text = Prompts::shown().first().text;
        QVERIFY2(text.startsWith("The output voltages could not be read (") &&
                     text.endsWith(").\n\nThe sweep was not started."),
                 qPrintable(text));
        QCOMPARE(w.form.offset->text(), QString());
        // Nothing reached the controller, and the outputs and the device are free again.
        QCOMPARE(SimControl::callCount("funcGenConfig"), 0);
        QCOMPARE(SimControl::callCount("setDisplayFreq"), 0);
        QVERIFY(!m_program->outputs.isHeld());
        QCOMPARE(SimControl::openFileCount(DEVICE_DISPLAY), 0);
        QCOMPARE(w.form.tree->topLevelItemCount(), 0);
        QVERIFY(w.form.start->isEnabled());
    }

    void frequencyLists_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QList<double>>("expected");
        QList<double> log;
        for (int i = 0; i <= 10; ++i)
            log << std::pow(10.0, 1.0 + i * 0.1);
        QTest::newRow("log") << "log" << log;
        QTest::newRow("lin") << "lin" << QList<double>{10, 19, 28, 37, 46, 55, 64, 73, 82, 91, 100};
    }
    void frequencyLists()
    {
        QFETCH(QString, type);
        QFETCH(QList<double>, expected);
        WindowFrequencyAnalysis window(m_program->outputs);
        Form(window).settings("10", "100", "11", type);
        QCOMPARE(window.buildFrequencyList(), 11);
        const QVector<double>& list = window.frequencyList();
        QCOMPARE(list.size(), expected.size());
        for (int i = 0; i < list.size(); ++i)
            QVERIFY2(qAbs(list[i] - expected[i]) < 1e-9 * expected[i], qPrintable(QString::number(list[i])));
        QCOMPARE(list.last(), 100.0);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("stop");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const QString startT = "Start frequency not allowed ...\n";
        const QString startX = "Range of allowed Start frequency values: [0.1, 500] Hz  \n\n";
        const QString stopT = "Stop frequency not allowed ...\n";
        const QString stopX = "Range of allowed Stop frequency values: [1, 1000] Hz  \n\n";
        const QString orderT = "Start/Stop frequency not allowed ...\n";
        const QString orderX = "Stop freq must always be greater than Start freq! \n\n";
        const QString lengthT = "Number of frequency points not allowed ...\n";
        const QString lengthX = "Range of allowed frequency points: [2, 1001]   \n\n";
        QTest::newRow("start 0.09") << "0.09" << "100" << "11" << startT << startX;
        QTest::newRow("start 500.1") << "500.1" << "1000" << "11" << startT << startX;
        QTest::newRow("start not a number") << "ten" << "100" << "11" << startT << startX;
        QTest::newRow("stop 0.99") << "0.5" << "0.99" << "11" << stopT << stopX;
        QTest::newRow("stop 1000.1") << "10" << "1000.1" << "11" << stopT << stopX;
        QTest::newRow("start equal to stop") << "50" << "50" << "11" << orderT << orderX;
        QTest::newRow("length 1") << "10" << "100" << "1" << lengthT << lengthX;
        QTest::newRow("length 1002") << "10" << "100" << "1002" << lengthT << lengthX;
        QTest::newRow("length not whole") << "10" << "100" << "2.5" << lengthT << lengthX;
        QTest::newRow("600 and 2000: the start only") << "600" << "2000" << "11" << startT << startX;
    }
    void refusals()
    {
        QFETCH(QString, start);
        QFETCH(QString, stop);
        QFETCH(QString, length);
        QFETCH(QString, title);
        QFETCH(QString, text);
        WindowFrequencyAnalysis window(m_program->outputs);
        const Form f(window);
        f.settings("1", "2", "3");
        QCOMPARE(window.buildFrequencyList(), 3);
        const QVector<double> before = window.frequencyList();

        f.settings(start, stop, length);
        f.start->click();
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().first().kind, Prompts::Kind::Critical);
        QCOMPARE(Prompts::shown().first().title, title);
        QCOMPARE(Prompts::shown().first().text, text);
        // Nothing else changed: no sweep, nothing sent, the old list kept.
        QCOMPARE(window.frequencyList(), before);
        QCOMPARE(f.tree->topLevelItemCount(), 0);
        QVERIFY(f.start->isEnabled());
        QCOMPARE(SimControl::callCount("funcGenConfig"), 0);
        QCOMPARE(SimControl::callCount("setDisplayFreq"), 0);
    }

    void feedbackNotOffRefuses_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("feedback on") << 3;
        QTest::newRow("beam off") << 2;
        // An unreadable status is no state: failedReadsRefuse.
    }
    void feedbackNotOffRefuses()
    {
        QFETCH(int, status);
        if (status == 3) {
            QVERIFY(setFBenable(1) >= 0);
        } else if (status == 2) {
            QVERIFY(setROCenable(0, 0, 1, 0, 0, 0) >= 0);
            SimControl::setBeamIntensityFactor(0.0);
            QVERIFY(setFBenable(1) >= 0);
            SimControl::step(0.01);
        }
        m_program->link->refreshData();
        QCOMPARE(m_program->link->pidStatus(), status);

        WindowFrequencyAnalysis window(m_program->outputs);
        const Form f(window);
        f.start->click();
        QCOMPARE(titlesShown(), QStringList{"PID Running"});
        QCOMPARE(Prompts::shown().first().text, QString("Stop feedback before Frequency Analysis"));
        QCOMPARE(f.tree->topLevelItemCount(), 0);
        QCOMPARE(SimControl::callCount("funcGenConfig"), 0);
    }

    void unopenableDisplayRefuses()
    {
        WindowFrequencyAnalysis window(m_program->outputs);
        const Form f(window);
        f.settings("20", "40", "2");
        SimControl::failOpen(DEVICE_DISPLAY);
        f.start->click();
        QCOMPARE(titlesShown(), QStringList{"Error"});
        QCOMPARE(Prompts::shown().first().text, QString("Cannot open /dev/vorn_dma_displ"));
        // The list that passed its checks has replaced the old one.
        QCOMPARE(window.frequencyList().size(), 2);
        QCOMPARE(window.frequencyList().first(), 20.0);
        QVERIFY(qAbs(window.frequencyList().last() - 40.0) < 1e-12);
        QCOMPARE(f.tree->topLevelItemCount(), 0);
        QVERIFY(f.start->isEnabled());
        QCOMPARE(SimControl::callCount("funcGenConfig"), 0);
    }

    void sweepMeasuresThePlant_data()
    {
        QTest::addColumn<bool>("scaling");
        QTest::newRow("scaled to micrometres") << true;
        QTest::newRow("raw positions") << false;
    }
    void sweepMeasuresThePlant()
    {
        QFETCH(bool, scaling);
        // Y regulated from BPM2 through OUT2; BPM2's Y scale is half the physical
        // one, the others would give a visibly wrong magnitude.
        QVERIFY(setBPMselector(0, 1, 0) >= 0);
        POS_SCALE_Y[1] = PlantConstants::BPM_PHYSICAL_SCALE_UM / 2;
        POS_SCALE_Y[0] = POS_SCALE_X[1] = 1.0;

        SteppedWindow w(m_program->outputs);
        w.form.settings("20", "400", "4");
        w.form.output->setCurrentText("y");
        w.form.input->setCurrentText("y");
        w.form.amplitude->setValue(0.5);
        w.form.scaling->setChecked(scaling);
        w.form.start->click();
        QVERIFY(Prompts::shown().isEmpty());
        QVERIFY(!w.form.start->isEnabled());
        QVERIFY(w.form.stop->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(w.form.start->isEnabled(), SWEEP_TIMEOUT_MS);
        QVERIFY(!w.form.stop->isEnabled());
        QVERIFY(!w.window.sweepRunning());

        QCOMPARE(w.form.tree->topLevelItemCount(), 1);
        QTreeWidgetItem* item = w.form.tree->topLevelItem(0);
        QCOMPARE(item->text(0), QString("plot_y_y_0"));
        QCOMPARE(item->checkState(0), Qt::Checked);
        QVERIFY(item->isSelected());
        QCOMPARE(w.form.progress->value(), 100);

        const auto magnitude = points(w.form.mg->graph(0));
        const auto phase = points(w.form.ph->graph(0));
        QCOMPARE(magnitude.size(), 4);
        QCOMPARE(phase.size(), 4);
        const double unit = scaling ? 0.5 : 1.0 / PlantConstants::BPM_PHYSICAL_SCALE_UM;
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(magnitude[i].first, double(float(w.window.frequencyList()[i])));
            const std::complex<double> truth = BodeTruth::response(1, magnitude[i].first) * unit;
            QVERIFY(qAbs(BodeTruth::decibels(magnitude[i].second, std::abs(truth))) < 0.25);
            QVERIFY(qAbs(BodeTruth::wrappedDegrees(phase[i].second - BodeTruth::phaseDegrees(truth))) < 2.5);
        }
        // OUT2 was driven with half of 0.5 Vpp around its present voltage; all is back.
        const SimControl::Sent sent = SimControl::sent();
        QCOMPARE(sent.genAmplitude[1], 0.25f);
        QCOMPARE(sent.genAmplitude[0], 0.0f);
        QCOMPARE(sent.genOffset[1], 5.0f);
        QVERIFY(!sent.genEnabled);
        QCOMPARE(sent.displayHz, 1000);
        QCOMPARE(loadSampFreq(), 1000);
    }

    void destroyedDuringASweep()
    {
        auto window = std::make_unique<WindowFrequencyAnalysis>(m_program->outputs);
        SteppedMeasurementClock clock;
        window->setMeasurementClock(clock);
        const Form f(*window);
        f.settings("10", "1000", "1001");
        f.start->click();
        QTRY_VERIFY_WITH_TIMEOUT(f.mg->graph(0)->dataCount() >= 1, SWEEP_TIMEOUT_MS);
        const int offsBefore = SimControl::callCount("funcGenEnable", 0);
        window.reset();
        // The sweep ended before its thread went: generator off, rate restored.
        QVERIFY(SimControl::callCount("funcGenEnable", 0) > offsBefore);
        QVERIFY(!SimControl::sent().genEnabled);
        QCOMPARE(loadSampFreq(), 1000);
        QCOMPARE(SimControl::sent().displayHz, 1000);
        QVERIFY(!m_program->outputs.isHeld());
        QCOMPARE(SimControl::openFileCount(DEVICE_DISPLAY), 0);
    }

    // Stop, the window closed (close box, Escape, a reject) or a stop asked for
    // through the outputs (File › Exit, SIGTERM) while the second step waits: the
    // sweep ends after its call in progress, that step is neither plotted nor
    // exported, and all is handed back as at a sweep's own end.
    void interruptedMidSweep_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Stop button") << 0 << false;
        QTest::newRow("close box") << 1 << true;
        QTest::newRow("Escape") << 2 << true;
        QTest::newRow("reject") << 3 << true;
        QTest::newRow("asked through the outputs") << 4 << false;
    }
    void interruptedMidSweep()
    {
        QFETCH(int, how);
        QFETCH(bool, closes);
        QVERIFY(setDisplayFreq(1000, 1) >= 0);
        SteppedWindow w(m_program->outputs);
        w.form.settings("20", "400", "5");
        w.window.showWindow();
        const std::function<void()> interrupt[] = {
            [&] { w.form.stop->click(); },
            [&] { w.window.close(); },
            [&] { QTest::keyClick(&w.window, Qt::Key_Escape); },
            [&] { w.window.reject(); },
            [&] { QVERIFY(m_program->outputs.requestStop()); },
        };
        w.clock.beforeEach = [&](int n) {
            if (n == 1)
                QMetaObject::invokeMethod(&w.window, interrupt[how], Qt::BlockingQueuedConnection);
        };
        w.form.start->click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_program->outputs.isHeld(), SWEEP_TIMEOUT_MS);
        QCOMPARE(w.window.isVisible(), !closes);
        QVERIFY(w.form.start->isEnabled());
        QVERIFY(!w.form.stop->isEnabled());
        QVERIFY(!w.window.sweepRunning());
        QCOMPARE(w.clock.calls.load(), 2);
        QCOMPARE(w.form.mg->graph(0)->dataCount(), 1);
        QCOMPARE(w.form.ph->graph(0)->dataCount(), 1);
        QVERIFY(w.form.mg->graph(0)->data()->constBegin()->value > 0.0);
        QVERIFY(Prompts::shown().isEmpty());
        // Generator off, rate and filter as they were, the device closed.
        QVERIFY(!SimControl::sent().genEnabled);
        QCOMPARE(SimControl::callCount("funcGenEnable", 1), 2);
        QCOMPARE(SimControl::sent().displayHz, 1000);
        QCOMPARE(int(SimControl::sent().displayFilter), 1);
        QCOMPARE(loadSampFreq(), 1000);
        QCOMPARE(SimControl::openFileCount(DEVICE_DISPLAY), 0);

        w.form.tree->topLevelItem(0)->setSelected(true);
        Prompts::queueFileName(m_program->filePath("stopped.csv"));
        w.form.exportMeas->click();
        QCOMPARE(csvRows(m_program->filePath("stopped_plot_x_x_0.csv"), nullptr).size(), 1);
        if (how != 0)
            return;

        QCOMPARE(w.form.progress->value(), 0);
        // Stop again once the worker has gone, and once its thread has gone too.
        w.window.slotStopSweepPushButton();
        QTRY_VERIFY(w.window.findChildren<QThread*>().isEmpty());
        w.window.slotStopSweepPushButton();
        // A second sweep on the same window.
        w.clock.beforeEach = nullptr;
        w.form.settings("100", "200", "2");
        w.form.start->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.form.start->isEnabled(), SWEEP_TIMEOUT_MS);
        QCOMPARE(w.form.tree->topLevelItem(1)->text(0), QString("plot_x_x_1"));
        QCOMPARE(w.form.mg->graph(1)->dataCount(), 2);
    }

    // A failed call ends the sweep with a message, and its step shows nothing.
    void failedCallsAreShown_data()
    {
        QTest::addColumn<QString>("call");  // empty: the display read is short
        QTest::addColumn<QString>("reasonStart");
        QTest::newRow("funcGenConfig") << "funcGenConfig" << "funcGenConfig() failed at 20 Hz";
        QTest::newRow("funcGenEnable") << "funcGenEnable" << "funcGenEnable(1) failed at 20 Hz";
        QTest::newRow("setDisplayFreq") << "setDisplayFreq" << "setDisplayFreq() failed at 20 Hz";
        QTest::newRow("display read") << "" << "The display read at 20 Hz gave 0 of the 3583 records";
    }
    void failedCallsAreShown()
    {
        QFETCH(QString, call);
        QFETCH(QString, reasonStart);
        SteppedWindow w(m_program->outputs);
        w.form.settings("20", "400", "3");
        if (call.isEmpty())  // once the sweep has read the output voltages it starts from
            w.clock.beforeEach = [](int wait) {
                if (wait == 0)
                    SimControl::shortRead(DEVICE_DISPLAY, size_t(FrequencyResponse::READ_BYTES));
            };
        else
            SimControl::failCall(call.toStdString());
        w.form.start->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.form.start->isEnabled(), SWEEP_TIMEOUT_MS);

        QCOMPARE(titlesShown(), QStringList{"Frequency analysis failed"});
        QCOMPARE(Prompts::shown().first().kind, Prompts::Kind::Warning);
        QVERIFY2(Prompts::shown().first().text.startsWith(reasonStart), qPrintable(Prompts::shown().first().text));
        // Nothing was measured: no entry is left, and the progress says where it ended.
        QCOMPARE(w.form.mg->graphCount(), 0);
        QCOMPARE(w.form.ph->graphCount(), 0);
        QCOMPARE(w.form.tree->topLevelItemCount(), 0);
        QCOMPARE(w.form.progress->text(), QString("Failed after 0 of 3 frequencies"));
        QVERIFY(!m_program->outputs.isHeld());
        QCOMPARE(loadSampFreq(), 1000);
    }

    void unreadableFilterRefuses()
    {
        WindowFrequencyAnalysis window(m_program->outputs);
        const Form f(window);
        SimControl::failCall("getDisplayFreq");
        f.start->click();
        QCOMPARE(titlesShown(), QStringList{"Error"});
        QVERIFY(Prompts::shown().first().text.startsWith("getDisplayFreq() failed"));
        QCOMPARE(f.tree->topLevelItemCount(), 0);
        QVERIFY(f.start->isEnabled());
        QVERIFY(!m_program->outputs.isHeld());
        QCOMPARE(SimControl::callCount("setDisplayFreq"), 0);
        QCOMPARE(SimControl::callCount("funcGenConfig"), 0);
    }

    void sweepHoldsTheOutputsUntilItEnds()
    {
        SteppedWindow w(m_program->outputs);
        w.form.settings("20", "400", "3");
        w.form.start->click();
        // Its end reaches this thread only through the event loop: still running here.
        QCOMPARE(m_program->outputs.holder(), QString("Frequency Analysis Tool"));
        QVERIFY(!m_program->outputs.takeOrExplain(nullptr, "Step Response"));
        QCOMPARE(titlesShown(), QStringList{"Step Response"});
        QCOMPARE(Prompts::shown().first().text, OutputOwner::busyText("Frequency Analysis Tool"));
        QTRY_VERIFY_WITH_TIMEOUT(w.form.start->isEnabled(), SWEEP_TIMEOUT_MS);
        QCOMPARE(w.form.mg->graph(0)->dataCount(), 3);
        QVERIFY(!m_program->outputs.isHeld());
        QVERIFY(m_program->outputs.take("Step Response"));
    }

    void refusedWhileAnotherToolHoldsTheOutputs()
    {
        auto lease = m_program->outputs.take("Rocking Curve");
        QVERIFY(lease);
        WindowFrequencyAnalysis window(m_program->outputs);
        const Form f(window);
        const int readsBefore = SimControl::callCount("getDisplayFreq");
        f.start->click();
        QCOMPARE(titlesShown(), QStringList{"Frequency Analysis Tool"});
        QCOMPARE(Prompts::shown().first().kind, Prompts::Kind::Warning);
        QCOMPARE(Prompts::shown().first().text, OutputOwner::busyText("Rocking Curve"));
        // Nothing reached the controller, nothing changed here.
        QCOMPARE(SimControl::callCount("getDisplayFreq"), readsBefore);
        QCOMPARE(SimControl::callCount("setDisplayFreq"), 0);
        QCOMPARE(SimControl::callCount("funcGenConfig"), 0);
        QCOMPARE(SimControl::callCount("funcGenEnable"), 0);
        QVERIFY(window.frequencyList().isEmpty());
        QCOMPARE(f.tree->topLevelItemCount(), 0);
        QVERIFY(f.start->isEnabled());
        QCOMPARE(m_program->outputs.holder(), QString("Rocking Curve"));
    }

    void closeSwitchesTheGeneratorOff()
    {
        WindowFrequencyAnalysis window(m_program->outputs);
        window.showWindow();
        QVERIFY(window.isVisible());
        QVERIFY(funcGenEnable(1) >= 0);
        window.close();
        QVERIFY(!window.isVisible());
        QVERIFY(!SimControl::sent().genEnabled);
        QCOMPARE(SimControl::callCount("funcGenEnable", 0), 1);
    }

    void sweepNamesAndColours()
    {
        WindowFrequencyAnalysis window(m_program->outputs);
        const Form f(window);
        for (int i = 0; i < 7; ++i)
            QCOMPARE(window.addSweepGraphs(), i);
        f.output->setCurrentText("y");
        QCOMPARE(window.addSweepGraphs(), 7);
        QCOMPARE(f.tree->topLevelItem(0)->text(0), QString("plot_x_x_0"));
        QCOMPARE(f.tree->topLevelItem(6)->text(0), QString("plot_x_x_6"));
        QCOMPARE(f.tree->topLevelItem(7)->text(0), QString("plot_y_x_7"));
        const QList<QColor> colours{Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta, Qt::red,
                                    Qt::green};
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(f.mg->graph(i)->pen().color(), colours[i]);
            QCOMPARE(f.ph->graph(i)->pen().color(), colours[i]);
            QCOMPARE(f.mg->graph(i)->pen().widthF(), 1.0);
        }
    }

    void treeShowsAndHidesBothPlots()
    {
        WindowFrequencyAnalysis window(m_program->outputs);
        const Form f(window);
        window.addSweepGraphs();
        window.addSweepGraphs();
        f.tree->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
        QVERIFY(f.mg->graph(0)->visible() && f.ph->graph(0)->visible());
        QVERIFY(!f.mg->graph(1)->visible() && !f.ph->graph(1)->visible());
        f.tree->topLevelItem(1)->setCheckState(0, Qt::Checked);
        QVERIFY(f.mg->graph(1)->visible() && f.ph->graph(1)->visible());
    }

    void autoscaleCoversHiddenSweeps()
    {
        WindowFrequencyAnalysis window(m_program->outputs);
        const Form f(window);
        window.addSweepGraphs();
        window.addSweepGraphs();
        window.onFrequencyStepDone(0, 2.0, 10.0, -10.0);
        window.onFrequencyStepDone(0, 3.0, 5.0, -20.0);
        window.onFrequencyStepDone(1, 500.0, 0.01, -400.0);
        f.tree->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
        f.mg->xAxis->setRange(1, 100);
        f.autoscale->click();
        QVERIFY(f.mg->xAxis->range().contains(500.0) && f.mg->xAxis->range().contains(2.0));
        QVERIFY(f.mg->yAxis->range().contains(0.01) && f.mg->yAxis->range().contains(10.0));
        QVERIFY(f.ph->yAxis->range().contains(-400.0) && f.ph->yAxis->range().contains(-10.0));
    }

    void clearStartsNamesAgainAndDropsLateSteps()
    {
        WindowFrequencyAnalysis window(m_program->outputs);
        const Form f(window);
        window.addSweepGraphs();
        window.addSweepGraphs();
        window.onFrequencyStepDone(1, 10.0, 1.0, 2.0);
        QCOMPARE(f.mg->graph(1)->dataCount(), 1);
        f.clear->click();
        QCOMPARE(f.mg->graphCount(), 0);
        QCOMPARE(f.ph->graphCount(), 0);
        QCOMPARE(f.tree->topLevelItemCount(), 0);
        // A step of a sweep started before the clear.
        window.onFrequencyStepDone(1, 20.0, 1.0, 2.0);
        window.onFrequencyStepDone(0, 20.0, 1.0, 2.0);
        QCOMPARE(window.addSweepGraphs(), 0);
        QCOMPARE(f.tree->topLevelItem(0)->text(0), QString("plot_x_x_0"));
        QCOMPARE(f.mg->graph(0)->dataCount(), 0);
        window.onFrequencyStepDone(-1, 20.0, 1.0, 2.0);
        window.onFrequencyStepDone(5, 20.0, 1.0, 2.0);
        QCOMPARE(f.mg->graph(0)->dataCount(), 0);
    }

    void twoSweepsExportedAsPlotted()
    {
        SteppedWindow w(m_program->outputs);
        w.form.settings("30", "300", "3");
        w.form.start->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.form.start->isEnabled(), SWEEP_TIMEOUT_MS);
        w.form.input->setCurrentText("y");
        w.form.output->setCurrentText("y");
        w.form.settings("50", "500", "4", "lin");
        w.form.scaling->setChecked(false);
        w.form.start->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.form.start->isEnabled(), SWEEP_TIMEOUT_MS);
        // Each file states the scaling its sweep ran with, not the box's state now.
        w.form.scaling->setChecked(true);

        w.form.tree->topLevelItem(0)->setSelected(true);
        w.form.tree->topLevelItem(1)->setSelected(true);
        const QString chosen = m_program->filePath("bode.CSV");
        Prompts::queueFileName(chosen);
        w.form.exportMeas->click();
        QCOMPARE(titlesShown(), QStringList{"Select a file to export the data"});
        QVERIFY(!QFile::exists(chosen));
        for (int row = 0; row < 2; ++row) {
            const QString name = row == 0 ? "plot_x_x_0" : "plot_y_y_1";
            QString header;
            const QList<QStringList> rows = csvRows(m_program->filePath("bode_" + name + ".csv"), &header);
            QCOMPARE(header, row == 0 ? QString("frequency [Hz], amplitude [um/um], phase [deg]")
                                      : QString("frequency [Hz], amplitude [um], phase [deg]"));
            const auto magnitude = points(w.form.mg->graph(row));
            const auto phase = points(w.form.ph->graph(row));
            QCOMPARE(rows.size(), row == 0 ? 3 : 4);
            QCOMPARE(rows.size(), magnitude.size());
            for (int i = 0; i < rows.size(); ++i) {
                QCOMPARE(rows[i].size(), 3);
                QVERIFY(sameNumber(rows[i][0], magnitude[i].first));
                QVERIFY(sameNumber(rows[i][1], magnitude[i].second));
                QVERIFY(sameNumber(rows[i][2], phase[i].second));
            }
        }
    }

    void exportCases_data()
    {
        QTest::addColumn<QList<int>>("selectedRows");
        QTest::addColumn<QString>("answer");  // file name in the test folder, empty: cancelled
        QTest::addColumn<bool>("scaling");
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<QStringList>("titles");
        const QString dialog = "Select a file to export the data";
        QTest::newRow("nothing selected") << QList<int>{} << "x.csv" << true << QStringList{}
                                          << QStringList{"0 selected graphs ...\n"};
        QTest::newRow("dialog cancelled") << QList<int>{0} << "" << true << QStringList{} << QStringList{dialog};
        QTest::newRow("one of two, unscaled") << QList<int>{1} << "one.csv" << false
                                              << QStringList{"one_plot_x_x_1.csv"} << QStringList{dialog};
        // A folder stands where the second file would go: the first is still written.
        QTest::newRow("one file cannot be written") << QList<int>{0, 2} << "blocked" << true
                                                    << QStringList{"blocked_plot_x_x_0.csv"}
                                                    << QStringList{dialog, "Export failed"};
    }
    void exportCases()
    {
        QFETCH(QList<int>, selectedRows);
        QFETCH(QString, answer);
        QFETCH(bool, scaling);
        QFETCH(QStringList, written);
        QFETCH(QStringList, titles);
        QTemporaryDir dir(m_program->filePath("export-XXXXXX"));
        QVERIFY(QDir(dir.path()).mkdir("blocked_plot_x_x_2.csv"));
        WindowFrequencyAnalysis window(m_program->outputs);
        const Form f(window);
        f.scaling->setChecked(scaling);
        for (int i = 0; i < 3; ++i) {
            window.addSweepGraphs();
            window.onFrequencyStepDone(i, 10.0, 1.0 + i, -5.0);
        }
        // Changed after the sweeps: the files keep the sweeps' own scaling.
        f.scaling->setChecked(!scaling);
        f.tree->clearSelection();
        for (int row : selectedRows)
            f.tree->topLevelItem(row)->setSelected(true);
        Prompts::queueFileName(answer.isEmpty() ? QString() : dir.filePath(answer));
        f.exportMeas->click();
        QCOMPARE(titlesShown(), titles);
        QStringList files = QDir(dir.path()).entryList(QDir::Files);
        QCOMPARE(files, written);
        for (const QString& file : written) {
            QString header;
            const QList<QStringList> rows = csvRows(dir.filePath(file), &header);
            QCOMPARE(header, scaling ? QString("frequency [Hz], amplitude [um/um], phase [deg]")
                                     : QString("frequency [Hz], amplitude [um], phase [deg]"));
            QCOMPARE(rows.size(), 1);
        }
    }

    void failedExportKeepsTheExistingFile()
    {
        const QString chosen = m_program->filePath("kept.csv");
        const QString target = m_program->filePath("kept_plot_x_x_0.csv");
        const QByteArray old = "frequency [Hz], amplitude [um/um], phase [deg]\n1,2,3\n";
        TestFiles::put(target, old);
        WindowFrequencyAnalysis window(m_program->outputs);
        const Form f(window);
        window.addSweepGraphs();
        for (int i = 0; i < 500; ++i)
            window.onFrequencyStepDone(0, 1.0 + i, 35.77708763999664, -22.123456);
        Prompts::queueFileName(chosen);
        {
            // A disk that fills up part-way through the file.
            const FileSizeLimit limit(4096);
            f.exportMeas->click();
        }
        QCOMPARE(titlesShown(), (QStringList{"Select a file to export the data", "Export failed"}));
        const QString text = Prompts::shown().last().text;
        QVERIFY2(text.contains(target + ": "), qPrintable(text));
        QCOMPARE(TestFiles::contents(target), old);
        // Nothing half-written left beside it.
        QCOMPARE(QDir(m_program->filePath(".")).entryList({"kept*"}, QDir::Files | QDir::Hidden),
                 QStringList{"kept_plot_x_x_0.csv"});
    }

private:
    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestWindowFrequencyAnalysis)
#include "tst_windowfrequencyanalysis.moc"
