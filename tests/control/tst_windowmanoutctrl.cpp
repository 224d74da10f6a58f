// The manual output dialog against the simulated output unit: the record each
// change writes, the coupling of each slider with its own box, the multiplexer
// hand-over, and a device that cannot be opened or written.
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QtTest>

#include <algorithm>
#include <optional>

#include "DeviceIo.h"
#include "Globals.h"
#include "PlantConstants.h"
#include "QsLog.h"
#include "SimControl.h"
#include "VornLibrary.h"
#include "WindowManOutCtrl.h"
#include "support/FormChild.h"
#include "support/LogCapture.h"
#include "support/ProgramFixture.h"
#include "support/WidgetClicks.h"

namespace {

using FormChild::child;
using Outputs = QList<double>;  // ch1..ch4

struct Form
{
    explicit Form(const WindowManOutCtrl& dialog)
        : enable(child<QCheckBox>(dialog, "checboxEnableMan"))
        , problem(child<QLabel>(dialog, "deviceProblem"))
    {
        for (int ch = 1; ch <= 4; ++ch) {
            sliders << child<QSlider>(dialog, qPrintable(QString("ch%1slider").arg(ch)));
            boxes << child<QDoubleSpinBox>(dialog, qPrintable(QString("boxCh%1").arg(ch)));
        }
    }

    QList<int> sliderValues() const
    {
        QList<int> v;
        for (QSlider* s : sliders)
            v << s->value();
        return v;
    }
    Outputs boxValues() const
    {
        Outputs v;
        for (QDoubleSpinBox* b : boxes)
            v << b->value();
        return v;
    }

    QCheckBox* enable;
    QLabel* problem;
    QList<QSlider*> sliders;        // index 0 is Ch1
    QList<QDoubleSpinBox*> boxes;
};

Outputs lastWrite()
{
    const DacOutputs r = SimControl::sent().lastDacWrite;
    return {r.ch1, r.ch2, r.ch3, r.ch4};
}

// Types into the box and commits with Return, as the operator does.
void type(QDoubleSpinBox* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
}

// The logger writes on its own thread, in order: once a marker has arrived,
// every earlier line has too. The Warn lines logged so far, markers left out.
QStringList warningsSoFar()
{
    static int markers = 0;
    const QString marker = QStringLiteral("marker %1 ").arg(++markers);
    QLOG_WARN() << marker.trimmed();
    if (!QTest::qWaitFor([&marker] { return LogCapture::messagesAt(QsLogging::Warn).contains(marker); }))
        return {QStringLiteral("marker lost")};
    QStringList lines = LogCapture::messagesAt(QsLogging::Warn);
    lines.erase(std::remove_if(lines.begin(), lines.end(), [](const QString& l) { return l.startsWith("marker "); }),
                lines.end());
    return lines;
}

}  // namespace

class TestWindowManOutCtrl : public QObject
{
    Q_OBJECT

private:
    std::optional<ProgramFixture> m_program;

private slots:
    void initTestCase()
    {
        QsLogging::Logger::instance().setLevel(QsLogging::Debug);
        LogCapture::install();
    }

    void init()
    {
        m_program.emplace(ProgramFixture::Options().noConfig().quietBeam());
        LogCapture::clear();
    }

    void cleanup() { m_program.reset(); }

    void formAsBuilt()
    {
        WindowManOutCtrl dialog(m_program->outputs);
        QCOMPARE(dialog.objectName(), QString("WindowManOutCtrl"));
        QCOMPARE(dialog.windowTitle(), QString("Manual Output Control"));
        Form form(dialog);

        // Channels from left to right 4, 3, 2, 1: label, slider, box in each column.
        auto* grid = dialog.findChild<QWidget*>("gridLayoutWidget")->findChild<QGridLayout*>();
        QVERIFY(grid);
        const QStringList labels{"Ch4 output", "Ch3 output", "Ch2 output", "Ch1 output"};
        for (int column = 0; column < 4; ++column) {
            const int ch = 4 - column;
            QCOMPARE(qobject_cast<QLabel*>(grid->itemAtPosition(0, column)->widget())->text(), labels[column]);
            QCOMPARE(grid->itemAtPosition(1, column)->widget(), form.sliders[ch - 1]);
            QCOMPARE(grid->itemAtPosition(2, column)->widget(), form.boxes[ch - 1]);
        }
        for (QSlider* s : form.sliders) {
            QCOMPARE(s->orientation(), Qt::Vertical);
            QCOMPARE(s->minimum(), -12);
            QCOMPARE(s->maximum(), 12);
            QCOMPARE(s->tickPosition(), QSlider::TicksRight);
            QCOMPARE(s->value(), 0);
        }
        for (QDoubleSpinBox* b : form.boxes) {
            QCOMPARE(b->decimals(), 5);
            QCOMPARE(b->minimum(), -12.0);
            QCOMPARE(b->maximum(), 12.0);
            QCOMPARE(b->singleStep(), 0.1);
            QCOMPARE(b->value(), 0.0);
        }
        QCOMPARE(form.enable->text(), QString("Enable Manual Control"));
        QVERIFY(!form.enable->isChecked());
        QVERIFY(form.problem->isHidden());

        // Nothing is written, and the multiplexer is left alone, until the operator acts.
        QCOMPARE(SimControl::sent().dacWrites, 0);
        QCOMPARE(SimControl::callCount("setOutputMux") + SimControl::callCount("getOutputMux"), 0);
    }

    // ---- what each change writes ------------------------------------------------

    void typingKeepsItsFraction()
    {
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        type(form.boxes[0], "0.7");

        QCOMPARE(lastWrite(), Outputs({0.7, 0.0, 0.0, 0.0}));
        QCOMPARE(SimControl::sent().lastDacWrite.flag, 1);
        QCOMPARE(form.boxes[0]->value(), 0.7);
        QCOMPARE(form.sliderValues(), QList<int>({0, 0, 0, 0}));
    }

    void sliderStepLeavesTheOtherChannels_data()
    {
        QTest::addColumn<int>("fractionChannel");  // 1..4, the channel holding 2.5 before the step

        QTest::newRow("fraction in Ch2, earlier than the moved Ch4") << 2;
        QTest::newRow("fraction in Ch3") << 3;
        QTest::newRow("fraction in Ch1") << 1;
    }

    void sliderStepLeavesTheOtherChannels()
    {
        QFETCH(int, fractionChannel);

        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        type(form.boxes[fractionChannel - 1], "2.5");
        QCOMPARE(form.sliders[fractionChannel - 1]->value(), 2);
        const int writesBefore = SimControl::sent().dacWrites;

        form.sliders[3]->setFocus();
        QTest::keyClick(form.sliders[3], Qt::Key_Up);

        Outputs expected{0.0, 0.0, 0.0, 1.0};
        expected[fractionChannel - 1] = 2.5;
        QCOMPARE(lastWrite(), expected);
        QCOMPARE(SimControl::sent().dacWrites, writesBefore + 1);
        QCOMPARE(form.boxValues(), expected);
        QCOMPARE(form.sliders[3]->value(), 1);
        QCOMPARE(form.sliders[fractionChannel - 1]->value(), 2);
    }

    void boxMovesOnlyItsOwnSlider_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("slider");

        QTest::newRow("3.5 in one step") << 3.5 << 3;
        QTest::newRow("-0.5 truncates toward zero") << -0.5 << 0;
        QTest::newRow("-2.9 gives -2") << -2.9 << -2;
    }

    void boxMovesOnlyItsOwnSlider()
    {
        QFETCH(double, value);
        QFETCH(int, slider);

        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        type(form.boxes[1], "1.25");
        const int writesBefore = SimControl::sent().dacWrites;

        // As by pasting: one change of value.
        form.boxes[2]->setValue(value);

        QCOMPARE(SimControl::sent().dacWrites, writesBefore + 1);
        QCOMPARE(lastWrite(), Outputs({0.0, 1.25, value, 0.0}));
        QCOMPARE(form.boxValues(), Outputs({0.0, 1.25, value, 0.0}));
        QCOMPARE(form.sliderValues(), QList<int>({0, 1, slider, 0}));
    }

    void limits_data()
    {
        QTest::addColumn<double>("asked");
        QTest::addColumn<double>("written");

        QTest::newRow("-12 as such") << -12.0 << -12.0;
        QTest::newRow("12 as such") << 12.0 << 12.0;
        QTest::newRow("above 12 cannot be entered") << 12.5 << 12.0;
        QTest::newRow("below -12 cannot be entered") << -40.0 << -12.0;
    }

    void limits()
    {
        QFETCH(double, asked);
        QFETCH(double, written);

        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        form.boxes[0]->setValue(asked);
        QCOMPARE(lastWrite(), Outputs({written, 0.0, 0.0, 0.0}));
        QCOMPARE(form.sliders[0]->value(), int(written));
    }

    void outputsReachTheBeamWithTheMultiplexerAtZero()
    {
        using namespace PlantConstants;
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        // Written before the hand-over too: the values wait in the output unit.
        type(form.boxes[0], "6.5");
        type(form.boxes[1], "4.25");
        type(form.boxes[3], "-3");
        QCOMPARE(SimControl::sent().outputMux, uint8_t(1));

        WidgetClicks::clickCheckBox(form.enable);
        QVERIFY(form.enable->isChecked());
        QCOMPARE(SimControl::sent().outputMux, uint8_t(0));
        SimControl::step(0.5);

        const Outputs boxes = form.boxValues();
        const SimControl::Sent sent = SimControl::sent();
        for (int c = 0; c < 4; ++c)
            QCOMPARE(sent.outputs[c], boxes[c]);

        // The display stream's output words carry them.
        DisplayRecord newest;
        QCOMPARE(getBuffer(newest.word, 1), 1);
        for (int c = 0; c < 4; ++c)
            QCOMPARE(newest.word[DisplayRecord::OUTPUT0 + c], boxes[c]);

        // Ch1 and Ch2 steer X and Y: the beam sits where the plant's gain puts it.
        for (int bpm = 0; bpm < 2; ++bpm) {
            QVERIFY(qAbs(SimControl::truePosition(bpm, 0) - GAIN_UM_PER_V[bpm] * (6.5 - CENTRE_OUTPUT_V)) < 0.01);
            QVERIFY(qAbs(SimControl::truePosition(bpm, 1) - GAIN_UM_PER_V[bpm] * (4.25 - CENTRE_OUTPUT_V)) < 0.01);
        }

        // Unticking gives the outputs back to the feedback.
        WidgetClicks::clickCheckBox(form.enable);
        QCOMPARE(SimControl::sent().outputMux, uint8_t(1));
    }

    // ---- the multiplexer ----------------------------------------------------------

    void openingShowsTheMultiplexer_data()
    {
        QTest::addColumn<int>("mux");
        QTest::addColumn<bool>("tickedBefore");
        QTest::addColumn<bool>("readFails");
        QTest::addColumn<bool>("ticked");

        QTest::newRow("multiplexer at 1 shows the box clear") << 1 << false << false << false;
        QTest::newRow("multiplexer at 0 ticks the box") << 0 << false << false << true;
        QTest::newRow("multiplexer back at 1 clears a ticked box") << 1 << true << false << false;
        QTest::newRow("failed read leaves a clear box clear") << 1 << false << true << false;
        QTest::newRow("failed read leaves a ticked box ticked") << 1 << true << true << true;
    }

    void openingShowsTheMultiplexer()
    {
        QFETCH(int, mux);
        QFETCH(bool, tickedBefore);
        QFETCH(bool, readFails);
        QFETCH(bool, ticked);

        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        if (tickedBefore) {
            form.enable->setChecked(true);
            dialog.hide();
        }
        QCOMPARE(::setOutputMux(uint8_t(mux)), 0);
        if (readFails)
            SimControl::failCall("getOutputMux");
        const int muxWrites = SimControl::callCount("setOutputMux");

        dialog.showWindow();

        QVERIFY(dialog.isVisible());
        QCOMPARE(form.enable->isChecked(), ticked);
        // Opening never writes the multiplexer: it stays where it was.
        QCOMPARE(SimControl::callCount("setOutputMux"), muxWrites);
        QCOMPARE(int(SimControl::sent().outputMux), mux);
        QCOMPARE(warningsSoFar().contains("getOutputMux() failed "), readFails);
    }

    void checkingHandsTheOutputsToTheProgram()
    {
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        dialog.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        WidgetClicks::clickCheckBox(form.enable);
        QCOMPARE(SimControl::callCount("setOutputMux", 0), 1);
        QCOMPARE(SimControl::sent().outputMux, uint8_t(0));
    }

    void refusedHandOverUnticksTheBox()
    {
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        dialog.showWindow();
        SimControl::failCall("setOutputMux");
        WidgetClicks::clickCheckBox(form.enable);

        QVERIFY(!form.enable->isChecked());
        QCOMPARE(SimControl::sent().outputMux, uint8_t(1));
        QTRY_VERIFY(LogCapture::messagesAt(QsLogging::Warn).contains("setOutputMux( 0 ) failed "));
    }

    // ---- a device that cannot be used --------------------------------------------------

    void deviceThatCannotBeOpened()
    {
        SimControl::failOpen(DEVICE_ORVANE, EACCES);
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        const QStringList logged = warningsSoFar();
        QCOMPARE(logged.size(), 1);
        QVERIFY(logged.first().contains(DEVICE_ORVANE));
        QVERIFY(!form.problem->isHidden());
        QVERIFY(form.problem->text().contains("cannot be written"));

        // The dialog works as a form; nothing reaches the outputs, nothing more is logged.
        type(form.boxes[0], "3.3");
        form.sliders[2]->setValue(-4);
        QCOMPARE(form.boxValues(), Outputs({3.3, 0.0, -4.0, 0.0}));
        QCOMPARE(SimControl::sent().dacWrites, 0);
        QCOMPARE(warningsSoFar().size(), 1);
    }

    void failedWriteIsShownUntilOneSucceeds()
    {
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        SimControl::failIoctl(DEVICE_ORVANE);
        form.boxes[0]->setValue(1.0);
        form.boxes[0]->setValue(2.0);
        QVERIFY(!form.problem->isHidden());
        QCOMPARE(warningsSoFar().size(), 1);
        QCOMPARE(SimControl::sent().dacWrites, 0);

        SimControl::clearFailures();
        form.boxes[0]->setValue(3.0);
        QVERIFY(form.problem->isHidden());
        QCOMPARE(lastWrite(), Outputs({3.0, 0.0, 0.0, 0.0}));
    }
};

QTEST_MAIN(TestWindowManOutCtrl)
#include "tst_windowmanoutctrl.moc"
