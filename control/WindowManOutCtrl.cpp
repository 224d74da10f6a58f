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
    setManual(false);

    connect(ui->checboxEnableMan, &QCheckBox::toggled, this, &WindowManOutCtrl::enableMan_changed);
    for (QSlider* slider : m_sliders)
        connect(slider, &QSlider::valueChanged, this, &WindowManOutCtrl::sliders_changed);
    for (QDoubleSpinBox* box : m_boxes)
        connect(box, &QDoubleSpinBox::valueChanged, this, &WindowManOutCtrl::boxes_changed);

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
    if (m_fd >= 0)
        DeviceIo::close(m_fd);
    delete ui;
}

void WindowManOutCtrl::showWindow()
{
    bool muxRead = false;
    const uint8_t mux = MAILBOX_COMM ? MAILBOX_COMM->getOutputMux(&muxRead) : MUX_FEEDBACK;
    const bool voltsRead = readBack();
    // Showing what was read writes nothing back. The program already driving
    // the outputs with no tool holding them is manual control, resumed; while
    // another tool holds them the box stays clear; after a failed read it stays
    // as it is.
    if (muxRead) {
        if (holdsOutputs() && mux == MUX_FEEDBACK) {
            m_lease.reset();  // the feedback has them again
            setManual(false);
        } else if (!holdsOutputs() && mux == MUX_PROGRAM && voltsRead && !m_outputs.isHeld()) {
            m_lease = m_outputs.take(windowTitle());
            setManual(m_lease != nullptr);
        }
        setChecked(holdsOutputs());
    }
    show();
}

bool WindowManOutCtrl::readBack()
{
    const OutputVoltages read = readOutputVoltages();
    if (!read.valid()) {
        QLOG_WARN() << QStringLiteral("The output voltages cannot be read: %1").arg(read.error);
        ui->readProblem->setText(
            tr("The output voltages cannot be read (%1): manual control cannot be switched on.").arg(read.error));
        ui->readProblem->show();
        return false;
    }
    ui->readProblem->hide();
    m_volts = read.volts;
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

void WindowManOutCtrl::setManual(bool on)
{
    // Nothing to edit while the feedback drives the outputs: the dialog writes
    // only while it holds them.
    for (size_t c = 0; c < m_boxes.size(); ++c) {
        m_boxes[c]->setEnabled(on);
        m_sliders[c]->setEnabled(on);
    }
}

void WindowManOutCtrl::setChecked(bool checked)
{
    const QSignalBlocker quiet(ui->checboxEnableMan);
    ui->checboxEnableMan->setChecked(checked);
}

void WindowManOutCtrl::enableMan_changed(bool enable)
{
    if (!MAILBOX_COMM || enable == holdsOutputs()) {
        setChecked(holdsOutputs());
        return;
    }
    if (!enable) {
        // A refused switch leaves the outputs with the program, and the box says so.
        if (MAILBOX_COMM->setOutputMux(MUX_FEEDBACK) < 0) {
            setChecked(true);
            return;
        }
        m_lease.reset();
        setManual(false);
        return;
    }

    // Refused while a measurement holds the outputs: nothing is written.
    m_lease = m_outputs.takeOrExplain(this, windowTitle());
    if (!m_lease) {
        setChecked(false);
        return;
    }
    // Started from the voltages the unit holds, written back as they are before
    // the multiplexer switches, so the beam does not move.
    bool handedOver = false;
    QString refusal;
    if (!readBack())
        refusal = tr("%1\n\nManual control was not switched on: it would start from voltages the outputs do not "
                     "hold.")
                      .arg(ui->readProblem->text());
    else if (!writeOutputs())
        refusal = tr("The output unit did not take its present voltages, so manual control was not switched on."
                     "\n\n%1")
                      .arg(ui->deviceProblem->text());
    else  // a refused switch is logged by the device link; the box says it
        handedOver = MAILBOX_COMM->setOutputMux(MUX_PROGRAM) >= 0;
    if (handedOver) {
        setManual(true);
        return;
    }
    m_lease.reset();
    setChecked(false);
    if (!refusal.isEmpty())
        Prompts::warning(this, windowTitle(), refusal);
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
    writeOutputs();
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
    writeOutputs();
}

bool WindowManOutCtrl::writeOutputs()
{
    // Only while the dialog holds the outputs (or is taking them): otherwise a
    // write would land in the middle of a scan or a sweep.
    if (m_fd < 0 || !holdsOutputs())
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
