#pragma once
// Saves a snapshot of the display stream to a text file: the measurement file
// header, a column line and one row per record for the chosen columns.
#include <QDialog>

#include "DisplayDataColumns.h"
#include "MeasurementFileHeader.h"
#include "VornRecords.h"

class QAbstractButton;

namespace Ui {
class WindowSaveData;
}

class WindowSaveData : public QDialog
{
    Q_OBJECT

public:
    explicit WindowSaveData(QWidget* parent = nullptr);
    ~WindowSaveData() override;

    // Where the time and host name of the header and the status line come from.
    void setStampSource(FileStampSource source);

    // Header lines 1 to 8: the common block, then the comment.
    QString fileHeader() const;
    // For the column flags taken at the last save.
    QString columnHeader() const;
    QString dataRow(const DisplayRecord& record, unsigned i) const;

private slots:
    void getPath();
    void saveData(QAbstractButton* button);

private:
    void copyColumnFlags();
    QString statusTime() const;

    Ui::WindowSaveData* ui = nullptr;
    DisplayDataColumns::Flags m_columns{};
    FileStampSource m_stamp = &FileStamp::now;
};
