#pragma once

#include "pop3/mail_image.h"

#include <QHash>
#include <QString>
#include <QVector>

// One mail row of the previous mail list ("(no mail)" rows are never kept).
struct PreviousItem
{
    MailImage image = MailImage::Seen;
    QString userName;
    QString server;
    QString port;
    QString from;
    QString subject;
    QString dateSent; // as displayed
};

// Decides whether a fetched mail was already listed by the previous check.
//
// The rows of `PreviousItems` are searched block by block inside a window
// (`SnapshotSearchStart` .. `SnapshotSearchEnd`) that narrows to the current
// account's blocks as they are found; the first block equal in all six
// values gives the answer. The same blocks are found here through hash
// indexes instead of a scan, so a whole check costs linear time however
// long both lists are. Block numbers k are 1-based; the classic element
// index of block k is 7k.
class SnapshotMatcher
{
public:
    // A new snapshot at the start of a check run.
    void reset(QVector<PreviousItem> previous);
    // Before each account: the search window and the found flag go back to 0.
    void beginAccount();
    // Seen when the mail is known, New when it is not.
    MailImage imageFor(const QString& userName, const QString& server, const QString& port,
                       const QString& from, const QString& subject, const QString& dateShown);

    int itemCount() const { return int(m_items.size()); }
    const PreviousItem& item(int block) const { return m_items[block - 1]; }

    // The search state, as element indexes (0 = not set yet).
    int searchStart() const { return m_searchStart; }
    int searchEnd() const { return m_searchEnd; }
    int accountInSnapshot() const { return m_accountInSnapshot; }

    // The snapshot of a mail list: every row whose From is not exactly
    // "(no mail)", in list order. Works on any list with itemCount() and
    // item(row) (0-based) returning a MailItem-like row.
    template <typename List> static QVector<PreviousItem> snapshotOf(const List& list)
    {
        QVector<PreviousItem> items;
        items.reserve(list.itemCount());
        for (int row = 0; row < list.itemCount(); ++row) {
            const auto& it = list.item(row);
            if (it.from == QLatin1String("(no mail)"))
                continue;
            items.append(
                {it.image, it.userName, it.server, it.port, it.from, it.subject, it.dateSent});
        }
        return items;
    }

private:
    struct MailKey
    {
        int account;
        QString from, subject, dateSent;
        bool operator==(const MailKey&) const = default;
        friend size_t qHash(const MailKey& key, size_t seed = 0)
        {
            return qHashMulti(seed, key.account, key.from, key.subject, key.dateSent);
        }
    };

    int accountId(const QString& userName, const QString& server, const QString& port) const;
    static int firstAtOrAfter(const QVector<int>& blocks, int from);
    int lastOtherAccountAtOrBefore(int account, int block) const;

    QVector<PreviousItem> m_items;
    QVector<int> m_accountOf; // account id per block (index block - 1)
    QVector<int> m_runStart;  // first block of the run of equal accounts holding it
    QHash<QString, int> m_accountIds;
    QVector<QVector<int>> m_accountBlocks; // ascending block numbers per account
    QHash<MailKey, QVector<int>> m_mailBlocks;

    int m_searchStart = 0;
    int m_searchEnd = 0;
    int m_accountInSnapshot = 0;
};
