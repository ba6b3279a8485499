// The delete run's work on the mail list: finding the marked row that
// shows a fetched message, marking rows whose message the server deleted,
// and taking those rows out at the end of the run.
#include "runs/delete_run_rows.h"

#include "model/list_rows.h"
#include "model/mail_list_model.h"
#include "pop3/header_block.h"
#include "pop3/mail_date.h"
#include "runs/engine.h"
#include "storage/run_settings.h"

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

void Engine::matchForDelete(const MailHeaders& headers, qint32 messageNumber)
{
    const DeleteBlock* block = currentDeleteBlock();
    if (!block || block->firstRow < 1 || block->lastRow > m_mails.itemCount()) {
        abortDeleteAccount(); // the list no longer holds the block's rows
        return;
    }
    const QString shown = displayedMailDate(headers.date, m_listDateStyle);
    for (int i = block->firstRow; i <= block->lastRow; ++i) {
        if (isRowChecked(m_mails, i) != true)
            continue;
        const MailItem& row = m_mails.item(i - 1);
        // A row stands for one message: once its message was deleted it
        // matches no other, so a duplicate the user left unmarked stays.
        if (row.isNoMailRow() || row.mark == RowMark::Deleted || m_acceptedDeleteRows.contains(i))
            continue;
        m_deleteRowIndex = 0;
        if (row.userName != m_ctx.userName || row.from != headers.from ||
            row.subject != headers.subject || row.dateSent != shown ||
            row.server != m_ctx.serverName || row.port != m_ctx.portText)
            continue;
        m_deletedInAccount += 1;
        m_deleteRowIndex = i;
        if (block->markedRows < m_deletedInAccount) {
            abortDeleteAccount(); // more matches than marked rows
            return;
        }
        m_ctx.state = SessionState::SentDele;
        m_driver.sendCommand("DELE " + QByteArray::number(messageNumber));
        return;
    }
}

void Engine::abortDeleteAccount()
{
    m_ctx.state = SessionState::DeleteAborted;
    m_driver.sendCommand("QUIT");
}

bool Engine::deleteAccepted()
{
    // The server deletes only when it acknowledges QUIT: the row is marked
    // then (settleDeletions), not now.
    const int row = m_deleteRowIndex - 1;
    if (row >= 0 && row < m_mails.itemCount() && !m_mails.item(row).isNoMailRow())
        m_acceptedDeleteRows.append(m_deleteRowIndex);
    const DeleteBlock* block = currentDeleteBlock();
    return !block || m_deletedInAccount >= block->markedRows;
}

void Engine::settleDeletions(bool quitAnswered)
{
    if (m_acceptedDeleteRows.isEmpty())
        return;
    const QList<int> rows = std::exchange(m_acceptedDeleteRows, {});
    if (!quitAnswered) {
        // The rows stay, still marked, for another try.
        m_runLog.report(RunText::deletionNotCompleted(int(rows.size())));
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

} // namespace

void Engine::ReconcileDeletedRows()
{
    QVector<RowGroup> groups;
    for (int i = 1; i <= m_mails.itemCount(); ++i) {
        const MailItem& row = m_mails.item(i - 1);
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
        m_mails.setMark(group.firstRow - 1, RowMark::AccountEmptied);
    }
}

int Engine::removeDeletedRows()
{
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
