#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <optional>

// One mailbox on one server, as a cache of its header blocks knows it.
struct MailboxKey
{
    QString server;
    qint32 port = 0;
    QString userName;

    bool operator==(const MailboxKey&) const = default;
};

inline size_t qHash(const MailboxKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.server, key.port, key.userName);
}

// The header blocks of messages already fetched, by the unique id the
// server gave them (UIDL), so a re-check fetches only what is new. A block
// is stored exactly as the server sent it, so rows made from it are those
// a fetch would make.
class HeaderCache
{
public:
    std::optional<QByteArray> find(const MailboxKey& mailbox, const QByteArray& uid) const;
    void store(const MailboxKey& mailbox, const QByteArray& uid, const QByteArray& headerBlock);
    // After a complete listing: ids the mailbox no longer holds are dropped.
    void retainOnly(const MailboxKey& mailbox, const QSet<QByteArray>& uids);
    void clear() { m_mailboxes.clear(); }

private:
    QHash<MailboxKey, QHash<QByteArray, QByteArray>> m_mailboxes;
};
