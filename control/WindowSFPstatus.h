#pragma once
// Which device sits on each of the four SFP ports: picture and name from the
// device catalogue, serial number and versions from the device link's table.
#include <QDialog>

#include "VornRecords.h"

namespace Ui {
class WindowSFPstatus;
}
class QTimer;

class WindowSFPstatus : public QDialog
{
    Q_OBJECT

public:
    static constexpr int REFRESH_MS = 1100;
    static constexpr int PICTURE_SIZE = 100;
    enum Row { RowImage = 0, RowName, RowSerial, RowVersion, RowHwVersion };

    explicit WindowSFPstatus(QWidget* parent = nullptr);
    ~WindowSFPstatus() override;

    // Fills the columns of the occupied ports; an empty port's column stays empty.
    void fillTable(const SfpInfo ports[4]);

public slots:
    // Clears the cells, and refills them from the device link while shown.
    void updateSFPdata();

protected:
    // Filled at once rather than at the next tick.
    void showEvent(QShowEvent* event) override;

private:
    Ui::WindowSFPstatus* ui;
    QTimer* m_timer;
};
