#include "model/list_rows.h"

namespace {

bool setRowCheck(QAbstractItemModel& list, int n, Qt::CheckState state)
{
    if (n < 1 || n > list.rowCount())
        return false;
    const QModelIndex index = list.index(n - 1, 0);
    return list.setData(index, int(state), Qt::CheckStateRole);
}

} // namespace

std::optional<bool> isRowChecked(const QAbstractItemModel& list, int n)
{
    if (n < 1 || n > list.rowCount())
        return std::nullopt;
    const QVariant state = list.data(list.index(n - 1, 0), Qt::CheckStateRole);
    return state.isValid() && state.toInt() == Qt::Checked;
}

bool checkRow(QAbstractItemModel& list, int n)
{
    return setRowCheck(list, n, Qt::Checked);
}

bool uncheckRow(QAbstractItemModel& list, int n)
{
    return setRowCheck(list, n, Qt::Unchecked);
}
