#pragma once

#include "platform/date_style.h"
#include "runs/delete_plan.h"
#include "runs/run_step.h"

#include <QList>
#include <QtGlobal>
#include <vector>

class MailListModel;
class RunLog;
class SessionDriver;
struct MailHeaders;
struct SessionContext;

// The delete run's own state and steps: the plan of marked rows, one visit
// per block, the DELE of each message that matches a marked row, and the
// rows taken out at the end. The coordinator carries out the steps it
// returns.
class DeleteRun
{
public:
    DeleteRun(MailListModel& mails, SessionDriver& driver, RunLog& log);

    // Plans the run from the marked rows and visits the first block; a halt
    // when nothing is marked.
    RunStep begin();
    // The next block, or the run's end.
    RunStep nextBlock();
    // The block being visited (again after its certificate was trusted).
    RunStep visitBlock();
    // Forgets the plan.
    void reset();
    // A new connection: nothing of it is accepted yet.
    void sessionStarting() { m_acceptedRows.clear(); }

    // A fetched header block: DELE when it is the message of a marked row of
    // the block (its date shown in the list's date style), QUIT when the
    // block no longer fits the list.
    void matchHeaders(const MailHeaders& headers, qint32 messageNumber, DateStyle listDateStyle);
    // The server accepted the DELE: true when the block's rows are all
    // matched.
    bool deleteAccepted();
    // The session is over: the accepted rows are marked deleted when the
    // server acknowledged QUIT, kept marked otherwise.
    void settle(bool quitAnswered);
    // The end of the run: the rows the server deleted leave the list; the
    // count of them.
    int removeDeletedRows();

    // The plan of the last run, one block per visit.
    const std::vector<DeleteBlock>& plan() const { return m_plan; }
    int deletedInAccount() const { return m_deletedInAccount; }

private:
    const DeleteBlock* currentBlock() const;
    void abortAccount();

    MailListModel& m_mails;
    SessionDriver& m_driver;
    SessionContext& m_session;
    RunLog& m_log;
    std::vector<DeleteBlock> m_plan;
    size_t m_blockIndex = 0; // the block visited now
    int m_deletedInAccount = 0;
    int m_matchedRow = 0; // 1-based row of the DELE awaiting its reply
    // Rows whose DELE the server accepted in this session: deleted only
    // once the server acknowledges QUIT.
    QList<int> m_acceptedRows;
};
