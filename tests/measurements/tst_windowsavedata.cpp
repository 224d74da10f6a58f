// The save-data dialog against the simulated display device: the file it writes,
// byte for byte, and what it does when the device, the folder or the operator
// says no.
#include <fcntl.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

#include "DeviceIo.h"
#include "Globals.h"
#include "Prompts.h"
#include "SimControl.h"
#include "VornLibrary.h"
#include "WindowSaveData.h"
#include "support/TestDir.h"
#include "simulator/SimTestSupport.h"
#include "support/FileSizeLimit.h"
#include "support/TestFiles.h"

namespace {

const QDateTime HEADER_TIME(QDate(2026, 11, 3), QTime(14, 5, 9));
const QString HOST = QStringLiteral("beamline-ws3");
const QString COMMON_HEADER = QStringLiteral(
    "Tarquel Instruments VORN\r\nVORN\r\n\r\nTime and Date: 14:05:09 03.11.2026\r\nHost Name: beamline-ws3\r\n");
const QString DEFAULT_COLUMNS =
    QStringLiteral("Nr, Rel. time, BPM1 Pos X, BPM1 Pos Y, BPM1 I0, BPM2 Pos X, BPM2 Pos Y, BPM2 I0, \r\n");
const QString FILE_EXISTS_TEXT = QStringLiteral(
    " already exist.\n\nOverwrite file?\n\nYes - overwrite file\nNo - append to existing file\n"
    "Cancel - cancel writing to file");

// Every check box, in the file's column order, with its column name and the
// record word and scale the value comes from.
struct ColumnCase
{
    const char* box;
    const char* name;
    int word;
    int scale;  // 0 none, 1 X of BPM1, 2 Y of BPM1, 3 X of BPM2, 4 Y of BPM2
};
const ColumnCase COLUMNS[] = {
    {"checkZentrimch1_2", "Zentrim Ch1", 24, 0},  {"checkZentrimch2_2", "Zentrim Ch2", 25, 0},
    {"checkZentrimch3", "Zentrim Ch3", 26, 0},    {"checkZentrimch4", "Zentrim Ch4", 27, 0},
    {"checkZentrimch1", "Zentrim2 Ch1", 28, 0},   {"checkZentrimch2", "Zentrim2 Ch2", 29, 0},
    {"checkZentrimch3_2", "Zentrim2 Ch3", 30, 0}, {"checkZentrimch4_2", "Zentrim2 Ch4", 31, 0},
    {"checkBPMposX", "BPM1 Pos X", 0, 1},         {"checkBPMposY", "BPM1 Pos Y", 1, 2},
    {"checkBPMi0", "BPM1 I0", 2, 0},              {"checkBPMposX_2", "BPM2 Pos X", 4, 3},
    {"checkBPMposY_2", "BPM2 Pos Y", 5, 4},       {"checkBPMi0_2", "BPM2 I0", 6, 0},
    {"checkOrvanech1", "Orvane Ch1", 8, 0},       {"checkOrvanech2", "Orvane Ch2", 9, 0},
    {"checkOrvanech3", "Orvane Ch3", 10, 0},      {"checkOrvanech4", "Orvane Ch4", 11, 0},
};

double scaleOf(int scale)
{
    switch (scale) {
    case 1: return POS_SCALE_X[0];
    case 2: return POS_SCALE_Y[0];
    case 3: return POS_SCALE_X[1];
    case 4: return POS_SCALE_Y[1];
    default: return 1.0;
    }
}

using TestFiles::contents;
using TestFiles::put;

// What a save reads: the newest block of the display device. The stepped clock
// stands still, so a read after the save returns the same records.
std::vector<DisplayRecord> displayBlock()
{
    return SimTest::newest(14336);
}

// Lines of a file without their "\r\n"; fails the test when a line lacks it.
QStringList crlfLines(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    if (!text.endsWith("\r\n") || text.count('\n') != text.count("\r\n"))
        return {"<line without \\r\\n>"};
    QStringList lines = text.split("\r\n");
    lines.removeLast();
    return lines;
}

bool closeTo(double actual, double expected)
{
    // Six significant digits.
    return qAbs(actual - expected) <= 5e-6 * qAbs(expected) + 1e-300;
}

}  // namespace

class TestWindowSaveData : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Prompts::setTestMode(true);
        SimTest::start();
        // Off the centre, so that positions and currents are not zero, for longer
        // than a read reaches back: the rows are the oldest records of the block.
        // The stepped clock then stands still, so every save reads the same block.
        QVERIFY(setOutputMux(0) >= 0);
        QCOMPARE(SimTest::writeOutputs(5.2, 4.9, 1.5, -2.25), 0);
        SimControl::step(15.0);
    }

    void init()
    {
        SimControl::clearFailures();
        Prompts::clear();
        storeSampFreq(1000);
        POS_SCALE_X[0] = 1000.0;
        POS_SCALE_Y[0] = 1100.0;
        POS_SCALE_X[1] = 1200.0;
        POS_SCALE_Y[1] = 1300.0;
        m_dir = std::make_unique<QTemporaryDir>(testDirTemplate("savedata"));
        QVERIFY(m_dir->isValid());
        m_window = std::make_unique<WindowSaveData>();
        m_window->setStampSource([] { return FileStamp{HEADER_TIME, HOST}; });
    }

    void cleanup()
    {
        m_window.reset();
        POS_SCALE_X[0] = POS_SCALE_Y[0] = POS_SCALE_X[1] = POS_SCALE_Y[1] = 1.0;
    }

    void formAtStart()
    {
        QCOMPARE(m_window->windowTitle(), QString("Save data"));
        QCOMPARE(spinBox()->value(), 1000);
        QCOMPARE(spinBox()->maximum(), 10000);
        QCOMPARE(slider()->value(), 1000);
        QCOMPARE(slider()->singleStep(), 10);
        QCOMPARE(slider()->tickInterval(), 1000);
        QCOMPARE(slider()->tickPosition(), QSlider::TicksBelow);
        QCOMPARE(label("statusLabel"), QString("status"));
        QVERIFY(m_window->findChild<QLineEdit*>("pathLineEdit")->text().isEmpty());
        QVERIFY(saveButton());
        QCOMPARE(buttonBox()->buttonRole(saveButton()), QDialogButtonBox::ApplyRole);
        QVERIFY(buttonBox()->button(QDialogButtonBox::Close));
        QCOMPARE(m_window->columnHeader(), DEFAULT_COLUMNS);
    }

    void spinBoxAndSliderFollowEachOther()
    {
        slider()->setValue(2500);
        QCOMPARE(spinBox()->value(), 2500);
        spinBox()->setValue(40);
        QCOMPARE(slider()->value(), 40);
    }

    // One box at a time: its column name, and its value from the right word and scale.
    void eachColumn_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(COLUMNS)); ++i)
            QTest::newRow(COLUMNS[i].box) << i;
    }

    void eachColumn()
    {
        QFETCH(int, index);
        const ColumnCase& column = COLUMNS[index];
        for (QCheckBox* box : m_window->findChildren<QCheckBox*>())
            box->setChecked(box->objectName() == QLatin1String(column.box));
        spinBox()->setValue(2);

        const QStringList lines = saveAndReadLines(m_dir->filePath("one.csv"));
        QCOMPARE(lines.size(), 11);
        QCOMPARE(lines[8], QString("Nr, Rel. time, %1, ").arg(column.name));
        const std::vector<DisplayRecord> records = displayBlock();
        for (int i = 0; i < 2; ++i) {
            const QStringList fields = lines[9 + i].split(", ");
            QCOMPARE(fields.size(), 4);
            QVERIFY(fields[3].isEmpty());
            const double expected = records[size_t(i)].word[column.word] * scaleOf(column.scale);
            QVERIFY(expected != 0.0);
            QVERIFY2(closeTo(fields[2].toDouble(), expected),
                     qPrintable(fields[2] + " vs " + QString::number(expected, 'g', 17)));
        }
    }

    void mixedOrderFollowsTheFileNotTheForm()
    {
        box("checkOrvanech1")->setChecked(true);
        box("checkZentrimch1")->setChecked(true);  // BPM2's first picoammeter channel
        spinBox()->setValue(0);

        const QStringList lines = saveAndReadLines(m_dir->filePath("mixed.csv"));
        QCOMPARE(lines.value(8), QString("Nr, Rel. time, Zentrim2 Ch1, BPM1 Pos X, BPM1 Pos Y, BPM1 I0, BPM2 Pos X, "
                                         "BPM2 Pos Y, BPM2 I0, Orvane Ch1, "));
        QCOMPARE(m_window->columnHeader(), lines.value(8) + "\r\n");
    }

    void wholeFileFromTheSimulator()
    {
        m_window->findChild<QPlainTextEdit*>("commentTextEdit")->setPlainText("scan 7\nslit 0.2 mm");
        spinBox()->setValue(3);
        const QString path = m_dir->filePath("snapshot.csv");
        m_window->findChild<QLineEdit*>("pathLineEdit")->setText(path);

        saveButton()->click();

        QCOMPARE(label("statusLabel"), "14:05:09: Saved as: " + path);
        QVERIFY(Prompts::shown().isEmpty());
        const QByteArray bytes = contents(path);
        const QString header = COMMON_HEADER + "\r\nComment: scan 7\nslit 0.2 mm\r\n\r\n" + DEFAULT_COLUMNS;
        QVERIFY2(bytes.startsWith(header.toUtf8()), bytes.left(400).constData());
        // Every line ends with "\r\n"; the comment's own break is written as it is.
        QByteArray withoutComment = bytes;
        withoutComment.replace("scan 7\nslit", "scan 7 slit");
        QCOMPARE(crlfLines(withoutComment).size(), 8 + 1 + 3);

        const QStringList rows = QString::fromUtf8(bytes.mid(header.toUtf8().size())).split("\r\n");
        QCOMPARE(rows.size(), 4);
        QVERIFY(rows[3].isEmpty());
        QVERIFY(rows[0].startsWith("0, 0, "));
        QVERIFY(rows[1].startsWith("1, 0.001, "));
        QVERIFY(rows[2].startsWith("2, 0.002, "));
        const std::vector<DisplayRecord> records = displayBlock();
        const int words[] = {0, 1, 2, 4, 5, 6};
        const double scales[] = {POS_SCALE_X[0], POS_SCALE_Y[0], 1.0, POS_SCALE_X[1], POS_SCALE_Y[1], 1.0};
        for (int i = 0; i < 3; ++i) {
            QVERIFY(rows[i].endsWith(", "));
            const QStringList fields = rows[i].split(", ");
            QCOMPARE(fields.size(), 9);
            for (int c = 0; c < 6; ++c) {
                const double expected = records[size_t(i)].word[words[c]] * scales[c];
                QVERIFY2(closeTo(fields[2 + c].toDouble(), expected),
                         qPrintable(QString("row %1 column %2: %3 vs %4").arg(i).arg(c).arg(fields[2 + c]).arg(expected)));
            }
        }
        // The positions are the beam's true ones, in micrometres, at BPM1's scale of 1000.
        QVERIFY(qAbs(rows[0].split(", ")[2].toDouble() - SimControl::truePosition(0, 0)) < 0.05);
    }

    void rowCount_data()
    {
        QTest::addColumn<int>("samples");
        QTest::newRow("0 samples: header and column line only") << 0;
        QTest::newRow("1 sample") << 1;
        QTest::newRow("10000 samples") << 10000;
    }

    void rowCount()
    {
        QFETCH(int, samples);
        spinBox()->setValue(samples);
        const QStringList lines = saveAndReadLines(m_dir->filePath("rows.csv"));
        QCOMPARE(lines.size(), 9 + samples);
        QCOMPARE(lines[8] + "\r\n", DEFAULT_COLUMNS);
        if (samples > 0)
            QVERIFY(lines.last().startsWith(QString::number(samples - 1) + ", "));
    }

    void existingFile_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<bool>("appended");

        QTest::newRow("Yes replaces it") << int(QMessageBox::Yes) << true << false;
        QTest::newRow("No appends a complete block") << int(QMessageBox::No) << false << true;
        QTest::newRow("Cancel leaves it") << int(QMessageBox::Cancel) << false << false;
    }

    void existingFile()
    {
        QFETCH(int, answer);
        QFETCH(bool, replaced);
        QFETCH(bool, appended);
        spinBox()->setValue(5);
        const QString fresh = m_dir->filePath("fresh.csv");
        const QByteArray block = saveAndRead(fresh);

        const QString path = m_dir->filePath("existing.csv");
        const QByteArray old("earlier run\r\n1, 0.001, 7, \r\n");
        put(path, old);
        m_window->findChild<QLineEdit*>("pathLineEdit")->setText(path);
        const QString statusBefore = label("statusLabel");
        Prompts::clear();
        Prompts::queueAnswer(QMessageBox::StandardButton(answer));

        saveButton()->click();

        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::Warning);
        QCOMPARE(shown[0].title, QString("File exists"));
        QCOMPARE(shown[0].text, "File: " + path + FILE_EXISTS_TEXT);
        const QByteArray now = contents(path);
        if (replaced)
            QCOMPARE(now, block);
        else if (appended)
            QCOMPARE(now, old + block);
        else
            QCOMPARE(now, old);
        if (replaced || appended)
            QCOMPARE(label("statusLabel"), "14:05:09: Saved as: " + path);
        else
            QCOMPARE(label("statusLabel"), statusBefore);
    }

    void secondSaveWithNoAppendsASecondBlock()
    {
        spinBox()->setValue(4);
        const QString path = m_dir->filePath("twice.csv");
        const QByteArray first = saveAndRead(path);
        Prompts::queueAnswer(QMessageBox::No);
        saveButton()->click();
        QCOMPARE(contents(path), first + first);
        QCOMPARE(crlfLines(contents(path)).size(), 2 * (9 + 4));
    }

    void pathFromTheFileDialog()
    {
        const QString path = m_dir->filePath("chosen.csv");
        Prompts::queueFileName(path);
        saveButton()->click();

        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Prompts::Kind::SaveFileName);
        QCOMPARE(shown[0].title, QString("Select filename..."));
        QCOMPARE(shown[0].text, QString("VORN_meas_2026-11-03_14-05-09.csv"));
        QCOMPARE(m_window->findChild<QLineEdit*>("pathLineEdit")->text(), path);
        QCOMPARE(crlfLines(contents(path)).size(), 9 + 1000);
    }

    void selectPathButtonAsksForAName()
    {
        Prompts::queueFileName("/data/run1.csv");
        m_window->findChild<QAbstractButton*>("selectPathButton")->click();
        QCOMPARE(m_window->findChild<QLineEdit*>("pathLineEdit")->text(), QString("/data/run1.csv"));
        QCOMPARE(Prompts::shown().size(), 1);
    }

    void closeDoesNotSave()
    {
        m_window->show();
        m_window->findChild<QLineEdit*>("pathLineEdit")->setText(m_dir->filePath("never.csv"));
        buttonBox()->button(QDialogButtonBox::Close)->click();
        QVERIFY(!m_window->isVisible());
        QVERIFY(!QFile::exists(m_dir->filePath("never.csv")));
        QVERIFY(Prompts::shown().isEmpty());
    }

    // Nothing written and no success claimed, whatever says no.
    void nothingWrittenOnFailure_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("warningTitle");

        QTest::newRow("display device cannot be opened") << "open" << "Cannot read display data";
        QTest::newRow("display device reads short") << "short" << "Cannot read display data";
        QTest::newRow("display device read fails") << "read" << "Cannot read display data";
        QTest::newRow("folder cannot hold the file") << "folder" << "Saving failed";
        QTest::newRow("file dialog cancelled") << "cancel" << "";
    }

    void nothingWrittenOnFailure()
    {
        QFETCH(QString, failure);
        QFETCH(QString, warningTitle);
        QString path = m_dir->filePath("target.csv");
        if (failure == "open")
            SimControl::failOpen(DEVICE_DISPLAY, ENODEV);
        else if (failure == "short")
            SimControl::shortRead(DEVICE_DISPLAY, 5 * sizeof(DisplayRecord));
        else if (failure == "read")
            SimControl::shortRead(DEVICE_DISPLAY, 14336 * sizeof(DisplayRecord));
        else if (failure == "folder") {
            put(m_dir->filePath("plain"), "x");
            path = m_dir->filePath("plain/target.csv");
        }
        if (failure != "cancel")
            m_window->findChild<QLineEdit*>("pathLineEdit")->setText(path);
        spinBox()->setValue(10);

        saveButton()->click();

        QVERIFY(!QFile::exists(path));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
                 failure == "folder" ? QStringList{"plain"} : QStringList());
        QVERIFY(!label("statusLabel").contains("Saved as"));
        QList<Prompts::Shown> warnings;
        for (const Prompts::Shown& s : Prompts::shown())
            if (s.kind == Prompts::Kind::Warning)
                warnings << s;
        if (warningTitle.isEmpty()) {
            QVERIFY(warnings.isEmpty());
            QCOMPARE(label("statusLabel"), QString("status"));
        } else {
            QCOMPARE(warnings.size(), 1);
            QCOMPARE(warnings[0].title, warningTitle);
            QVERIFY(label("statusLabel").startsWith("14:05:09: "));
        }
        // The device's failures are caught before anyone is asked for a file name.
        if (failure == "open" || failure == "short" || failure == "read")
            QCOMPARE(Prompts::shown().size(), 1);
    }

    void failedWriteKeepsTheExistingFile_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("overwrite") << int(QMessageBox::Yes);
        QTest::newRow("append") << int(QMessageBox::No);
    }

    void failedWriteKeepsTheExistingFile()
    {
        QFETCH(int, answer);
        const QString path = m_dir->filePath("kept.csv");
        const QByteArray old("earlier run\r\n1, 0.001, 7, \r\n");
        put(path, old);
        m_window->findChild<QLineEdit*>("pathLineEdit")->setText(path);
        spinBox()->setValue(2000);  // well over the size limit below
        Prompts::queueAnswer(QMessageBox::StandardButton(answer));
        {
            const FileSizeLimit limit(8192);
            saveButton()->click();
        }
        QCOMPARE(contents(path), old);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.csv"});
        QCOMPARE(label("statusLabel"), "14:05:09: Saving failed: " + path);
        const QList<Prompts::Shown> shown = Prompts::shown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].kind, Prompts::Kind::Warning);
        QCOMPARE(shown[1].title, QString("Saving failed"));
        QVERIFY(shown[1].text.startsWith("File: " + path + " could not be written"));
    }

private:
    QSpinBox* spinBox() const { return m_window->findChild<QSpinBox*>("nrSampBox"); }
    QSlider* slider() const { return m_window->findChild<QSlider*>("nrSampSlider"); }
    QCheckBox* box(const char* name) const { return m_window->findChild<QCheckBox*>(name); }
    QString label(const char* name) const { return m_window->findChild<QLabel*>(name)->text(); }
    QDialogButtonBox* buttonBox() const { return m_window->findChild<QDialogButtonBox*>("buttonBox"); }
    QPushButton* saveButton() const
    {
        for (QAbstractButton* b : buttonBox()->buttons())
            if (b->text() == QLatin1String("Save"))
                return qobject_cast<QPushButton*>(b);
        return nullptr;
    }

    QByteArray saveAndRead(const QString& path)
    {
        m_window->findChild<QLineEdit*>("pathLineEdit")->setText(path);
        saveButton()->click();
        return contents(path);
    }
    QStringList saveAndReadLines(const QString& path) { return crlfLines(saveAndRead(path)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<WindowSaveData> m_window;
};

QTEST_MAIN(TestWindowSaveData)
#include "tst_windowsavedata.moc"
