#pragma once
#include "QsLogLevel.h"

#include <QSortFilterProxyModel>

namespace QsLogging {

// Shows the log window's rows at or above a level; while frozen (the window is
// paused) only those of the first frozenRowCount source rows, the rows the log
// held when it was paused.
class WindowLogFilterProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit WindowLogFilterProxyModel(QObject* parent = nullptr);

    // Written by the window; it re-filters with invalidateFilter() where needed.
    int filterLevel = Info;
    bool frozen = false;
    int frozenRowCount = 0;

    using QSortFilterProxyModel::invalidateFilter;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
};

}  // namespace QsLogging
