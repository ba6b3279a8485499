#pragma once

#include "storage/account_record.h"

#include <QList>
#include <QString>

// The users file pop3user.ini: a plain sequence of AccountRecord::Size-byte
// records, no header.

inline const QString UsersFileName = QStringLiteral("pop3user.ini");

// More accounts than anyone keeps; a file counting more is refused unread.
constexpr int MaxUsersRecords = 100000;

// The number of records in a file of that length: length / record size
// rounded to the nearest whole number, a tie to the even one. A file cut
// inside its last record is not rejected.
int usersRecordCount(qint64 fileLength);

// Reads every counted record; a last record the file ends inside reads its
// missing bytes as blanks and zero, and nothing past the end is read. A
// missing file is created empty (owner-only). A file of more than
// MaxUsersRecords records, or anything but a regular file, is refused.
bool readUsersFile(const QString& path, QList<AccountRecord>& out, QString* error = nullptr);

// Replaces the whole file with the records, atomically and owner-only; an
// empty list deletes the file instead (a missing file is no failure).
bool writeUsersFile(const QString& path, const QList<AccountRecord>& records,
                    QString* error = nullptr);

// Writes the record at record number (record count + 1) of the current file,
// atomically: the file is rewritten with its counted records and the new one.
bool appendUsersRecord(const QString& path, const AccountRecord& record, QString* error = nullptr);
