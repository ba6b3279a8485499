// The delete-mail run: the click on Command5, then one step per call, each
// visiting the next account that owns marked rows of the mail list.
#include "model/list_rows.h"
#include "model/mail_list_model.h"
#include "platform/program_title.h"
#include "platform/prompter.h"
#include "runs/delete_run_rows.h"
#include "runs/engine.h"
#include "storage/run_settings.h"

bool Engine::startDeleteFromUser()
{
    // The button is disabled while anything runs; a click that still gets
    // through (a queued event, a second face) is refused here.
    if (isBusy() || isRunActive())
        return false;
    m_processBusy = 1;
    emit controlsBusy();

    if (m_settings.DeleteEnabled) {
        if (m_mails.itemCount() == 0) {
            m_prompter.showMessage(programTitle(), RunText::noItemsOnList());
        } else if (firstMarkedMailRow(m_mails) == 0) {
            m_prompter.showMessage(programTitle(), RunText::noItemsMarked());
        } else if (m_prompter.askYesNo(programTitle(), RunText::confirmDelete())) {
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
    if (!m_settings.DeleteEnabled) {
        // A run already under way must still end, or the controls it took
        // would never come back.
        if (m_deleteRunActive > 0)
            haltDeleteRun(RunHalt::Unknown);
        return;
    }
    if (m_checkRunActive >= 1) {
        haltDeleteRun(RunHalt::CheckRunning);
        return;
    }
    if (m_cancelRequested == 1) {
        m_mails.clearItems();
        haltDeleteRun(RunHalt::Canceled);
        return;
    }
    if (m_mails.itemCount() == 0) {
        haltDeleteRun(RunHalt::ListEmpty);
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
    m_runLog.startRun(RunText::beginDelete());
    emit controlsBusy();

    m_deleteRunActive = 1;
    m_deleteBlockIndex = 0;
    m_deletedInAccount = 0;
    m_cancelRequested = 0;
    m_deletePlan = planDeletion(m_mails);
    if (m_deletePlan.empty()) {
        haltDeleteRun(RunHalt::NothingMarked);
        return;
    }
    startDeleteAccount();
}

void Engine::startDeleteAccount()
{
    const DeleteBlock* block = currentDeleteBlock();
    if (!block) {
        haltDeleteRun(RunHalt::Unknown);
        return;
    }
    m_ctx.userName = block->userName;
    m_ctx.password = block->password;
    m_ctx.serverName = block->server;
    m_ctx.portText = block->port;
    bool ok = false;
    const qint32 port = m_ctx.portText.trimmed().toInt(&ok);
    if (!ok) {
        haltDeleteRun(RunHalt::Unknown);
        return;
    }
    m_deletedInAccount = 0;
    if (m_cancelRequested == 1) {
        m_mails.clearItems();
        haltDeleteRun(RunHalt::Canceled);
        return;
    }
    connectAccount(m_ctx.serverName, port);
}

void Engine::continueDeleteRun()
{
    int flags = 0;
    if (!isOnline(&flags)) {
        haltDeleteRun(RunHalt::Offline);
        return;
    }
    m_deleteBlockIndex += 1;
    if (m_deleteBlockIndex < m_deletePlan.size())
        startDeleteAccount();
    else
        completeDeleteRun();
}

void Engine::resetDeleteRunState()
{
    m_deleteRunActive = 0;
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
    emit logColoursChanged(false);
    const QString summary = RunText::deleteComplete(deleted);
    m_runLog.append(summary);
    m_runLog.setDatedStatus(summary);
    m_processBusy = 0;
    emit deleteRunCompleted(deleted);
    emit runEnded();
}

void Engine::haltDeleteRun(RunHalt why)
{
    const QString haltMessage = RunText::halt(why);
    // Refused because a check run is under way: the session, the cancel
    // request, the controls and the busy flag are that run's, and stay so.
    const bool checkRunOwnsState = m_checkRunActive > 0;
    if (checkRunOwnsState) {
        m_deleteRunActive = 0;
        m_deleteBlockIndex = 0;
        m_deletedInAccount = 0;
    } else {
        resetDeleteRunState();
        emit controlsRestored();
        m_processBusy = 0;
        emit logColoursChanged(false);
    }
    m_runLog.append(RunText::haltLine(haltMessage));
    m_runLog.setDatedStatus(RunText::haltLine(haltMessage));
    emit deleteRunHalted(haltMessage);
    if (m_closing < 1)
        m_prompter.showMessage(programTitle(), RunText::haltBox(haltMessage));
    if (!checkRunOwnsState)
        emit runEnded();
}

const DeleteBlock* Engine::currentDeleteBlock() const
{
    return m_deleteBlockIndex < m_deletePlan.size() ? &m_deletePlan[m_deleteBlockIndex] : nullptr;
}
