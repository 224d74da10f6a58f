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
    bool ok = false;
    const uint8_t mux = MAILBOX_COMM ? MAILBOX_COMM->getOutputMux(&ok) : MUX_FEEDBACK;
    // A failed read says nothing about the multiplexer: the box stays as it is.
    // Showing what was read writes nothing back.
    if (ok) {
        const QSignalBlocker quiet(ui->checboxEnableMan);
        ui->checboxEnableMan->setChecked(mux == MUX_PROGRAM);
    }
    show();
}

void WindowManOutCtrl::enableMan_changed(bool enable)
{
    if (!MAILBOX_COMM)
        return;
    // A refused switch leaves the outputs where they were, and the box says so.
    if (MAILBOX_COMM->setOutputMux(enable ? MUX_PROGRAM : MUX_FEEDBACK) < 0) {
        const QSignalBlocker quiet(ui->checboxEnableMan);
        ui->checboxEnableMan->setChecked(!enable);
    }
}

void WindowManOutCtrl::sliders_changed()
{
    // Only the moved slider disagrees with its box; the other boxes keep their fractions.
    for (size_t c = 0; c < m_sliders.size(); ++c) {
        if (m_sliders[c]->value() != wholeVolts(m_boxes[c]->value())) {
            const QSignalBlocker quiet(m_boxes[c]);
            m_boxes[c]->setValue(m_sliders[c]->value());
        }
    }
    writeOutputs();
}

void WindowManOutCtrl::boxes_changed()
{
    for (size_t c = 0; c < m_boxes.size(); ++c) {
        const int whole = wholeVolts(m_boxes[c]->value());
        if (m_sliders[c]->value() != whole) {
            const QSignalBlocker quiet(m_sliders[c]);
            m_sliders[c]->setValue(whole);
        }
    }
    writeOutputs();
}

void WindowManOutCtrl::writeOutputs()
{
    // Written whether or not manual control is on: the values wait in the
    // output unit until the multiplexer hands it to the program.
    if (m_fd < 0)
        return;
    const bool written = writeDacOutputs(m_fd, ui->boxCh1->value(), ui->boxCh2->value(), ui->boxCh3->value(),
                                         ui->boxCh4->value());
    const int error = errno;
    if (written) {
        if (m_writeFailing) {
            m_writeFailing = false;
            ui->deviceProblem->hide();
        }
        return;
    }
    // Logged once for a run of failures; the dialog says so until a write gets through.
    if (m_writeFailing)
        return;
    m_writeFailing = true;
    const QString reason = QString::fromLocal8Bit(std::strerror(error));
    QLOG_WARN() << QStringLiteral("Writing the outputs to %1 failed: %2").arg(QString::fromLatin1(DEVICE_ORVANE), reason);
    showDeviceProblem(tr("The last change could not be written to the output unit (%1).").arg(reason));
}

void WindowManOutCtrl::showDeviceProblem(const QString& text)
{
    ui->deviceProblem->setText(text);
    ui->deviceProblem->show();
}
