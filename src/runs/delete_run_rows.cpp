// The delete run's work on the mail list: finding the marked row that
// shows a fetched message, marking rows whose message the server deleted,
// and taking those rows out at the end of the run.
#include "runs/delete_run_rows.h"

#include "model/list_rows.h"
#include "model/mail_list_model.h"
#include "pop3/header_block.h"
#include "pop3/mail_date.h"
#include "runs/delete_run.h"
#include "runs/run_log.h"
#include "runs/session_driver.h"

#include <QVector>
#include <utility>

int firstMarkedMailRow(const MailListModel& mails)
{
    for (int i = 1; i <= mails.itemCount(); ++i) {
        if (!mails.item(i - 1).isNoMailRow() && isRowChecked(mails, i) == true)
            return i;
    }
    return 0;
}

void DeleteRun::matchHeaders(const MailHeaders& headers, qint32 messageNumber,
                             DateStyle listDateStyle)
{
    const DeleteBlock* block = currentBlock();
    if (!block || block->firstRow < 1 || block->lastRow > m_mails.itemCount()) {
        abortAccount(); // the list no longer holds the block's rows
        return;
    }
    const QString shown = displayedMailDate(headers.date, listDateStyle);
    for (int i = block->firstRow; i <= block->lastRow; ++i) {
        if (isRowChecked(m_mails, i) != true)
            continue;
        const MailItem& row = m_mails.item(i - 1);
        // A row stands for one message: once its message was deleted it
        // matches no other, so a duplicate the user left unmarked stays.
        if (row.isNoMailRow() || row.mark == RowMark::Deleted || m_acceptedRows.contains(i))
            continue;
        m_matchedRow = 0;
        if (row.userName != m_session.userName || row.from != headers.from ||
            row.subject != headers.subject || row.dateSent != shown ||
            row.server != m_session.serverName || row.port != m_session.portText)
            continue;
        m_deletedInAccount += 1;
        m_matchedRow = i;
        if (block->markedRows < m_deletedInAccount) {
            abortAccount(); // more matches than marked rows
            return;
        }
        m_session.state = SessionState::SentDele;
        m_driver.sendCommand("DELE " + QByteArray::number(messageNumber));
        return;
    }
}

void DeleteRun::abortAccount()
{
    m_session.state = SessionState::DeleteAborted;
    m_driver.sendCommand("QUIT");
}

bool DeleteRun::deleteAccepted()
{
    // The server deletes only when it acknowledges QUIT: the row is marked
    // then (settle), not now.
    const int row = m_matchedRow - 1;
    if (row >= 0 && row < m_mails.itemCount() && !m_mails.item(row).isNoMailRow())
        m_acceptedRows.append(m_matchedRow);
    const DeleteBlock* block = currentBlock();
    return !block || m_deletedInAccount >= block->markedRows;
}

void DeleteRun::settle(bool quitAnswered)
{
    if (m_acceptedRows.isEmpty())
        return;
    const QList<int> rows = std::exchange(m_acceptedRows, {});
    if (!quitAnswered) {
        // The rows stay, still marked, for another try.
        m_log.report(RunText::deletionNotCompleted(int(rows.size())));
        return;
    }
    for (const int i : rows) {
        if (i < 1 || i > m_mails.itemCount())
            continue;
        if (!m_mails.item(i - 1).isNoMailRow())
            m_mails.setMark(i - 1, RowMark::Deleted);
    }
}

namespace {

// A run of consecutive mail rows of one account.
struct RowGroup
{
    int deletedRows = 0;
    int rows = 0;
    QString userName;
    QString password;
    QString server;
    QString port;
    int firstRow = 0;
    int lastRow = 0;

    bool sameAccount(const MailItem& row) const
    {
        return userName == row.userName && password == row.key.password && server == row.server &&
               port == row.port;
    }
};

// An account whose every mail row was deleted gets its first row marked:
// that row becomes the account's "(no mail)" row.
void reconcileDeletedRows(MailListModel& mails)
{
    QVector<RowGroup> groups;
    for (int i = 1; i <= mails.itemCount(); ++i) {
        const MailItem& row = mails.item(i - 1);
        if (row.isNoMailRow())
            continue;
        const int deleted = row.mark == RowMark::Deleted ? 1 : 0;
        if (!groups.isEmpty() && groups.last().sameAccount(row)) {
            RowGroup& group = groups.last();
            group.rows += 1;
            group.lastRow = i;
            group.deletedRows += deleted;
            continue;
        }
        groups.append(
            RowGroup{deleted, 1, row.userName, row.key.password, row.server, row.port, i, i});
    }
    for (const RowGroup& group : std::as_const(groups)) {
        if (group.deletedRows != group.rows)
            continue;
        mails.setMark(group.firstRow - 1, RowMark::AccountEmptied);
    }
}

} // namespace

int DeleteRun::removeDeletedRows()
{
    if (m_mails.itemCount() == 0)
        return 0;
    reconcileDeletedRows(m_mails);
    // Built anew in one pass and swapped in at once: removing rows one by
    // one would cost the whole list for every deleted row.
    QVector<MailItem> kept;
    kept.reserve(m_mails.itemCount());
    int count = 0;
    for (int i = 0; i < m_mails.itemCount(); ++i) {
        const MailItem& row = m_mails.item(i);
        const RowMark mark = row.isNoMailRow() ? RowMark::None : row.mark;
        if (mark == RowMark::Deleted) {
            count += 1;
        } else if (mark == RowMark::AccountEmptied) {
            // The account's last message is gone: its row now says so.
            count += 1;
            kept.append(MailItem::noMailRow(row.displayName, row.userName));
        } else {
            kept.append(row);
        }
    }
    if (count > 0) {
        m_mails.clearItems();
        m_mails.appendItems(kept);
    }
    return count;
}
