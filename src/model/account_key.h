#pragma once

#include <QMetaType>
#include <QString>

// Names one account of a list: a number no other row of the account list
// uses, and the plain password, the only place it lives in memory.
struct AccountKey
{
    int number = 0;
    QString password;

    bool operator==(const AccountKey&) const = default;
};
Q_DECLARE_TYPEINFO(AccountKey, Q_RELOCATABLE_TYPE);
Q_DECLARE_METATYPE(AccountKey)
