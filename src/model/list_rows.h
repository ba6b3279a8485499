#pragma once

#include <QAbstractItemModel>
#include <cstdint>

// Check boxes of list rows, shared by the mail list and the account list.
// Rows are counted from 1; the check box is Qt::CheckStateRole of column 0.

// 1 when row n is ticked, 0 when not (or it shows no check box), -1 when
// there is no row n.
std::int16_t IsRowChecked(const QAbstractItemModel& list, int n);

// Tick or clear row n: -1 (true) when the model took the change, 0 when not.
std::int16_t CheckRow(QAbstractItemModel& list, int n);
std::int16_t UncheckRow(QAbstractItemModel& list, int n);
