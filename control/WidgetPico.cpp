#include "WidgetPico.h"

#include <QStringList>

#include "Globals.h"
#include "MailboxComm.h"
#include "ui_widgetpico.h"

namespace {
const QStringList RANGE_ITEMS{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("AUTO")};
constexpr int AUTO_ITEM = 2;
// The item role that holds a standard item's flags: 0 makes it unselectable.
constexpr int ITEM_FLAGS_ROLE = Qt::UserRole - 1;
}  // namespace

WidgetPico::WidgetPico(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::WidgetPico)
{
    ui->setupUi(this);
    ui->readingNote->hide();
    connect(ui->saveButton, &QPushButton::released, this, &WidgetPico::sendSettings);
    showCurrents(0.0, 0.0, 0.0, 0.0);
    ui->rangeBox->setItemData(AUTO_ITEM, 0, ITEM_FLAGS_ROLE);

    // The device's range is unknown until the operator sets one.
    ui->rangeBox->setPlaceholderText(tr("not set"));
    ui->rangeBox->setCurrentIndex(-1);
    ui->saveButton->setEnabled(false);
    connect(ui->rangeBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { ui->saveButton->setEnabled(index >= 0); });
}

WidgetPico::~WidgetPico()
{
    delete ui;
}

void WidgetPico::showCurrents(double ch1, double ch2, double ch3, double ch4)
{
    ui->currentCh1Line->setText(QString::number(ch1, 'e', 5));
    ui->currentCh2Line->setText(QString::number(ch2, 'e', 5));
    ui->currentCh3Line->setText(QString::number(ch3, 'e', 5));
    ui->currentCh4Line->setText(QString::number(ch4, 'e', 5));
    ui->readingNote->hide();
}

void WidgetPico::showNoReading(const QString& why)
{
    for (QLineEdit* line : {ui->currentCh1Line, ui->currentCh2Line, ui->currentCh3Line, ui->currentCh4Line})
        line->clear();
    ui->readingNote->setText(tr("No reading: %1.").arg(why));
    ui->readingNote->show();
}

void WidgetPico::sendSettings()
{
    const int range = RANGE_ITEMS.indexOf(ui->rangeBox->currentText());
    if (range < 0 || !MAILBOX_COMM)
        return;
    // The wrapper logs a refusal; the selector goes back to what the device took.
    if (MAILBOX_COMM->zentrimSetRange(range, uint8_t(m_device)) < 0)
        ui->rangeBox->setCurrentIndex(m_acceptedIndex);
    else
        m_acceptedIndex = ui->rangeBox->currentIndex();
}
