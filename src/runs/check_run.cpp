// The check-mail run: one step per call, started by a trigger and continued
// after each account's session.
#include "model/account_list_model.h"
#include "model/list_rows.h"
#include "model/mail_list_model.h"
#include "platform/program_title.h"
#include "platform/prompter.h"
#include "runs/engine.h"
#include "storage/run_settings.h"

void Engine::CheckRun()
{
    if (m_cancelRequested == 1) {
        m_mails.clearItems();
        haltCheckRun(RunHalt::Canceled);
        return;
    }
    if (m_accounts.rowCount() == 0) {
        haltCheckRun(RunHalt::NoAccounts);
        return;
    }
    if (m_deleteRunActive > 0) {
        haltCheckRun(RunHalt::DeleteRunning);
        return;
    }
    if (m_checkRunActive == 0)
        startCheckRun();
    else
        continueCheckRun();
}

void Engine::startCheckRun()
{
    m_minutesSinceCheck = 0;
    emit logColoursChanged(true);
    m_runLog.startRun(RunText::beginCheck(m_settings.CheckSelectedOnly));

    m_newMailCount = 0;
    m_matcher.reset(SnapshotMatcher::snapshotOf(m_mails));
    m_mails.clearItems();

    m_checkRunActive = 1;
    m_firstAccountRow = m_lastAccountRow = m_currentAccountRow = 0;
    m_noMailRowCount = 0;
    m_cancelRequested = 0;
    emit checkRunStarted();

    const int rows = m_accounts.rowCount();
    if (m_settings.CheckSelectedOnly) {
        for (int n = 1; n <= rows; ++n) {
            if (isRowChecked(m_accounts, n) == true) {
                if (m_firstAccountRow == 0)
                    m_firstAccountRow = n;
                m_lastAccountRow = n;
            }
        }
    } else {
        m_firstAccountRow = 1;
        m_lastAccountRow = rows;
    }
    m_currentAccountRow = m_firstAccountRow;
    if (m_firstAccountRow == 0) {
        haltCheckRun(RunHalt::NoAccountTicked);
        return;
    }
    if (isBelowAsSent(m_settings.DateStyle)) {
        m_settings.DateStyle = DateStyle::AsSent;
        emit dateStyleReset();
    }
    m_listDateStyle = m_settings.DateStyle;

    openAccount();
}

void Engine::continueCheckRun()
{
    m_minutesSinceCheck = 0;
    int flags = 0;
    if (!isOnline(&flags)) {
        haltCheckRun(RunHalt::Offline);
        return;
    }
    m_currentAccountRow += 1;
    if (m_currentAccountRow > m_lastAccountRow) {
        completeCheckRun();
        return;
    }
    if (m_settings.CheckSelectedOnly) {
        int next = 0;
        for (int n = m_currentAccountRow; n <= m_lastAccountRow && next == 0; ++n) {
            if (isRowChecked(m_accounts, n) == true)
                next = n;
        }
        if (next == 0) {
            // The list changed under the run: nothing is left to visit.
            completeCheckRun();
            return;
        }
        m_currentAccountRow = next;
    }
    openAccount();
}

// False when the run had to halt.
bool Engine::openAccount()
{
    const int row = m_currentAccountRow - 1;
    if (row < 0 || row >= m_accounts.rowCount()) {
        haltCheckRun(RunHalt::Unknown);
        return false;
    }
    m_matcher.beginAccount();
    const AccountRow& account = m_accounts.rowAt(row);
    m_ctx.displayName = account.displayName;
    m_ctx.userName = account.userName;
    if (account.key.password.isEmpty()) {
        haltCheckRun(RunHalt::BadPassword, m_ctx.userName);
        return false;
    }
    m_ctx.password = account.key.password;
    m_ctx.serverName = account.serverName;
    m_ctx.portText = account.port;
    bool ok = false;
    const qint32 port = m_ctx.portText.trimmed().toInt(&ok);
    if (!ok) {
        haltCheckRun(RunHalt::Unknown); // a port that is no 32-bit number
        return false;
    }
    if (m_cancelRequested != 1) {
        connectAccount(m_ctx.serverName, port);
        return true;
    }
    m_mails.clearItems();
    haltCheckRun(RunHalt::Canceled);
    return false;
}

void Engine::resetRunState()
{
    m_checkRunActive = 0;
    m_firstAccountRow = m_lastAccountRow = m_currentAccountRow = 0;
    m_cancelRequested = 0;
    m_ctx.clearAccount();
}

void Engine::completeCheckRun()
{
    resetRunState();
    emit controlsRestored();
    const int total = m_mails.itemCount() - m_noMailRowCount;
    m_noMailRowCount = 0;
    emit logColoursChanged(false);
    const QString summary = RunText::checkComplete(m_newMailCount, total);
    m_runLog.append(summary);
    m_runLog.setDatedStatus(summary);
    emit checkRunCompleted(m_newMailCount, total);
    m_processBusy = 0;
    m_minutesSinceCheck = 0;
    emit runEnded();
}

void Engine::haltCheckRun(RunHalt why, const QString& userName)
{
    const QString haltMessage = RunText::halt(why, userName);
    resetRunState();
    m_noMailRowCount = 0;
    emit controlsRestored();
    m_processBusy = 0;
    m_minutesSinceCheck = 0;
    emit logColoursChanged(false);
    m_runLog.append(RunText::haltLine(haltMessage));
    m_runLog.setDatedStatus(RunText::haltLine(haltMessage));
    emit checkRunHalted(haltMessage);
    if (m_closing < 1)
        m_prompter.showMessage(programTitle(), RunText::haltBox(haltMessage));
    emit runEnded();
}
