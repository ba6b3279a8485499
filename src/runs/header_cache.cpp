#include "runs/header_cache.h"

#include "storage/header_cache_file.h"

namespace {

// What a held block costs beyond its id and bytes: the hash node and the
// two arrays' headers. Also more than the file spends on it (two lengths),
// so a cache within its budget always writes a file the load accepts.
constexpr qint64 BlockOverhead = 128;
// A mailbox's table and key beyond the key's characters; the key's UTF-8
// in the file takes at most 3 bytes a character.
constexpr qint64 MailboxOverhead = 256;
constexpr qint64 BytesPerKeyCharacter = 3;
// The file's magic, version, count and checksum.
constexpr qint64 FileFramingBytes = 8 + 4 + 4 + 4;

qint64 blockCost(const QByteArray& uid, const QByteArray& headerBlock)
{
    return BlockOverhead + uid.size() + headerBlock.size();
}

qint64 keyCost(const MailboxKey& key)
{
    return MailboxOverhead + BytesPerKeyCharacter * (key.server.size() + key.userName.size());
}

} // namespace

std::optional<QByteArray> HeaderCache::find(const MailboxKey& mailbox, const QByteArray& uid) const
{
    const auto box = m_mailboxes.constFind(mailbox);
    if (box == m_mailboxes.constEnd())
        return std::nullopt;
    box->used = true;
    const auto block = box->blocks.constFind(uid);
    if (block == box->blocks.constEnd())
        return std::nullopt;
    return *block;
}

void HeaderCache::store(const MailboxKey& mailbox, const QByteArray& uid,
                        const QByteArray& headerBlock)
{
    auto box = m_mailboxes.find(mailbox);
    if (box != m_mailboxes.end()) {
        box->used = true;
        const auto old = box->blocks.constFind(uid);
        if (old != box->blocks.constEnd()) {
            if (*old == headerBlock)
                return;
            // Dropped first: should the new block not fit, the message is
            // fetched again rather than shown from the old one.
            const qint64 cost = blockCost(uid, *old);
            box->blocks.erase(old);
            box->blockBytes -= cost;
            m_bytes -= cost;
            m_modified = true;
        }
    }
    insert(mailbox, uid, headerBlock, true);
}

bool HeaderCache::insert(const MailboxKey& mailbox, const QByteArray& uid,
                         const QByteArray& headerBlock, bool makeRoom)
{
    const bool newMailbox = !m_mailboxes.contains(mailbox);
    const qint64 cost = blockCost(uid, headerBlock) + (newMailbox ? keyCost(mailbox) : 0);
    while (m_bytes + cost > m_budget) {
        if (!makeRoom || !evictUnusedMailbox(mailbox))
            return false;
    }
    Mailbox& box = m_mailboxes[mailbox];
    if (newMailbox)
        box.keyBytes = keyCost(mailbox);
    box.blocks.insert(uid, headerBlock);
    box.blockBytes += blockCost(uid, headerBlock);
    m_bytes += cost;
    m_modified = true;
    return true;
}

bool HeaderCache::evictUnusedMailbox(const MailboxKey& keep)
{
    for (auto box = m_mailboxes.begin(); box != m_mailboxes.end(); ++box) {
        if (!box->used && box.key() != keep) {
            removeMailbox(box);
            return true;
        }
    }
    return false;
}

void HeaderCache::removeMailbox(QHash<MailboxKey, Mailbox>::iterator box)
{
    m_bytes -= box->keyBytes + box->blockBytes;
    m_mailboxes.erase(box);
    m_modified = true;
}

void HeaderCache::retainOnly(const MailboxKey& mailbox, const QSet<QByteArray>& uids)
{
    const auto box = m_mailboxes.find(mailbox);
    if (box == m_mailboxes.end())
        return;
    box->used = true;
    for (auto block = box->blocks.begin(); block != box->blocks.end();) {
        if (uids.contains(block.key())) {
            ++block;
            continue;
        }
        const qint64 cost = blockCost(block.key(), block.value());
        box->blockBytes -= cost;
        m_bytes -= cost;
        m_modified = true;
        block = box->blocks.erase(block);
    }
    // An emptied mailbox gives back its key's share too.
    if (box->blocks.isEmpty())
        removeMailbox(box);
}

void HeaderCache::clear()
{
    if (!m_mailboxes.isEmpty())
        m_modified = true;
    m_mailboxes.clear();
    m_bytes = 0;
}

qsizetype HeaderCache::blockCount() const
{
    qsizetype count = 0;
    for (const Mailbox& box : m_mailboxes)
        count += box.blocks.size();
    return count;
}

bool HeaderCache::load(const QString& path, QString* error)
{
    m_mailboxes.clear();
    m_bytes = 0;
    QList<CachedMailbox> read;
    if (!readHeaderCacheFile(path, m_budget + FileFramingBytes, &read, error)) {
        m_modified = true;
        return false;
    }
    // A file from a larger budget keeps what fits, in its order.
    for (const CachedMailbox& m : read) {
        const MailboxKey key{m.server, m.port, m.userName};
        for (const CachedHeader& h : m.headers)
            insert(key, h.uid, h.block, false);
        const auto box = m_mailboxes.find(key);
        if (box != m_mailboxes.end())
            box->used = false;
    }
    m_modified = false;
    return true;
}

bool HeaderCache::save(const QString& path, QString* error)
{
    QList<CachedMailbox> mailboxes;
    mailboxes.reserve(m_mailboxes.size());
    for (auto box = m_mailboxes.cbegin(); box != m_mailboxes.cend(); ++box) {
        CachedMailbox m{box.key().server, box.key().port, box.key().userName, {}};
        m.headers.reserve(box->blocks.size());
        for (auto block = box->blocks.cbegin(); block != box->blocks.cend(); ++block)
            m.headers.append(CachedHeader{block.key(), block.value()});
        mailboxes.append(m);
    }
    if (!writeHeaderCacheFile(path, mailboxes, error))
        return false;
    m_modified = false;
    return true;
}
