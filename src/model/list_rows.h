#pragma once

#include <QAbstractItemModel>
#include <optional>

// Check boxes of list rows, shared by the mail list and the account list.
// Rows are counted from 1; the check box is Qt::CheckStateRole of column 0.

// Whether row n is ticked (a row that shows no check box is not); no value
// when there is no row n.
std::optional<bool> isRowChecked(const QAbstractItemModel& list, int n);

// Tick or clear row n: true when the model took the change.
bool checkRow(QAbstractItemModel& list, int n);
bool uncheckRow(QAbstractItemModel& list, int n);
