#include "WindowSaveData.h"

#include <algorithm>

#include <QCheckBox>
#include <QFile>
#include <QPushButton>

#include "DisplaySnapshot.h"
#include "Globals.h"
#include "MeasurementFileWriter.h"
#include "Prompts.h"
#include "ui_windowsavedata.h"

WindowSaveData::WindowSaveData(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::WindowSaveData)
{
    ui->setupUi(this);
    connect(ui->selectPathButton, &QAbstractButton::released, this, &WindowSaveData::getPath);
    connect(ui->buttonBox, &QDialogButtonBox::clicked, this, &WindowSaveData::saveData);
    ui->buttonBox->addButton(tr("Save"), QDialogButtonBox::ApplyRole);
    connect(ui->nrSampBox, &QSpinBox::valueChanged, ui->nrSampSlider, &QSlider::setValue);
    connect(ui->nrSampSlider, &QSlider::valueChanged, ui->nrSampBox, &QSpinBox::setValue);
    copyColumnFlags();
}

WindowSaveData::~WindowSaveData()
{
    delete ui;
}

void WindowSaveData::setStampSource(FileStampSource source)
{
    m_stamp = std::move(source);
}

QString WindowSaveData::fileHeader() const
{
    const QString crlf = QStringLiteral("\r\n");
    return measurementFileHeader(m_stamp()) + crlf + QStringLiteral("Comment: ") +
           ui->commentTextEdit->toPlainText() + crlf + crlf;
}

QString WindowSaveData::columnHeader() const
{
    return DisplayDataColumns::columnHeader(m_columns);
}

QString WindowSaveData::dataRow(const DisplayRecord& record, unsigned i) const
{
    return DisplayDataColumns::dataRow(record, i, m_columns, loadSampFreq());
}

void WindowSaveData::getPath()
{
    const QString proposal = measurementFileName(QStringLiteral("VORN_meas_"), m_stamp().time);
    ui->pathLineEdit->setText(
        Prompts::saveFileName(this, tr("Select filename..."), proposal, tr("CSV files (*.csv)")));
}

void WindowSaveData::saveData(QAbstractButton* button)
{
    if (!button || !button->text().contains(QLatin1String("Save")))
        return;

    // Rows come only from records that were really read.
    const DisplaySnapshot snapshot = readDisplaySnapshot();
    if (!snapshot.complete()) {
        Prompts::warning(this, tr("Cannot read display data"),
                         tr("The display data could not be read:\n%1\n\nNothing was saved.").arg(snapshot.error));
        ui->statusLabel->setText(statusTime() + tr(": Not saved: display data could not be read"));
        return;
    }

    if (ui->pathLineEdit->text().isEmpty())
        getPath();
    const QString path = ui->pathLineEdit->text();
    if (path.isEmpty())
        return;  // the file dialog was cancelled

    bool replace = false;
    if (QFile::exists(path)) {
        const QMessageBox::StandardButton answer = Prompts::warning(
            this, tr("File exists"),
            tr("File: ") + path +
                tr(" already exist.\n\nOverwrite file?\n\nYes - overwrite file\nNo - append to existing file\n"
                   "Cancel - cancel writing to file"),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if (answer == QMessageBox::Yes)
            replace = true;
        else if (answer != QMessageBox::No)
            return;
    }

    copyColumnFlags();
    QString text = fileHeader() + columnHeader();
    const size_t rows = std::min(size_t(ui->nrSampBox->value()), snapshot.records.size());
    for (size_t i = 0; i < rows; ++i)
        text += dataRow(snapshot.records[i], unsigned(i));
    const QByteArray bytes = text.toUtf8();

    const FileWriteResult result = replace ? replaceFile(path, bytes) : appendToFile(path, bytes);
    if (!result.ok) {
        Prompts::warning(this, tr("Saving failed"),
                         tr("File: %1 could not be written:\n%2\n\nNothing was saved.").arg(path, result.error));
        ui->statusLabel->setText(statusTime() + tr(": Saving failed: ") + path);
        return;
    }
    ui->statusLabel->setText(statusTime() + tr(": Saved as: ") + path);
}

void WindowSaveData::copyColumnFlags()
{
    using namespace DisplayDataColumns;
    const QCheckBox* boxes[COUNT] = {
        ui->checkZentrimch1_2, ui->checkZentrimch2_2, ui->checkZentrimch3,   ui->checkZentrimch4,
        ui->checkZentrimch1,   ui->checkZentrimch2,   ui->checkZentrimch3_2, ui->checkZentrimch4_2,
        ui->checkBPMposX,      ui->checkBPMposY,      ui->checkBPMi0,
        ui->checkBPMposX_2,    ui->checkBPMposY_2,    ui->checkBPMi0_2,
        ui->checkOrvanech1,    ui->checkOrvanech2,    ui->checkOrvanech3,    ui->checkOrvanech4};
    for (int c = 0; c < COUNT; ++c)
        m_columns[size_t(c)] = boxes[c]->isChecked();
}

QString WindowSaveData::statusTime() const
{
    return m_stamp().time.toString(QStringLiteral("hh:mm:ss"));
}
