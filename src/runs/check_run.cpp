// The check-mail run's steps: the accounts it visits, in list order.
#include "runs/check_run.h"

#include "model/account_list_model.h"
#include "model/list_rows.h"
#include "model/mail_list_model.h"
#include "pop3/session_context.h"
#include "runs/account_secrets.h"
#include "storage/run_settings.h"

#include <algorithm>

CheckRun::CheckRun(RunSettings& settings, AccountListModel& accounts, MailListModel& mails,
                   SessionContext& session, const AccountSecrets& secrets, QObject* parent)
    : QObject(parent), m_settings(settings), m_accounts(accounts), m_mails(mails),
      m_session(session), m_secrets(secrets)
{
}

void CheckRun::prepare()
{
    m_newMailCount = 0;
    m_matcher.reset(SnapshotMatcher::snapshotOf(m_mails));
    m_mails.clearItems();
    reset();
}

RunStep CheckRun::firstAccount()
{
    const int rows = m_accounts.rowCount();
    if (m_settings.checkSelectedOnly) {
        for (int n = 1; n <= rows; ++n) {
            if (isRowChecked(m_accounts, n) == true) {
                if (m_firstRow == 0)
                    m_firstRow = n;
                m_lastRow = n;
                m_accountCount += 1;
            }
        }
    } else {
        m_firstRow = 1;
        m_lastRow = rows;
        m_accountCount = rows;
    }
    m_currentRow = m_firstRow;
    m_accountIndex = 1;
    if (m_firstRow == 0)
        return RunStep::stop(RunHalt::NoAccountTicked);
    if (isBelowAsSent(m_settings.dateStyle)) {
        m_settings.dateStyle = DateStyle::AsSent;
        emit dateStyleReset();
    }
    m_listDateStyle = m_settings.dateStyle;
    return openAccount();
}

RunStep CheckRun::nextAccount()
{
    m_currentRow += 1;
    if (m_currentRow > m_lastRow)
        return RunStep::complete();
    if (m_settings.checkSelectedOnly) {
        int next = 0;
        for (int n = m_currentRow; n <= m_lastRow && next == 0; ++n) {
            if (isRowChecked(m_accounts, n) == true)
                next = n;
        }
        // The list changed under the run: nothing is left to visit.
        if (next == 0)
            return RunStep::complete();
        m_currentRow = next;
    }
    // The list may have grown under the run: the count follows.
    m_accountIndex += 1;
    m_accountCount = std::max(m_accountCount, m_accountIndex);
    return openAccount();
}

RunStep CheckRun::openAccount()
{
    const int row = m_currentRow - 1;
    if (row < 0 || row >= m_accounts.rowCount())
        return RunStep::stop(RunHalt::Unknown);
    m_matcher.beginAccount();
    const AccountRow& account = m_accounts.rowAt(row);
    m_session.displayName = account.displayName;
    m_session.userName = account.userName;
    const MailboxKey mailbox{account.serverName, account.port.trimmed().toInt(), account.userName};
    if (account.key.password.isEmpty() && m_secrets.takesUsersFilePassword(mailbox))
        return RunStep::stop(RunHalt::BadPassword, m_session.userName);
    m_session.password = account.key.password;
    m_session.serverName = account.serverName;
    m_session.portText = account.port;
    bool ok = false;
    const qint32 port = m_session.portText.trimmed().toInt(&ok);
    if (!ok)
        return RunStep::stop(RunHalt::Unknown); // a port that is no 32-bit number
    return RunStep::visit(m_session.serverName, port);
}

void CheckRun::reset()
{
    m_firstRow = m_lastRow = m_currentRow = 0;
    m_noMailRows = 0;
    m_accountIndex = m_accountCount = 0;
}

bool CheckRun::hasAccounts() const
{
    return m_accounts.rowCount() > 0;
}

void CheckRun::addNoMailRow()
{
    m_mails.appendItem(MailItem::noMailRow(m_session.displayName, m_session.userName));
    m_noMailRows += 1;
}

int CheckRun::totalItems() const
{
    return m_mails.itemCount() - m_noMailRows;
}
