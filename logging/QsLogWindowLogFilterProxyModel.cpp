#include "QsLogWindowLogFilterProxyModel.h"

#include "QsLogWindowModel.h"

namespace QsLogging {

WindowLogFilterProxyModel::WindowLogFilterProxyModel(QObject* parent) : QSortFilterProxyModel(parent) {}

bool WindowLogFilterProxyModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    if (frozen && sourceRow >= frozenRowCount)
        return false;

    const auto* model = static_cast<const LogWindowModel*>(sourceModel());
    return model->at(static_cast<std::size_t>(sourceRow)).level >= filterLevel;
}

}  // namespace QsLogging
