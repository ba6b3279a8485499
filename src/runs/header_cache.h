#pragma once

#include "runs/mailbox_key.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <functional>
#include <future>
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
    qint64 byteCount() const
    {
        settle();
        return m_held.bytes;
    }
    qsizetype blockCount() const;
    // Something was stored or dropped since the last load or save.
    bool isModified() const
    {
        settle();
        return m_held.modified;
    }

    // Replaces what is held by the file's content; a missing file is an
    // empty cache. A file that cannot be read whole (damaged, cut, too
    // large, of another format version) is thrown away: the cache starts
    // empty, false comes back with the reason, and the next save replaces it.
    bool load(const QString& path, QString* error = nullptr);
    // As load(), on a worker thread: it returns at once, so the file is read
    // while the program starts and connects. Every other call waits for the
    // read to end first; thrownAway then gets load()'s reason, on the
    // calling thread, when the file was thrown away.
    void loadInBackground(const QString& path, std::function<void(const QString&)> thrownAway);
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

    struct Contents
    {
        QHash<MailboxKey, Mailbox> mailboxes;
        qint64 bytes = 0;
        bool modified = false;
    };
    struct LoadResult
    {
        Contents contents;
        bool whole = false;
        QString error;
    };

    // Takes in what a background load read, waiting for it if need be. Const
    // as the members that wait for it are: what is held is only filled in.
    void settle() const;
    // Adds the block when it fits the budget, with room made from unused
    // mailboxes only when makeRoom; false when it was not kept.
    bool insert(const MailboxKey& mailbox, const QByteArray& uid, const QByteArray& headerBlock,
                bool makeRoom);
    bool evictUnusedMailbox(const MailboxKey& keep);
    void removeMailbox(QHash<MailboxKey, Mailbox>::iterator box);

    qint64 m_budget;
    // Filled in from a background load on first use (see settle()).
    mutable Contents m_held;
    mutable std::future<LoadResult> m_loading;
    mutable std::function<void(const QString&)> m_thrownAway;
};
