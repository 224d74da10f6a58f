#pragma once
#include "QsLogMessage.h"

#include <QAbstractTableModel>
#include <QReadWriteLock>

#include <cstddef>
#include <deque>
#include <limits>
#include <vector>

namespace QsLogging {

// Every message the log window received, oldest first: row r is entry r.
// Columns: time (local), level name, message text.
class LogWindowModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { TimeColumn = 0, LevelNameColumn = 1, MessageColumn = 2, FormattedMessageColumn = 100 };
    static constexpr std::size_t NoLimit = std::numeric_limits<std::size_t>::max();

    explicit LogWindowModel(std::size_t maxEntries = NoLimit, QObject* parent = nullptr);

    void addEntry(const LogMessage& message);
    // Appends the messages in order, announced as one insertion.
    void addEntries(const std::vector<LogMessage>& messages);
    void clear();
    // No range check: rows come from the views.
    LogMessage at(std::size_t row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::deque<LogMessage> m_entries;
    mutable QReadWriteLock m_lock;
    std::size_t m_maxEntries;
};

}  // namespace QsLogging
