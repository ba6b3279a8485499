#include "model/list_rows.h"

namespace {

std::int16_t setRowCheck(QAbstractItemModel& list, int n, Qt::CheckState state)
{
    if (n < 1 || n > list.rowCount())
        return 0;
    const QModelIndex index = list.index(n - 1, 0);
    return list.setData(index, int(state), Qt::CheckStateRole) ? -1 : 0;
}

} // namespace

std::int16_t IsRowChecked(const QAbstractItemModel& list, int n)
{
    if (n < 1 || n > list.rowCount())
        return -1;
    // A row that shows no check box is simply not ticked.
    const QVariant state = list.data(list.index(n - 1, 0), Qt::CheckStateRole);
    return state.isValid() && state.toInt() == Qt::Checked ? 1 : 0;
}

std::int16_t CheckRow(QAbstractItemModel& list, int n)
{
    return setRowCheck(list, n, Qt::Checked);
}

std::int16_t UncheckRow(QAbstractItemModel& list, int n)
{
    return setRowCheck(list, n, Qt::Unchecked);
}
