// The display settings dialog against the simulated controller: what reaches
// the sample rate, the read size, the hardware and the display's pause flag.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "ConfigSettings.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "MainWindow.h"
#include "Prompts.h"
#include "SimControl.h"
#include "Updater.h"
#include "VornLibrary.h"
#include "WindowDisplaySettings.h"

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
    void initTestCase()
    {
        SimControl::useSteppedClock();
        Prompts::setTestMode(true);
    }

    void init()
    {
        SimControl::reset();
        Prompts::clear();
        SAMP_FREQ = 1000;
        DISPLAY_BUFFER_BYTES = 3670016;
        m_updater = std::make_unique<Updater>();
        m_mailbox = std::make_unique<MailboxComm>();
        UPDATER = m_updater.get();
        MAILBOX_COMM = m_mailbox.get();
    }

    void cleanup()
    {
        UPDATER = nullptr;
        MAILBOX_COMM = nullptr;
        m_mailbox.reset();
        m_updater.reset();
        SAMP_FREQ = 1000;
        DISPLAY_BUFFER_BYTES = 3670016;
    }

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
        SAMP_FREQ = rate;
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
        QTest::addColumn<bool>("checked");
        QTest::newRow("filter off") << 0 << false << false;
        QTest::newRow("filter on") << 1 << false << true;
        QTest::newRow("read fails: unticked") << 1 << true << false;
    }

    void filterFlagReadBackAtConstruction()
    {
        QFETCH(int, hardwareFilter);
        QFETCH(bool, failing);
        QFETCH(bool, checked);
        QCOMPARE(::setDisplayFreq(1000, uint8_t(hardwareFilter)), 0);
        if (failing)
            SimControl::failCall("getDisplayFreq");
        WindowDisplaySettings dialog;
        QCOMPARE(fieldsOf(dialog).filter->isChecked(), checked);
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

        QCOMPARE(SAMP_FREQ, expectedRate);
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

    void failingSetDisplayFreqKeepsTheRate_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<bool>("warned");
        QTest::newRow("new rate refused by the controller") << 4000 << true;
        QTest::newRow("same rate: nothing to take back") << 1000 << false;
    }

    void failingSetDisplayFreqKeepsTheRate()
    {
        QFETCH(int, rate);
        QFETCH(bool, warned);
        SimControl::failCall("setDisplayFreq");
        WindowDisplaySettings dialog;
        dialog.showWindow();
        const Fields f = fieldsOf(dialog);
        f.freq->setValue(rate);
        f.buffer->setCurrentText("8192");
        press(f, Press::Apply);

        QCOMPARE(SAMP_FREQ, 1000);
        QCOMPARE(SimControl::sent().displayHz, 1000);
        QCOMPARE(DISPLAY_BUFFER_BYTES, 2097152);
        QCOMPARE(f.freq->value(), 1000.0);
        QCOMPARE(Prompts::shown().size(), warned ? 1 : 0);
        if (warned) {
            QCOMPARE(Prompts::shown().first().title, QString("Display frequency not set"));
            QVERIFY(Prompts::shown().first().text.contains("4000 Hz"));
        }
    }

    void pauseActsAtOnceAndSurvivesCancel()
    {
        WindowDisplaySettings dialog;
        dialog.showWindow();
        Fields f = fieldsOf(dialog);
        QTest::mouseClick(f.pause, Qt::LeftButton);
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
        QTest::mouseClick(f.pause, Qt::LeftButton);
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

        // Changed elsewhere meanwhile, as the step-response test does.
        SAMP_FREQ = 2000;
        UPDATER->setPaused(true);
        dialog.showWindow();
        QCOMPARE(f.freq->value(), 2000.0);
        QCOMPARE(f.buffer->currentText(), QString("14336"));
        QVERIFY(f.pause->isChecked());
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
        QTest::keyClicks(f.freq, "25.7");
        press(f, Press::Apply);
        QCOMPARE(SAMP_FREQ, 257);
    }

    void mainWindowOpensOneDialog()
    {
        QTemporaryDir dir(qEnvironmentVariable("VORN_TEST_TMP", QDir::tempPath()) + "/dispsettings-XXXXXX");
        QVERIFY(dir.isValid());
        ConfigSettings config(dir.filePath("config.ini"));
        CONFIG_SETTINGS = &config;
        SW_VERSION = "1.0.10";
        {
            MainWindow window;
            const QList<WindowDisplaySettings*> dialogs = window.findChildren<WindowDisplaySettings*>();
            QCOMPARE(dialogs.size(), 1);
            QVERIFY(!dialogs.first()->isVisible());
            QAction* entry = window.findChild<QAction*>("action_Display_Settings");
            entry->trigger();
            QVERIFY(dialogs.first()->isVisible());
            dialogs.first()->hide();
            entry->trigger();
            QCOMPARE(window.findChildren<WindowDisplaySettings*>().size(), 1);
            QVERIFY(dialogs.first()->isVisible());
        }
        CONFIG_SETTINGS = nullptr;
        SW_VERSION.clear();
    }

private:
    std::unique_ptr<Updater> m_updater;
    std::unique_ptr<MailboxComm> m_mailbox;
};

QTEST_MAIN(TestWindowDisplaySettings)
#include "tst_windowdisplaysettings.moc"
