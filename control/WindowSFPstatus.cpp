#include "WindowSFPstatus.h"

#include <QHeaderView>
#include <QPixmap>
#include <QTableWidgetItem>
#include <QTimer>

#include <array>

#include "DeviceCatalogue.h"
#include "Globals.h"
#include "MailboxComm.h"
#include "SfpFormat.h"
#include "ui_windowsfpstatus.h"

namespace {
constexpr int PORT_COUNT = 4;
}  // namespace

WindowSFPstatus::WindowSFPstatus(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::WindowSFPstatus)
{
    ui->setupUi(this);
    updateSFPdata();
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &WindowSFPstatus::updateSFPdata);
    m_timer->start(REFRESH_MS);
}

WindowSFPstatus::~WindowSFPstatus()
{
    delete ui;
}

void WindowSFPstatus::updateSFPdata()
{
    QTableWidget* table = ui->SFPsTable;
    table->clearContents();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->verticalHeader()->setSectionResizeMode(RowImage, QHeaderView::Stretch);
    // Hidden, nothing is looked up: the cells stay clear until the dialog is shown.
    if (!isVisible() || !MAILBOX_COMM)
        return;
    const std::array<SfpInfo, 4> ports = MAILBOX_COMM->sfpInfo();
    fillTable(ports.data());
}

void WindowSFPstatus::fillTable(const SfpInfo ports[4])
{
    QTableWidget* table = ui->SFPsTable;
    for (int port = 0; port < PORT_COUNT; ++port) {
        const SfpInfo& entry = ports[port];
        if (entry.id == 0)
            continue;
        const QString id = sfpIdText(entry.id);

        // A picture that cannot be loaded leaves the decoration empty.
        QPixmap picture(deviceImageFromId(id));
        auto* image = new QTableWidgetItem;
        if (!picture.isNull())
            image->setData(Qt::DecorationRole, picture.scaled(PICTURE_SIZE, PICTURE_SIZE, Qt::KeepAspectRatio,
                                                              Qt::SmoothTransformation));
        table->setItem(RowImage, port, image);
        table->setItem(RowName, port, new QTableWidgetItem(deviceNameFromId(id)));
        table->setItem(RowSerial, port, new QTableWidgetItem(QString::number(entry.serial)));
        table->setItem(RowVersion, port, new QTableWidgetItem(sfpVersionText(entry.version)));
        table->setItem(RowHwVersion, port, new QTableWidgetItem(QString::number(entry.hwVersion)));
    }
}

void WindowSFPstatus::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    updateSFPdata();
}
