// Fetches in flight together against the scripted peer: a server that
// lists PIPELINING gets a window of TOP commands before any reply, and the
// run sees exactly what the same server without PIPELINING gives one
// command at a time: rows, log, errors, cancel and limits.
#include "run_rig.h"
#include "session_script.h"
#include "support/servers_pop3_peer.h"

#include <QTest>

namespace {

// replies[i] answers TOP i+1; the client takes `answered` of them, then
// sends QUIT (quits) or closes. Pipelined: every TOP before any reply,
// the replies in pieces cut inside and between them. One at a time: each
// reply in two pieces, so a command sent before its end would show.
Pop3Script mailboxScript(const QList<QByteArray>& replies, bool pipelining, int answered,
                         bool quits)
{
    Pop3Script script = loggedOnWithCapa(int(replies.size()), pipelining);
    if (pipelining) {
        for (int i = 1; i <= replies.size(); ++i)
            script.expect(fetchCommand(i));
        const QByteArray all = replies.join();
        const int first = int(replies.first().size());
        QList<int> cuts;
        for (int cut : {2, first + 5, first + int(replies.value(1).size()) - 1})
            if (cut > 0 && cut < all.size() && (cuts.isEmpty() || cut > cuts.last()))
                cuts.append(cut);
        script.sendSplit(all, cuts, 20);
    } else {
        for (int i = 0; i < answered; ++i)
            script.expect(fetchCommand(i + 1)).sendSplit(replies[i], {3}, 20);
    }
    if (quits)
        script.expect("QUIT").send(Pop3Reply::ok("bye"));
    return script.expectClientClose();
}

struct Outcome
{
    QStringList rows;
    QStringList log;
    QStringList transcript;
    QStringList commands;
    QString report;
};

Outcome check(const Pop3Script& script, bool cancelAfterFirstRow)
{
    ScriptedPop3Peer peer;
    peer.addScript(script);
    Outcome out;
    if (!peer.listen()) {
        out.report = peer.errorString();
        return out;
    }
    RunRig rig;
    rig.addAccount("bob", "pw", peer.port());
    if (cancelAfterFirstRow)
        QObject::connect(&rig.mails, &QAbstractItemModel::rowsInserted, rig.runs.get(),
                         [&] { rig.runs->requestCancel(); });
    const bool ended = rig.run();
    const bool done = peer.waitUntilDone(5000);
    // Each peer has its own port: the rows name it.
    const QString port = QLatin1Char('|') + QString::number(peer.port()) + QLatin1Char('|');
    out.rows = rig.rows().replaceInStrings(port, QStringLiteral("|PORT|"));
    out.log = rig.logLines();
    out.transcript = peer.transcript();
    out.commands = peer.commands();
    out.report = ended && done ? QString() : peer.report();
    return out;
}

qsizetype indexOfPrefix(const QStringList& lines, const QString& prefix)
{
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].startsWith(prefix))
            return i;
    return -1;
}

} // namespace

class TestPipelinedSessions : public QObject
{
    Q_OBJECT
private slots:
    void sameAsOneAtATime_data();
    void sameAsOneAtATime();
    void windowIsBoundedAndSlowReaderDoesNotStall();
};

void TestPipelinedSessions::sameAsOneAtATime_data()
{
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<int>("answered"); // replies the client takes
    QTest::addColumn<bool>("quits");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QString>("logLine"); // a line the log must hold

    const QList<QByteArray> four{numberedTop(1), numberedTop(2), numberedTop(3), numberedTop(4)};
    QTest::newRow("all answered") << four << 4 << true << false << 4
                                  << "..Check Complete: 4 New Mail Items -Total Items: 4";
    QTest::newRow("-ERR to a TOP mid-window")
        << QList<QByteArray>{numberedTop(1), Pop3Reply::err("no such message"), numberedTop(3),
                             numberedTop(4)}
        << 2 << true << false << 1 << "Error Using -TOP- Command";
    QTest::newRow("cancel mid-window")
        << four << 2 << true << true << 0 << "..Process Halted: Operation Canceled";
    // STAT gives 400 octets: a reply may take 2 * 400 + 64 KB.
    const QByteArray huge =
        Pop3Reply::top(Pop3Reply::headers("big@x.org", "big", "Tue, 4 Jun 2024 08:00:00 +0000"),
                       QList<QByteArray>(1200, QByteArray(60, 'b')));
    // Each within the limit, together over it: the limit is each reply's.
    QList<QByteArray> large;
    for (int i = 1; i <= 4; ++i)
        large.append(Pop3Reply::top(Pop3Reply::headers("ann" + QByteArray::number(i) + "@x.org",
                                                       "large", "Tue, 4 Jun 2024 08:00:00 +0000"),
                                    QList<QByteArray>(300, QByteArray(60, 'l'))));
    QTest::newRow("replies over the byte limit together")
        << large << 4 << true << false << 4 << "..Check Complete: 4 New Mail Items -Total Items: 4";
    QTest::newRow("reply over the byte limit mid-window")
        << QList<QByteArray>{numberedTop(1), huge, numberedTop(3), numberedTop(4)} << 2 << false
        << false << 1 << oversizeLine;
}

void TestPipelinedSessions::sameAsOneAtATime()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(int, answered);
    QFETCH(bool, quits);
    QFETCH(bool, cancel);
    QFETCH(int, rowCount);
    QFETCH(QString, logLine);

    const Outcome single = check(mailboxScript(replies, false, answered, quits), cancel);
    QVERIFY2(single.report.isEmpty(), qPrintable(single.report));
    const Outcome piped = check(mailboxScript(replies, true, answered, quits), cancel);
    QVERIFY2(piped.report.isEmpty(), qPrintable(piped.report));

    QCOMPARE(piped.rows, single.rows);
    QCOMPARE(piped.rows.size(), rowCount);
    QCOMPARE(piped.log, single.log);
    QVERIFY2(piped.log.contains(logLine), qPrintable(piped.log.join('\n')));

    // One at a time: each TOP only after the whole reply before it.
    QVERIFY2(!single.transcript.join('\n').contains("sent before the reply was complete"),
             qPrintable(single.transcript.join('\n')));
    // Pipelined: the whole window went out before the first reply came.
    const qsizetype firstReply = indexOfPrefix(piped.transcript, "S: Return-Path:");
    const qsizetype lastTop =
        piped.transcript.indexOf("C: " + QString::fromLatin1(fetchCommand(int(replies.size()))));
    QVERIFY2(lastTop >= 0 && lastTop < firstReply, qPrintable(piped.transcript.join('\n')));
    QCOMPARE(piped.commands.filter("TOP ").size(), replies.size());
}

void TestPipelinedSessions::windowIsBoundedAndSlowReaderDoesNotStall()
{
    // A server that reads nothing for a while after STAT, then answers
    // each command as it reads it: the client keeps at most its window in
    // flight and the check goes through.
    constexpr int count = 300;
    constexpr int window = 128;
    Pop3Script script = loggedOnWithCapa(count, true).holdReading(400);
    for (int i = 1; i <= window; ++i)
        script.expect(fetchCommand(i));
    for (int i = 1; i <= count; ++i) {
        script.send(numberedTop(i));
        if (i + window <= count)
            script.expect(fetchCommand(i + window));
    }
    script.expect("QUIT").send(Pop3Reply::ok("bye")).expectClientClose();

    const Outcome piped = check(script, false);
    QVERIFY2(piped.report.isEmpty(), qPrintable(piped.report));
    QCOMPARE(piped.rows.size(), count);
    for (int i : {1, 129, 300})
        QVERIFY2(piped.rows[i - 1].contains(QStringLiteral("|subject %1|").arg(i)),
                 qPrintable(piped.rows[i - 1]));
    const qsizetype firstReply = indexOfPrefix(piped.transcript, "S: Return-Path:");
    const QStringList beforeReplies = piped.transcript.mid(0, firstReply);
    QCOMPARE(beforeReplies.filter(QRegularExpression("^C: TOP ")).size(), window);
    QCOMPARE(piped.log.last(),
             QStringLiteral("..Check Complete: %1 New Mail Items -Total Items: %1").arg(count));
}

QTEST_GUILESS_MAIN(TestPipelinedSessions)
#include "test_pipelined_sessions.moc"
