// The picoammeter dialog against the simulated picoammeters: the currents it
// shows are the electrode currents of the beam as the plant places it, channel
// by channel; the range clips them; presence hides a picoammeter.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <optional>

#include "DeviceIo.h"
#include "Globals.h"
#include "PlantConstants.h"
#include "SimControl.h"
#include "Updater.h"
#include "VornLibrary.h"
#include "WidgetPico.h"
#include "WindowPico.h"
#include "support/OutputDevice.h"
#include "support/ProgramFixture.h"

namespace {

WidgetPico* panel(const WindowPico& dialog, int device)
{
    return dialog.findChild<WidgetPico*>(QString("widgetPico%1").arg(device));
}

QLabel* label(const WindowPico& dialog, int device)
{
    return dialog.findChild<QLabel*>(QString("label_zentrim%1").arg(device));
}

QList<double> shownCurrents(const WindowPico& dialog, int device)
{
    QList<double> values;
    for (int ch = 1; ch <= 4; ++ch)
        values << panel(dialog, device)->findChild<QLineEdit*>(QString("currentCh%1Line").arg(ch))->text().toDouble();
    return values;
}

// Channel currents of a monitor at 90 degrees with the start channel map
// (top, right, bottom, left on CH1..CH4), from the plant's true beam.
QList<double> trueCurrents(int bpm)
{
    const double x = SimControl::truePosition(bpm, 0) / PlantConstants::BPM_PHYSICAL_SCALE_UM;
    const double y = SimControl::truePosition(bpm, 1) / PlantConstants::BPM_PHYSICAL_SCALE_UM;
    const double quarter = SimControl::trueIntensity(bpm) / 4.0;
    // Electrode currents (top, right, bottom, left) by the monitor's real orientation,
    // then onto the channels they are cabled to.
    const bool axes = PlantConstants::WIRED_ORIENT[bpm] == 1;
    const double electrode[4] = {
        axes ? quarter * (1.0 + y) : quarter * (1.0 - x + y),
        axes ? quarter * (1.0 + x) : quarter * (1.0 + x + y),
        axes ? quarter * (1.0 - y) : quarter * (1.0 + x - y),
        axes ? quarter * (1.0 - x) : quarter * (1.0 - x - y),
    };
    QList<double> channel(4, 0.0);
    for (int e = 0; e < 4; ++e)
        channel[PlantConstants::WIRED_CHANNEL[bpm][e]] += electrode[e];
    return channel;
}

void setRange(const WindowPico& dialog, int device, int range)
{
    panel(dialog, device)->findChild<QComboBox*>("rangeBox")->setCurrentIndex(range);
    QTest::mouseClick(panel(dialog, device)->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
}

}  // namespace

class TestWindowPico : public QObject
{
    Q_OBJECT

private:
    std::optional<ProgramFixture> m_program;

private slots:
    void init() { m_program.emplace(ProgramFixture::Options().noConfig().withUpdater().quietBeam()); }

    void cleanup() { m_program.reset(); }

    void formAsBuilt()
    {
        WindowPico dialog;
        QCOMPARE(dialog.objectName(), QString("WindowPico"));
        QCOMPARE(dialog.windowTitle(), QString("PicoAmperMeter"));
        QCOMPARE(label(dialog, 0)->text(), QString("Zentrim 1"));
        QCOMPARE(label(dialog, 1)->text(), QString("Zentrim 2"));
        QCOMPARE(panel(dialog, 0)->deviceNumber(), 0);
        QCOMPARE(panel(dialog, 1)->deviceNumber(), 1);
        auto* buttons = dialog.findChild<QDialogButtonBox*>("buttonBox");
        QCOMPARE(buttons->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);

        // Refreshed every 970 ms from construction on, shown or not.
        const QList<QTimer*> timers = dialog.findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(timers.size(), 1);
        QCOMPARE(timers[0]->interval(), 970);
        QVERIFY(timers[0]->isActive());
    }

    void okAndCancelOnlyClose_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("Ok") << int(QDialogButtonBox::Ok);
        QTest::newRow("Cancel") << int(QDialogButtonBox::Cancel);
    }

    void okAndCancelOnlyClose()
    {
        QFETCH(int, button);
        WindowPico dialog;
        dialog.show();
        QTest::mouseClick(dialog.findChild<QDialogButtonBox*>("buttonBox")
                              ->button(QDialogButtonBox::StandardButton(button)),
                          Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(SimControl::callCount("zentrimSetRange"), 0);
    }

    void fieldsAreTheChannelsInOrder_data()
    {
        QTest::addColumn<int>("device");
        QTest::newRow("picoammeter of BPM1") << 0;
        QTest::newRow("picoammeter of BPM2") << 1;
    }

    void fieldsAreTheChannelsInOrder()
    {
        QFETCH(int, device);

        // Off centre in both axes, so that the four channels differ.
        QCOMPARE(::setOutputMux(0), 0);
        QVERIFY(OutputDevice::write(5.3, 4.8, 0.0, 0.0));
        SimControl::step(1.0);

        WindowPico dialog;
        m_program->tickReadout(dialog);

        const QList<double> expected = trueCurrents(device);
        const QList<double> shown = shownCurrents(dialog, device);
        // The start range picks 1 mA full scale here; its converter step, and the
        // five digits after the point of the texts, bound the difference.
        const double step = PlantConstants::RANGE_FULL_SCALE_A[1] / PlantConstants::ADC_COUNTS_PER_FULL_SCALE;
        for (int c = 0; c < 4; ++c)
            QVERIFY2(qAbs(shown[c] - expected[c]) <= step + 1e-5 * qAbs(expected[c]),
                     qPrintable(QString("CH%1: %2 against %3").arg(c + 1).arg(shown[c]).arg(expected[c])));
        // Distinct, so that a swapped channel would show.
        for (int a = 0; a < 4; ++a)
            for (int b = a + 1; b < 4; ++b)
                QVERIFY(qAbs(expected[a] - expected[b]) > 10 * step);
    }

    void rangeZeroClipsTheCentredBeam()
    {
        using namespace PlantConstants;
        WindowPico dialog;
        // The start outputs centre the beam: a quarter of the peak on each channel.
        QVERIFY(trueCurrents(0)[0] > RANGE_FULL_SCALE_A[0]);

        setRange(dialog, 0, 0);
        QCOMPARE(SimControl::sent().zentrimRange[0], 0);
        m_program->tickReadout(dialog);
        QCOMPARE(shownCurrents(dialog, 0), QList<double>(4, RANGE_FULL_SCALE_A[0]));

        setRange(dialog, 0, 1);
        m_program->tickReadout(dialog);
        const QList<double> shown = shownCurrents(dialog, 0);
        const QList<double> expected = trueCurrents(0);
        for (int c = 0; c < 4; ++c)
            QVERIFY(qAbs(shown[c] - expected[c]) <= 1e-4 * expected[c]);
        // BPM2's picoammeter was not touched: still unclipped.
        QVERIFY(shownCurrents(dialog, 1)[0] > RANGE_FULL_SCALE_A[0]);
    }

    void presenceShowsAndHides_data()
    {
        QTest::addColumn<bool>("present0");
        QTest::addColumn<bool>("present1");

        QTest::newRow("both") << true << true;
        QTest::newRow("BPM1 only") << true << false;
        QTest::newRow("BPM2 only") << false << true;
        QTest::newRow("neither") << false << false;
    }

    void presenceShowsAndHides()
    {
        QFETCH(bool, present0);
        QFETCH(bool, present1);

        // At construction...
        SimControl::setZentrimPresent(0, present0);
        SimControl::setZentrimPresent(1, present1);
        {
            WindowPico dialog;
            QCOMPARE(!panel(dialog, 0)->isHidden(), present0);
            QCOMPARE(!label(dialog, 0)->isHidden(), present0);
            QCOMPARE(!panel(dialog, 1)->isHidden(), present1);
            QCOMPARE(!label(dialog, 1)->isHidden(), present1);
        }

        // ...and at a tick after both were there.
        SimControl::setZentrimPresent(0, true);
        SimControl::setZentrimPresent(1, true);
        WindowPico dialog;
        m_program->tickReadout(dialog);
        const QList<double> before = shownCurrents(dialog, 0);
        SimControl::setZentrimPresent(0, present0);
        SimControl::setZentrimPresent(1, present1);
        m_program->tickReadout(dialog);
        QCOMPARE(!panel(dialog, 0)->isHidden(), present0);
        QCOMPARE(!label(dialog, 0)->isHidden(), present0);
        QCOMPARE(!panel(dialog, 1)->isHidden(), present1);
        QCOMPARE(!label(dialog, 1)->isHidden(), present1);
        // A hidden picoammeter keeps what it showed last.
        if (!present0)
            QCOMPARE(shownCurrents(dialog, 0), before);
    }

    // A status block that could not be read is no reading: the fields go
    // empty with a note, never the last block as if it were live.
    void failedReadShowsNoReading_data()
    {
        QTest::addColumn<QString>("fault");

        QTest::newRow("device cannot be opened") << "open";
        QTest::newRow("status request fails") << "ioctl";
    }

    void failedReadShowsNoReading()
    {
        QFETCH(QString, fault);

        WindowPico dialog;
        m_program->tickReadout(dialog);
        QVERIFY(shownCurrents(dialog, 0)[0] > 0.0);
        auto* note = panel(dialog, 0)->findChild<QLabel*>("readingNote");
        QVERIFY(note->isHidden());

        // The beam goes, and so does the reading.
        SimControl::setBeamIntensityFactor(0.0);
        if (fault == "open")
            SimControl::failOpen(DEVICE_ZENTRIM0, EACCES);
        else
            SimControl::failIoctl(DEVICE_ZENTRIM0, EIO);
        SimControl::step(1.0);
        m_program->tickReadout(dialog);
        // Still reported present by the library, so the panel stays.
        QVERIFY(!panel(dialog, 0)->isHidden());
        for (int ch = 1; ch <= 4; ++ch)
            QCOMPARE(panel(dialog, 0)->findChild<QLineEdit*>(QString("currentCh%1Line").arg(ch))->text(), QString());
        QVERIFY(!note->isHidden());
        QVERIFY2(note->text().startsWith("No reading: /dev/vorn_zentrim0"), qPrintable(note->text()));
        // The other picoammeter reads on.
        QVERIFY(panel(dialog, 1)->findChild<QLineEdit*>("currentCh1Line")->text().toDouble() >= 0.0);
        QVERIFY(panel(dialog, 1)->findChild<QLabel*>("readingNote")->isHidden());

        SimControl::clearFailures();
        m_program->tickReadout(dialog);
        QVERIFY(note->isHidden());
        QCOMPARE(shownCurrents(dialog, 0), QList<double>(4, 0.0));
    }

    void beforeTheFirstReadNothingIsShownAsRead()
    {
        WindowPico dialog;
        dialog.refreshFields();
        auto* note = panel(dialog, 0)->findChild<QLabel*>("readingNote");
        QVERIFY(!note->isHidden());
        QCOMPARE(note->text(), QString("No reading: not read yet."));
    }

    void timerRefreshesWhileHidden()
    {
        WindowPico dialog;
        QVERIFY(!dialog.isVisible());
        m_program->updater->updateZentrims();
        // Its own timer fills the fields, without a show.
        QTRY_VERIFY_WITH_TIMEOUT(shownCurrents(dialog, 0)[0] > 0.0, 3000);
        QVERIFY(!dialog.isVisible());
    }
};

QTEST_MAIN(TestWindowPico)
#include "tst_windowpico.moc"
