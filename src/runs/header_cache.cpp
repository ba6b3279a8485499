#include "runs/header_cache.h"

std::optional<QByteArray> HeaderCache::find(const MailboxKey& mailbox, const QByteArray& uid) const
{
    const auto box = m_mailboxes.constFind(mailbox);
    if (box == m_mailboxes.constEnd())
        return std::nullopt;
    const auto block = box->constFind(uid);
    if (block == box->constEnd())
        return std::nullopt;
    return *block;
}

void HeaderCache::store(const MailboxKey& mailbox, const QByteArray& uid,
                        const QByteArray& headerBlock)
{
    m_mailboxes[mailbox].insert(uid, headerBlock);
}

void HeaderCache::retainOnly(const MailboxKey& mailbox, const QSet<QByteArray>& uids)
{
    const auto box = m_mailboxes.find(mailbox);
    if (box == m_mailboxes.end())
        return;
    box->removeIf([&](const auto& entry) { return !uids.contains(entry.key()); });
}
