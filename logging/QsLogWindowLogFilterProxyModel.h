#pragma once
#include "QsLogLevel.h"

#include <QSortFilterProxyModel>

namespace QsLogging {

// Shows the log window's rows at or above a level; while the window is paused
// only the first frozenRowCount source rows pass.
class WindowLogFilterProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit WindowLogFilterProxyModel(QObject* parent = nullptr);

    // Written by the window; it re-filters with invalidateFilter() where needed.
    int filterLevel = Info;
    int frozenRowCount = 0;  // 0: not frozen

    using QSortFilterProxyModel::invalidateFilter;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
};

}  // namespace QsLogging
