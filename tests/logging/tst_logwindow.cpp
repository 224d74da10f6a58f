#include "Prompts.h"
#include "QsLog.h"
#include "QsLogWindow.h"
#include "support/Contrast.h"
#include "support/TestDir.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QAbstractProxyModel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace QsLogging;

namespace {
LogMessage makeMessage(int level, const QString& text)
{
    return LogMessage(text, QDateTime::currentDateTimeUtc(), static_cast<Level>(level));
}

QImage iconImage(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage();
}
}  // namespace

class TestLogWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void formAndStartState();
    void iconsAreLightOnTheDarkButtons();
    void levelComboFiltersRows();
    void pauseHoldsBackNewRows();
    void pauseOnAnEmptyViewPauses();
    void levelChangeWhilePausedShowsTheRowsThatWereThere();
    void clearWhilePausedStaysPaused();
    void autoScrollFollowsNewRows();
    void manyRowsWhileHiddenThenShown();
    void rowsWhileShownComeTogether();
    void copyWithoutSelectionTakesVisibleRows();
    void copyTakesSelectedRowsInRowOrder();
    void copyWithNothingVisibleLeavesClipboard();
    void ctrlCCopies_data();
    void ctrlCCopies();
    void saveWithNothingVisibleOpensNoDialog();
    void saveCancelledWritesNothing();
    void saveReplacesFileWithLines();
    void saveAddsDefaultSuffix();
    void saveToUnopenableFileIsSilent();
    void showsLoggerMessagesAboveTrace();

private:
    void add(int level, const QString& text);
    QStringList visibleTexts() const;
    bool newestRowInView() const;
    int sourceRows() const;
    QToolButton* button(const char* name) const { return m_window->findChild<QToolButton*>(QLatin1String(name)); }
    QComboBox* levelCombo() const { return m_window->findChild<QComboBox*>(QStringLiteral("comboBoxLevel")); }
    QTableView* table() const { return m_window->findChild<QTableView*>(QStringLiteral("tableViewMessages")); }
    QCheckBox* autoScrollBox() const { return m_window->findChild<QCheckBox*>(QStringLiteral("checkBoxAutoScroll")); }
    QString lines(std::initializer_list<int> sourceRows) const;

    std::unique_ptr<Window> m_window;
    std::unique_ptr<QTemporaryDir> m_dir;
    QList<LogMessage> m_added;
};

void TestLogWindow::initTestCase()
{
    Prompts::setTestMode(true);
}

void TestLogWindow::init()
{
    Prompts::clear();
    m_added.clear();
    m_window = std::make_unique<Window>();
    m_dir = std::make_unique<QTemporaryDir>(testDirTemplate(QStringLiteral("tst_logwindow")));
    QVERIFY(m_dir->isValid());
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
}

void TestLogWindow::cleanup()
{
    m_window.reset();
    m_dir.reset();
}

// As the functor destination's queued connection delivers it.
void TestLogWindow::add(int level, const QString& text)
{
    const LogMessage message = makeMessage(level, text);
    m_added.append(message);
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "addLogMessage", Qt::DirectConnection,
                                      Q_ARG(QsLogging::LogMessage, message)));
}

QStringList TestLogWindow::visibleTexts() const
{
    QStringList texts;
    const QAbstractItemModel* model = table()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        texts.append(model->index(row, 2).data().toString());
    return texts;
}

QString TestLogWindow::lines(std::initializer_list<int> sourceRows) const
{
    QString text;
    for (int row : sourceRows)
        text += m_added.at(row).formatted + QLatin1Char('\n');
    return text;
}

void TestLogWindow::formAndStartState()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Log window"));
    QCOMPARE(m_window->size(), QSize(599, 539));
    QVERIFY(!m_window->parent());

    QCOMPARE(button("toolButtonPause")->text(), QStringLiteral("&Pause"));
    QCOMPARE(button("toolButtonSave")->text(), QStringLiteral("&Save"));
    QCOMPARE(button("toolButtonClear")->text(), QStringLiteral("C&lear"));
    QCOMPARE(button("toolButtonCopy")->text(), QStringLiteral("&Copy"));
    for (const char* name : {"toolButtonPause", "toolButtonSave", "toolButtonClear", "toolButtonCopy"}) {
        QCOMPARE(button(name)->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
        QVERIFY(button(name)->autoRaise());
        QVERIFY2(!button(name)->icon().isNull(), name);
    }
    for (const char* icon : {"pause", "resume", "save", "clear", "copy"}) {
        const QString path = QStringLiteral(":/QsLogWindow/images/icon-%1-16.png").arg(QLatin1String(icon));
        const QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QCOMPARE(image.size(), QSize(16, 16));
    }
    QCOMPARE(iconImage(button("toolButtonPause")->icon()),
             iconImage(QIcon(QStringLiteral(":/QsLogWindow/images/icon-pause-16.png"))));

    QComboBox* combo = levelCombo();
    QCOMPARE(combo->count(), 6);
    const QStringList names = {"Trace", "Debug", "Info", "Warning", "Error", "Fatal"};
    for (int i = 0; i < combo->count(); ++i) {
        QCOMPARE(combo->itemText(i), names.at(i));
        QCOMPARE(combo->itemData(i).toInt(), i);
    }
    QCOMPARE(combo->currentIndex(), 2);
    QVERIFY(autoScrollBox()->isChecked());

    QTableView* view = table();
    QVERIFY(!view->hasAutoScroll());
    QVERIFY(view->alternatingRowColors());
    QVERIFY(!view->showGrid());
    QVERIFY(!view->wordWrap());
    QVERIFY(view->verticalHeader()->isHidden());
    QCOMPARE(view->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(view->horizontalHeader()->sectionResizeMode(2), QHeaderView::Stretch);
    // Time and level columns are wide enough for any of their texts; rows are
    // one text line high.
    const QFontMetrics metrics(view->font());
    QVERIFY(view->columnWidth(0) > metrics.horizontalAdvance(QStringLiteral("Wed Sep 30 23:59:59 2026")));
    QVERIFY(view->columnWidth(1) > metrics.horizontalAdvance(QStringLiteral("Warning")));
    add(Warn, QStringLiteral("a line"));
    QVERIFY(view->rowHeight(0) >= metrics.height());
    QVERIFY(view->rowHeight(0) < 2 * metrics.height());

    // Tab order: the focusable widgets of the chain, from the pause button on.
    QStringList order;
    QWidget* widget = button("toolButtonPause");
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget != button("toolButtonPause"));
    QCOMPARE(order, QStringList({"toolButtonPause", "toolButtonSave", "toolButtonClear", "toolButtonCopy",
                                 "comboBoxLevel", "tableViewMessages", "checkBoxAutoScroll"}));
}

void TestLogWindow::iconsAreLightOnTheDarkButtons()
{
    // The dark style's tool buttons: plain, hovered, and the window behind them.
    for (const char* icon : {"pause", "resume", "save", "clear", "copy"}) {
        const QImage image(QStringLiteral(":/QsLogWindow/images/icon-%1-16.png").arg(QLatin1String(icon)));
        for (const QColor& background : {QColor("#2b2b2b"), QColor("#3c3c3c"), QColor("#4a4a4a")}) {
            const double contrast = weakestOutlineContrast(image, background);
            QVERIFY2(contrast >= MARK_CONTRAST, qPrintable(QStringLiteral("%1 on %2: outline %3 : 1")
                                                               .arg(QLatin1String(icon), background.name())
                                                               .arg(contrast, 0, 'f', 2)));
        }
    }
}

void TestLogWindow::levelComboFiltersRows()
{
    add(Debug, "debug");
    add(Info, "info");
    add(Warn, "warn");
    add(Error, "error");
    QCOMPARE(visibleTexts(), QStringList({"info", "warn", "error"}));

    levelCombo()->setCurrentIndex(Warn);
    QCOMPARE(visibleTexts(), QStringList({"warn", "error"}));
    levelCombo()->setCurrentIndex(Info);
    QCOMPARE(visibleTexts(), QStringList({"info", "warn", "error"}));
    levelCombo()->setCurrentIndex(Trace);
    QCOMPARE(visibleTexts(), QStringList({"debug", "info", "warn", "error"}));
}

void TestLogWindow::pauseHoldsBackNewRows()
{
    add(Info, "before 1");
    add(Info, "before 2");
    QToolButton* pause = button("toolButtonPause");
    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(pause->text(), QStringLiteral("&Resume"));
    QCOMPARE(iconImage(pause->icon()), iconImage(QIcon(QStringLiteral(":/QsLogWindow/images/icon-resume-16.png"))));

    add(Info, "while paused 1");
    add(Debug, "while paused, below the level");
    add(Warn, "while paused 2");
    QCOMPARE(visibleTexts(), QStringList({"before 1", "before 2"}));

    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(pause->text(), QStringLiteral("&Pause"));
    QCOMPARE(iconImage(pause->icon()), iconImage(QIcon(QStringLiteral(":/QsLogWindow/images/icon-pause-16.png"))));
    QCOMPARE(visibleTexts(), QStringList({"before 1", "before 2", "while paused 1", "while paused 2"}));
}

void TestLogWindow::pauseOnAnEmptyViewPauses()
{
    add(Debug, "hidden");
    QTest::mouseClick(button("toolButtonPause"), Qt::LeftButton);
    QCOMPARE(button("toolButtonPause")->text(), QStringLiteral("&Resume"));
    add(Info, "held back");
    QCOMPARE(visibleTexts(), QStringList());

    QTest::mouseClick(button("toolButtonPause"), Qt::LeftButton);
    QCOMPARE(visibleTexts(), QStringList({"held back"}));
}

void TestLogWindow::levelChangeWhilePausedShowsTheRowsThatWereThere()
{
    add(Debug, "debug");
    add(Info, "info 1");
    add(Warn, "warn");
    add(Info, "info 2");
    QTest::mouseClick(button("toolButtonPause"), Qt::LeftButton);
    add(Error, "late error");
    add(Info, "late info");

    levelCombo()->setCurrentIndex(Warn);
    QCOMPARE(visibleTexts(), QStringList({"warn"}));
    levelCombo()->setCurrentIndex(Trace);
    QCOMPARE(visibleTexts(), QStringList({"debug", "info 1", "warn", "info 2"}));

    QTest::mouseClick(button("toolButtonPause"), Qt::LeftButton);
    QCOMPARE(visibleTexts(), QStringList({"debug", "info 1", "warn", "info 2", "late error", "late info"}));
}

void TestLogWindow::clearWhilePausedStaysPaused()
{
    add(Info, "a");
    add(Info, "b");
    QTest::mouseClick(button("toolButtonPause"), Qt::LeftButton);
    QTest::mouseClick(button("toolButtonClear"), Qt::LeftButton);
    QCOMPARE(visibleTexts(), QStringList());

    add(Debug, "first after clear");
    add(Info, "second after clear");
    add(Info, "third after clear");
    QCOMPARE(visibleTexts(), QStringList());

    QTest::mouseClick(button("toolButtonPause"), Qt::LeftButton);
    QCOMPARE(visibleTexts(), QStringList({"second after clear", "third after clear"}));
}

void TestLogWindow::autoScrollFollowsNewRows()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QScrollBar* bar = table()->verticalScrollBar();

    for (int i = 0; i < 100; ++i)
        add(Info, QStringLiteral("line %1").arg(i));
    QTRY_VERIFY(bar->maximum() > 0);
    QTRY_COMPARE(bar->value(), bar->maximum());

    // The newest row is in view, not only the one before it.
    add(Info, "newest");
    QTRY_COMPARE(sourceRows(), 101);
    QTRY_VERIFY(newestRowInView());

    // Unticked: the view stays where the operator put it.
    autoScrollBox()->setChecked(false);
    bar->setValue(0);
    add(Info, "not followed");
    QTRY_COMPARE(sourceRows(), 102);
    QCoreApplication::processEvents();
    QCOMPARE(bar->value(), 0);

    // Paused: no scrolling either; after Resume the next row scrolls again.
    autoScrollBox()->setChecked(true);
    QTest::mouseClick(button("toolButtonPause"), Qt::LeftButton);
    add(Info, "held back");
    QTRY_COMPARE(sourceRows(), 103);
    QCoreApplication::processEvents();
    QCOMPARE(bar->value(), 0);
    QTest::mouseClick(button("toolButtonPause"), Qt::LeftButton);
    add(Info, "after resume");
    QTRY_COMPARE(sourceRows(), 104);
    QTRY_VERIFY(newestRowInView());
}

void TestLogWindow::manyRowsWhileHiddenThenShown()
{
    for (int i = 0; i < 10000; ++i)
        add(i % 3 ? Info : Warn, QStringLiteral("line %1").arg(i));
    // Nothing dropped.
    QCOMPARE(table()->model()->rowCount(), 10000);
    QCoreApplication::processEvents();

    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_VERIFY(newestRowInView());
    const QModelIndex newest = table()->model()->index(table()->model()->rowCount() - 1, 2);
    QCOMPARE(newest.data().toString(), QStringLiteral("line 9999"));
}

int TestLogWindow::sourceRows() const
{
    auto* proxy = qobject_cast<const QAbstractProxyModel*>(table()->model());
    return proxy ? proxy->sourceModel()->rowCount() : -1;
}

void TestLogWindow::rowsWhileShownComeTogether()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QSignalSpy inserted(table()->model(), &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 50; ++i)
        add(Info, QStringLiteral("flood %1").arg(i));
    QCoreApplication::processEvents();

    // All fifty in one insertion, in order, within a refresh.
    QTRY_COMPARE(table()->model()->rowCount(), 50);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(visibleTexts().first(), QStringLiteral("flood 0"));
    QCOMPARE(visibleTexts().last(), QStringLiteral("flood 49"));
    QTRY_VERIFY(newestRowInView());

    // What came before a click belongs to the log the click acts on.
    add(Info, "just before the pause");
    QTest::mouseClick(button("toolButtonPause"), Qt::LeftButton);
    add(Info, "after the pause");
    QTest::qWait(120);
    QCOMPARE(visibleTexts().last(), QStringLiteral("just before the pause"));
    QCOMPARE(sourceRows(), 52);
    add(Info, "before the copy");
    QTest::mouseClick(button("toolButtonCopy"), Qt::LeftButton);
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty() == false);
    QCOMPARE(sourceRows(), 53);
}

bool TestLogWindow::newestRowInView() const
{
    const QAbstractItemModel* model = table()->model();
    const QModelIndex newest = model->index(model->rowCount() - 1, 2);
    return table()->viewport()->rect().contains(table()->visualRect(newest));
}

void TestLogWindow::copyWithoutSelectionTakesVisibleRows()
{
    add(Debug, "hidden");
    add(Info, "info");
    add(Warn, "warn");
    QTest::mouseClick(button("toolButtonCopy"), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), lines({1, 2}));
}

void TestLogWindow::copyTakesSelectedRowsInRowOrder()
{
    add(Info, "zero");
    add(Info, "one");
    add(Info, "two");
    QItemSelectionModel* selection = table()->selectionModel();
    const QAbstractItemModel* model = table()->model();
    selection->select(model->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(model->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::mouseClick(button("toolButtonCopy"), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), lines({0, 2}));
}

void TestLogWindow::copyWithNothingVisibleLeavesClipboard()
{
    add(Debug, "hidden");
    QTest::mouseClick(button("toolButtonCopy"), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
}

void TestLogWindow::ctrlCCopies_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("copies");

    QTest::newRow("Ctrl+C") << int(Qt::ControlModifier) << true;
    QTest::newRow("Ctrl+Shift+C copies as Ctrl+C") << int(Qt::ControlModifier | Qt::ShiftModifier) << true;
    QTest::newRow("plain C does not copy") << int(Qt::NoModifier) << false;
}

void TestLogWindow::ctrlCCopies()
{
    QFETCH(int, modifiers);
    QFETCH(bool, copies);

    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    add(Info, "one");
    add(Warn, "two");
    QTRY_COMPARE(table()->model()->rowCount(), 2);
    // With a current cell the table's own Ctrl+C would copy just that cell.
    table()->setCurrentIndex(table()->model()->index(1, 2));
    table()->clearSelection();

    QTest::keyClick(table(), Qt::Key_C, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(QGuiApplication::clipboard()->text(), copies ? lines({0, 1}) : QStringLiteral("untouched"));
}

void TestLogWindow::saveWithNothingVisibleOpensNoDialog()
{
    add(Debug, "hidden");
    QTest::mouseClick(button("toolButtonSave"), Qt::LeftButton);
    QVERIFY(Prompts::shown().isEmpty());
}

void TestLogWindow::saveCancelledWritesNothing()
{
    add(Info, "line");
    QTest::mouseClick(button("toolButtonSave"), Qt::LeftButton);  // no name queued: cancelled
    QCOMPARE(Prompts::shown().size(), 1);
    QCOMPARE(Prompts::shown().first().kind, Prompts::Kind::SaveFileName);
    QCOMPARE(Prompts::shown().first().title, QStringLiteral("Save log"));
    QVERIFY(QDir(m_dir->path()).entryList(QDir::Files).isEmpty());
}

void TestLogWindow::saveReplacesFileWithLines()
{
    const QString path = m_dir->filePath(QStringLiteral("session.log"));
    {
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write(QByteArray(4096, 'x'));
    }
    add(Info, "offset 5 \u00b5m");
    add(Debug, "hidden");
    add(Error, "error");
    Prompts::queueFileName(path);
    QTest::mouseClick(button("toolButtonSave"), Qt::LeftButton);

    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), lines({0, 2}).toUtf8());
}

void TestLogWindow::saveAddsDefaultSuffix()
{
    add(Info, "line");
    Prompts::queueFileName(m_dir->filePath(QStringLiteral("session")));
    QTest::mouseClick(button("toolButtonSave"), Qt::LeftButton);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList({"session.log"}));
}

void TestLogWindow::saveToUnopenableFileIsSilent()
{
    add(Info, "line");
    Prompts::queueFileName(m_dir->filePath(QStringLiteral("missing-dir/session.log")));
    QTest::mouseClick(button("toolButtonSave"), Qt::LeftButton);
    QCOMPARE(Prompts::shown().size(), 1);  // the file dialog, and no message box after it
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("missing-dir/session.log"))));
}

void TestLogWindow::showsLoggerMessagesAboveTrace()
{
    Logger::instance().addDestination(createFunctorDestination(m_window.get(), "1addLogMessage(QsLogging::LogMessage)"));
    Logger::instance().setLevel(Trace);
    levelCombo()->setCurrentIndex(Trace);

    QLOG_TRACE() << "produced, never shown";
    QLOG_DEBUG() << "debug at Trace";
    QLOG_WARN() << "setPIDconf() failed";
    QTRY_COMPARE(visibleTexts(), QStringList({"debug at Trace ", "setPIDconf() failed "}));
    Logger::instance().setLevel(Info);
}

QTEST_MAIN(TestLogWindow)
#include "tst_logwindow.moc"
