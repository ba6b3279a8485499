#include "pop3/snapshot_matcher.h"

#include <algorithm>

namespace {

// Length-prefixed, so no user, server or port text can mimic another triple.
QString accountText(const QString& userName, const QString& server, const QString& port)
{
    return QString::number(userName.size()) + u'/' + userName + QString::number(server.size()) +
           u'/' + server + port;
}

} // namespace

void SnapshotMatcher::reset(QVector<PreviousItem> previous)
{
    m_items = std::move(previous);
    m_accountOf.clear();
    m_runStart.clear();
    m_accountIds.clear();
    m_accountBlocks.clear();
    m_mailBlocks.clear();
    m_accountOf.reserve(m_items.size());
    m_runStart.reserve(m_items.size());
    for (int block = 1; block <= int(m_items.size()); ++block) {
        const PreviousItem& it = m_items[block - 1];
        const QString key = accountText(it.userName, it.server, it.port);
        auto found = m_accountIds.constFind(key);
        if (found == m_accountIds.constEnd()) {
            found = m_accountIds.insert(key, int(m_accountBlocks.size()));
            m_accountBlocks.append(QVector<int>());
        }
        const int account = found.value();
        m_accountBlocks[account].append(block);
        m_mailBlocks[MailKey{account, it.from, it.subject, it.dateSent}].append(block);
        const bool continuesRun = block > 1 && m_accountOf.last() == account;
        m_runStart.append(continuesRun ? m_runStart.last() : block);
        m_accountOf.append(account);
    }
    beginAccount();
}

void SnapshotMatcher::beginAccount()
{
    m_searchStart = 0;
    m_searchEnd = 0;
    m_accountInSnapshot = 0;
}

int SnapshotMatcher::accountId(const QString& userName, const QString& server,
                               const QString& port) const
{
    return m_accountIds.value(accountText(userName, server, port), -1);
}

// The first block number >= from in an ascending list, or 0.
int SnapshotMatcher::firstAtOrAfter(const QVector<int>& blocks, int from)
{
    const auto it = std::lower_bound(blocks.begin(), blocks.end(), from);
    return it == blocks.end() ? 0 : *it;
}

// The last block <= block that belongs to another account, or 0.
int SnapshotMatcher::lastOtherAccountAtOrBefore(int account, int block) const
{
    if (m_accountOf[block - 1] != account)
        return block;
    return m_runStart[block - 1] - 1;
}

MailImage SnapshotMatcher::imageFor(const QString& userName, const QString& server,
                                    const QString& port, const QString& from,
                                    const QString& subject, const QString& dateShown)
{
    const int blocks = int(m_items.size());
    if (blocks == 0)
        return MailImage::New;
    if (m_searchStart == 0)
        m_searchStart = 7;
    if (m_searchEnd == 0)
        m_searchEnd = 7 * blocks;
    // The window in block numbers, as it was when this search began.
    const int first = (m_searchStart + 6) / 7;
    const int last = std::min(m_searchEnd / 7, blocks);
    if (first > last)
        return MailImage::New;

    const int account = accountId(userName, server, port);
    if (account < 0)
        return MailImage::New;
    const int accountFirst = firstAtOrAfter(m_accountBlocks[account], first);
    if (accountFirst == 0 || accountFirst > last)
        return MailImage::New;

    int hit = 0;
    const auto mail = m_mailBlocks.constFind(MailKey{account, from, subject, dateShown});
    if (mail != m_mailBlocks.constEnd()) {
        hit = firstAtOrAfter(mail.value(), first);
        if (hit > last)
            hit = 0;
    }

    if (m_accountInSnapshot == 0) {
        m_accountInSnapshot = 1;
        m_searchStart = 7 * accountFirst;
    }
    // Every block of another account met after the account was found moves
    // the end to just before it; the last such block before the hit counts.
    const int scannedTo = hit ? hit - 1 : last;
    if (scannedTo > accountFirst) {
        const int other = lastOtherAccountAtOrBefore(account, scannedTo);
        if (other > accountFirst)
            m_searchEnd = 7 * (other - 1);
    }
    if (hit == 0)
        return MailImage::New;
    return m_items[hit - 1].image;
}
