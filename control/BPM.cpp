#include "BPM.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include "ConfigSettings.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "ui_bpm.h"

// The pictures sit in a static library; referencing the bundle here keeps the
// linker from dropping it.
static int anchorBeamlineResources()
{
    Q_INIT_RESOURCE(beamline);
    return 1;
}
[[maybe_unused]] static const int beamlineResourcesAnchored = anchorBeamlineResources();

namespace {

const QString ORIENTATION_90 = QStringLiteral("90\u00B0");
constexpr int ORIENTATION_90_INDEX = 0;
constexpr int ORIENTATION_45_INDEX = 1;
constexpr int PICTURE_PIXELS = 44;

// Shown by a channel combo box whose stored channel is none of its items.
const char* const NO_CHANNEL = "invalid";

// A small drawing of the monitor at the centre of the channel boxes.
void showPicture(QGraphicsView* view, const QString& resource)
{
    const qreal ratio = view->devicePixelRatioF();
    QPixmap pixmap(QSize(PICTURE_PIXELS, PICTURE_PIXELS) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(0, 0, PICTURE_PIXELS, PICTURE_PIXELS));
    painter.end();

    auto* scene = new QGraphicsScene(view);
    scene->addPixmap(pixmap);
    scene->setSceneRect(0, 0, PICTURE_PIXELS, PICTURE_PIXELS);
    view->setScene(scene);
    view->setFrameShape(QFrame::NoFrame);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setInteractive(false);
    view->setFocusPolicy(Qt::NoFocus);
}

void select(QComboBox* box, int channel)
{
    box->setCurrentIndex(channel >= 0 && channel < box->count() ? channel : -1);
}

}  // namespace

BPM::BPM(QWidget* parent)
    : QGroupBox(parent)
    , ui(new Ui::BPM)
{
    ui->setupUi(this);
    showPicture(ui->BPM90_image, QStringLiteral(":/beamline/bpm90.svg"));
    showPicture(ui->BPM45_image, QStringLiteral(":/beamline/bpm45.svg"));

    changeBPMorient(ui->BPMorientation->currentText());
    connect(ui->BPMorientation, &QComboBox::currentTextChanged, this, &BPM::changeBPMorient);
    checkConfiguration();
    connect(ui->enableHVbutton, &QPushButton::released, this, &BPM::HVenable);
    connect(ui->setHVbutton, &QPushButton::released, this, &BPM::HVsetV);
    for (QComboBox* box : {ui->BPM90_top, ui->BPM90_right, ui->BPM90_bottom, ui->BPM90_left, ui->BPM45_top,
                           ui->BPM45_right, ui->BPM45_bottom, ui->BPM45_left}) {
        box->setPlaceholderText(QString::fromLatin1(NO_CHANNEL));
        connect(box, &QComboBox::currentIndexChanged, this, &BPM::checkConfiguration);
    }
}

BPM::~BPM()
{
    delete ui;
}

bool BPM::isOrientation90() const
{
    return ui->BPMorientation->currentText() == ORIENTATION_90;
}

void BPM::setOrientation(int value)
{
    if (value == 1)
        ui->BPMorientation->setCurrentIndex(ORIENTATION_90_INDEX);
    else if (value == 0)
        ui->BPMorientation->setCurrentIndex(ORIENTATION_45_INDEX);
    changeBPMorient(ui->BPMorientation->currentText());
}

std::array<QComboBox*, 4> BPM::combosInForce() const
{
    if (isOrientation90())
        return {ui->BPM90_top, ui->BPM90_right, ui->BPM90_bottom, ui->BPM90_left};
    return {ui->BPM45_top, ui->BPM45_right, ui->BPM45_bottom, ui->BPM45_left};
}

void BPM::getChannelMap(int* top, int* right, int* bottom, int* left) const
{
    const std::array<QComboBox*, 4> boxes = combosInForce();
    *top = boxes[0]->currentIndex();
    *right = boxes[1]->currentIndex();
    *bottom = boxes[2]->currentIndex();
    *left = boxes[3]->currentIndex();
}

void BPM::setChannelMap(int top, int right, int bottom, int left)
{
    const std::array<QComboBox*, 4> boxes = combosInForce();
    select(boxes[0], top);
    select(boxes[1], right);
    select(boxes[2], bottom);
    select(boxes[3], left);
}

BeamlineConfRules::ChannelMap BPM::channelMap() const
{
    BeamlineConfRules::ChannelMap map{};
    getChannelMap(&map.top, &map.right, &map.bottom, &map.left);
    return map;
}

void BPM::getScaling(double* x, double* y) const
{
    *x = ui->xGain->value();
    *y = ui->yGain->value();
}

void BPM::setScaling(double x, double y)
{
    ui->xGain->setValue(x);
    ui->yGain->setValue(y);
    ui->xOffset->setValue(CONFIG_SETTINGS->getOffsetX(m_index));
    ui->yOffset->setValue(CONFIG_SETTINGS->getOffsetY(m_index));
}

void BPM::getOffsets(double* x, double* y) const
{
    *x = ui->xOffset->value();
    *y = ui->yOffset->value();
}

void BPM::setOffsets(double x, double y)
{
    ui->xOffset->setValue(x);
    ui->yOffset->setValue(y);
}

void BPM::setHVwidgetHidden(bool hidden)
{
    ui->hv_widget->setHidden(hidden);
}

void BPM::checkFirmwareVersion()
{
    const bool shown = BeamlineConfRules::offsetsAvailable(SW_VERSION);
    for (QWidget* row : {static_cast<QWidget*>(ui->labelOffsetX), static_cast<QWidget*>(ui->labelOffsetY),
                         static_cast<QWidget*>(ui->xOffset), static_cast<QWidget*>(ui->yOffset)})
        row->setVisible(shown);
}

void BPM::updateHVstatus(int status, float voltage, float current)
{
    ui->voltageReadoutLineEdit->setText(BeamlineConfRules::hvVoltageText(voltage));
    ui->currentReadoutLineEdit->setText(BeamlineConfRules::hvCurrentText(current));
    ui->statusLabel->setText(BeamlineConfRules::hvStatusText(status));
}

void BPM::changeBPMorient(const QString& str)
{
    const bool is90 = str == ORIENTATION_90;
    ui->BPMvisual90->setVisible(is90);
    ui->BPMvisual45->setVisible(!is90);
}

void BPM::HVenable()
{
    m_hvEnabled = !m_hvEnabled;
    MAILBOX_COMM->zentrimHVenable(m_hvEnabled ? 1 : 0, m_index);
}

void BPM::HVsetV()
{
    MAILBOX_COMM->zentrimHVSetVoltage(m_index, float(ui->biasVoltageDoubleSpinBox->value()));
}

void BPM::checkConfiguration()
{
    // An electrode without a channel is as wrong as a channel used twice.
    ui->textInvalidConf->setVisible(BeamlineConfRules::isInvalid(channelMap()));
}
