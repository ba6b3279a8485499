// The check-mail run: one step per call, started by a trigger and continued
// after each account's session.
#include "model/account_list_model.h"
#include "model/list_rows.h"
#include "model/mail_list_model.h"
#include "platform/prompter.h"
#include "runs/engine.h"
#include "storage/run_settings.h"

void Engine::CheckRun()
{
    if (m_cancelRequested == 1) {
        m_mails.clearItems();
        haltCheckRun(QStringLiteral("Operation Canceled"));
        return;
    }
    if (m_accounts.rowCount() == 0) {
        haltCheckRun(QStringLiteral("No Usernames Are Configured."));
        return;
    }
    if (m_deleteRunActive > 0) {
        haltCheckRun(QStringLiteral("Error..A Delete Process Is Still Running"));
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
    const QString suffix = m_settings.CheckSelectedOnly == 1
                               ? QStringLiteral(" (Check-Selected Usernames, Only)")
                               : QString();
    m_log = dateTimeNow();
    emit logReplaced(m_log);
    AppendLog(QStringLiteral("..Beginning Process To Check For Mail") + suffix);
    SetStatus(QStringLiteral("..Beginning Process To Check For Mail") + suffix);

    m_newMailCount = 0;
    m_matcher.reset(SnapshotMatcher::snapshotOf(m_mails));
    m_mails.clearItems();

    m_checkRunActive = 1;
    m_firstAccountRow = m_lastAccountRow = m_currentAccountRow = 0;
    m_noMailRowCount = 0;
    m_cancelRequested = 0;
    emit checkRunStarted();

    const int rows = m_accounts.rowCount();
    if (m_settings.CheckSelectedOnly == 1) {
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
        haltCheckRun(QStringLiteral("No Usernames Have CheckBox Checked or Error Reading List"));
        return;
    }
    if (m_settings.DateStyle < 1) {
        m_settings.DateStyle = 1;
        emit dateStyleReset();
    }
    m_listDateStyle = m_settings.DateStyle;

    QString haltMessage = QStringLiteral("Unknown Error");
    if (!openAccount(haltMessage))
        haltCheckRun(haltMessage);
}

void Engine::continueCheckRun()
{
    m_minutesSinceCheck = 0;
    int flags = 0;
    if (!isOnline(&flags)) {
        haltCheckRun(QStringLiteral("Not Connected To The Internet"));
        return;
    }
    m_currentAccountRow += 1;
    if (m_currentAccountRow > m_lastAccountRow) {
        completeCheckRun();
        return;
    }
    if (m_settings.CheckSelectedOnly != 0) {
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
    QString haltMessage = QStringLiteral("Unknown Error");
    if (!openAccount(haltMessage))
        haltCheckRun(haltMessage);
}

// False with the halt message when the run must stop.
bool Engine::openAccount(QString& haltMessage)
{
    const int row = m_currentAccountRow - 1;
    if (row < 0 || row >= m_accounts.rowCount())
        return false; // "Unknown Error"
    m_matcher.beginAccount();
    const AccountRow& account = m_accounts.rowAt(row);
    m_ctx.DisplayName = account.displayName;
    m_ctx.UserName = account.userName;
    if (account.key.password.isEmpty()) {
        haltMessage =
            QStringLiteral("Password From Usernames List Not Good For User: ") + m_ctx.UserName;
        return false;
    }
    m_ctx.Password = account.key.password;
    m_ctx.ServerName = account.serverName;
    m_ctx.PortText = account.port;
    bool ok = false;
    const qint32 port = m_ctx.PortText.trimmed().toInt(&ok);
    if (!ok)
        return false; // a port that is no 32-bit number: "Unknown Error"
    if (m_cancelRequested != 1) {
        ConnectToServer(m_ctx.ServerName, port);
        return true;
    }
    m_mails.clearItems();
    haltMessage = QStringLiteral("Operation Canceled");
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
    const QString countWord = m_newMailCount == 0   ? QStringLiteral("No")
                              : m_newMailCount == 1 ? QStringLiteral("1")
                                                    : QString::number(m_newMailCount);
    const QString ending = m_newMailCount == 1 ? QString() : QStringLiteral("s");
    emit logColoursChanged(false);
    const QString summary = QStringLiteral("..Check Complete: ") + countWord +
                            QStringLiteral(" New Mail Item") + ending +
                            QStringLiteral(" -Total Items: ") + QString::number(total);
    AppendLog(summary);
    SetStatus(dateTimeNow() + summary);
    emit checkRunCompleted(m_newMailCount, total);
    m_processBusy = 0;
    m_minutesSinceCheck = 0;
    emit runEnded();
}

void Engine::haltCheckRun(const QString& haltMessage)
{
    resetRunState();
    m_noMailRowCount = 0;
    emit controlsRestored();
    m_processBusy = 0;
    m_minutesSinceCheck = 0;
    emit logColoursChanged(false);
    AppendLog(QStringLiteral("..Process Halted: ") + haltMessage);
    SetStatus(dateTimeNow() + QStringLiteral("..Process Halted: ") + haltMessage);
    emit checkRunHalted(haltMessage);
    if (m_closing < 1)
        m_prompter.showMessage(Title, QStringLiteral("Process Halted: ") + haltMessage);
    emit runEnded();
}
