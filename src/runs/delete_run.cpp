// The delete-mail run: the click on Command5, then one step per call, each
// visiting the next account that owns marked rows of the mail list.
#include "model/list_rows.h"
#include "model/mail_list_model.h"
#include "platform/prompter.h"
#include "runs/delete_run_rows.h"
#include "runs/engine.h"
#include "storage/run_settings.h"

bool Engine::startDeleteFromUser()
{
    // The button is disabled while anything runs; a click that still gets
    // through (a queued event, a second face) is refused here.
    if (m_processBusy != 0 || m_checkRunActive > 0 || m_deleteRunActive > 0)
        return false;
    m_processBusy = 1;
    emit controlsBusy();

    if (m_settings.DeleteEnabled == 1) {
        if (m_mails.itemCount() == 0) {
            m_prompter.showMessage(Title, QStringLiteral("There Are No Mail Items On The List"));
        } else if (firstMarkedMailRow(m_mails) == 0) {
            m_prompter.showMessage(Title, QStringLiteral("No Mail Items On The List Have Their "
                                                         "CheckBoxes Checked To Mark For "
                                                         "Deletion"));
        } else if (m_prompter.askYesNo(Title, QStringLiteral("Confirm: Permanently Delete All "
                                                             "Mail Items w/CheckBox Ckecked "
                                                             "From The Server?"))) {
            DeleteRun(); // the run gives the controls back when it ends
            return true;
        }
    }
    emit controlsRestored();
    m_processBusy = 0;
    emit runEnded();
    return false;
}

void Engine::DeleteRun()
{
    if (m_settings.DeleteEnabled != 1) {
        // A run already under way must still end, or the controls it took
        // would never come back.
        if (m_deleteRunActive > 0)
            haltDeleteRun(QStringLiteral("Unknown Error"));
        return;
    }
    if (m_checkRunActive >= 1) {
        haltDeleteRun(QStringLiteral("Error..A -Check Mail- Process Is Still Running"));
        return;
    }
    if (m_cancelRequested == 1) {
        m_mails.clearItems();
        haltDeleteRun(QStringLiteral("Operation Canceled"));
        return;
    }
    if (m_mails.itemCount() == 0) {
        haltDeleteRun(QStringLiteral("..There Are No Mail Items On The List."));
        return;
    }
    if (m_deleteRunActive == 0)
        startDeleteRun();
    else
        continueDeleteRun();
}

void Engine::startDeleteRun()
{
    emit logColoursChanged(true);
    m_log = dateTimeNow();
    emit logReplaced(m_log);
    AppendLog(QStringLiteral("..Beginning Process To Delete Mail"));
    SetStatus(QStringLiteral("..Beginning Process To Delete Mail"));
    emit controlsBusy();

    m_deleteRunActive = 1;
    m_deleteBlockFirstRow = m_deleteBlockLastRow = 0;
    m_deleteBlockIndex = 0;
    m_deletedInAccount = 0;
    m_cancelRequested = 0;
    buildDeletePlan();

    m_deleteBlockIndex = 7;
    if (m_deleteBlocks.size() < 8) {
        haltDeleteRun(QStringLiteral("No Mail Items Have CheckBox Checked To Mark For Deletion."));
        return;
    }
    startDeleteAccount();
}

void Engine::buildDeletePlan()
{
    m_deleteBlocks = QStringList{QStringLiteral("0")};
    const int rows = m_mails.itemCount();
    for (int i = 1; i <= rows; ++i) {
        const MailItem& row = m_mails.item(i - 1);
        if (row.isNoMailRow() || isRowChecked(m_mails, i) != true)
            continue;
        const QStringList account{row.userName, row.key.password, row.server, row.port};
        const qsizetype last = m_deleteBlocks.size() - 1;
        if (last >= 7 && m_deleteBlocks.mid(last - 5, 4) == account) {
            m_deleteBlockLastRow = i;
            m_deleteBlocks[last] = QString::number(i);
            m_deleteBlocks[last - 6] = QString::number(m_deleteBlocks[last - 6].toInt() + 1);
            continue;
        }
        m_deleteBlockFirstRow = m_deleteBlockLastRow = i;
        m_deleteBlocks.append(QStringLiteral("1"));
        m_deleteBlocks.append(account);
        m_deleteBlocks.append(QString::number(i));
        m_deleteBlocks.append(QString::number(i));
        m_deleteBlocks[0] = QString::number(m_deleteBlocks.size() - 1);
    }
}

void Engine::startDeleteAccount()
{
    const qsizetype k = m_deleteBlockIndex;
    if (k < 7 || k >= m_deleteBlocks.size()) {
        haltDeleteRun(QStringLiteral("Unknown Error"));
        return;
    }
    m_ctx.UserName = m_deleteBlocks[k - 5];
    m_ctx.Password = m_deleteBlocks[k - 4];
    m_ctx.ServerName = m_deleteBlocks[k - 3];
    m_ctx.PortText = m_deleteBlocks[k - 2];
    bool ok = false;
    const qint32 port = m_ctx.PortText.trimmed().toInt(&ok);
    if (!ok) {
        haltDeleteRun(QStringLiteral("Unknown Error"));
        return;
    }
    m_deletedInAccount = 0;
    if (m_cancelRequested == 1) {
        m_mails.clearItems();
        haltDeleteRun(QStringLiteral("Operation Canceled"));
        return;
    }
    ConnectToServer(m_ctx.ServerName, port);
}

void Engine::continueDeleteRun()
{
    int flags = 0;
    if (!isOnline(&flags)) {
        haltDeleteRun(QStringLiteral("Not Connected To The Internet"));
        return;
    }
    m_deleteBlockIndex += 7;
    bool ok = false;
    const qint32 lastIndex = deleteBlockNumber(0, &ok);
    if (!ok) {
        haltDeleteRun(QStringLiteral("Unknown Error"));
        return;
    }
    if (m_deleteBlockIndex <= lastIndex)
        startDeleteAccount();
    else
        completeDeleteRun();
}

void Engine::resetDeleteRunState()
{
    m_deleteRunActive = 0;
    m_deleteBlockFirstRow = m_deleteBlockLastRow = 0;
    m_deleteBlockIndex = 0;
    m_deletedInAccount = 0;
    m_cancelRequested = 0;
    m_ctx.clearAccount();
}

void Engine::completeDeleteRun()
{
    resetDeleteRunState();
    emit controlsRestored();
    int deleted = 0;
    if (m_mails.itemCount() > 0) {
        ReconcileDeletedRows();
        deleted = removeDeletedRows();
    }
    const QString number = QString::number(deleted);
    const QString ending = deleted == 1 ? QString() : QStringLiteral("s");
    emit logColoursChanged(false);
    const QString summary = QStringLiteral("..Delete Complete: Deleted ") + number +
                            QStringLiteral(" Mail Item") + ending;
    AppendLog(summary);
    SetStatus(dateTimeNow() + summary);
    m_processBusy = 0;
    emit deleteRunCompleted(deleted);
    emit runEnded();
}

void Engine::haltDeleteRun(const QString& haltMessage)
{
    // Refused because a check run is under way: the session, the cancel
    // request, the controls and the busy flag are that run's, and stay so.
    const bool checkRunOwnsState = m_checkRunActive > 0;
    if (checkRunOwnsState) {
        m_deleteRunActive = 0;
        m_deleteBlockFirstRow = m_deleteBlockLastRow = 0;
        m_deleteBlockIndex = 0;
        m_deletedInAccount = 0;
    } else {
        resetDeleteRunState();
        emit controlsRestored();
        m_processBusy = 0;
        emit logColoursChanged(false);
    }
    AppendLog(QStringLiteral("..Process Halted: ") + haltMessage);
    SetStatus(dateTimeNow() + QStringLiteral("..Process Halted: ") + haltMessage);
    emit deleteRunHalted(haltMessage);
    if (m_closing < 1)
        m_prompter.showMessage(Title, QStringLiteral("Process Halted: ") + haltMessage);
    if (!checkRunOwnsState)
        emit runEnded();
}

qint32 Engine::deleteBlockNumber(qsizetype index, bool* ok) const
{
    *ok = false;
    if (index < 0 || index >= m_deleteBlocks.size())
        return 0;
    return m_deleteBlocks[index].toInt(ok);
}
