#pragma once

#include "model/mail_item.h"

#include <QString>
#include <optional>

// Keys in test tables are written "K<number>P<password>", so a table of
// rows reads at a glance: "K2Ppw" is key 2 with the password "pw". A mail
// row's letter shows its mark: K none, D deleted, X account emptied.

inline AccountKey keyFromText(const QString& text)
{
    const qsizetype p = text.indexOf(QLatin1Char('P'));
    return {text.mid(1, p - 1).toInt(), text.mid(p + 1)};
}

inline QString keyText(const AccountKey& key, QChar letter = QLatin1Char('K'))
{
    return letter + QString::number(key.number) + QLatin1Char('P') + key.password;
}

// Empty for "(no mail)" rows, which carry no key.
inline QString keyText(const MailItem& row)
{
    if (row.isNoMailRow())
        return QString();
    switch (row.mark) {
    case RowMark::Deleted:
        return keyText(row.key, QLatin1Char('D'));
    case RowMark::AccountEmptied:
        return keyText(row.key, QLatin1Char('X'));
    case RowMark::None:
        break;
    }
    return keyText(row.key);
}

// A check box as tables of rows show it: "1" ticked, "0" not, "-1" no such row.
inline QString checkedText(std::optional<bool> checked)
{
    return checked ? QString::number(*checked ? 1 : 0) : QStringLiteral("-1");
}
