#include "runs/account_store.h"

#include "platform/program_title.h"
#include "platform/prompter.h"
#include "storage/account_record.h"
#include "storage/scramble.h"
#include "storage/users_file.h"

bool loadAccountList(AccountListModel& list, const QString& usersFilePath, QString* error)
{
    list.setUsersFilePath(usersFilePath);
    list.clearRows();
    QList<AccountRecord> records;
    if (!readUsersFile(usersFilePath, records, error))
        return false;
    for (int i = 0; i < records.size(); ++i) {
        const AccountRecord& record = records[i];
        AccountRow account;
        account.key = {i + 1, unscramblePassword(record.scrambledPassword)};
        account.displayName = record.displayName.trimmed();
        account.userName = record.userName.trimmed();
        account.serverName = record.serverName.trimmed();
        account.port = QString::number(record.port);
        account.checked = record.checked == 1;
        list.appendAccountRow(account);
    }
    return true;
}

namespace {

// A row whose password could not be read back still keeps its place in the
// file, with an empty password, instead of silently vanishing.
bool recordFromRow(const AccountRow& account, const QString& displayName, AccountRecord& out)
{
    bool portOk = false;
    out.port = account.port.toInt(&portOk);
    if (!portOk)
        return false;
    out.displayName = displayName;
    out.userName = account.userName;
    out.scrambledPassword = scramblePassword(account.key.password);
    out.serverName = account.serverName;
    out.checked = account.checked ? 1 : 0;
    return true;
}

} // namespace

bool saveUsersFile(const AccountListModel& list, const QString& newDisplayName, int row,
                   Prompter& prompter)
{
    QList<AccountRecord> records;
    records.reserve(list.rowCount());
    bool ok = true;
    for (int i = 0; i < list.rowCount() && ok; ++i) {
        const AccountRow& account = list.rowAt(i);
        const QString name = i + 1 == row ? newDisplayName : account.displayName;
        AccountRecord record;
        ok = recordFromRow(account, name, record);
        records.append(record);
    }
    if (ok)
        ok = writeUsersFile(list.usersFilePath(), records);
    if (!ok)
        prompter.showMessage(MessageKind::Error, programTitle(),
                             QStringLiteral("An Error Occurred Saving Changes To Username File"));
    return ok;
}

bool appendAccountRecord(const AccountListModel& list, const AccountRecord& record, QString* error)
{
    return appendUsersRecord(list.usersFilePath(), record, error);
}
