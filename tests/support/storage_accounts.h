#pragma once

#include "storage/account_record.h"
#include "storage/scramble.h"
#include "storage/users_file.h"

#include <QList>
#include <QString>
#include <QtGlobal>

// Users files written and read back by tests: accounts are given with the
// password in clear, scrambled on the way into the file.
struct TestAccount
{
    QString display, user, password, server;
    qint32 port = 110;
    qint16 checked = 0;
};

// A null password writes 64 blanks, which do not unscramble: the record of
// a damaged or hand-edited file.
inline AccountRecord accountRecord(const TestAccount& a)
{
    AccountRecord r;
    r.displayName = a.display;
    r.userName = a.user;
    r.scrambledPassword =
        a.password.isNull() ? QString(64, QLatin1Char(' ')) : scramblePassword(a.password);
    r.serverName = a.server;
    r.port = a.port;
    r.checked = a.checked;
    return r;
}

// Writes one record per account; an empty list deletes the file, as a
// save of an empty list does.
inline bool writeAccounts(const QString& path, const QList<TestAccount>& accounts)
{
    QList<AccountRecord> records;
    for (const TestAccount& a : accounts)
        records.append(accountRecord(a));
    return writeUsersFile(path, records);
}

// Empty, with a warning, when the file cannot be read.
inline QList<AccountRecord> fileRecords(const QString& path)
{
    QList<AccountRecord> records;
    if (!readUsersFile(path, records))
        qWarning("users file %s unreadable", qPrintable(path));
    return records;
}
