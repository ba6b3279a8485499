// New/seen matching of a whole check against the previous mail list: the
// snapshot taken from the list, then one answer per fetched message, as a
// check run does. CPU time at two sizes shows the growth; a plain
// block-by-block search of the same window rules, at smaller sizes, is the
// yardstick and must give the same answers.
#include "bench_support.h"
#include "model/mail_list_model.h"
#include "pop3/snapshot_matcher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace {

constexpr int kAccounts = 4;

struct Fetched
{
    QString userName, server, port, from, subject, date;
};

QString userOf(int account)
{
    return QStringLiteral("user%1").arg(account);
}

// Message `n` of an account, as the list shows it.
Fetched mail(int account, int n)
{
    return {userOf(account),
            QStringLiteral("pop.example.com"),
            QStringLiteral("110"),
            QStringLiteral("Sender %1 <sender%1@example.org>").arg(n % 997),
            QStringLiteral("Report number %1 for account %2").arg(n).arg(account),
            QStringLiteral("%1/%2/2024 %3:%4:%5")
                .arg(1 + n % 28)
                .arg(1 + n % 12)
                .arg(n % 24, 2, 10, QLatin1Char('0'))
                .arg(n / 24 % 60, 2, 10, QLatin1Char('0'))
                .arg(n % 60, 2, 10, QLatin1Char('0'))};
}

// The previous list holds messages 1..n/k of each account; the server now
// holds the same mailboxes with the oldest tenth gone and a tenth new.
struct Scenario
{
    MailListModel previous;
    QVector<QVector<Fetched>> fetched; // per account
};

void build(Scenario& s, int total)
{
    const int perAccount = total / kAccounts;
    QVector<MailItem> rows;
    rows.reserve(total);
    s.fetched.resize(kAccounts);
    for (int a = 0; a < kAccounts; ++a) {
        for (int n = 1; n <= perAccount; ++n) {
            const Fetched f = mail(a, n);
            MailItem row;
            row.displayName = QStringLiteral("Account %1").arg(a);
            row.userName = f.userName;
            row.server = f.server;
            row.port = f.port;
            row.from = f.from;
            row.subject = f.subject;
            row.dateSent = f.date;
            row.image = n % 3 == 0 ? MailImage::New : MailImage::Seen;
            rows.append(row);
        }
        for (int n = perAccount / 10 + 1; n <= perAccount + perAccount / 10; ++n)
            s.fetched[a].append(mail(a, n));
    }
    s.previous.appendItems(rows);
}

// The same window rules as the matcher, by scanning block after block.
class BlockSearch
{
public:
    explicit BlockSearch(QVector<PreviousItem> items) : m_items(std::move(items)) {}
    void beginAccount() { m_start = m_end = m_accountFound = 0; }
    MailImage imageFor(const Fetched& f)
    {
        const int blocks = int(m_items.size());
        if (blocks == 0)
            return MailImage::New;
        if (m_start == 0)
            m_start = 7;
        if (m_end == 0)
            m_end = 7 * blocks;
        const int first = (m_start + 6) / 7;
        const int last = std::min(m_end / 7, blocks);
        for (int block = first; block <= last; ++block) {
            const PreviousItem& it = m_items[block - 1];
            if (it.userName == f.userName && it.server == f.server && it.port == f.port) {
                if (!m_accountFound) {
                    m_accountFound = 1;
                    m_start = 7 * block;
                }
                if (it.from == f.from && it.subject == f.subject && it.dateSent == f.date)
                    return it.image;
            } else if (m_accountFound) {
                m_end = 7 * (block - 1);
            }
        }
        return MailImage::New;
    }

private:
    QVector<PreviousItem> m_items;
    int m_start = 0, m_end = 0, m_accountFound = 0;
};

struct Outcome
{
    double cpuMs = 0;
    QVector<MailImage> images;
};

Outcome runMatcher(const Scenario& s)
{
    Outcome out;
    const double start = processCpuMs();
    SnapshotMatcher matcher;
    matcher.reset(SnapshotMatcher::snapshotOf(s.previous));
    for (const QVector<Fetched>& account : s.fetched) {
        matcher.beginAccount();
        for (const Fetched& f : account)
            out.images.append(
                matcher.imageFor(f.userName, f.server, f.port, f.from, f.subject, f.date));
    }
    out.cpuMs = processCpuMs() - start;
    return out;
}

Outcome runBlockSearch(const Scenario& s)
{
    Outcome out;
    const double start = processCpuMs();
    BlockSearch search(SnapshotMatcher::snapshotOf(s.previous));
    for (const QVector<Fetched>& account : s.fetched) {
        search.beginAccount();
        for (const Fetched& f : account)
            out.images.append(search.imageFor(f));
    }
    out.cpuMs = processCpuMs() - start;
    return out;
}

// The fastest of `runs` runs; every run must give the same answers.
Outcome best(const std::function<Outcome()>& run, int runs)
{
    Outcome out = run();
    for (int i = 1; i < runs; ++i) {
        const Outcome again = run();
        if (again.images != out.images)
            qFatal("answers differ between runs");
        out.cpuMs = std::min(out.cpuMs, again.cpuMs);
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("CPU time of new/seen matching."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Runs per size (fastest)."),
                      QStringLiteral("n"), QStringLiteral("3")});
    parser.process(app);
    const int runs = qMax(1, parser.value(QStringLiteral("runs")).toInt());

    const auto measure = [&](int total, bool blockSearch) {
        Scenario s;
        build(s, total);
        return best([&] { return blockSearch ? runBlockSearch(s) : runMatcher(s); }, runs);
    };
    const Outcome half = measure(50000, false);
    const Outcome full = measure(100000, false);
    const Outcome small = measure(5000, false);
    const Outcome scanSmall = measure(5000, true);
    const Outcome scanLarger = measure(10000, true);
    if (small.images != scanSmall.images) {
        std::fprintf(stderr, "the matcher and the block search disagree\n");
        return 2;
    }
    int seen = 0;
    for (const MailImage image : full.images)
        seen += image == MailImage::Seen;

    const double growth = full.cpuMs / qMax(1e-6, half.cpuMs);
    const double scanGrowth = scanLarger.cpuMs / qMax(1e-6, scanSmall.cpuMs);
    const double scanAt100k = scanLarger.cpuMs * 100; // quadratic: (100k / 10k)^2
    std::printf("new/seen matching, %d accounts, a tenth of each mailbox new, fastest of %d runs\n",
                kAccounts, runs);
    std::printf("  matcher       50,000 rows x  50,000 messages  %8.1f ms cpu\n", half.cpuMs);
    std::printf("  matcher      100,000 rows x 100,000 messages  %8.1f ms cpu (%d seen, %d new)\n",
                full.cpuMs, seen, int(full.images.size()) - seen);
    std::printf("  block search   5,000 rows x   5,000 messages  %8.1f ms cpu (matcher %.1f ms, "
                "same answers)\n",
                scanSmall.cpuMs, small.cpuMs);
    std::printf("  block search  10,000 rows x  10,000 messages  %8.1f ms cpu\n", scanLarger.cpuMs);
    std::printf("growth 50,000 -> 100,000: matcher x%.2f (2.00 = linear); block search 5,000 -> "
                "10,000: x%.2f (4.00 = quadratic)\n",
                growth, scanGrowth);
    const bool met = full.cpuMs < 1000 && growth < 2.6;
    std::printf("matcher at 100,000: %.1f ms cpu (target < 1000 ms, linear): %s\n", full.cpuMs,
                met ? "met" : "MISSED");
    printSummary(
        "D6.3",
        QStringLiteral("%1 ms cpu, growth x%2").arg(full.cpuMs, 0, 'f', 1).arg(growth, 0, 'f', 2),
        QStringLiteral("< 1000 ms, x~2"),
        QStringLiteral("block search 10,000: %1 ms (x%2 from 5,000), ~%3 s at 100,000")
            .arg(scanLarger.cpuMs, 0, 'f', 1)
            .arg(scanGrowth, 0, 'f', 2)
            .arg(scanAt100k / 1000, 0, 'f', 0),
        met);
    return met ? 0 : 1;
}
