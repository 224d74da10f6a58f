#include "BPM.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include "ConfigSettings.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "Prompts.h"
#include "UnloadedFields.h"
#include "ui_bpm.h"

#include <tuple>

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
const char* const NO_ORIENTATION = "not set";

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

    ui->BPMorientation->setPlaceholderText(QString::fromLatin1(NO_ORIENTATION));
    changeBPMorient(ui->BPMorientation->currentText());
    connect(ui->BPMorientation, &QComboBox::currentTextChanged, this, &BPM::changeBPMorient);
    // The other picture's channels are in force after a change of orientation.
    connect(ui->BPMorientation, &QComboBox::currentIndexChanged, this, &BPM::checkConfiguration);
    checkConfiguration();
    ui->readingNote->hide();

    m_unloaded = new UnloadedFields(this);
    m_unloaded->watch(ui->xGain, tr("X scaling"), QStringLiteral("Scale_X"));
    m_unloaded->watch(ui->yGain, tr("Y scaling"), QStringLiteral("Scale_Y"));
    m_unloaded->watch(ui->xOffset, tr("X offset"), QStringLiteral("Offset_X"));
    m_unloaded->watch(ui->yOffset, tr("Y offset"), QStringLiteral("Offset_Y"));
    m_unloaded->setNote(ui->loadNote);
    m_unloaded->watchChoice(ui->BPMorientation);
    connect(ui->enableHVbutton, &QPushButton::released, this, &BPM::HVenable);
    connect(ui->setHVbutton, &QPushButton::released, this, &BPM::HVsetV);
    for (QComboBox* box : {ui->BPM90_top, ui->BPM90_right, ui->BPM90_bottom, ui->BPM90_left, ui->BPM45_top,
                           ui->BPM45_right, ui->BPM45_bottom, ui->BPM45_left}) {
        box->setPlaceholderText(QString::fromLatin1(NO_CHANNEL));
        connect(box, &QComboBox::currentIndexChanged, this, &BPM::checkConfiguration);
        m_unloaded->watchChoice(box);
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

void BPM::clearOrientation()
{
    ui->BPMorientation->setCurrentIndex(-1);
    changeBPMorient(ui->BPMorientation->currentText());
}

bool BPM::orientationChosen() const
{
    return ui->BPMorientation->currentIndex() >= 0;
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

QString BPM::group() const
{
    return m_index == 0 ? QStringLiteral("BPM1") : QStringLiteral("BPM2");
}

void BPM::setScaling(double x, double y)
{
    ui->xGain->setValue(x);
    ui->yGain->setValue(y);
    QStringList unread;
    const double offsetX = CONFIG_SETTINGS->getOffsetX(m_index, &unread);
    const double offsetY = CONFIG_SETTINGS->getOffsetY(m_index, &unread);
    ui->xOffset->setValue(offsetX);
    ui->yOffset->setValue(offsetY);
    m_unloaded->markKeys({QStringLiteral("Offset_X"), QStringLiteral("Offset_Y")}, unread);
    m_offsetsDiffer = false;
    for (const auto& [box, name, value] : {std::tuple{ui->xOffset, "Offset_X", offsetX},
                                           std::tuple{ui->yOffset, "Offset_Y", offsetY}}) {
        const QString key = group() + QLatin1Char('/') + QLatin1String(name);
        if (!CONFIG_SETTINGS->holds(key) || m_unloaded->isUnloaded(box))
            continue;
        m_offsetsDiffer = m_offsetsDiffer || !UnloadedFields::showsValue(box, value);
        // Rows the controller has no use for are not shown, nor noted.
        if (offsetsShown())
            m_unloaded->noteStored(box, key, value);
    }
}

void BPM::noteStored(int orient, const BeamlineConfRules::ChannelMap& stored, double scaleX, double scaleY,
                     const QStringList& unread)
{
    const QString prefix = group() + QLatin1Char('/');
    QString orientNote;
    if (unread.contains(QStringLiteral("Orient")))
        orientNote = tr("Orientation: %1Orient was not read from the configuration file; choose one.").arg(prefix);
    else if (orient != 0 && orient != 1 && CONFIG_SETTINGS->holds(prefix + QStringLiteral("Orient")))
        orientNote = tr("Orientation: the file holds %1Orient = %2; the box stays at %3.")
                         .arg(prefix)
                         .arg(orient)
                         .arg(orientationChosen() ? ui->BPMorientation->currentText()
                                                  : QString::fromLatin1(NO_ORIENTATION));
    m_unloaded->setStoredNote(ui->BPMorientation, orientNote);

    const std::array<QComboBox*, 4> boxes = combosInForce();
    const int channels[4] = {stored.top, stored.right, stored.bottom, stored.left};
    const char* const keys[4] = {"Top", "Right", "Bottom", "Left"};
    const char* const sides[4] = {QT_TR_NOOP("Top"), QT_TR_NOOP("Right"), QT_TR_NOOP("Bottom"), QT_TR_NOOP("Left")};
    for (int e = 0; e < 4; ++e) {
        const QString key = prefix + QLatin1String(keys[e]);
        QString line;
        if (unread.contains(QLatin1String(keys[e])))
            line = tr("%1: %2 was not read from the configuration file; choose a channel.").arg(tr(sides[e]), key);
        else if ((channels[e] < 0 || channels[e] >= BeamlineConfRules::CHANNELS) && CONFIG_SETTINGS->holds(key))
            line = tr("%1: the file holds %2 = %3; the box shows no channel.").arg(tr(sides[e]), key).arg(channels[e]);
        m_unloaded->setStoredNote(boxes[e], line);
    }

    for (const auto& [box, name, value] :
         {std::tuple{ui->xGain, "Scale_X", scaleX}, std::tuple{ui->yGain, "Scale_Y", scaleY}}) {
        const QString key = prefix + QLatin1String(name);
        if (CONFIG_SETTINGS->holds(key))
            m_unloaded->noteStored(box, key, value);
    }
}

QStringList BPM::storedNotes() const
{
    return m_unloaded->storedNotes();
}

bool BPM::offsetsDiffer() const
{
    return m_offsetsDiffer;
}

void BPM::markScalesUnread(const QStringList& unread)
{
    m_unloaded->markKeys({QStringLiteral("Scale_X"), QStringLiteral("Scale_Y")}, unread);
}

bool BPM::offsetsShown() const
{
    return !ui->xOffset->isHidden();
}

bool BPM::offsetsUnloaded() const
{
    return m_unloaded->isUnloaded(ui->xOffset) || m_unloaded->isUnloaded(ui->yOffset);
}

QStringList BPM::unloadedNames() const
{
    QStringList names = m_unloaded->unloadedNames();
    // Hidden offsets are neither typed nor sent while unloaded.
    if (!offsetsShown()) {
        names.removeAll(tr("X offset"));
        names.removeAll(tr("Y offset"));
    }
    return names;
}

BeamlineConfRules::BoxEntries BPM::entries() const
{
    BeamlineConfRules::BoxEntries e{orientationChosen(), channelMap(), 0.0, 0.0, unloadedNames()};
    getScaling(&e.scaleX, &e.scaleY);
    return e;
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
    ui->readingNote->hide();
}

void BPM::showHVnoReading(const QString& why)
{
    ui->voltageReadoutLineEdit->clear();
    ui->currentReadoutLineEdit->clear();
    ui->statusLabel->clear();
    ui->readingNote->setText(tr("No reading: %1.").arg(why));
    ui->readingNote->show();
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
    if (MAILBOX_COMM->zentrimHVenable(m_hvEnabled ? 1 : 0, m_index) >= 0)
        return;
    // The next press asks for the same again.
    m_hvEnabled = !m_hvEnabled;
    Prompts::warning(this, tr("High voltage refused"),
                     tr("The picoammeter of BPM %1 refused to switch its high voltage %2.")
                         .arg(m_index + 1)
                         .arg(m_hvEnabled ? tr("off") : tr("on")));
}

void BPM::HVsetV()
{
    const double volts = ui->biasVoltageDoubleSpinBox->value();
    if (!BeamlineConfRules::biasInRange(volts)) {
        Prompts::warning(this, tr("Bias voltage out of range"),
                         tr("%1 V is beyond the supply's range of -%2 V to +%2 V.\nNothing was sent.")
                             .arg(volts, 0, 'f', 2)
                             .arg(BeamlineConfRules::HV_BIAS_LIMIT_V, 0, 'f', 0));
        return;
    }
    if (MAILBOX_COMM->zentrimHVSetVoltage(m_index, float(volts)) < 0)
        Prompts::warning(this, tr("High voltage refused"),
                         tr("The picoammeter of BPM %1 refused the bias voltage %2 V.")
                             .arg(m_index + 1)
                             .arg(volts, 0, 'f', 2));
}

void BPM::checkConfiguration()
{
    // An electrode without a channel is as wrong as a channel used twice.
    ui->textInvalidConf->setVisible(BeamlineConfRules::isInvalid(channelMap()));
}
