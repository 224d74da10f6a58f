// The step-response window against the simulated plant: what ends only the
// run and what ends the program, stored settings it cannot use (shown as a
// dash, the run refused until the operator sets them), and steps that move no
// beam, which never give a result.
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <optional>

#include <qcustomplot.h>

#include "DeviceIo.h"
#include "Globals.h"
#include "Prompts.h"
#include "SimControl.h"
#include "VornLibrary.h"
#include "QsLog.h"
#include "UnloadedFields.h"
#include "WindowStepResponse.h"
#include "support/LogCapture.h"
#include "support/ProgramFixture.h"
#include "support/SteppedMeasurementClock.h"

namespace {

// Counts the application's quit requests.
class QuitWatch : public QObject
{
public:
    QuitWatch() { QCoreApplication::instance()->installEventFilter(this); }
    ~QuitWatch() override { QCoreApplication::instance()->removeEventFilter(this); }
    int requests = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
            ++requests;
            return true;  // the test's event loop ends on its own
        }
        return false;
    }
};

QString dash()
{
    return QString::fromUtf8(UnloadedFields::DASH);
}

}  // namespace

class TestWindowStepResponseRefusals : public QObject
{
    Q_OBJECT

private:
    // The window on the stepped clock, the PID offsets at 5 V (X, Y) and 0 V (I0).
    struct Bench
    {
        explicit Bench(bool disturbances = true)
            : setup(ProgramFixture::Options().withDisturbances(disturbances).atUserLevel(USER_LEVEL_USER).refreshed())
            , window(setup.outputs, clock)
        {
            setup.setPidOffset(0, 5.0);
            setup.setPidOffset(1, 5.0);
            setup.setPidOffset(2, 0.0);
        }
        // A key of the configuration file as the operator's editor left it.
        void store(const QString& key, const QString& text) const
        {
            QSettings settings(setup.configPath(), QSettings::IniFormat);
            settings.setValue(key, text);
        }
        template <typename T> T* child(const char* name) const { return window.findChild<T*>(name); }
        QDoubleSpinBox* bias(int loop) const
        {
            const char* names[3] = {"posXbiasDoubleSpinBox", "posYbiasDoubleSpinBox", "i0biasDoubleSpinBox"};
            return child<QDoubleSpinBox>(names[loop]);
        }
        void run() const { window.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Apply)->click(); }
        QString remark() const { return child<QLabel>("invertedLabel")->text(); }
        bool showsFigures() const
        {
            for (const char* name : {"dclabel", "dulabel", "Klabel", "Tdeadlabel", "Tsetlabel"})
                if (!child<QLabel>(name)->text().isEmpty())
                    return true;
            return !child<QCustomPlot>("graph")->graph(1)->data()->isEmpty();
        }
        // Whether anything of a run reached the controller.
        bool reachedTheController() const
        {
            return SimControl::callCount("setDisplayFreq") > 0 || SimControl::callCount("setOutputMux") > 0 ||
                   SimControl::sent().dacWrites > 0;
        }

        ProgramFixture setup;
        SteppedMeasurementClock clock;
        WindowStepResponse window;
    };

private slots:
    void initTestCase() { LogCapture::install(); }
    void init() { LogCapture::clear(); }

    // A feedback that does not go off would fight the step: the run ends before anything is written.
    void feedbackThatStaysOnEndsTheRun_data()
    {
        QTest::addColumn<int>("result");  // what the failing setFBenable returns
        QTest::addColumn<QString>("message");
        QTest::newRow("setFBenable(0) fails") << -1 << "setFBenable(0) failed";
        QTest::newRow("setFBenable(0) answers but the loop stays on") << 0 << "still reports the feedback on";
    }

    void feedbackThatStaysOnEndsTheRun()
    {
        QFETCH(int, result);
        QFETCH(QString, message);
        Bench bench;
        bench.window.showWindow();
        QVERIFY(setFBenable(1) >= 0);
        SimControl::step(1.0);
        bench.setup.link->refreshData();
        QCOMPARE(bench.setup.link->pidStatus(), PID_STATUS_ON);
        Prompts::clear();
        SimControl::failCall("setFBenable", result);
        bench.run();

        QVERIFY(!bench.showsFigures());
        QVERIFY2(bench.remark().contains(message), qPrintable(bench.remark()));
        QCOMPARE(Prompts::shown().size(), 1);
        QVERIFY2(Prompts::shown().at(0).text.contains(message), qPrintable(Prompts::shown().at(0).text));
        QVERIFY(!bench.reachedTheController());
        QCOMPARE(SimControl::sent().fbEnable, uint8_t(1));
        QVERIFY(!bench.setup.outputs.isHeld());
        SimControl::clearFailures();
    }

    // Only a display device that cannot be opened ends the program; a read
    // that delivers less ends the run with its own message.
    void displayFailures_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("quits");
        QTest::newRow("a record and a little short") << "short" << "returned 3669752 of 3670016 bytes" << false;
        QTest::newRow("nothing read") << "empty" << "returned 0 of 3670016 bytes" << false;
        QTest::newRow("half the block") << "half" << "returned 1835008 of 3670016 bytes" << false;
        QTest::newRow("the device cannot be opened") << "open" << "/dev/vorn_dma_displ could not be opened" << true;
    }

    void displayFailures()
    {
        QFETCH(QString, failure);
        QFETCH(QString, message);
        QFETCH(bool, quits);
        Bench bench;
        bench.window.showWindow();
        const size_t block = size_t(WindowStepResponse::READ_RECORDS) * sizeof(DisplayRecord);
        if (failure == "short")
            SimControl::shortRead(DEVICE_DISPLAY, sizeof(DisplayRecord) + 8);
        else if (failure == "empty")
            SimControl::shortRead(DEVICE_DISPLAY, block);
        else if (failure == "half")
            SimControl::shortRead(DEVICE_DISPLAY, block / 2);
        else
            SimControl::failOpen(DEVICE_DISPLAY);

        // In the event loop, where a quit would take effect.
        QuitWatch quit;
        QTimer::singleShot(0, &bench.window, [&bench] {
            bench.run();
            QCoreApplication::exit(0);
        });
        QCoreApplication::exec();

        QCOMPARE(quit.requests, quits ? 1 : 0);
        QVERIFY(!bench.showsFigures());
        QVERIFY2(bench.remark().contains(message), qPrintable(bench.remark()));
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        if (quits) {
            QCOMPARE(shown[0].kind, Prompts::Kind::Critical);
            QCOMPARE(shown[0].title, QString("Cannot open file"));
        } else {
            // Told as what it is, not as a device that is missing.
            QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
            QCOMPARE(shown[0].title, QString("Step Response"));
            QVERIFY2(shown[0].text.contains("could not be read in full") && shown[0].text.contains(message),
                     qPrintable(shown[0].text));
            QVERIFY(!shown[0].text.contains("Application will now quit"));
        }
        // The run was handed back either way.
        QCOMPARE(int(SimControl::sent().outputMux), 1);
        QVERIFY(!bench.setup.outputs.isHeld());
    }

    // A stored offset the window cannot use: a dash in its bias box, never the
    // store's stand-in or the box's clamp of it, and no run until the operator
    // sets the bias.
    void unusableStoredOffset_data()
    {
        QTest::addColumn<int>("loop");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("X offset that is text") << 0 << "five" << "X loop (PID_X)";
        QTest::newRow("X offset not a number") << 0 << "nan" << "X loop (PID_X)";
        QTest::newRow("X offset of 99 V") << 0 << "99" << "X loop (PID_X)";
        QTest::newRow("Y offset of -20 V while X is stepped") << 1 << "-20" << "Y loop (PID_Y)";
        QTest::newRow("I0 offset of 12.5 V") << 2 << "12.5" << "I0 loop (PID_I0)";
        QTest::newRow("I0 offset infinite") << 2 << "inf" << "I0 loop (PID_I0)";
    }

    void unusableStoredOffset()
    {
        QFETCH(int, loop);
        QFETCH(QString, stored);
        QFETCH(QString, refusal);
        Bench bench;
        const char* groups[3] = {"PID_X", "PID_Y", "PID_I0"};
        bench.store(QStringLiteral("%1/Offset").arg(groups[loop]), stored);
        bench.window.showWindow();

        QCOMPARE(bench.bias(loop)->text(), dash());
        for (int other = 0; other < 3; ++other)
            if (other != loop)
                QVERIFY(bench.bias(other)->text() != dash());
        QTRY_VERIFY2(LogCapture::messagesAt(QsLogging::Warn).join('|').contains(QString("%1/Offset").arg(groups[loop])),
                     qPrintable(LogCapture::messagesAt(QsLogging::Warn).join('|')));

        bench.run();
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QVERIFY2(shown[0].text.contains(refusal), qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains("Set its bias in this window"), qPrintable(shown[0].text));
        QVERIFY(!bench.reachedTheController());
        QVERIFY(!bench.showsFigures());
        QCOMPARE(bench.bias(loop)->text(), dash());

        // Opened again, the file still holds it: still a dash.
        bench.window.showWindow();
        QCOMPARE(bench.bias(loop)->text(), dash());

        // The operator sets the bias: the run goes ahead with it.
        Prompts::clear();
        QDoubleSpinBox* box = bench.bias(loop);
        box->clear();
        QTest::keyClicks(box, loop == 2 ? "0" : "5");
        QTest::keyClick(box, Qt::Key_Enter);
        QVERIFY(box->text() != dash());
        bench.run();
        QVERIFY2(Prompts::shown().isEmpty(), qPrintable(Prompts::shown().isEmpty() ? "" : Prompts::shown()[0].text));
        QCOMPARE(SimControl::sent().dacWrites, 3);
        QCOMPARE(SimControl::sent().lastDacWrite.ch1, 5.0);
    }

    void usableStoredOffsetsShowTheirValues()
    {
        Bench bench;
        bench.store("PID_X/Offset", "-11.5");
        bench.store("PID_Y/Offset", "12");
        bench.window.showWindow();
        QCOMPARE(bench.bias(0)->value(), -11.5);
        QCOMPARE(bench.bias(1)->value(), 12.0);
        for (int loop = 0; loop < 3; ++loop)
            QVERIFY(bench.bias(loop)->text() != dash());
        // A dash from an earlier opening goes once the file holds a usable value.
        bench.store("PID_X/Offset", "abc");
        bench.window.showWindow();
        QCOMPARE(bench.bias(0)->text(), dash());
        bench.store("PID_X/Offset", "4.25");
        bench.window.showWindow();
        QCOMPARE(bench.bias(0)->value(), 4.25);
        QVERIFY(bench.bias(0)->text() != dash());
    }

    // An output map key that cannot be read, or names a channel the unit does
    // not have, would put a bias on an output nobody chose (or none): refused,
    // naming the key, also for a loop that is not stepped.
    void unusableOutputMap_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::newRow("Y's channel is text") << "Beamline/DAC_posY" << "second";
        QTest::newRow("Y's channel is 7") << "Beamline/DAC_posY" << "7";
        QTest::newRow("I0's channel is -1") << "Beamline/DAC_I0" << "-1";
        QTest::newRow("X's channel is 4") << "Beamline/DAC_posX" << "4";
    }

    void unusableOutputMap()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        Bench bench;
        bench.store(key, stored);
        bench.window.showWindow();
        bench.run();
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QVERIFY2(shown[0].text.contains(key), qPrintable(shown[0].text));
        QVERIFY(!bench.reachedTheController());
        QVERIFY(!bench.showsFigures());
    }

    // Stepping an output that does not move the beam, the plant's disturbances
    // on: whatever the noise does, never a result.
    void stepThatMovesNoBeam_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<quint64>("seed");
        for (quint64 seed = 1; seed <= 6; ++seed) {
            QTest::newRow(qPrintable(QString("X loop on output 4, seed %1").arg(seed))) << "X on 4" << seed;
            QTest::newRow(qPrintable(QString("I0 loop, intensity watched, seed %1").arg(seed))) << "I0" << seed;
        }
        QTest::newRow("X loop on output 4, 1 V step") << "X on 4, 1 V" << quint64(7);
    }

    void stepThatMovesNoBeam()
    {
        QFETCH(QString, setup);
        QFETCH(quint64, seed);
        Bench bench;
        // The beam is steered by outputs 1 and 2 (the X and Y loops' outputs).
        if (setup.startsWith("X on 4"))
            QVERIFY(bench.setup.config->setDACmap(3, 1, 2));
        bench.window.showWindow();
        SimControl::setNoiseSeed(seed);
        SimControl::step(1.0);
        if (setup == "I0")
            bench.child<QRadioButton>("stepInI0button")->click();
        if (setup.endsWith("1 V"))
            bench.child<QDoubleSpinBox>("posXStepDoubleSpinBox")->setValue(1.0);
        bench.run();

        QCOMPARE(SimControl::sent().dacWrites, 3);
        QVERIFY2(!bench.showsFigures(), qPrintable(bench.child<QLabel>("Klabel")->text()));
        QVERIFY2(bench.remark().startsWith("No result:"), qPrintable(bench.remark()));
    }
};

QTEST_MAIN(TestWindowStepResponseRefusals)
#include "tst_windowstepresponse_refusals.moc"
