#include "QsLogWindow.h"

#include "Prompts.h"
#include "QsLogWindowLogFilterProxyModel.h"
#include "ui_qsloggingwindow.h"

#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>
#include <QTableView>
#include <QTextStream>

#include <algorithm>

// The window's icons live in a static library: pull them in explicitly.
static void initLogWindowResources()
{
    Q_INIT_RESOURCE(logwindow);
}

namespace QsLogging {

namespace {
// In a shown window new rows appear at most this late; a flood of them is laid
// out and painted once per period instead of once per message.
constexpr int REFRESH_PERIOD_MS = 50;
}  // namespace

Window::Window(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::LogWindow>())
{
    initLogWindowResources();
    m_ui->setupUi(this);
    m_pauseIcon = QIcon(QStringLiteral(":/QsLogWindow/images/icon-pause-16.png"));
    m_playIcon = QIcon(QStringLiteral(":/QsLogWindow/images/icon-resume-16.png"));

    connect(m_ui->toolButtonPause, SIGNAL(clicked()), this, SLOT(OnPauseClicked()));
    connect(m_ui->toolButtonSave, SIGNAL(clicked()), this, SLOT(OnSaveClicked()));
    connect(m_ui->toolButtonClear, SIGNAL(clicked()), this, SLOT(OnClearClicked()));
    connect(m_ui->toolButtonCopy, SIGNAL(clicked()), this, SLOT(OnCopyClicked()));
    connect(m_ui->comboBoxLevel, SIGNAL(currentIndexChanged(int)), this, SLOT(OnLevelChanged(int)));
    connect(m_ui->checkBoxAutoScroll, SIGNAL(toggled(bool)), this, SLOT(OnAutoScrollChanged(bool)));

    m_proxyModel = new WindowLogFilterProxyModel(this);
    m_proxyModel->setSourceModel(&m_model);
    m_ui->tableViewMessages->setModel(m_proxyModel);

    // After the proxy, so that the new row is in the view when it scrolls.
    connect(&m_model, SIGNAL(rowsInserted(QModelIndex, int, int)), this,
            SLOT(ModelRowsInserted(QModelIndex, int, int)));

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(REFRESH_PERIOD_MS);
    connect(m_refreshTimer, &QTimer::timeout, this, &Window::addPendingRows);

    m_ui->tableViewMessages->installEventFilter(this);
    m_ui->tableViewMessages->setSelectionBehavior(QAbstractItemView::SelectRows);
    QHeaderView* header = m_ui->tableViewMessages->horizontalHeader();
    header->setSectionResizeMode(2, QHeaderView::Stretch);
    fitFixedColumns();
    // No word wrap, so every row has the height of one text line: one height
    // for all, instead of measuring each row as it comes.
    QTableView* table = m_ui->tableViewMessages;
    const int rowHeight = table->fontMetrics().height() +
                          2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameVMargin, nullptr, table) + 1);
    QHeaderView* rows = table->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(rowHeight);
    rows->setDefaultSectionSize(rowHeight);

    for (int level = Trace; level <= Fatal; ++level)
        m_ui->comboBoxLevel->addItem(levelDisplayName(static_cast<Level>(level)), level);
    m_ui->comboBoxLevel->setCurrentIndex(Info);
}

Window::~Window() = default;

bool Window::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->tableViewMessages) {
        if (event->type() == QEvent::KeyPress) {
            auto* keyEvent = static_cast<QKeyEvent*>(event);
            if (keyEvent->key() == Qt::Key_C && (keyEvent->modifiers() & Qt::ControlModifier)) {
                addPendingRows();
                copySelection();
                return true;
            }
        }
        return false;
    }
    return QDialog::eventFilter(watched, event);
}

void Window::fitFixedColumns()
{
    QTableView* table = m_ui->tableViewMessages;
    QHeaderView* header = table->horizontalHeader();
    const QFontMetrics metrics(table->font());
    // What an item delegate adds around its text, and a little air.
    const int margin = 2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1) + 8;

    // Day and month names differ in width: try every weekday of every month.
    int timeWidth = header->sectionSizeHint(LogWindowModel::TimeColumn);
    for (int month = 1; month <= 12; ++month)
        for (int day = 20; day <= 26; ++day) {
            const QDateTime sample(QDate(2000, month, day), QTime(23, 59, 59));
            timeWidth = std::max(timeWidth, metrics.horizontalAdvance(sample.toString(Qt::TextDate)) + margin);
        }
    int levelWidth = header->sectionSizeHint(LogWindowModel::LevelNameColumn);
    for (int level = Trace; level <= Fatal; ++level)
        levelWidth = std::max(levelWidth,
                              metrics.horizontalAdvance(levelDisplayName(static_cast<Level>(level))) + margin);

    header->setSectionResizeMode(LogWindowModel::TimeColumn, QHeaderView::Interactive);
    header->setSectionResizeMode(LogWindowModel::LevelNameColumn, QHeaderView::Interactive);
    header->resizeSection(LogWindowModel::TimeColumn, timeWidth);
    header->resizeSection(LogWindowModel::LevelNameColumn, levelWidth);
}

void Window::hideEvent(QHideEvent* event)
{
    addPendingRows();
    QDialog::hideEvent(event);
}

void Window::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Rows that came while hidden were not followed: catch up once.
    if (m_hasAutoScroll && !m_isPaused)
        requestScrollToBottom();
}

void Window::addLogMessage(const QsLogging::LogMessage& m)
{
    if (!isVisible()) {
        addPendingRows();
        m_model.addEntry(m);
        return;
    }
    // Shown: rows arriving within one refresh period go in together, so the
    // table lays out, scrolls and repaints once for all of them.
    m_pending.push_back(m);
    if (!m_refreshTimer->isActive())
        m_refreshTimer->start();
}

void Window::OnPauseClicked()
{
    addPendingRows();
    m_ui->toolButtonPause->setIcon(m_isPaused ? m_pauseIcon : m_playIcon);
    m_ui->toolButtonPause->setText(m_isPaused ? tr("&Pause") : tr("&Resume"));

    m_isPaused = !m_isPaused;

    if (m_isPaused) {
        // The rows the whole log holds now stay; rows arriving later are held back.
        m_proxyModel->frozen = true;
        m_proxyModel->frozenRowCount = m_model.rowCount();
    } else {
        m_proxyModel->frozen = false;
        m_proxyModel->frozenRowCount = 0;
        m_proxyModel->invalidateFilter();
    }
}

void Window::OnSaveClicked()
{
    addPendingRows();
    const QString text = getSelectedText();
    if (text.isEmpty())
        return;

    QString fileName = Prompts::saveFileName(this, tr("Save log"), QString(), tr("Log file (*.log)"));
    if (fileName.isEmpty())
        return;
    // The default suffix, as a save dialog would add it to a bare name.
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".log");

    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    QTextStream stream(&file);
    stream.setEncoding(QStringConverter::Utf8);
    stream << text;
    stream.flush();
    file.close();
}

void Window::OnClearClicked()
{
    m_pending.clear();
    m_model.clear();
    // Paused, the log now holds no row to keep: what arrives stays held back.
    if (m_isPaused)
        m_proxyModel->frozenRowCount = 0;
}

void Window::OnCopyClicked()
{
    addPendingRows();
    copySelection();
}

void Window::OnLevelChanged(int value)
{
    m_proxyModel->filterLevel = value;
    m_proxyModel->invalidateFilter();
}

void Window::OnAutoScrollChanged(bool checked)
{
    m_hasAutoScroll = checked;
}

void Window::ModelRowsInserted(const QModelIndex&, int, int)
{
    if (m_hasAutoScroll && !m_isPaused)
        requestScrollToBottom();
}

void Window::addPendingRows()
{
    if (m_pending.empty())
        return;
    std::vector<LogMessage> rows;
    rows.swap(m_pending);
    m_model.addEntries(rows);
}

void Window::requestScrollToBottom()
{
    if (m_scrollPending || !isVisible())
        return;
    m_scrollPending = true;
    QMetaObject::invokeMethod(this, &Window::scrollToBottomNow, Qt::QueuedConnection);
}

void Window::scrollToBottomNow()
{
    m_scrollPending = false;
    if (m_hasAutoScroll && !m_isPaused && isVisible())
        m_ui->tableViewMessages->scrollToBottom();
}

QString Window::getSelectedText() const
{
    QString text;
    QModelIndexList rows = m_ui->tableViewMessages->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });

    if (!rows.isEmpty()) {
        for (const QModelIndex& index : rows) {
            const int sourceRow = m_proxyModel->mapToSource(index).row();
            text += m_model.at(static_cast<std::size_t>(sourceRow)).formatted + QLatin1Char('\n');
        }
    } else {
        for (int row = 0; row < m_proxyModel->rowCount(); ++row) {
            const int sourceRow = m_proxyModel->mapToSource(m_proxyModel->index(row, 0)).row();
            text += m_model.at(static_cast<std::size_t>(sourceRow)).formatted + QLatin1Char('\n');
        }
    }
    return text;
}

void Window::copySelection() const
{
    const QString text = getSelectedText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

}  // namespace QsLogging
