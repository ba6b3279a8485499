// The delete run's flow: the click, then one step after each visit of a
// block of marked rows.
#include "model/mail_list_model.h"
#include "platform/program_title.h"
#include "platform/prompter.h"
#include "runs/delete_run_rows.h"
#include "runs/run_coordinator.h"
#include "storage/run_settings.h"

bool RunCoordinator::startDeleteFromUser()
{
    // The button is disabled while anything runs; a click that still gets
    // through (a queued event, a second face) is refused here.
    if (isBusy())
        return false;
    reserve();
    emit controlsBusy();

    if (m_settings.deleteEnabled) {
        if (m_mails.itemCount() == 0) {
            m_prompter.showMessage(MessageKind::Notice, programTitle(), RunText::noItemsOnList());
        } else if (firstMarkedMailRow(m_mails) == 0) {
            m_prompter.showMessage(MessageKind::Notice, programTitle(), RunText::noItemsMarked());
        } else if (m_prompter.askYesNo(programTitle(), RunText::confirmDelete())) {
            startDelete(); // the run gives the controls back when it ends
            return true;
        }
    }
    release();
    emit runEnded();
    return false;
}

void RunCoordinator::startDelete()
{
    reserve();
    deleteStep();
}

void RunCoordinator::deleteStep()
{
    if (m_state == RunState::Checking) {
        haltDelete(RunHalt::CheckRunning);
        return;
    }
    if (!m_settings.deleteEnabled) {
        // A run under way must still end, or the controls it took would
        // never come back.
        haltDelete(RunHalt::Unknown);
        return;
    }
    if (m_cancelRequested) {
        m_mails.clearItems();
        haltDelete(RunHalt::Canceled);
        return;
    }
    if (m_mails.itemCount() == 0) {
        haltDelete(RunHalt::ListEmpty);
        return;
    }
    if (m_state != RunState::Deleting) {
        beginDelete();
        return;
    }
    if (!isOnline()) {
        haltDelete(RunHalt::Offline);
        return;
    }
    performDelete(m_delete.nextBlock());
}

void RunCoordinator::beginDelete()
{
    setState(RunState::Deleting);
    m_log.startRun(RunText::beginDelete());
    emit controlsBusy();
    m_cancelRequested = false;
    performDelete(m_delete.begin());
}

void RunCoordinator::performDelete(const RunStep& step)
{
    switch (step.action) {
    case RunStep::Action::Visit:
        // The secret may take a while (a command, the Secret Service): a
        // cancel given meanwhile is heeded before connecting.
        if (!m_cancelRequested && !fetchSecret()) {
            postContinuation(); // the next account
            return;
        }
        if (m_cancelRequested) {
            m_mails.clearItems();
            haltDelete(RunHalt::Canceled);
            return;
        }
        connectAccount(step.server, step.port);
        return;
    case RunStep::Action::Halt:
        haltDelete(step.halt);
        return;
    case RunStep::Action::Complete:
        completeDelete();
        return;
    }
}

void RunCoordinator::completeDelete()
{
    m_delete.reset();
    const int deleted = m_delete.removeDeletedRows();
    release();
    const QString summary = RunText::deleteComplete(deleted);
    m_log.append(summary);
    m_log.setDatedStatus(summary);
    emit deleteRunCompleted(deleted);
    emit runEnded();
}

void RunCoordinator::haltDelete(RunHalt why)
{
    const QString haltMessage = RunText::halt(why);
    // Refused because a check run is under way: the session, the cancel
    // request, the controls and the process are that run's, and stay so.
    const bool checkRunOwnsState = m_state == RunState::Checking;
    m_delete.reset();
    if (!checkRunOwnsState)
        release();
    m_log.append(RunText::haltLine(haltMessage));
    m_log.setDatedStatus(RunText::haltLine(haltMessage));
    emit deleteRunHalted(haltMessage);
    showHaltBox(haltMessage);
    if (!checkRunOwnsState)
        emit runEnded();
}
