// The delete run's steps: one visit per block of marked rows.
#include "runs/delete_run.h"

#include "model/mail_list_model.h"
#include "runs/session_driver.h"

DeleteRun::DeleteRun(MailListModel& mails, SessionDriver& driver, RunLog& log)
    : m_mails(mails), m_driver(driver), m_session(driver.context()), m_log(log)
{
}

RunStep DeleteRun::begin()
{
    reset();
    m_plan = planDeletion(m_mails);
    if (m_plan.empty())
        return RunStep::stop(RunHalt::NothingMarked);
    return visitBlock();
}

RunStep DeleteRun::visitBlock()
{
    const DeleteBlock* block = currentBlock();
    if (!block)
        return RunStep::stop(RunHalt::Unknown);
    m_session.userName = block->userName;
    m_session.password = block->password;
    m_session.serverName = block->server;
    m_session.portText = block->port;
    bool ok = false;
    const qint32 port = m_session.portText.trimmed().toInt(&ok);
    if (!ok)
        return RunStep::stop(RunHalt::Unknown);
    m_deletedInAccount = 0;
    return RunStep::visit(m_session.serverName, port);
}

RunStep DeleteRun::nextBlock()
{
    m_blockIndex += 1;
    if (m_blockIndex < m_plan.size())
        return visitBlock();
    return RunStep::complete();
}

void DeleteRun::reset()
{
    m_blockIndex = 0;
    m_deletedInAccount = 0;
}

const DeleteBlock* DeleteRun::currentBlock() const
{
    return m_blockIndex < m_plan.size() ? &m_plan[m_blockIndex] : nullptr;
}
