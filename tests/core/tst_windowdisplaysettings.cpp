// The display settings dialog against the simulated controller: what reaches
// the sample rate, the read size, the hardware and the display's pause flag.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <optional>

#include "Globals.h"
#include "MainWindow.h"
#include "Prompts.h"
#include "SimControl.h"
#include "Updater.h"
#include "VornLibrary.h"
#include "support/WidgetClicks.h"
#include "WindowDisplaySettings.h"
#include "support/ProgramFixture.h"
#include "support/SteppedMeasurementClock.h"

namespace {

enum class Press { Apply, Ok, Cancel };

struct Fields
{
    QDoubleSpinBox* freq;
    QComboBox* buffer;
    QCheckBox* filter;
    QCheckBox* pause;
    QDialogButtonBox* buttons;
    QPushButton* apply;
};

Fields fieldsOf(const WindowDisplaySettings& dialog)
{
    return {dialog.findChild<QDoubleSpinBox*>("dispFreqBox"),
            dialog.findChild<QComboBox*>("bufferSamplesComboBox"),
            dialog.findChild<QCheckBox*>("enableFilterCheckBox"),
            dialog.findChild<QCheckBox*>("pauseCheckBox"),
            dialog.findChild<QDialogButtonBox*>("buttonBox"),
            dialog.findChild<QPushButton*>("pushButtonApply")};
}

void press(const Fields& f, Press which)
{
    switch (which) {
    case Press::Apply:
        QTest::mouseClick(f.apply, Qt::LeftButton);
        break;
    case Press::Ok:
        QTest::mouseClick(f.buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
        break;
    case Press::Cancel:
        QTest::mouseClick(f.buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
        break;
    }
}

QStringList itemsOf(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

}  // namespace

Q_DECLARE_METATYPE(Press)

class TestWindowDisplaySettings : public QObject
{
    Q_OBJECT

private slots:
    // The dialog alone; the test of the menu entry makes the whole program.
    void init() { m_program.emplace(ProgramFixture::Options().noConfig().withUpdater()); }

    void cleanup() { m_program.reset(); }

    void formAsBuilt()
    {
        WindowDisplaySettings dialog;
        const Fields f = fieldsOf(dialog);
        QCOMPARE(dialog.objectName(), QString("WindowDisplaySettings"));
        QCOMPARE(dialog.windowTitle(), QString("Display Settings"));
        QCOMPARE(dialog.size(), QSize(400, 300));
        QVERIFY(!dialog.isModal());
        QCOMPARE(f.freq->decimals(), 0);
        QCOMPARE(f.freq->minimum(), 0.0);
        QCOMPARE(f.freq->maximum(), 20000.0);
        QCOMPARE(f.freq->suffix(), QString(" Hz"));
        QCOMPARE(itemsOf(f.buffer), (QStringList{"1024", "2048", "4096", "8192", "14336"}));
        // The form's own choice, until the first showing replaces it.
        QCOMPARE(f.buffer->currentText(), QString("1024"));
        QCOMPARE(f.freq->value(), 1000.0);
        QCOMPARE(dialog.findChild<QLabel*>("label_2")->text(), QString("Display frequency:"));
        QCOMPARE(dialog.findChild<QLabel*>("bufferSamplesLabel")->text(), QString("Buffer samples:"));
        QCOMPARE(dialog.findChild<QLabel*>("enableFilterLabel")->text(), QString("Enable filter: "));
        QCOMPARE(dialog.findChild<QLabel*>("pauseLabel")->text(), QString("Pause:"));
        QVERIFY(f.buttons->button(QDialogButtonBox::Ok));
        QVERIFY(f.buttons->button(QDialogButtonBox::Cancel));
        QCOMPARE(f.apply->text(), QString("Apply"));
        QVERIFY(Prompts::shown().isEmpty());
    }

    void firstOpeningShowsTheGlobals_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("bufferBytes");
        QTest::addColumn<QString>("shownBuffer");
        QTest::newRow("start values: 14336, not the form's 1024") << 1000 << 3670016 << "14336";
        QTest::newRow("hardware rate, smaller read") << 5000 << 524288 << "2048";
    }

    void firstOpeningShowsTheGlobals()
    {
        QFETCH(int, rate);
        QFETCH(int, bufferBytes);
        QFETCH(QString, shownBuffer);
        QCOMPARE(::setDisplayFreq(rate, 0), 0);
        storeSampFreq(rate);
        DISPLAY_BUFFER_BYTES = bufferBytes;
        WindowDisplaySettings dialog;
        dialog.showWindow();
        const Fields f = fieldsOf(dialog);
        QVERIFY(dialog.isVisible());
        QCOMPARE(f.freq->value(), double(rate));
        QCOMPARE(f.buffer->currentText(), shownBuffer);
        QVERIFY(!f.pause->isChecked());
    }

    void filterFlagReadBackAtConstruction_data()
    {
        QTest::addColumn<int>("hardwareFilter");
        QTest::addColumn<bool>("failing");
        QTest::addColumn<int>("state");
        QTest::newRow("filter off") << 0 << false << int(Qt::Unchecked);
        QTest::newRow("filter on") << 1 << false << int(Qt::Checked);
        // Neither on nor off: a failed read is no setting.
        QTest::newRow("read fails: shown as not known") << 1 << true << int(Qt::PartiallyChecked);
    }

    void filterFlagReadBackAtConstruction()
    {
        QFETCH(int, hardwareFilter);
        QFETCH(bool, failing);
        QFETCH(int, state);
        QCOMPARE(::setDisplayFreq(1000, uint8_t(hardwareFilter)), 0);
        if (failing)
            SimControl::failCall("getDisplayFreq");
        WindowDisplaySettings dialog;
        QCOMPARE(int(fieldsOf(dialog).filter->checkState()), state);
    }

    void saveReachesGlobalsAndHardware_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<QString>("buffer");
        QTest::addColumn<bool>("filter");
        QTest::addColumn<Press>("button");
        QTest::addColumn<int>("expectedRate");
        QTest::addColumn<int>("expectedBytes");
        QTest::addColumn<bool>("visibleAfter");
        QTest::addColumn<bool>("warned");

        QTest::newRow("Apply 1024 records: 262144 bytes at once")
            << 1000 << "1024" << false << Press::Apply << 1000 << 262144 << true << false;
        QTest::newRow("Ok hides, then saves") << 2500 << "4096" << true << Press::Ok << 2500 << 1048576 << false
                                              << false;
        QTest::newRow("highest rate 20000") << 20000 << "14336" << true << Press::Apply << 20000 << 3670016 << true
                                            << false;
        QTest::newRow("lowest usable rate 1 Hz") << 1 << "8192" << false << Press::Apply << 1 << 2097152 << true
                                                 << false;
        QTest::newRow("0 Hz refused, rest applied")
            << 0 << "2048" << true << Press::Apply << 1000 << 524288 << true << true;
        QTest::newRow("0 Hz with Ok refused too") << 0 << "1024" << false << Press::Ok << 1000 << 262144 << false
                                                  << true;
        QTest::newRow("Cancel changes nothing")
            << 3000 << "1024" << true << Press::Cancel << 1000 << 3670016 << false << false;
    }

    void saveReachesGlobalsAndHardware()
    {
        QFETCH(int, rate);
        QFETCH(QString, buffer);
        QFETCH(bool, filter);
        QFETCH(Press, button);
        QFETCH(int, expectedRate);
        QFETCH(int, expectedBytes);
        QFETCH(bool, visibleAfter);
        QFETCH(bool, warned);

        WindowDisplaySettings dialog;
        dialog.showWindow();
        const Fields f = fieldsOf(dialog);
        f.freq->setValue(rate);
        f.buffer->setCurrentText(buffer);
        f.filter->setChecked(filter);
        press(f, button);

        QCOMPARE(loadSampFreq(), expectedRate);
        QCOMPARE(DISPLAY_BUFFER_BYTES, expectedBytes);
        QCOMPARE(SimControl::sent().displayHz, expectedRate);
        if (button != Press::Cancel) {
            QCOMPARE(SimControl::callCount("setDisplayFreq"), 1);
            QCOMPARE(int(SimControl::sent().displayFilter), int(filter));
        } else {
            QCOMPARE(SimControl::callCount("setDisplayFreq"), 0);
        }
        QCOMPARE(dialog.isVisible(), visibleAfter);
        QCOMPARE(Prompts::shown().size(), warned ? 1 : 0);
        if (warned) {
            QCOMPARE(Prompts::shown().first().kind, Prompts::Kind::Warning);
            QCOMPARE(Prompts::shown().first().title, QString("Invalid display frequency"));
            QVERIFY(Prompts::shown().first().text.contains("1000 Hz"));
            // The box goes back to the rate in force.
            QCOMPARE(f.freq->value(), 1000.0);
        }
    }

    void nextTickReadsTheChosenRecords()
    {
        WindowDisplaySettings dialog;
        dialog.showWindow();
        const Fields f = fieldsOf(dialog);
        f.buffer->setCurrentText("1024");
        press(f, Press::Apply);
        SimControl::step(2.0);
        QSignalSpy replots(UPDATER, &Updater::replotGraphs);
        UPDATER->updateGraphs();
        QCOMPARE(replots.count(), 1);
        QVERIFY(Prompts::shown().isEmpty());
        QCOMPARE(SimControl::callCount("getBuffer"), 1);
    }

    void newRateReachesTheStreamAndTheTimeAxis()
    {
        // A 50 Hz sine on output 1 marks true time in the stream.
        SimControl::setDisturbances(false);
        float amplitude[4] = {1.0f, 0.0f, 0.0f, 0.0f};
        float offset[4] = {5.0f, 5.0f, 5.0f, 5.0f};
        const double sineHz = 50.0;
        QCOMPARE(::funcGenConfig(amplitude, offset, float(sineHz)), 0);
        QCOMPARE(::funcGenEnable(1), 0);
        GraphData output1 = GraphData::create();
        UPDATER->setGraphData(Updater::KindOutputVoltage, 0, output1);
        // The display tick counts the records taken since the change on the simulator's time.
        m_program->link->setClock(m_clock);

        WindowDisplaySettings dialog;
        dialog.showWindow();
        const Fields f = fieldsOf(dialog);
        f.freq->setValue(2000);
        f.filter->setChecked(true);
        press(f, Press::Apply);
        QCOMPARE(loadSampFreq(), 2000);
        QCOMPARE(SimControl::sent().displayHz, 2000);
        QCOMPARE(int(SimControl::sent().displayFilter), 1);

        // Long enough that the whole read was streamed at the new rate.
        const int records = DISPLAY_BUFFER_BYTES / int(sizeof(DisplayRecord));
        SimControl::step(double(records) / 2000.0 + 1.0);
        UPDATER->updateGraphs();
        QCOMPARE(output1->size(), records);
        QCOMPARE(output1->constBegin()->key, 0.0);
        QCOMPARE((output1->constEnd() - 1)->key, double(records - 1) / 2000.0);

        // Upward crossings of the offset, on the graph's own time axis.
        QList<double> crossings;
        for (auto it = output1->constBegin() + 1; it != output1->constEnd(); ++it) {
            const double before = (it - 1)->value - offset[0];
            const double after = it->value - offset[0];
            if (before < 0.0 && after >= 0.0)
                crossings << (it - 1)->key + (it->key - (it - 1)->key) * (-before / (after - before));
        }
        QVERIFY(crossings.size() > 100);
        const double period = (crossings.last() - crossings.first()) / double(crossings.size() - 1);
        QVERIFY2(qAbs(period * sineHz - 1.0) < 1e-3, qPrintable(QString::number(period)));
    }

    void failingSetDisplayFreqKeepsTheRate_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<bool>("filter");
        QTest::addColumn<QString>("named");
        QTest::newRow("new rate refused by the controller") << 4000 << false << "4000 Hz with the filter off";
        QTest::newRow("same rate, filter refused: still told") << 1000 << true << "1000 Hz with the filter on";
    }

    void failingSetDisplayFreqKeepsTheRate()
    {
        QFETCH(int, rate);
        QFETCH(bool, filter);
        QFETCH(QString, named);
        SimControl::failCall("setDisplayFreq");
        WindowDisplaySettings dialog;
        dialog.showWindow();
        const Fields f = fieldsOf(dialog);
        f.freq->setValue(rate);
        f.filter->setChecked(filter);
        f.buffer->setCurrentText("8192");
        press(f, Press::Apply);

        QCOMPARE(loadSampFreq(), 1000);
        QCOMPARE(SimControl::sent().displayHz, 1000);
        QCOMPARE(int(SimControl::sent().displayFilter), 0);
        // The read size is the program's own and is applied all the same.
        QCOMPARE(DISPLAY_BUFFER_BYTES, 2097152);
        QCOMPARE(f.freq->value(), 1000.0);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().first().kind, Prompts::Kind::Warning);
        QCOMPARE(Prompts::shown().first().title, QString("Display frequency not set"));
        QVERIFY2(Prompts::shown().first().text.contains(named), qPrintable(Prompts::shown().first().text));
        QVERIFY(Prompts::shown().first().text.contains("stays at 1000 Hz"));
    }

    void pauseActsAtOnceAndSurvivesCancel()
    {
        WindowDisplaySettings dialog;
        dialog.showWindow();
        Fields f = fieldsOf(dialog);
        WidgetClicks::clickCheckBox(f.pause);
        QVERIFY(UPDATER->paused());
        press(f, Press::Cancel);
        QVERIFY(UPDATER->paused());

        // A paused tick redraws nothing.
        SimControl::step(1.0);
        QSignalSpy replots(UPDATER, &Updater::replotGraphs);
        UPDATER->updateGraphs();
        QCOMPARE(replots.count(), 0);
        QCOMPARE(SimControl::callCount("getBuffer"), 0);

        dialog.showWindow();
        QVERIFY(f.pause->isChecked());
        WidgetClicks::clickCheckBox(f.pause);
        QVERIFY(!UPDATER->paused());
        UPDATER->updateGraphs();
        QCOMPARE(replots.count(), 1);
    }

    void reopeningFollowsTheGlobals()
    {
        WindowDisplaySettings dialog;
        dialog.showWindow();
        const Fields f = fieldsOf(dialog);
        f.freq->setValue(7000);
        f.buffer->setCurrentText("1024");
        press(f, Press::Cancel);

        // Changed elsewhere meanwhile.
        DISPLAY_BUFFER_BYTES = 2048 * int(sizeof(DisplayRecord));
        UPDATER->setPaused(true);
        dialog.showWindow();
        QCOMPARE(f.freq->value(), 1000.0);
        QCOMPARE(f.buffer->currentText(), QString("2048"));
        QVERIFY(f.pause->isChecked());
    }

    void openingShowsTheControllersRate_data()
    {
        QTest::addColumn<int>("controllerHz");
        QTest::addColumn<int>("sampFreq");
        QTest::addColumn<bool>("readFails");
        QTest::addColumn<int>("typed");  // 0: the box is left as shown
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("sent");
        QTest::newRow("rate changed at the controller behind its back") << 5000 << 1000 << false << 0 << 5000 << 5000;
        QTest::newRow("SAMP_FREQ changed alone") << 1000 << 2000 << false << 0 << 1000 << 1000;
        QTest::newRow("the controller's rate cannot be read: SAMP_FREQ")
            << 5000 << 2000 << true << 0 << 2000 << 2000;
        QTest::newRow("a held rate above the box's range is kept") << 50000 << 1000 << false << 0 << 20000 << 50000;
        QTest::newRow("a typed rate is sent") << 50000 << 1000 << false << 3000 << 20000 << 3000;
    }

    void openingShowsTheControllersRate()
    {
        QFETCH(int, controllerHz);
        QFETCH(int, sampFreq);
        QFETCH(bool, readFails);
        QFETCH(int, typed);
        QFETCH(int, shown);
        QFETCH(int, sent);
        WindowDisplaySettings dialog;
        // Behind the dialog's back, after it was built.
        QCOMPARE(::setDisplayFreq(controllerHz, 0), 0);
        storeSampFreq(sampFreq);
        if (readFails)
            SimControl::failCall("getDisplayFreq");
        dialog.showWindow();
        const Fields f = fieldsOf(dialog);
        QCOMPARE(f.freq->value(), double(shown));

        if (typed) {
            f.freq->selectAll();
            QTest::keyClicks(f.freq, QString::number(typed));
        }
        const int callsBefore = SimControl::callCount("setDisplayFreq");
        press(f, Press::Ok);
        // Ok sends only a rate the operator chose or the one the controller held.
        QCOMPARE(SimControl::callCount("setDisplayFreq"), callsBefore + 1);
        QCOMPARE(SimControl::sent().displayHz, sent);
        QCOMPARE(loadSampFreq(), sent);
        QVERIFY(Prompts::shown().isEmpty());
    }

    void filterBoxKeepsItsStateAcrossCancel()
    {
        QCOMPARE(::setDisplayFreq(1000, 1), 0);
        WindowDisplaySettings dialog;
        dialog.showWindow();
        Fields f = fieldsOf(dialog);
        QVERIFY(f.filter->isChecked());
        f.filter->setChecked(false);
        press(f, Press::Cancel);
        QCOMPARE(int(SimControl::sent().displayFilter), 1);

        dialog.showWindow();
        QVERIFY(!f.filter->isChecked());
        f.freq->setValue(1500);
        press(f, Press::Apply);
        QCOMPARE(int(SimControl::sent().displayFilter), 0);
        QCOMPARE(SimControl::sent().displayHz, 1500);
    }

    void typedFractionsCannotBeEntered()
    {
        WindowDisplaySettings dialog;
        dialog.showWindow();
        const Fields f = fieldsOf(dialog);
        f.freq->selectAll();
        // The box takes "25." as 25 and refuses every digit after the point.
        QTest::keyClicks(f.freq, "25.7");
        press(f, Press::Apply);
        QCOMPARE(loadSampFreq(), 25);
        QCOMPARE(SimControl::sent().displayHz, 25);
        QCOMPARE(f.freq->value(), 25.0);
    }

    // A sweep or step test holds the outputs and the display rate it set: the
    // rate and filter stay as the tool set them; the read size is the program's own.
    void refusedWhileAToolHoldsTheOutputs_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("change");
        QTest::addColumn<Press>("button");
        QTest::addColumn<bool>("told");
        QTest::newRow("sweep, a new rate, Apply") << "Frequency Analysis Tool" << "rate" << Press::Apply << true;
        QTest::newRow("sweep, a new rate, Ok") << "Frequency Analysis Tool" << "rate" << Press::Ok << true;
        QTest::newRow("step test, the filter") << "Step Response" << "filter" << Press::Apply << true;
        QTest::newRow("step test, only the read size: nothing to refuse aloud")
            << "Step Response" << "buffer" << Press::Apply << false;
        QTest::newRow("manual control, a new rate") << "Manual Output Control" << "rate" << Press::Apply << true;
    }

    void refusedWhileAToolHoldsTheOutputs()
    {
        QFETCH(QString, tool);
        QFETCH(QString, change);
        QFETCH(Press, button);
        QFETCH(bool, told);
        WindowDisplaySettings dialog(nullptr, &m_program->outputs);
        // The rate the tool set, as it sets it.
        storeSampFreq(10000);
        QVERIFY(m_program->link->setDisplayFreq(0) >= 0);
        auto lease = m_program->outputs.take(tool);
        dialog.showWindow();
        const Fields f = fieldsOf(dialog);
        QCOMPARE(f.freq->value(), 10000.0);
        QLabel* readNote = dialog.findChild<QLabel*>("readNote");
        QVERIFY(readNote->isVisibleTo(&dialog));
        QVERIFY(readNote->text().contains(tool + " holds the outputs"));
        const int setsBefore = SimControl::callCount("setDisplayFreq");
        if (change == "rate")
            WidgetClicks::typeInto(f.freq, "2000");
        else if (change == "filter")
            WidgetClicks::clickCheckBox(f.filter);
        f.buffer->setCurrentText("2048");
        press(f, button);

        QCOMPARE(SimControl::callCount("setDisplayFreq"), setsBefore);
        QCOMPARE(SimControl::sent().displayHz, 10000);
        QCOMPARE(int(SimControl::sent().displayFilter), 0);
        QCOMPARE(loadSampFreq(), 10000);
        QCOMPARE(f.freq->value(), 10000.0);
        QCOMPARE(DISPLAY_BUFFER_BYTES, 2048 * 256);
        QCOMPARE(Prompts::shown().size(), told ? 1 : 0);
        if (told) {
            QCOMPARE(Prompts::shown().first().kind, Prompts::Kind::Warning);
            QCOMPARE(Prompts::shown().first().title, QString("Display frequency not changed"));
            QVERIFY(Prompts::shown().first().text.contains(tool));
            QVERIFY(Prompts::shown().first().text.contains("stays at 10000 Hz"));
        }

        // Once the tool has ended the operator's choice goes through.
        lease.reset();
        QVERIFY(readNote->isHidden());
        Prompts::clear();
        dialog.showWindow();
        WidgetClicks::typeInto(f.freq, "2000");
        press(f, Press::Apply);
        QCOMPARE(SimControl::sent().displayHz, 2000);
        QCOMPARE(loadSampFreq(), 2000);
        QVERIFY(Prompts::shown().isEmpty());
    }

    // A filter flag that could not be read is never sent as "off".
    void unreadFilterIsNotSent()
    {
        QCOMPARE(::setDisplayFreq(1000, 1), 0);
        const int setsBefore = SimControl::callCount("setDisplayFreq");
        SimControl::failCall("getDisplayFreq");
        WindowDisplaySettings dialog;
        dialog.showWindow();
        const Fields f = fieldsOf(dialog);
        QLabel* readNote = dialog.findChild<QLabel*>("readNote");
        QCOMPARE(f.filter->checkState(), Qt::PartiallyChecked);
        QVERIFY(readNote->isVisibleTo(&dialog));
        QVERIFY(readNote->text().contains("display rate could not be read"));
        QVERIFY(readNote->text().contains("filter setting could not be read"));

        WidgetClicks::typeInto(f.freq, "3000");
        press(f, Press::Apply);
        QCOMPARE(SimControl::callCount("setDisplayFreq"), setsBefore);
        QCOMPARE(loadSampFreq(), 1000);
        QCOMPARE(Prompts::shown().size(), 1);
        QVERIFY(Prompts::shown().first().text.contains("filter setting could not be read"));

        // The read answers again at the next opening: the box shows the controller's flag.
        SimControl::clearFailure("getDisplayFreq");
        Prompts::clear();
        dialog.showWindow();
        QCOMPARE(f.filter->checkState(), Qt::Checked);
        QVERIFY(readNote->isHidden());
        WidgetClicks::typeInto(f.freq, "3000");
        press(f, Press::Apply);
        QCOMPARE(SimControl::sent().displayHz, 3000);
        QCOMPARE(int(SimControl::sent().displayFilter), 1);

        // Or the operator says which: from then on a plain on/off box.
        SimControl::failCall("getDisplayFreq");
        WindowDisplaySettings second;
        second.showWindow();
        const Fields g = fieldsOf(second);
        QCOMPARE(g.filter->checkState(), Qt::PartiallyChecked);
        WidgetClicks::clickCheckBox(g.filter);
        QVERIFY(!g.filter->isTristate());
        WidgetClicks::typeInto(g.freq, "4000");
        press(g, Press::Apply);
        QCOMPARE(SimControl::sent().displayHz, 4000);
        QCOMPARE(int(SimControl::sent().displayFilter), int(g.filter->isChecked()));
    }

    void mainWindowOpensOneDialog()
    {
        m_program.emplace(ProgramFixture::Options().withUpdater().withSwVersion("1.0.10"));
        // The window takes the controller's rate while it is built.
        QCOMPARE(::setDisplayFreq(5000, 0), 0);
        {
            MainWindow window;
            const QList<WindowDisplaySettings*> dialogs = window.findChildren<WindowDisplaySettings*>();
            QCOMPARE(dialogs.size(), 1);
            QVERIFY(!dialogs.first()->isVisible());
            QAction* entry = window.findChild<QAction*>("action_Display_Settings");
            entry->trigger();
            QVERIFY(dialogs.first()->isVisible());
            const Fields f = fieldsOf(*dialogs.first());
            QCOMPARE(f.freq->value(), 5000.0);
            QCOMPARE(f.buffer->currentText(), QString("14336"));
            dialogs.first()->hide();
            entry->trigger();
            QCOMPARE(window.findChildren<WindowDisplaySettings*>().size(), 1);
            QVERIFY(dialogs.first()->isVisible());
        }
    }

private:
    SteppedMeasurementClock m_clock;
    std::optional<ProgramFixture> m_program;
};

QTEST_MAIN(TestWindowDisplaySettings)
#include "tst_windowdisplaysettings.moc"
