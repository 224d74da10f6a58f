#include "QsLogWindowModel.h"

#include <QColor>

namespace QsLogging {

LogWindowModel::LogWindowModel(std::size_t maxEntries, QObject* parent)
    : QAbstractTableModel(parent), m_maxEntries(maxEntries)
{
}

void LogWindowModel::addEntry(const LogMessage& message)
{
    const int next = rowCount();
    beginInsertRows(QModelIndex(), next, next);
    {
        QWriteLocker lock(&m_lock);
        m_entries.push_back(message);
    }
    endInsertRows();

    if (m_maxEntries != NoLimit && m_entries.size() > m_maxEntries) {
        // Announced as a removal so that views and proxies drop their first row too.
        beginRemoveRows(QModelIndex(), 0, 0);
        {
            QWriteLocker lock(&m_lock);
            m_entries.pop_front();
        }
        endRemoveRows();
    }
}

void LogWindowModel::addEntries(const std::vector<LogMessage>& messages)
{
    if (messages.empty())
        return;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(messages.size()) - 1);
    {
        QWriteLocker lock(&m_lock);
        m_entries.insert(m_entries.end(), messages.begin(), messages.end());
    }
    endInsertRows();

    if (m_maxEntries != NoLimit && m_entries.size() > m_maxEntries) {
        const int excess = static_cast<int>(m_entries.size() - m_maxEntries);
        beginRemoveRows(QModelIndex(), 0, excess - 1);
        {
            QWriteLocker lock(&m_lock);
            m_entries.erase(m_entries.begin(), m_entries.begin() + excess);
        }
        endRemoveRows();
    }
}

void LogWindowModel::clear()
{
    beginResetModel();
    {
        QWriteLocker lock(&m_lock);
        m_entries.clear();
    }
    endResetModel();
}

LogMessage LogWindowModel::at(std::size_t row) const
{
    return m_entries[row];
}

// A flat table: no cell has children.
int LogWindowModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    QReadLocker lock(&m_lock);
    return static_cast<int>(m_entries.size());
}

int LogWindowModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant LogWindowModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();

    LogMessage entry;
    {
        QReadLocker lock(&m_lock);
        if (static_cast<std::size_t>(index.row()) >= m_entries.size())
            return QVariant();
        entry = m_entries[static_cast<std::size_t>(index.row())];
    }

    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case TimeColumn:
            return entry.time.toLocalTime().toString(Qt::TextDate);
        case LevelNameColumn:
            return levelDisplayName(entry.level);
        case MessageColumn:
            return entry.message;
        case FormattedMessageColumn:
            return entry.formatted;
        default:
            return QVariant();
        }
    }

    if (role == Qt::BackgroundRole) {
        switch (entry.level) {
        case Warn:
            return QColor(255, 255, 128);
        case Error:
            return QColor(255, 128, 128);
        case Fatal:
            return QColor(255, 0, 0);
        default:
            return QVariant();
        }
    }

    // On a coloured row the text of a dark theme would be light on light.
    if (role == Qt::ForegroundRole && (entry.level == Warn || entry.level == Error || entry.level == Fatal))
        return QColor(Qt::black);

    return QVariant();
}

QVariant LogWindowModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case TimeColumn:
        return tr("Time");
    case LevelNameColumn:
        return tr("Level");
    case MessageColumn:
        return tr("Message");
    default:
        return QVariant();
    }
}

}  // namespace QsLogging
