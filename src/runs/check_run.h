#pragma once

#include "platform/date_style.h"
#include "pop3/snapshot_matcher.h"
#include "runs/check_progress.h"
#include "runs/run_step.h"

#include <QObject>

class AccountListModel;
class AccountSecrets;
class MailListModel;
struct MailHeaders;
struct RunSettings;
struct SessionContext;

// The check-mail run's own state and steps: which accounts it visits, the
// rows it adds to the mail list, and what it counts. The coordinator
// carries out the steps it returns.
class CheckRun : public QObject
{
    Q_OBJECT
public:
    // An account is halted for an empty users file password only when its
    // password comes from there (secrets says where it comes from).
    CheckRun(RunSettings& settings, AccountListModel& accounts, MailListModel& mails,
             SessionContext& session, const AccountSecrets& secrets, QObject* parent = nullptr);

    // A new run: the seen/new snapshot is taken and the list cleared.
    void prepare();
    // The first account of the run, or a halt when none is ticked.
    RunStep firstAccount();
    // The account after the one just visited, or the run's end.
    RunStep nextAccount();
    // The account being visited, again (after its certificate was trusted).
    RunStep openAccount();
    // Forgets the run's accounts.
    void reset();

    // The account's listing holds this many messages: room for their rows.
    void expectRows(int messageCount);
    // A fetched header block becomes a row of the list.
    void addMailRow(const MailHeaders& headers);
    void addNoMailRow();

    bool hasAccounts() const;
    int newMailCount() const { return m_newMailCount; }
    // The mail rows of the run, without the "(no mail)" rows.
    int totalItems() const;
    // The date style the list was made with.
    DateStyle listDateStyle() const { return m_listDateStyle; }
    int currentAccountRow() const { return m_currentRow; }
    // The account visited now among those the run visits, and message i of
    // its count.
    CheckProgress progressAt(int messageIndex, int messageCount) const
    {
        return {m_accountIndex, m_accountCount, messageIndex, messageCount};
    }

signals:
    // The stored date style was below 1 and became 1.
    void dateStyleReset();

private:
    RunSettings& m_settings;
    AccountListModel& m_accounts;
    MailListModel& m_mails;
    SessionContext& m_session;
    const AccountSecrets& m_secrets;
    SnapshotMatcher m_matcher;
    int m_firstRow = 0; // 1-based account rows; 0 when none
    int m_lastRow = 0;
    int m_currentRow = 0;
    int m_noMailRows = 0;
    int m_accountIndex = 0; // 1-based among the accounts visited
    int m_accountCount = 0;
    int m_newMailCount = 0;
    DateStyle m_listDateStyle = DateStyle::AsSent;
};
