// The SFP table against the simulated ports: what each occupied port's column
// shows, empty and unknown ports, the picture, and when the table fills.
#include <QDialogButtonBox>
#include <QPushButton>
#include <QHeaderView>
#include <QPixmap>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <optional>

#include "Globals.h"
#include "SimControl.h"
#include "WindowSFPstatus.h"
#include "support/ProgramFixture.h"

namespace {

QTableWidget* tableOf(const WindowSFPstatus& dialog) { return dialog.findChild<QTableWidget*>("SFPsTable"); }

// The texts of one column, rows "Name" to "HW Ver"; empty for an empty cell.
QStringList columnTexts(const WindowSFPstatus& dialog, int port)
{
    QStringList texts;
    for (int row = WindowSFPstatus::RowName; row <= WindowSFPstatus::RowHwVersion; ++row) {
        const QTableWidgetItem* item = tableOf(dialog)->item(row, port);
        texts << (item ? item->text() : QString());
    }
    return texts;
}

QPixmap pictureAt(const WindowSFPstatus& dialog, int port)
{
    const QTableWidgetItem* item = tableOf(dialog)->item(WindowSFPstatus::RowImage, port);
    return item ? item->data(Qt::DecorationRole).value<QPixmap>() : QPixmap();
}

bool cellsEmpty(const WindowSFPstatus& dialog)
{
    for (int row = 0; row < 5; ++row)
        for (int port = 0; port < 4; ++port)
            if (tableOf(dialog)->item(row, port))
                return false;
    return true;
}

}  // namespace

class TestWindowSFPstatus : public QObject
{
    Q_OBJECT

private:
    std::optional<ProgramFixture> m_program;

private slots:
    void init() { m_program.emplace(ProgramFixture::Options().noConfig().refreshed()); }

    void cleanup() { m_program.reset(); }

    void formAsBuilt()
    {
        WindowSFPstatus dialog;
        QCOMPARE(dialog.objectName(), QString("WindowSFPstatus"));
        QCOMPARE(dialog.windowTitle(), QString("SFP Info"));
        QTableWidget* table = tableOf(dialog);
        QCOMPARE(table->rowCount(), 5);
        QCOMPARE(table->columnCount(), 4);
        QStringList columns, rows;
        for (int c = 0; c < 4; ++c)
            columns << table->horizontalHeaderItem(c)->text();
        for (int r = 0; r < 5; ++r)
            rows << table->verticalHeaderItem(r)->text();
        QCOMPARE(columns, QStringList({"SFP A", "SFP B", "SFP C", "SFP D"}));
        QCOMPARE(rows, QStringList({"Image", "Name", "Serial Nr", "Version", "HW Ver"}));
        QCOMPARE(dialog.findChild<QDialogButtonBox*>("buttonBox")->standardButtons(), QDialogButtonBox::Ok);

        for (int c = 0; c < 4; ++c)
            QCOMPARE(table->horizontalHeader()->sectionResizeMode(c), QHeaderView::Stretch);
        QCOMPARE(table->verticalHeader()->sectionResizeMode(WindowSFPstatus::RowImage), QHeaderView::Stretch);
        QVERIFY(table->verticalHeader()->sectionResizeMode(WindowSFPstatus::RowName) != QHeaderView::Stretch);

        const QList<QTimer*> timers = dialog.findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(timers.size(), 1);
        QCOMPARE(timers[0]->interval(), 1100);
        QVERIFY(timers[0]->isActive());
    }

    void startPortsFillAtOnceWhenShown()
    {
        WindowSFPstatus dialog;
        QVERIFY(cellsEmpty(dialog));
        dialog.show();

        QCOMPARE(columnTexts(dialog, 0), QStringList({"Zentrim Z4-H1P", "1001", "1.0.0.2", "1"}));
        QCOMPARE(columnTexts(dialog, 1), QStringList({"Zentrim Z4-H1P", "1002", "1.0.0.2", "1"}));
        QCOMPARE(columnTexts(dialog, 2), QStringList({"Orvane O4", "2001", "1.0.0.2", "1"}));
        QCOMPARE(columnTexts(dialog, 3), QStringList(4, QString()));
        for (int port = 0; port < 3; ++port)
            QVERIFY(!pictureAt(dialog, port).isNull());
    }

    void portColumn_data()
    {
        QTest::addColumn<uint>("id");
        QTest::addColumn<uint>("version");
        QTest::addColumn<QStringList>("texts");  // name, serial, version, hardware version
        QTest::addColumn<bool>("picture");

        QTest::newRow("2101 picoammeter, with its picture")
            << 0x2101u << 0x31303032u << QStringList{"Zentrim Z4-H1P", "4711", "1.0.0.2", "7"} << true;
        QTest::newRow("21a0 is in no row: no name, no picture, the rest filled")
            << 0x21A0u << 0x32303031u << QStringList{"", "4711", "2.0.0.1", "7"} << false;
        QTest::newRow("1100 is known but has no picture")
            << 0x1100u << 0x31303032u << QStringList{"Varda P3", "4711", "1.0.0.2", "7"} << false;
        QTest::newRow("2340 encoder box on a link")
            << 0x2340u << 0x31303032u << QStringList{"Kelpo E2-S", "4711", "1.0.0.2", "7"} << true;
        QTest::newRow("unprintable version bytes as numbers")
            << 0x2200u << 0x31000A32u << QStringList{"Orvane O4", "4711", "1.0.10.2", "7"} << true;
        QTest::newRow("identifier 0 leaves the whole column empty")
            << 0u << 0x31303032u << QStringList{"", "", "", ""} << false;
    }

    void portColumn()
    {
        QFETCH(uint, id);
        QFETCH(uint, version);
        QFETCH(QStringList, texts);
        QFETCH(bool, picture);

        SimControl::setSfpPort(3, uint16_t(id), 7, version, 4711);
        m_program->link->refreshData();
        WindowSFPstatus dialog;
        dialog.show();

        QCOMPARE(columnTexts(dialog, 3), texts);
        const QPixmap shown = pictureAt(dialog, 3);
        QCOMPARE(!shown.isNull(), picture);
        if (picture) {
            // Fitted into 100 x 100, aspect kept.
            QVERIFY(shown.width() <= 100 && shown.height() <= 100);
            QVERIFY(shown.width() == 100 || shown.height() == 100);
        }
        QCOMPARE(dialog.findChild<QTableWidget*>()->item(WindowSFPstatus::RowImage, 3) != nullptr, id != 0);
    }

    void hiddenTableStaysClear()
    {
        WindowSFPstatus dialog;
        dialog.show();
        QVERIFY(!cellsEmpty(dialog));

        dialog.hide();
        dialog.updateSFPdata();
        QVERIFY(cellsEmpty(dialog));
    }

    void encoderBoxAppearsAfterTheNextPoll()
    {
        WindowSFPstatus dialog;
        dialog.show();
        SimControl::setSfpPort(3, 0x2300, 2, 0x31303033, 3001);
        dialog.updateSFPdata();
        QCOMPARE(columnTexts(dialog, 3), QStringList(4, QString()));

        m_program->link->refreshData();
        dialog.updateSFPdata();
        QCOMPARE(columnTexts(dialog, 3), QStringList({"Kelpo E2", "3001", "1.0.0.3", "2"}));
        QVERIFY(!pictureAt(dialog, 3).isNull());
        // The ports that were there stay.
        QCOMPARE(columnTexts(dialog, 0)[0], QString("Zentrim Z4-H1P"));
    }

    void okCloses()
    {
        WindowSFPstatus dialog;
        dialog.show();
        QTest::mouseClick(dialog.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }
};

QTEST_MAIN(TestWindowSFPstatus)
#include "tst_windowsfpstatus.moc"
