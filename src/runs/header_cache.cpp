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
    settle();
    const auto box = m_held.mailboxes.constFind(mailbox);
    if (box == m_held.mailboxes.constEnd())
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
    settle();
    auto box = m_held.mailboxes.find(mailbox);
    if (box != m_held.mailboxes.end()) {
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
            m_held.bytes -= cost;
            m_held.modified = true;
        }
    }
    insert(mailbox, uid, headerBlock, true);
}

bool HeaderCache::insert(const MailboxKey& mailbox, const QByteArray& uid,
                         const QByteArray& headerBlock, bool makeRoom)
{
    const bool newMailbox = !m_held.mailboxes.contains(mailbox);
    const qint64 cost = blockCost(uid, headerBlock) + (newMailbox ? keyCost(mailbox) : 0);
    while (m_held.bytes + cost > m_budget) {
        if (!makeRoom || !evictUnusedMailbox(mailbox))
            return false;
    }
    Mailbox& box = m_held.mailboxes[mailbox];
    if (newMailbox)
        box.keyBytes = keyCost(mailbox);
    box.blocks.insert(uid, headerBlock);
    box.blockBytes += blockCost(uid, headerBlock);
    m_held.bytes += cost;
    m_held.modified = true;
    return true;
}

bool HeaderCache::evictUnusedMailbox(const MailboxKey& keep)
{
    for (auto box = m_held.mailboxes.begin(); box != m_held.mailboxes.end(); ++box) {
        if (!box->used && box.key() != keep) {
            removeMailbox(box);
            return true;
        }
    }
    return false;
}

void HeaderCache::removeMailbox(QHash<MailboxKey, Mailbox>::iterator box)
{
    m_held.bytes -= box->keyBytes + box->blockBytes;
    m_held.mailboxes.erase(box);
    m_held.modified = true;
}

void HeaderCache::retainOnly(const MailboxKey& mailbox, const QSet<QByteArray>& uids)
{
    settle();
    const auto box = m_held.mailboxes.find(mailbox);
    if (box == m_held.mailboxes.end())
        return;
    box->used = true;
    for (auto block = box->blocks.begin(); block != box->blocks.end();) {
        if (uids.contains(block.key())) {
            ++block;
            continue;
        }
        const qint64 cost = blockCost(block.key(), block.value());
        box->blockBytes -= cost;
        m_held.bytes -= cost;
        m_held.modified = true;
        block = box->blocks.erase(block);
    }
    // An emptied mailbox gives back its key's share too.
    if (box->blocks.isEmpty())
        removeMailbox(box);
}

void HeaderCache::clear()
{
    settle();
    if (!m_held.mailboxes.isEmpty())
        m_held.modified = true;
    m_held.mailboxes.clear();
    m_held.bytes = 0;
}

qsizetype HeaderCache::blockCount() const
{
    settle();
    qsizetype count = 0;
    for (const Mailbox& box : m_held.mailboxes)
        count += box.blocks.size();
    return count;
}

bool HeaderCache::load(const QString& path, QString* error)
{
    settle();
    m_held = {};
    QList<CachedMailbox> read;
    if (!readHeaderCacheFile(path, m_budget + FileFramingBytes, &read, error)) {
        m_held.modified = true;
        return false;
    }
    // A file from a larger budget keeps what fits, in its order.
    for (const CachedMailbox& m : read) {
        const MailboxKey key{m.server, m.port, m.userName};
        for (const CachedHeader& h : m.headers)
            insert(key, h.uid, h.block, false);
        const auto box = m_held.mailboxes.find(key);
        if (box != m_held.mailboxes.end())
            box->used = false;
    }
    m_held.modified = false;
    return true;
}

void HeaderCache::loadInBackground(const QString& path,
                                   std::function<void(const QString&)> thrownAway)
{
    settle();
    m_held = {};
    m_thrownAway = std::move(thrownAway);
    // The worker fills a cache of its own; nothing here is touched until
    // settle() takes its result in on this thread.
    m_loading = std::async(std::launch::async, [path, budget = m_budget] {
        HeaderCache worker(budget);
        LoadResult result;
        result.whole = worker.load(path, &result.error);
        result.contents = std::move(worker.m_held);
        return result;
    });
}

void HeaderCache::settle() const
{
    if (!m_loading.valid())
        return;
    LoadResult result = m_loading.get();
    m_held = std::move(result.contents);
    const auto thrownAway = std::exchange(m_thrownAway, nullptr);
    if (!result.whole && thrownAway)
        thrownAway(result.error);
}

bool HeaderCache::save(const QString& path, QString* error)
{
    settle();
    QList<CachedMailbox> mailboxes;
    mailboxes.reserve(m_held.mailboxes.size());
    for (auto box = m_held.mailboxes.cbegin(); box != m_held.mailboxes.cend(); ++box) {
        CachedMailbox m{box.key().server, box.key().port, box.key().userName, {}};
        m.headers.reserve(box->blocks.size());
        for (auto block = box->blocks.cbegin(); block != box->blocks.cend(); ++block)
            m.headers.append(CachedHeader{block.key(), block.value()});
        mailboxes.append(m);
    }
    if (!writeHeaderCacheFile(path, mailboxes, error))
        return false;
    m_held.modified = false;
    return true;
}
