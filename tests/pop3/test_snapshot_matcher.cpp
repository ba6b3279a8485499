#include "pop3/snapshot_matcher.h"

#include <QRandomGenerator>
#include <QtTest>
#include <ctime>

namespace {

// The search written out plainly over the string table: element 0 holds the
// last index, block k fills elements 7k-6 .. 7k.
class ReferenceSearch
{
public:
    explicit ReferenceSearch(const QVector<PreviousItem>& items)
    {
        m_table.append(QString::number(7 * items.size()));
        for (const PreviousItem& it : items)
            m_table << QString::number(int(it.image)) << it.userName << it.server << it.port
                    << it.from << it.subject << it.dateSent;
    }

    void beginAccount() { start = end = accountIn = 0; }

    int imageFor(const QString& user, const QString& server, const QString& port,
                 const QString& from, const QString& subject, const QString& date)
    {
        const int d = m_table[0].toInt();
        if (d <= 6)
            return 2;
        if (start == 0)
            start = 7;
        if (end == 0)
            end = d;
        const int first = start;
        const int last = end;
        bool found = false;
        for (int e = first; e <= last; e += 7) {
            if (user == m_table[e - 5] && server == m_table[e - 4] && port == m_table[e - 3]) {
                found = true;
                if (accountIn == 0) {
                    accountIn = 1;
                    start = e;
                }
                if (from == m_table[e - 2] && subject == m_table[e - 1] && date == m_table[e])
                    return m_table[e - 6] == "1" ? 1 : 2;
            } else if (found && e > 7) {
                end = e - 7;
            }
        }
        return 2;
    }

    int start = 0, end = 0, accountIn = 0;

private:
    QStringList m_table;
};

struct Mail
{
    QString user, server, port, from, subject, date;
};

PreviousItem previous(int image, const Mail& m)
{
    return {MailImage(image), m.user, m.server, m.port, m.from, m.subject, m.date};
}

Mail mail(const char* user, const char* subject, const char* port = "110")
{
    return {user, "pop.example.org", port, "sender@example.org", subject, "Jan 4 2003 9:15 AM"};
}

} // namespace

class TestSnapshotMatcher : public QObject
{
    Q_OBJECT

private slots:
    void givesTheFirstMatchingBlocksImage_data();
    void givesTheFirstMatchingBlocksImage();
    void narrowsToTheAccountsBlocks();
    void agreesWithThePlainSearch();
    void staysLinearOnLargeLists_data();
    void staysLinearOnLargeLists();
};

void TestSnapshotMatcher::givesTheFirstMatchingBlocksImage_data()
{
    QTest::addColumn<QVector<PreviousItem>>("snapshot");
    QTest::addColumn<QVector<Mail>>("mails");
    QTest::addColumn<QVector<int>>("images");

    const Mail a = mail("ann", "one");
    const Mail b = mail("ann", "two");
    QTest::newRow("empty snapshot: all new")
        << QVector<PreviousItem>{} << QVector<Mail>{a, b} << QVector<int>{2, 2};
    QTest::newRow("seen stays seen, unknown is new")
        << QVector<PreviousItem>{previous(1, a)} << QVector<Mail>{a, b} << QVector<int>{1, 2};
    QTest::newRow("new stays new") << QVector<PreviousItem>{previous(2, a), previous(1, b)}
                                   << QVector<Mail>{a, b} << QVector<int>{2, 1};
    QTest::newRow("duplicates both take the first block")
        << QVector<PreviousItem>{previous(2, a), previous(1, a)} << QVector<Mail>{a, a}
        << QVector<int>{2, 2};
    QTest::newRow("seen duplicates") << QVector<PreviousItem>{previous(1, a), previous(2, a)}
                                     << QVector<Mail>{a, a} << QVector<int>{1, 1};
    Mail otherPort = a;
    otherPort.port = "995";
    Mail otherDate = a;
    otherDate.date = "Jan 4 2003 9:16 AM";
    Mail otherCase = a;
    otherCase.subject = "ONE";
    QTest::newRow("every value must be equal")
        << QVector<PreviousItem>{previous(1, a)} << QVector<Mail>{otherPort, otherDate, otherCase}
        << QVector<int>{2, 2, 2};
}

void TestSnapshotMatcher::givesTheFirstMatchingBlocksImage()
{
    QFETCH(QVector<PreviousItem>, snapshot);
    QFETCH(QVector<Mail>, mails);
    QFETCH(QVector<int>, images);
    SnapshotMatcher matcher;
    matcher.reset(snapshot);
    matcher.beginAccount();
    for (int i = 0; i < mails.size(); ++i) {
        const Mail& m = mails[i];
        QCOMPARE(int(matcher.imageFor(m.user, m.server, m.port, m.from, m.subject, m.date)),
                 images[i]);
    }
}

// Blocks ann:1, ann:2, bob:1, ann:3. Once ann's blocks are found the end of
// the window moves before bob's block, so ann's late block is out of reach
// for the rest of the session, and the start stays at ann's first block.
void TestSnapshotMatcher::narrowsToTheAccountsBlocks()
{
    SnapshotMatcher matcher;
    matcher.reset({previous(1, mail("ann", "1")), previous(1, mail("ann", "2")),
                   previous(1, mail("bob", "1")), previous(1, mail("ann", "3"))});
    auto image = [&](const char* user, const char* subject) {
        const Mail m = mail(user, subject);
        return int(matcher.imageFor(m.user, m.server, m.port, m.from, m.subject, m.date));
    };

    matcher.beginAccount();
    QCOMPARE(image("ann", "2"), 1);
    QCOMPARE(matcher.searchStart(), 7);
    QCOMPARE(matcher.searchEnd(), 28);
    QCOMPARE(image("ann", "x"), 2);
    QCOMPARE(matcher.searchEnd(), 14);
    QCOMPARE(image("ann", "3"), 2);
    QCOMPARE(image("ann", "1"), 1);

    matcher.beginAccount();
    QCOMPARE(matcher.searchEnd(), 0);
    QCOMPARE(image("ann", "3"), 1);
    matcher.beginAccount();
    QCOMPARE(image("bob", "1"), 1);
    QCOMPARE(matcher.searchStart(), 21);
    QCOMPARE(matcher.accountInSnapshot(), 1);
    matcher.beginAccount();
    QCOMPARE(image("carl", "1"), 2);
    QCOMPARE(matcher.accountInSnapshot(), 0);
}

// Random snapshots and check runs with few distinct values, so that
// duplicates, interleaved accounts and repeated accounts are common.
void TestSnapshotMatcher::agreesWithThePlainSearch()
{
    QRandomGenerator random(20240611);
    const QStringList users{"ann", "bob", "carl"};
    const QStringList ports{"110", "995"};
    auto randomMail = [&](const Mail& account) {
        Mail m = account;
        m.from = QString("f%1").arg(random.bounded(2));
        m.subject = QString("s%1").arg(random.bounded(3));
        m.date = QString("d%1").arg(random.bounded(2));
        return m;
    };
    auto randomAccount = [&] {
        Mail m;
        m.user = users[random.bounded(int(users.size()))];
        m.server = QStringLiteral("pop.example.org");
        m.port = ports[random.bounded(int(ports.size()))];
        return m;
    };

    for (int round = 0; round < 3000; ++round) {
        QVector<PreviousItem> snapshot;
        const int runs = random.bounded(6);
        for (int r = 0; r < runs; ++r) {
            const Mail account = randomAccount();
            for (int n = random.bounded(1, 6); n > 0; --n)
                snapshot.append(previous(random.bounded(1, 3), randomMail(account)));
        }
        SnapshotMatcher matcher;
        matcher.reset(snapshot);
        ReferenceSearch reference(snapshot);
        for (int accounts = random.bounded(1, 5); accounts > 0; --accounts) {
            const Mail account = randomAccount();
            matcher.beginAccount();
            reference.beginAccount();
            for (int n = random.bounded(8); n > 0; --n) {
                const Mail m = randomMail(account);
                const int expected =
                    reference.imageFor(m.user, m.server, m.port, m.from, m.subject, m.date);
                const int actual =
                    int(matcher.imageFor(m.user, m.server, m.port, m.from, m.subject, m.date));
                const QByteArray where = QByteArray::number(round);
                QVERIFY2(actual == expected, where.constData());
                QVERIFY2(matcher.searchStart() == reference.start, where.constData());
                QVERIFY2(matcher.searchEnd() == reference.end, where.constData());
                QVERIFY2(matcher.accountInSnapshot() == reference.accountIn, where.constData());
            }
        }
    }
}

void TestSnapshotMatcher::staysLinearOnLargeLists_data()
{
    QTest::addColumn<int>("accounts");
    QTest::addColumn<bool>("sameMails");
    QTest::newRow("one account, all new") << 1 << false;
    QTest::newRow("one account, all seen") << 1 << true;
    QTest::newRow("100 accounts, all seen") << 100 << true;
    QTest::newRow("100 accounts, all new") << 100 << false;
}

// 100,000 mails against 100,000 previous rows within a few seconds of CPU
// (a fraction of one in an optimised build, a little over one under the
// sanitizers); the plain search would compare about 10^10 blocks in the
// worst cases, minutes of CPU.
void TestSnapshotMatcher::staysLinearOnLargeLists()
{
    QFETCH(int, accounts);
    QFETCH(bool, sameMails);
    const int total = 100000;
    const int perAccount = total / accounts;
    auto user = [](int a) { return QString("user%1").arg(a); };
    QVector<PreviousItem> snapshot;
    snapshot.reserve(total);
    for (int a = 0; a < accounts; ++a) {
        for (int i = 0; i < perAccount; ++i)
            snapshot.append({MailImage::Seen, user(a), "pop.example.org", "110", "from",
                             QString::number(i), "Jan 4 2003 9:15 AM"});
    }
    const QString prefix = sameMails ? "" : "other ";
    QVector<QString> subjects(perAccount);
    for (int i = 0; i < perAccount; ++i)
        subjects[i] = prefix + QString::number(i);

    const std::clock_t cpuStart = std::clock();
    SnapshotMatcher matcher;
    matcher.reset(snapshot);
    int seen = 0;
    for (int a = 0; a < accounts; ++a) {
        matcher.beginAccount();
        const QString name = user(a);
        for (int i = 0; i < perAccount; ++i)
            seen += matcher.imageFor(name, "pop.example.org", "110", "from", subjects[i],
                                     "Jan 4 2003 9:15 AM") == MailImage::Seen;
    }
    const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    QCOMPARE(seen, sameMails ? total : 0);
    QVERIFY2(cpuSeconds < 5.0, qPrintable(QString::number(cpuSeconds) + " s"));
}

QTEST_GUILESS_MAIN(TestSnapshotMatcher)
#include "test_snapshot_matcher.moc"
