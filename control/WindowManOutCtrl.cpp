#include "WindowManOutCtrl.h"

#include <QSignalBlocker>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>

#include "DacOutputsWriter.h"
#include "DeviceIo.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "OutputOwner.h"
#include "OutputVoltages.h"
#include "Prompts.h"
#include "QsLog.h"
#include "ui_windowmanoutctrl.h"

namespace {
constexpr uint8_t MUX_PROGRAM = 0;
constexpr uint8_t MUX_FEEDBACK = 1;

// A slider follows its box in whole volts, toward zero (-2.9 gives -2).
int wholeVolts(double volts)
{
    return int(std::trunc(volts));
}
}  // namespace

WindowManOutCtrl::WindowManOutCtrl(OutputOwner& outputs, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::WindowManOutCtrl)
    , m_outputs(outputs)
{
    ui->setupUi(this);
    m_sliders = {ui->ch1slider, ui->ch2slider, ui->ch3slider, ui->ch4slider};
    m_boxes = {ui->boxCh1, ui->boxCh2, ui->boxCh3, ui->boxCh4};
    ui->deviceProblem->hide();
    ui->readProblem->hide();
    ui->muxProblem->hide();
    updateControls();

    connect(ui->checboxEnableMan, &QCheckBox::toggled, this, &WindowManOutCtrl::enableMan_changed);
    for (QSlider* slider : m_sliders)
        connect(slider, &QSlider::valueChanged, this, &WindowManOutCtrl::sliders_changed);
    for (QDoubleSpinBox* box : m_boxes)
        connect(box, &QDoubleSpinBox::valueChanged, this, &WindowManOutCtrl::boxes_changed);
    connect(&m_outputs, &OutputOwner::heldChanged, this, &WindowManOutCtrl::outputsHeldChanged);

    m_fd = DeviceIo::open(DEVICE_ORVANE, O_RDWR | O_SYNC);
    if (m_fd < 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QLOG_WARN() << QStringLiteral("Cannot open %1: %2").arg(QString::fromLatin1(DEVICE_ORVANE), reason);
        showDeviceProblem(tr("The output device %1 cannot be opened (%2): the outputs cannot be written.")
                              .arg(QString::fromLatin1(DEVICE_ORVANE), reason));
    }
}

WindowManOutCtrl::~WindowManOutCtrl()
{
    // Giving the outputs back below must not reach the form any more.
    disconnect(&m_outputs, nullptr, this, nullptr);
    m_lease.reset();
    if (m_fd >= 0)
        DeviceIo::close(m_fd);
    delete ui;
}

void WindowManOutCtrl::showWindow()
{
    bool muxRead = false;
    const uint8_t mux = MAILBOX_COMM ? MAILBOX_COMM->getOutputMux(&muxRead) : MUX_FEEDBACK;
    // The program driving the outputs with no tool holding them is manual control,
    // resumed: the boxes must show what the unit puts out, preset or not.
    const bool resume = muxRead && !holdsOutputs() && mux == MUX_PROGRAM && !m_outputs.isHeld();
    // A preset the operator set while manual control was off waits for its hand-over.
    const bool voltsRead = (m_preset && !resume) || readBack();
    // Showing what was read writes nothing back. While another tool holds the
    // outputs the box stays clear; after a failed read it stays as it is.
    if (muxRead) {
        ui->muxProblem->hide();
        if (holdsOutputs() && mux == MUX_FEEDBACK)
            m_lease.reset();  // the feedback has them again
        else if (resume && voltsRead)
            m_lease = m_outputs.take(windowTitle());
        setChecked(holdsOutputs());
    } else {
        ui->muxProblem->setText(tr("The output multiplexer could not be read (getOutputMux failed): \"Enable "
                                   "Manual Control\" shows the state last known, not one read now."));
        ui->muxProblem->show();
    }
    updateControls();
    show();
}

bool WindowManOutCtrl::readBack()
{
    const OutputVoltages read = readOutputVoltages();
    if (!read.valid()) {
        QLOG_WARN() << QStringLiteral("The output voltages cannot be read: %1").arg(read.error);
        ui->readProblem->setText(tr("The output voltages cannot be read (%1): the boxes do not show what the "
                                    "outputs hold, and manual control cannot start from them.")
                                     .arg(read.error));
        ui->readProblem->show();
        return false;
    }
    ui->readProblem->hide();
    m_volts = read.volts;
    m_preset = false;
    showVolts();
    return true;
}

void WindowManOutCtrl::showVolts()
{
    for (size_t c = 0; c < m_volts.size(); ++c) {
        const QSignalBlocker quietBox(m_boxes[c]);
        const QSignalBlocker quietSlider(m_sliders[c]);
        m_boxes[c]->setValue(m_volts[c]);
        m_sliders[c]->setValue(wholeVolts(m_volts[c]));
        m_shown[c] = m_boxes[c]->value();
    }
}

void WindowManOutCtrl::updateControls()
{
    // While a measurement drives the outputs, a change here would land in its run.
    const bool free = mayWrite();
    for (size_t c = 0; c < m_boxes.size(); ++c) {
        m_boxes[c]->setEnabled(free);
        m_sliders[c]->setEnabled(free);
    }
    QString note;
    if (!free)
        note = tr("The outputs are in use by %1: these controls write nothing until it has given them back.")
                   .arg(m_outputs.holder());
    else if (!holdsOutputs() && m_preset)
        note = tr("Preset: these values take effect when manual control is switched on; until then the feedback "
                  "loop drives the outputs.");
    ui->stateNote->setText(note);
    ui->stateNote->setVisible(!note.isEmpty());
}

void WindowManOutCtrl::outputsHeldChanged()
{
    updateControls();
}

void WindowManOutCtrl::setChecked(bool checked)
{
    const QSignalBlocker quiet(ui->checboxEnableMan);
    ui->checboxEnableMan->setChecked(checked);
}

uint8_t WindowManOutCtrl::muxNow(bool* known) const
{
    return MAILBOX_COMM->getOutputMux(known);
}

void WindowManOutCtrl::enableMan_changed(bool enable)
{
    if (!MAILBOX_COMM || enable == holdsOutputs()) {
        setChecked(holdsOutputs());
        return;
    }
    if (enable)
        switchOn();
    else
        switchOff();
    setChecked(holdsOutputs());
    updateControls();
}

void WindowManOutCtrl::switchOn()
{
    // Refused while a measurement holds the outputs: nothing is written.
    m_lease = m_outputs.takeOrExplain(this, windowTitle());
    if (!m_lease)
        return;
    // Untouched values start from what the unit holds now (the feedback may have
    // moved it since the dialog opened), so the beam does not move; a preset is
    // handed over as the operator set it. Either is written before the switch.
    QString refusal;
    if (!m_preset && !readBack())
        refusal = tr("%1\n\nManual control was not switched on: it would start from voltages the outputs do not "
                     "hold.")
                      .arg(ui->readProblem->text());
    else if (!writeOutputs())
        refusal = tr("The output unit did not take the voltages of the boxes, so manual control was not switched "
                     "on.\n\n%1")
                      .arg(ui->deviceProblem->text());
    else if (MAILBOX_COMM->setOutputMux(MUX_PROGRAM) < 0) {
        // Switched or not: the dialog shows what the controller does.
        bool known = false;
        if (muxNow(&known) == MUX_PROGRAM && known) {
            m_preset = false;
            Prompts::warning(this, windowTitle(),
                             tr("The controller reported a failure handing the outputs to the program "
                                "(setOutputMux(0) failed), but its multiplexer reads 0: the program drives the "
                                "outputs, and manual control is on."));
            return;
        }
        refusal = tr("The outputs could not be handed to the program (setOutputMux(0) failed).\n\nManual control is "
                     "off: the feedback loop still drives the outputs%1.")
                      .arg(known ? QString() : tr(" as far as known (the multiplexer could not be read back)"));
    }
    if (refusal.isEmpty()) {
        m_preset = false;
        return;
    }
    m_lease.reset();
    Prompts::warning(this, windowTitle(), refusal);
}

void WindowManOutCtrl::switchOff()
{
    if (MAILBOX_COMM->setOutputMux(MUX_FEEDBACK) >= 0) {
        m_lease.reset();
        return;
    }
    bool known = false;
    if (muxNow(&known) == MUX_FEEDBACK && known) {
        m_lease.reset();
        Prompts::warning(this, windowTitle(),
                         tr("The controller reported a failure giving the outputs back to the feedback loop "
                            "(setOutputMux(1) failed), but its multiplexer reads 1: the feedback loop drives the "
                            "outputs, and manual control is off."));
        return;
    }
    // The program still drives the outputs, so the dialog keeps them.
    Prompts::warning(this, windowTitle(),
                     tr("The outputs could not be given back to the feedback loop (setOutputMux(1) failed).\n\n"
                        "Manual control stays on: the outputs keep the values of the boxes%1.")
                         .arg(known ? QString() : tr(" as far as known (the multiplexer could not be read back)")));
}

void WindowManOutCtrl::sliders_changed()
{
    // Only the moved slider disagrees with its channel; the others keep their fractions.
    for (size_t c = 0; c < m_sliders.size(); ++c) {
        if (m_sliders[c]->value() != wholeVolts(m_volts[c])) {
            m_volts[c] = m_sliders[c]->value();
            const QSignalBlocker quiet(m_boxes[c]);
            m_boxes[c]->setValue(m_volts[c]);
            m_shown[c] = m_boxes[c]->value();
        }
    }
    changed();
}

void WindowManOutCtrl::boxes_changed()
{
    for (size_t c = 0; c < m_boxes.size(); ++c) {
        if (m_boxes[c]->value() == m_shown[c])
            continue;
        m_volts[c] = m_shown[c] = m_boxes[c]->value();
        const int whole = wholeVolts(m_volts[c]);
        if (m_sliders[c]->value() != whole) {
            const QSignalBlocker quiet(m_sliders[c]);
            m_sliders[c]->setValue(whole);
        }
    }
    changed();
}

void WindowManOutCtrl::changed()
{
    if (!mayWrite())
        return;
    if (!holdsOutputs() && !m_preset) {
        m_preset = true;
        updateControls();
    }
    writeOutputs();
}

bool WindowManOutCtrl::mayWrite() const
{
    return holdsOutputs() || !m_outputs.isHeld();
}

bool WindowManOutCtrl::writeOutputs()
{
    // Never while another tool holds the outputs: the write would land in the
    // middle of a scan or a sweep.
    if (m_fd < 0 || !mayWrite())
        return false;
    const bool written = writeDacOutputs(m_fd, m_volts[0], m_volts[1], m_volts[2], m_volts[3]);
    const int error = errno;
    if (written) {
        if (m_writeFailing) {
            m_writeFailing = false;
            ui->deviceProblem->hide();
        }
        return true;
    }
    // Logged once for a run of failures; the dialog says so until a write gets through.
    if (m_writeFailing)
        return false;
    m_writeFailing = true;
    const QString reason = QString::fromLocal8Bit(std::strerror(error));
    QLOG_WARN() << QStringLiteral("Writing the outputs to %1 failed: %2").arg(QString::fromLatin1(DEVICE_ORVANE), reason);
    showDeviceProblem(tr("The last change could not be written to the output unit (%1).").arg(reason));
    return false;
}

void WindowManOutCtrl::showDeviceProblem(const QString& text)
{
    ui->deviceProblem->setText(text);
    ui->deviceProblem->show();
}
