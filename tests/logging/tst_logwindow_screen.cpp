// The log window on the X server, styled as the program is: a dozen rows of one
// level, read back from the screen. Every row's text must stand out from the
// row's own background (plain and alternate rows, coloured levels, selected rows)
// by at least 4.5 : 1.
#include <QComboBox>
#include <QHeaderView>
#include <QScreen>
#include <QTableView>
#include <QtTest>

#include <memory>

#include "OperatorStyle.h"
#include "QsLogWindow.h"
#include "support/Contrast.h"

using namespace QsLogging;

Q_DECLARE_METATYPE(QsLogging::Level)

class TestLogWindowScreen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { OperatorStyle::applyTo(*qApp); }

    void everyRowStandsOut_data()
    {
        QTest::addColumn<Level>("level");
        QTest::addColumn<bool>("selected");
        QTest::newRow("Info") << Info << false;
        QTest::newRow("Debug") << Debug << false;
        QTest::newRow("Warn, light yellow") << Warn << false;
        QTest::newRow("Error, light red") << Error << false;
        QTest::newRow("Fatal, red") << Fatal << false;
        QTest::newRow("Info selected") << Info << true;
        QTest::newRow("Warn selected") << Warn << true;
    }

    void everyRowStandsOut()
    {
        QFETCH(Level, level);
        QFETCH(bool, selected);
        constexpr int ROWS = 12;

        Window window;
        for (int i = 0; i < ROWS; ++i) {
            const LogMessage message(QStringLiteral("Reading %1 of the beam current: 12.5 uA").arg(i + 1),
                                     QDateTime::currentDateTimeUtc(), level);
            QVERIFY(QMetaObject::invokeMethod(&window, "addLogMessage", Qt::DirectConnection,
                                              Q_ARG(QsLogging::LogMessage, message)));
        }
        window.resize(900, 560);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* table = window.findChild<QTableView*>(QStringLiteral("tableViewMessages"));
        window.findChild<QComboBox*>(QStringLiteral("comboBoxLevel"))->setCurrentIndex(Trace);
        QCOMPARE(table->model()->rowCount(), ROWS);
        // Nothing is current, so no focus frame sits on the cells.
        table->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        table->clearFocus();
        if (selected)
            table->selectAll();
        else
            table->clearSelection();
        QCOMPARE(table->selectionModel()->selectedRows().size(), selected ? ROWS : 0);
        QApplication::processEvents();
        QTest::qWait(50);

        const QImage shot = window.screen()->grabWindow(window.winId()).toImage();
        QVERIFY(!shot.isNull());
        for (int row = 0; row < ROWS; ++row) {
            for (int column = 0; column < table->model()->columnCount(); ++column) {
                const QRect cell = table->visualRect(table->model()->index(row, column));
                // Inside the cell, clear of its edges.
                const QRect area = QRect(table->viewport()->mapTo(&window, cell.topLeft()), cell.size())
                                       .adjusted(2, 2, -2, -2);
                QVERIFY2(shot.rect().contains(area), qPrintable(QStringLiteral("row %1 is off screen").arg(row)));
                const QColor background = dominantColour(shot, area);
                const double contrast = strongestContrast(shot, area, background);
                QVERIFY2(contrast >= TEXT_CONTRAST,
                         qPrintable(QStringLiteral("row %1, column %2: text %3 : 1 against %4")
                                        .arg(row)
                                        .arg(column)
                                        .arg(contrast, 0, 'f', 2)
                                        .arg(background.name())));
            }
        }
    }
};

QTEST_MAIN(TestLogWindowScreen)
#include "tst_logwindow_screen.moc"
