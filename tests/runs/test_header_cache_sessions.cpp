// Re-checks with the header cache against the scripted peer: a server
// that lists UIDL is asked for its ids, only messages with ids not seen
// before are fetched, and the rows are those of a check without a cache.
#include "run_rig.h"
#include "runs/header_cache.h"
#include "session_script.h"
#include "support/servers_pop3_peer.h"

#include <QTest>

namespace {

QByteArray mail(int i)
{
    const QByteArray n = QByteArray::number(i);
    return Pop3Reply::top(
        Pop3Reply::headers("ann" + n + "@x.org", "subject " + n, "Tue, 4 Jun 2024 08:00:00 +0000"));
}

// The mailbox as the server holds it: message i+1 is mails[i], and the
// client is expected to fetch the messages numbered in `fetched`.
Pop3Script session(const QList<QByteArray>& mails, const QByteArray& uidlReply,
                   const QList<int>& fetched)
{
    Pop3Script script = Pop3Script()
                            .send(Pop3Reply::greeting())
                            .expect("CAPA")
                            .send(Pop3Reply::multiLine({"TOP", "UIDL", "USER", "PIPELINING"}))
                            .expect("USER bob")
                            .send(Pop3Reply::ok())
                            .expect("PASS pw")
                            .send(Pop3Reply::ok("logged in"))
                            .expect("STAT")
                            .send(Pop3Reply::stat(int(mails.size())));
    if (!uidlReply.isEmpty())
        script.expect("UIDL").send(uidlReply);
    for (int number : fetched)
        script.expect(QStringLiteral("TOP %1 2").arg(number));
    for (int number : fetched)
        script.send(mails[number - 1]);
    return script.expect("QUIT").send(Pop3Reply::ok("bye")).expectClientClose();
}

QByteArray listing(const QList<QByteArray>& ids)
{
    QList<QByteArray> lines;
    for (int i = 0; i < ids.size(); ++i)
        lines.append(QByteArray::number(i + 1) + ' ' + ids[i]);
    return Pop3Reply::multiLine(lines);
}

const QList<QByteArray> firstBox{mail(1), mail(2), mail(3)};
// Message 2 was taken off the server, message 4 arrived and is listed
// between the two known ones.
const QList<QByteArray> secondBox{mail(1), mail(4), mail(3)};

struct TwoChecks
{
    QStringList rows;     // of the second check, the port replaced
    QStringList log;      // of the second check
    QStringList commands; // of both sessions
    QString failure;
    qint32 port = 0;
};

// Two checks of bob's mailbox on one peer; with a cache when given.
TwoChecks checkTwice(const Pop3Script& first, const Pop3Script& second, HeaderCache* cache)
{
    TwoChecks out;
    ScriptedPop3Peer peer;
    peer.addScript(first);
    peer.addScript(second);
    if (!peer.listen()) {
        out.failure = peer.errorString();
        return out;
    }
    out.port = peer.port();
    RunRig rig;
    rig.runs->setHeaderCache(cache);
    rig.addAccount("bob", "pw", peer.port());
    bool ended = rig.run();
    // What the first check listed is marked seen before the second.
    for (int i = 0; i < rig.mails.itemCount(); ++i)
        rig.mails.setImage(i, MailImage::Seen);
    ended = rig.run() && ended;
    if (!ended || !peer.waitUntilDone(5000))
        out.failure = peer.report();
    const QString port = QLatin1Char('|') + QString::number(peer.port()) + QLatin1Char('|');
    out.rows = rig.rows().replaceInStrings(port, QStringLiteral("|PORT|"));
    out.log = rig.logLines();
    out.commands = peer.commands();
    return out;
}

} // namespace

class TestHeaderCacheSessions : public QObject
{
    Q_OBJECT
private slots:
    void recheckFetchesOnlyNewIds_data();
    void recheckFetchesOnlyNewIds();
    void endlessListingEndsTheSession();
};

void TestHeaderCacheSessions::recheckFetchesOnlyNewIds_data()
{
    QTest::addColumn<QByteArray>("uidlReply"); // the answer to the second UIDL
    QTest::addColumn<QList<int>>("fetched");   // the TOPs of the second check
    QTest::addColumn<bool>("listed");          // the cache follows the listing

    QTest::newRow("cached and new ids") << listing({"u1", "u4", "u3"}) << QList<int>{2} << true;
    QTest::newRow("-ERR to UIDL") << Pop3Reply::err("no") << QList<int>{1, 2, 3} << false;
    QTest::newRow("a line without an id")
        << Pop3Reply::multiLine({"1 u1", "2", "3 u3"}) << QList<int>{1, 2, 3} << false;
    QTest::newRow("ids out of order")
        << Pop3Reply::multiLine({"1 u1", "3 u3", "2 u4"}) << QList<int>{1, 2, 3} << false;
    QTest::newRow("one id twice") << listing({"u1", "u4", "u4"}) << QList<int>{1, 2, 3} << false;
    QTest::newRow("an id over 70 characters")
        << listing({"u1", "u3", QByteArray(71, 'x')}) << QList<int>{1, 2, 3} << false;
}

void TestHeaderCacheSessions::recheckFetchesOnlyNewIds()
{
    QFETCH(QByteArray, uidlReply);
    QFETCH(QList<int>, fetched);
    QFETCH(bool, listed);

    HeaderCache cache;
    const TwoChecks cached = checkTwice(session(firstBox, listing({"u1", "u2", "u3"}), {1, 2, 3}),
                                        session(secondBox, uidlReply, fetched), &cache);
    QVERIFY2(cached.failure.isEmpty(), qPrintable(cached.failure));
    // Without a cache UIDL is never asked and everything is fetched.
    const TwoChecks full =
        checkTwice(session(firstBox, {}, {1, 2, 3}), session(secondBox, {}, {1, 2, 3}), nullptr);
    QVERIFY2(full.failure.isEmpty(), qPrintable(full.failure));

    QCOMPARE(cached.rows, full.rows);
    QCOMPARE(cached.log, full.log);
    QCOMPARE(cached.rows.size(), 3);
    const QString rows = cached.rows.join(QLatin1Char('\n'));
    QVERIFY2(cached.rows[0].contains("|subject 1|") && cached.rows[0].endsWith("|1|K1Ppw"),
             qPrintable(rows));
    QVERIFY2(cached.rows[1].contains("|subject 4|") && cached.rows[1].endsWith("|2|K2Ppw"),
             qPrintable(rows));
    QVERIFY2(cached.rows[2].contains("|subject 3|") && cached.rows[2].endsWith("|1|K3Ppw"),
             qPrintable(rows));
    QCOMPARE(cached.commands.filter("TOP ").size(), 3 + fetched.size());

    // The cache follows a usable listing: the id no longer listed is
    // dropped, the new one kept with its block as fetched. Otherwise it
    // stays as the first check left it.
    const MailboxKey box{"127.0.0.1", cached.port, "bob"};
    QByteArray block = mail(4).mid(mail(4).indexOf("\r\n") + 2);
    block.truncate(block.indexOf("\r\n\r\n") + 4);
    QCOMPARE(cache.find(box, "u4"), listed ? std::optional(block) : std::nullopt);
    QCOMPARE(cache.find(box, "u2").has_value(), !listed);
    QVERIFY(cache.find(box, "u1").has_value());
}

void TestHeaderCacheSessions::endlessListingEndsTheSession()
{
    // Lines past the mailbox's count, without end: refused once the listing
    // outgrows what three ids can take, and the run goes on.
    Pop3Script script = Pop3Script()
                            .send(Pop3Reply::greeting())
                            .expect("CAPA")
                            .send(Pop3Reply::multiLine({"UIDL", "USER"}))
                            .expect("USER bob")
                            .send(Pop3Reply::ok())
                            .expect("PASS pw")
                            .send(Pop3Reply::ok("logged in"))
                            .expect("STAT")
                            .send(Pop3Reply::stat(3))
                            .expect("UIDL")
                            .endless("+OK\r\n1 u1\r\n", "9 u9\r\n");
    ScriptedPop3Peer peer;
    peer.addScript(script);
    QVERIFY(peer.listen());
    HeaderCache cache;
    RunRig rig;
    rig.runs->setHeaderCache(&cache);
    rig.addAccount("bob", "pw", peer.port());
    QVERIFY(rig.run());
    QVERIFY_PEER_DONE(peer, 5000);
    QVERIFY2(rig.logLines().contains(oversizeLine), qPrintable(rig.logLines().join('\n')));
    QCOMPARE(rig.logLines().last(), "..Check Complete: No New Mail Items -Total Items: 0");
}

QTEST_GUILESS_MAIN(TestHeaderCacheSessions)
#include "test_header_cache_sessions.moc"
