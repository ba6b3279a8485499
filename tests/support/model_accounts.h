#pragma once

#include "model/account_list_model.h"
#include "support/model_text.h"

#include <QStringList>

// Account rows for tests of the account list. Rows differ by key and user;
// the display name follows the user and every row has the same server and
// port, so a test names only what it is about.
inline AccountRow accountRow(const QString& key, const QString& user, bool checked = false)
{
    return {keyFromText(key),
            QStringLiteral("Name ") + user,
            user,
            QStringLiteral("pop.example.org"),
            QStringLiteral("110"),
            checked};
}

// The keys of the list in order, as model_text.h writes them.
inline QStringList accountKeys(const AccountListModel& list)
{
    QStringList all;
    for (const AccountRow& r : list.rows())
        all.append(keyText(r.key));
    return all;
}
