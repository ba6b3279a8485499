#pragma once

#include "runs/mailbox_key.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <optional>

// The header blocks of messages already fetched, by the unique id the
// server gave them (UIDL), so a re-check fetches only what is new. A block
// is stored exactly as the server sent it, so rows made from it are those
// a fetch would make.
//
// Bounded: what it holds (blocks, ids, keys and a share for the tables that
// hold them) never counts above its byte budget. A block that would go
// beyond it is not kept, so that message is fetched again next time; to
// make room, mailboxes loaded from the file but not used since (an account
// removed or renamed, or not checked lately) go first.
class HeaderCache
{
public:
    // 32 MiB: a header block is typically 2 to 4 KB, so about 10,000
    // messages' worth (the ids are counted too), a share of memory that
    // stays small beside a list of 100,000 rows; a fuller mailbox has its
    // remaining headers fetched.
    static constexpr qint64 DefaultByteBudget = 32 * 1024 * 1024;

    explicit HeaderCache(qint64 byteBudget = DefaultByteBudget) : m_budget(byteBudget) {}

    std::optional<QByteArray> find(const MailboxKey& mailbox, const QByteArray& uid) const;
    void store(const MailboxKey& mailbox, const QByteArray& uid, const QByteArray& headerBlock);
    // After a complete listing: ids the mailbox no longer holds are dropped.
    void retainOnly(const MailboxKey& mailbox, const QSet<QByteArray>& uids);
    void clear();

    qint64 byteBudget() const { return m_budget; }
    // What the held blocks count against the budget.
    qint64 byteCount() const { return m_bytes; }
    qsizetype blockCount() const;
    // Something was stored or dropped since the last load or save.
    bool isModified() const { return m_modified; }

    // Replaces what is held by the file's content; a missing file is an
    // empty cache. A file that cannot be read whole (damaged, cut, too
    // large, of another format version) is thrown away: the cache starts
    // empty, false comes back with the reason, and the next save replaces it.
    bool load(const QString& path, QString* error = nullptr);
    // Writes everything held, atomically and owner-only.
    bool save(const QString& path, QString* error = nullptr);

private:
    struct Mailbox
    {
        QHash<QByteArray, QByteArray> blocks;
        qint64 keyBytes = 0;
        qint64 blockBytes = 0;
        // Looked at or changed since the load; what is not goes first.
        mutable bool used = true;
    };

    // Adds the block when it fits the budget, with room made from unused
    // mailboxes only when makeRoom; false when it was not kept.
    bool insert(const MailboxKey& mailbox, const QByteArray& uid, const QByteArray& headerBlock,
                bool makeRoom);
    bool evictUnusedMailbox(const MailboxKey& keep);
    void removeMailbox(QHash<MailboxKey, Mailbox>::iterator box);

    QHash<MailboxKey, Mailbox> m_mailboxes;
    qint64 m_budget;
    qint64 m_bytes = 0;
    bool m_modified = false;
};
