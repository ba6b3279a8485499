// The check run's flow: started by a trigger, one step after each
// account's session.
#include "model/mail_list_model.h"
#include "runs/run_coordinator.h"
#include "storage/run_settings.h"

void RunCoordinator::startCheck()
{
    reserve();
    checkStep();
}

void RunCoordinator::checkStep()
{
    if (m_state == RunState::Deleting) {
        haltCheck(RunHalt::DeleteRunning);
        return;
    }
    if (m_cancelRequested) {
        m_mails.clearItems();
        haltCheck(RunHalt::Canceled);
        return;
    }
    if (!m_check.hasAccounts()) {
        haltCheck(RunHalt::NoAccounts);
        return;
    }
    if (m_state != RunState::Checking) {
        beginCheck();
        return;
    }
    if (!isOnline()) {
        haltCheck(RunHalt::Offline);
        return;
    }
    performCheck(m_check.nextAccount());
}

void RunCoordinator::beginCheck()
{
    setState(RunState::Checking);
    m_log.startRun(RunText::beginCheck(m_settings.checkSelectedOnly));
    m_check.prepare();
    m_progressThrottle.reset();
    m_cancelRequested = false;
    emit checkRunStarted();
    performCheck(m_check.firstAccount());
}

void RunCoordinator::performCheck(const RunStep& step)
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
            haltCheck(RunHalt::Canceled);
            return;
        }
        connectAccount(step.server, step.port);
        return;
    case RunStep::Action::Halt:
        haltCheck(step.halt, step.userName);
        return;
    case RunStep::Action::Complete:
        completeCheck();
        return;
    }
}

void RunCoordinator::completeCheck()
{
    const int total = m_check.totalItems();
    m_check.reset();
    emit checkProgressEnded();
    release();
    const QString summary = RunText::checkComplete(m_check.newMailCount(), total);
    m_log.append(summary);
    m_log.setDatedStatus(summary);
    emit checkRunCompleted(m_check.newMailCount(), total);
    emit runEnded();
}

void RunCoordinator::haltCheck(RunHalt why, const QString& userName)
{
    const QString haltMessage = RunText::halt(why, userName);
    // Refused because a delete run is under way: the session, the cancel
    // request, the controls and the process are that run's, and stay so.
    const bool deleteRunOwnsState = m_state == RunState::Deleting;
    if (!deleteRunOwnsState) {
        m_check.reset();
        emit checkProgressEnded();
        release();
    }
    m_log.append(RunText::haltLine(haltMessage));
    m_log.setDatedStatus(RunText::haltLine(haltMessage));
    emit checkRunHalted(haltMessage);
    showHaltBox(haltMessage);
    if (!deleteRunOwnsState)
        emit runEnded();
}
