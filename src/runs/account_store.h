#pragma once

#include "model/account_list_model.h"

#include <QString>

class Prompter;
struct AccountRecord;

// The account list's users file: reading it into the list and writing the
// list back.

// Fills the (emptied) list from the users file at path and remembers the
// path. A missing file is created empty. False, with the reason, when the
// file cannot be created or read.
bool loadAccountList(AccountListModel& list, const QString& usersFilePath,
                     QString* error = nullptr);

// Rewrites the users file from the list; row (from 1) is written with
// newDisplayName instead of its text, row 0 for none. An empty list deletes
// the file. A failure shows "An Error Occurred Saving Changes To Username
// File", leaves the previous file intact and returns false.
bool saveUsersFile(const AccountListModel& list, const QString& newDisplayName, int row,
                   Prompter& prompter);

// Writes one record after the records of the current users file.
bool appendAccountRecord(const AccountListModel& list, const AccountRecord& record,
                         QString* error = nullptr);
