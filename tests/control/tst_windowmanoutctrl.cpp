// The manual output dialog against the simulated output unit: the hand-over
// that starts from the voltages the unit holds (the beam does not move) or from
// a preset set while manual control was off, the outputs taken from and given
// back to the program's one owner and kept from the dialog while another tool
// holds them, the record each change writes, the coupling of each slider with
// its own box, a multiplexer switch the controller refuses, and a device or a
// read-back that cannot be used.
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "DeviceIo.h"
#include "Globals.h"
#include "OutputOwner.h"
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
using namespace PlantConstants;

const QString TOOL = QStringLiteral("Manual Output Control");

struct Form
{
    explicit Form(const WindowManOutCtrl& dialog)
        : enable(child<QCheckBox>(dialog, "checboxEnableMan"))
        , problem(child<QLabel>(dialog, "deviceProblem"))
        , readProblem(child<QLabel>(dialog, "readProblem"))
        , muxProblem(child<QLabel>(dialog, "muxProblem"))
        , note(child<QLabel>(dialog, "stateNote"))
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
    bool editable() const
    {
        for (int c = 0; c < 4; ++c)
            if (!sliders[c]->isEnabled() || !boxes[c]->isEnabled())
                return false;
        return true;
    }

    QCheckBox* enable;
    QLabel* problem;
    QLabel* readProblem;
    QLabel* muxProblem;
    QLabel* note;
    QList<QSlider*> sliders;  // index 0 is Ch1
    QList<QDoubleSpinBox*> boxes;
};

Outputs lastWrite()
{
    const DacOutputs r = SimControl::sent().lastDacWrite;
    return {r.ch1, r.ch2, r.ch3, r.ch4};
}

Outputs applied()
{
    const SimControl::Sent s = SimControl::sent();
    return {s.outputs[0], s.outputs[1], s.outputs[2], s.outputs[3]};
}

// The boxes show five decimals of what the unit holds.
bool shownAs(const Outputs& boxes, const Outputs& volts)
{
    for (int c = 0; c < 4; ++c)
        if (std::fabs(boxes[c] - volts[c]) > 0.5e-5)
            return false;
    return true;
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

// BPM1's position over the last second of the display stream, micrometres.
struct Position
{
    double mean[2];  // X, Y
    double rms[2];   // spread about the mean: the noise and the mains line
};

Position bpm1Position()
{
    const int n = DISPLAY_START_HZ;
    std::vector<DisplayRecord> records(static_cast<size_t>(n));
    Position p{};
    if (getBuffer(records[0].word, n) != n)
        return p;
    for (int axis = 0; axis < 2; ++axis) {
        double sum = 0.0, squares = 0.0;
        for (const DisplayRecord& r : records)
            sum += r.word[DisplayRecord::BPM1_X + axis] * BPM_PHYSICAL_SCALE_UM;
        p.mean[axis] = sum / n;
        for (const DisplayRecord& r : records) {
            const double d = r.word[DisplayRecord::BPM1_X + axis] * BPM_PHYSICAL_SCALE_UM - p.mean[axis];
            squares += d * d;
        }
        p.rms[axis] = std::sqrt(squares / n);
    }
    return p;
}

}  // namespace

class TestWindowManOutCtrl : public QObject
{
    Q_OBJECT

private:
    std::optional<ProgramFixture> m_program;

    // Opens the dialog and switches manual control on, as the operator does.
    void takeManual(WindowManOutCtrl& dialog, const Form& form)
    {
        dialog.showWindow();
        WidgetClicks::clickCheckBox(form.enable);
        QVERIFY(form.enable->isChecked());
        QVERIFY(dialog.holdsOutputs());
        QCOMPARE(m_program->outputs.holder(), TOOL);
    }

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
        QCOMPARE(dialog.windowTitle(), TOOL);
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
        QVERIFY(form.readProblem->isHidden());
        QVERIFY(form.muxProblem->isHidden());
        QVERIFY(form.note->isHidden());
        // Editable at once: what is set while the feedback drives the outputs is a
        // preset for the hand-over.
        QVERIFY(form.editable());
        QVERIFY(!dialog.presetWaiting());

        // Nothing is written, and the multiplexer is left alone, until the operator acts.
        QCOMPARE(SimControl::sent().dacWrites, 0);
        QCOMPARE(SimControl::callCount("setOutputMux") + SimControl::callCount("getOutputMux"), 0);
        QVERIFY(!m_program->outputs.isHeld());
    }

    // ---- the hand-over -----------------------------------------------------------

    // With the feedback holding the beam off centre and the plant's disturbances
    // on: opening the dialog and switching manual control on leave the beam where
    // it is; one channel's change moves only the axis that channel steers.
    void handOverKeepsTheBeam()
    {
        m_program.emplace(ProgramFixture::Options().noConfig());
        const double want[2] = {30.0, -20.0};
        QCOMPARE(::setSetpoint2(0, want[0]), 0);
        QCOMPARE(::setSetpoint2(1, want[1]), 0);
        QCOMPARE(::setPIDconf(1), 0);
        QCOMPARE(::setFBenable(1), 0);
        SimControl::step(3.0);
        const Position before = bpm1Position();
        for (int axis = 0; axis < 2; ++axis)
            QVERIFY2(std::fabs(before.mean[axis] - want[axis]) < 1.0, qPrintable(QString::number(before.mean[axis])));
        const Outputs held = applied();
        QVERIFY(std::fabs(held[0] - (CENTRE_OUTPUT_V + want[0] / GAIN_UM_PER_V[0])) < 0.05);

        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        dialog.showWindow();
        // The boxes and sliders show what the unit holds; nothing was written.
        QVERIFY2(shownAs(form.boxValues(), held), qPrintable(QString::number(form.boxValues()[0], 'g', 12)));
        QCOMPARE(form.sliderValues(), QList<int>({int(held[0]), int(held[1]), int(held[2]), int(held[3])}));
        QCOMPARE(SimControl::sent().dacWrites, 0);
        QVERIFY(!form.enable->isChecked());

        WidgetClicks::clickCheckBox(form.enable);
        QVERIFY(dialog.holdsOutputs());
        QCOMPARE(SimControl::sent().outputMux, uint8_t(0));
        // One write, of exactly what the unit put out, before the switch.
        QCOMPARE(SimControl::sent().dacWrites, 1);
        QCOMPARE(lastWrite(), held);
        QCOMPARE(applied(), held);

        SimControl::step(1.0);
        const Position manual = bpm1Position();
        for (int axis = 0; axis < 2; ++axis) {
            // The spread of the readings themselves, white noise and mains line.
            const double noise = 3.0 * before.rms[axis];
            QVERIFY2(std::fabs(manual.mean[axis] - before.mean[axis]) < noise,
                     qPrintable(QString("axis %1 moved %2 um, noise %3 um")
                                    .arg(axis)
                                    .arg(manual.mean[axis] - before.mean[axis])
                                    .arg(noise)));
        }

        // Ch2 steers Y: 0.25 V down moves Y by the plant's gain, X stays.
        const double ch2 = form.boxes[1]->value() - 0.25;
        form.boxes[1]->setValue(ch2);
        QCOMPARE(lastWrite(), Outputs({held[0], ch2, held[2], held[3]}));
        SimControl::step(1.0);
        const Position moved = bpm1Position();
        const double expectedY = manual.mean[1] + GAIN_UM_PER_V[0] * (ch2 - held[1]);
        QVERIFY2(std::fabs(moved.mean[0] - manual.mean[0]) < 3.0 * before.rms[0],
                 qPrintable(QString::number(moved.mean[0] - manual.mean[0])));
        QVERIFY2(std::fabs(moved.mean[1] - expectedY) < 3.0 * before.rms[1],
                 qPrintable(QString::number(moved.mean[1] - expectedY)));

        // Ch3 steers nothing: neither axis moves.
        form.boxes[2]->setValue(held[2] + 1.0);
        QCOMPARE(lastWrite(), Outputs({held[0], ch2, held[2] + 1.0, held[3]}));
        SimControl::step(1.0);
        const Position still = bpm1Position();
        for (int axis = 0; axis < 2; ++axis)
            QVERIFY(std::fabs(still.mean[axis] - moved.mean[axis]) < 3.0 * before.rms[axis]);
    }

    void manualControlGivesTheOutputsBack()
    {
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        takeManual(dialog, form);
        QVERIFY(form.editable());

        WidgetClicks::clickCheckBox(form.enable);
        QVERIFY(!form.enable->isChecked());
        QVERIFY(!dialog.holdsOutputs());
        QVERIFY(!m_program->outputs.isHeld());
        QCOMPARE(SimControl::sent().outputMux, uint8_t(1));
        QVERIFY(form.editable());
        QVERIFY(!dialog.presetWaiting());

        // A change now is a preset: written to the unit, while the feedback loop
        // keeps driving the outputs.
        const int writes = SimControl::sent().dacWrites;
        form.boxes[0]->setValue(1.0);
        form.sliders[1]->setValue(-3);
        QCOMPARE(SimControl::sent().dacWrites, writes + 2);
        const double start = START_OUTPUT_V;
        QCOMPARE(lastWrite(), Outputs({1.0, -3.0, start, start}));
        QCOMPARE(SimControl::sent().outputMux, uint8_t(1));
        QVERIFY(!m_program->outputs.isHeld());
        QVERIFY(dialog.presetWaiting());
        QVERIFY(!form.note->isHidden());
        QVERIFY(form.note->text().startsWith("Preset"));
    }

    // With the feedback holding the beam off centre and the plant's disturbances
    // on: values set while manual control is off reach the unit but not the beam;
    // they survive closing and opening the dialog; ticking the box hands the
    // outputs over to them, and the beam moves by the plant's gain.
    void presetTakesEffectAtTheHandOver()
    {
        m_program.emplace(ProgramFixture::Options().noConfig());
        QCOMPARE(::setSetpoint2(0, 30.0), 0);
        QCOMPARE(::setSetpoint2(1, -20.0), 0);
        QCOMPARE(::setPIDconf(1), 0);
        QCOMPARE(::setFBenable(1), 0);
        SimControl::step(3.0);
        const Position before = bpm1Position();
        const Outputs held = applied();

        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        dialog.showWindow();
        QVERIFY(shownAs(form.boxValues(), held));
        form.boxes[0]->setValue(held[0] + 0.2);
        form.boxes[1]->setValue(held[1] - 0.3);
        // The boxes hold five decimals; the channels not touched keep what was read.
        const Outputs preset{form.boxes[0]->value(), form.boxes[1]->value(), held[2], held[3]};
        QCOMPARE(lastWrite(), preset);
        QCOMPARE(SimControl::sent().outputMux, uint8_t(1));
        QVERIFY(dialog.presetWaiting());
        QVERIFY(!form.note->isHidden());
        QVERIFY(!form.enable->isChecked());

        // The feedback loop still has the beam.
        SimControl::step(1.0);
        const Position waiting = bpm1Position();
        for (int axis = 0; axis < 2; ++axis)
            QVERIFY2(std::fabs(waiting.mean[axis] - before.mean[axis]) < 3.0 * before.rms[axis],
                     qPrintable(QString("axis %1 moved %2 um").arg(axis).arg(waiting.mean[axis] - before.mean[axis])));

        // Closed and opened again: the preset is kept, not replaced by a read-back.
        dialog.hide();
        dialog.showWindow();
        QVERIFY(shownAs(form.boxValues(), preset));
        QVERIFY(dialog.presetWaiting());

        const int writes = SimControl::sent().dacWrites;
        WidgetClicks::clickCheckBox(form.enable);
        QVERIFY(dialog.holdsOutputs());
        QCOMPARE(SimControl::sent().outputMux, uint8_t(0));
        QCOMPARE(SimControl::sent().dacWrites, writes + 1);
        QCOMPARE(lastWrite(), preset);
        QCOMPARE(applied(), preset);
        QVERIFY(!dialog.presetWaiting());
        QVERIFY(form.note->isHidden());
        QVERIFY(Prompts::shown().isEmpty());

        SimControl::step(1.0);
        const Position moved = bpm1Position();
        const double expected[2] = {before.mean[0] + GAIN_UM_PER_V[0] * (preset[0] - held[0]),
                                    before.mean[1] + GAIN_UM_PER_V[0] * (preset[1] - held[1])};
        for (int axis = 0; axis < 2; ++axis)
            QVERIFY2(std::fabs(moved.mean[axis] - expected[axis]) < 3.0 * before.rms[axis],
                     qPrintable(QString("axis %1 at %2 um, expected %3 um")
                                    .arg(axis)
                                    .arg(moved.mean[axis])
                                    .arg(expected[axis])));
    }

    // Untouched boxes hand over at what the unit holds when the box is ticked,
    // not at what it held when the dialog opened: the feedback may have moved it.
    void untouchedHandOverStartsFromWhatTheUnitHoldsNow()
    {
        QCOMPARE(::setPIDconf(1), 0);
        QCOMPARE(::setFBenable(1), 0);
        SimControl::step(3.0);
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        dialog.showWindow();
        const Outputs atOpening = form.boxValues();

        QCOMPARE(::setSetpoint2(0, 40.0), 0);
        SimControl::step(3.0);
        const Outputs now = applied();
        QVERIFY(std::fabs(now[0] - atOpening[0]) > 0.1);

        WidgetClicks::clickCheckBox(form.enable);
        QVERIFY(dialog.holdsOutputs());
        QCOMPARE(lastWrite(), now);
        QCOMPARE(applied(), now);
        QVERIFY(shownAs(form.boxValues(), now));
    }

    // A preset is the operator's own choice: handed over as it stands, even when
    // the unit's voltages cannot be read back.
    void presetNeedsNoReadBack()
    {
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        SimControl::failOpen(DEVICE_DISPLAY, EACCES);
        dialog.showWindow();
        QVERIFY(!form.readProblem->isHidden());
        form.boxes[0]->setValue(2.5);
        form.boxes[3]->setValue(-1.0);
        const Outputs preset = form.boxValues();
        WidgetClicks::clickCheckBox(form.enable);
        QVERIFY(dialog.holdsOutputs());
        QCOMPARE(lastWrite(), preset);
        QCOMPARE(applied(), preset);
        QVERIFY(Prompts::shown().isEmpty());
    }

    // While another tool drives the outputs the controls are off and say who
    // holds them; nothing reaches the unit until it gives them back.
    void anotherToolKeepsTheControls_data()
    {
        QTest::addColumn<bool>("heldBeforeOpening");
        QTest::newRow("taken while the dialog is open") << false;
        QTest::newRow("held when the dialog is made") << true;
    }

    void anotherToolKeepsTheControls()
    {
        QFETCH(bool, heldBeforeOpening);
        std::unique_ptr<OutputLease> sweep;
        if (heldBeforeOpening)
            sweep = m_program->outputs.take(QStringLiteral("Frequency Analysis"));
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        dialog.showWindow();
        if (!heldBeforeOpening) {
            QVERIFY(form.editable());
            sweep = m_program->outputs.take(QStringLiteral("Frequency Analysis"));
        }
        QVERIFY(!form.editable());
        QVERIFY(!form.note->isHidden());
        QVERIFY2(form.note->text().contains("in use by Frequency Analysis"), qPrintable(form.note->text()));
        const int writes = SimControl::sent().dacWrites;
        form.boxes[0]->setValue(3.0);
        form.sliders[2]->setValue(-4);
        QCOMPARE(SimControl::sent().dacWrites, writes);
        QVERIFY(!dialog.presetWaiting());

        sweep.reset();
        QVERIFY(form.editable());
        QVERIFY(form.note->isHidden());
        form.boxes[0]->setValue(1.5);
        QCOMPARE(SimControl::sent().dacWrites, writes + 1);
        QCOMPARE(lastWrite()[0], 1.5);
    }

    void refusedWhileAMeasurementHoldsTheOutputs()
    {
        std::unique_ptr<OutputLease> scan = m_program->outputs.take(QStringLiteral("Rocking Curve"));
        QVERIFY(scan);
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        dialog.showWindow();
        WidgetClicks::clickCheckBox(form.enable);

        QVERIFY(!form.enable->isChecked());
        QVERIFY(!dialog.holdsOutputs());
        QCOMPARE(m_program->outputs.holder(), QStringLiteral("Rocking Curve"));
        QCOMPARE(SimControl::sent().dacWrites, 0);
        QCOMPARE(SimControl::callCount("setOutputMux"), 0);
        QCOMPARE(Prompts::shown().size(), 1);
        QCOMPARE(Prompts::shown().first().title, TOOL);
        QVERIFY(Prompts::shown().first().text.contains("Rocking Curve"));

        // Once the scan is done, manual control goes on.
        scan.reset();
        WidgetClicks::clickCheckBox(form.enable);
        QVERIFY(dialog.holdsOutputs());
    }

    void unreadableVoltagesRefuseManualControl_data()
    {
        QTest::addColumn<QString>("fault");

        QTest::newRow("display device cannot be opened") << "open";
        QTest::newRow("display stream reads short") << "short";
    }

    void unreadableVoltagesRefuseManualControl()
    {
        QFETCH(QString, fault);

        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        if (fault == "open")
            SimControl::failOpen(DEVICE_DISPLAY, EACCES);
        else
            SimControl::shortRead(DEVICE_DISPLAY, 8);
        const int writes = SimControl::sent().dacWrites;
        const int muxCalls = SimControl::callCount("setOutputMux");

        dialog.showWindow();
        QVERIFY(!form.readProblem->isHidden());
        QVERIFY(form.readProblem->text().contains("cannot be read"));

        WidgetClicks::clickCheckBox(form.enable);
        // Never started from zeros or from what the boxes held before.
        QVERIFY(!form.enable->isChecked());
        QVERIFY(!dialog.holdsOutputs());
        QVERIFY(!m_program->outputs.isHeld());
        QCOMPARE(SimControl::sent().dacWrites, writes);
        QCOMPARE(SimControl::callCount("setOutputMux"), muxCalls);
        QCOMPARE(Prompts::shown().size(), 1);
        QVERIFY(Prompts::shown().first().text.contains("not switched on"));
    }

    void aWriteTheDeviceRefusesRefusesManualControl()
    {
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        dialog.showWindow();
        SimControl::failIoctl(DEVICE_ORVANE);
        WidgetClicks::clickCheckBox(form.enable);

        QVERIFY(!form.enable->isChecked());
        QVERIFY(!m_program->outputs.isHeld());
        QCOMPARE(SimControl::sent().outputMux, uint8_t(1));
        QCOMPARE(SimControl::callCount("setOutputMux"), 0);
        QCOMPARE(Prompts::shown().size(), 1);
        QVERIFY(!form.problem->isHidden());
    }

    // ---- what each change writes ------------------------------------------------

    void typingKeepsItsFraction()
    {
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        takeManual(dialog, form);
        const double start = START_OUTPUT_V;
        type(form.boxes[0], "0.7");

        QCOMPARE(lastWrite(), Outputs({0.7, start, start, start}));
        QCOMPARE(SimControl::sent().lastDacWrite.flag, 1);
        QCOMPARE(form.boxes[0]->value(), 0.7);
        QCOMPARE(form.sliderValues(), QList<int>({0, int(start), int(start), int(start)}));
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
        takeManual(dialog, form);
        type(form.boxes[fractionChannel - 1], "2.5");
        QCOMPARE(form.sliders[fractionChannel - 1]->value(), 2);
        const int writesBefore = SimControl::sent().dacWrites;

        form.sliders[3]->setFocus();
        QTest::keyClick(form.sliders[3], Qt::Key_Up);

        const double start = START_OUTPUT_V;
        Outputs expected{start, start, start, start + 1.0};
        expected[fractionChannel - 1] = 2.5;
        QCOMPARE(lastWrite(), expected);
        QCOMPARE(SimControl::sent().dacWrites, writesBefore + 1);
        QCOMPARE(form.boxValues(), expected);
        QCOMPARE(form.sliders[3]->value(), int(start) + 1);
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
        takeManual(dialog, form);
        type(form.boxes[1], "1.25");
        const int writesBefore = SimControl::sent().dacWrites;

        // As by pasting: one change of value.
        form.boxes[2]->setValue(value);

        const double start = START_OUTPUT_V;
        QCOMPARE(SimControl::sent().dacWrites, writesBefore + 1);
        QCOMPARE(lastWrite(), Outputs({start, 1.25, value, start}));
        QCOMPARE(form.boxValues(), Outputs({start, 1.25, value, start}));
        QCOMPARE(form.sliderValues(), QList<int>({int(start), 1, slider, int(start)}));
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
        takeManual(dialog, form);
        form.boxes[0]->setValue(asked);
        const double start = START_OUTPUT_V;
        QCOMPARE(lastWrite(), Outputs({written, start, start, start}));
        QCOMPARE(form.sliders[0]->value(), int(written));
    }

    // ---- the multiplexer ----------------------------------------------------------

    void openingShowsTheMultiplexer_data()
    {
        QTest::addColumn<int>("mux");
        QTest::addColumn<bool>("tickedBefore");
        QTest::addColumn<bool>("readFails");
        QTest::addColumn<bool>("scanHolds");
        QTest::addColumn<bool>("ticked");

        QTest::newRow("multiplexer at 1 shows the box clear") << 1 << false << false << false << false;
        QTest::newRow("multiplexer at 0 resumes manual control") << 0 << false << false << false << true;
        QTest::newRow("multiplexer at 0 while a scan holds the outputs: clear") << 0 << false << false << true << false;
        QTest::newRow("multiplexer back at 1 clears a ticked box") << 1 << true << false << false << false;
        QTest::newRow("failed read leaves a clear box clear") << 1 << false << true << false << false;
        QTest::newRow("failed read leaves a ticked box ticked") << 1 << true << true << false << true;
    }

    void openingShowsTheMultiplexer()
    {
        QFETCH(int, mux);
        QFETCH(bool, tickedBefore);
        QFETCH(bool, readFails);
        QFETCH(bool, scanHolds);
        QFETCH(bool, ticked);

        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        if (tickedBefore) {
            takeManual(dialog, form);
            dialog.hide();
        }
        std::unique_ptr<OutputLease> scan;
        if (scanHolds)
            scan = m_program->outputs.take(QStringLiteral("3D Rocking Curve"));
        QCOMPARE(::setOutputMux(uint8_t(mux)), 0);
        if (readFails)
            SimControl::failCall("getOutputMux");
        const int muxWrites = SimControl::callCount("setOutputMux");
        const int dacWrites = SimControl::sent().dacWrites;

        dialog.showWindow();

        QVERIFY(dialog.isVisible());
        QCOMPARE(form.enable->isChecked(), ticked);
        // The box says whether the dialog holds the outputs.
        QCOMPARE(dialog.holdsOutputs(), ticked);
        // Editable unless another tool holds the outputs.
        QCOMPARE(form.editable(), !scanHolds);
        // A multiplexer that cannot be read is said to be so, not shown as a state.
        QCOMPARE(form.muxProblem->isHidden(), !readFails);
        if (!scanHolds)
            QCOMPARE(m_program->outputs.isHeld(), ticked);
        // Opening never writes the multiplexer or the outputs.
        QCOMPARE(SimControl::callCount("setOutputMux"), muxWrites);
        QCOMPARE(SimControl::sent().dacWrites, dacWrites);
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

    // The controller refused the switch: the operator is told, and the box shows
    // what the controller does (the feedback loop keeps the outputs).
    void refusedHandOverUnticksTheBox_data()
    {
        QTest::addColumn<bool>("readBackFails");
        QTest::newRow("the multiplexer reads 1 after") << false;
        QTest::newRow("the multiplexer cannot be read after") << true;
    }

    void refusedHandOverUnticksTheBox()
    {
        QFETCH(bool, readBackFails);
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        dialog.showWindow();
        SimControl::failCall("setOutputMux");
        if (readBackFails)
            SimControl::failCall("getOutputMux");
        WidgetClicks::clickCheckBox(form.enable);

        QVERIFY(!form.enable->isChecked());
        QVERIFY(!dialog.holdsOutputs());
        QVERIFY(!m_program->outputs.isHeld());
        QCOMPARE(SimControl::sent().outputMux, uint8_t(1));
        QTRY_VERIFY(LogCapture::messagesAt(QsLogging::Warn).contains("setOutputMux( 0 ) failed "));
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QCOMPARE(shown[0].title, TOOL);
        QVERIFY2(shown[0].text.contains("setOutputMux(0) failed"), qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains("Manual control is off"), qPrintable(shown[0].text));
        QCOMPARE(shown[0].text.contains("could not be read back"), readBackFails);

        // Once the controller takes it, the hand-over goes through.
        SimControl::clearFailures();
        WidgetClicks::clickCheckBox(form.enable);
        QVERIFY(dialog.holdsOutputs());
        QCOMPARE(SimControl::sent().outputMux, uint8_t(0));
    }

    void refusedGiveBackKeepsManualControl()
    {
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        takeManual(dialog, form);
        SimControl::failCall("setOutputMux");
        WidgetClicks::clickCheckBox(form.enable);

        // The program still drives the outputs, so the dialog keeps them, and says so.
        QVERIFY(form.enable->isChecked());
        QVERIFY(dialog.holdsOutputs());
        QCOMPARE(SimControl::sent().outputMux, uint8_t(0));
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains("setOutputMux(1) failed"), qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains("Manual control stays on"), qPrintable(shown[0].text));
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

        // Manual control cannot start: the hand-over could not write what the unit holds.
        dialog.showWindow();
        WidgetClicks::clickCheckBox(form.enable);
        QVERIFY(!form.enable->isChecked());
        QVERIFY(!m_program->outputs.isHeld());
        QCOMPARE(SimControl::callCount("setOutputMux"), 0);
        QCOMPARE(SimControl::sent().dacWrites, 0);
        QCOMPARE(Prompts::shown().size(), 1);
    }

    void failedWriteIsShownUntilOneSucceeds()
    {
        WindowManOutCtrl dialog(m_program->outputs);
        Form form(dialog);
        takeManual(dialog, form);
        const int writes = SimControl::sent().dacWrites;
        SimControl::failIoctl(DEVICE_ORVANE);
        form.boxes[0]->setValue(1.0);
        form.boxes[0]->setValue(2.0);
        QVERIFY(!form.problem->isHidden());
        QCOMPARE(warningsSoFar().size(), 1);
        QCOMPARE(SimControl::sent().dacWrites, writes);

        SimControl::clearFailures();
        form.boxes[0]->setValue(3.0);
        QVERIFY(form.problem->isHidden());
        const double start = START_OUTPUT_V;
        QCOMPARE(lastWrite(), Outputs({3.0, start, start, start}));
    }
};

QTEST_MAIN(TestWindowManOutCtrl)
#include "tst_windowmanoutctrl.moc"
