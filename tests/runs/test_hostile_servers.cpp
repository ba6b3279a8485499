// Servers that misbehave on purpose: endless replies, huge lines, binary
// garbage, early closes, silence and a slow drip. Each must cost only its
// own account's session and a log line: a healthy account after it is
// still checked, the run completes, and memory stays bounded however many
// bytes the hostile server pushes.
#include "run_rig.h"
#include "session_script.h"
#include "support/servers_pop3_peer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <malloc.h>

Q_DECLARE_METATYPE(Pop3Script)

namespace {

// Short enough for the silent and slow cases to end quickly, long enough
// that a busy machine does not drop a healthy server.
constexpr int timeoutMs = 2000;
constexpr qint64 tenMegabytes = 10 << 20;

// loggedIn(), STAT 1 answered and TOP 1 2 asked.
// The mailbox size STAT gives bounds a reply: 64 MB leaves room for the
// large lines below.
Pop3Script fetching(qint64 octets = 64 << 20)
{
    return loggedIn().send(Pop3Reply::stat(1, octets)).expect("TOP 1 2");
}

QList<QByteArray> bobHeaders()
{
    return Pop3Reply::headers("bob@x.org", "Hello Bob", "Mon, 3 Jun 2024 10:00:00 +0000");
}

// The healthy account after the hostile one: one mail.
Pop3Script eveScript()
{
    return Pop3Script()
        .send(Pop3Reply::ok("hello eve"))
        .expect("USER eve")
        .send(Pop3Reply::ok())
        .expect("PASS pw2")
        .send(Pop3Reply::ok())
        .expect("STAT")
        .send(Pop3Reply::stat(1))
        .expect("TOP 1 2")
        .send(Pop3Reply::top(
            Pop3Reply::headers("eve@y.org", "For Eve", "Tue, 4 Jun 2024 11:00:00 +0000")))
        .expect("QUIT")
        .send(Pop3Reply::ok())
        .expectClientClose();
}

QStringList eveLog(int newMail)
{
    return {connectedLine,
            "+OK hello eve",
            "+OK",
            "..Checking For Mail",
            "+OK",
            closedLine,
            QStringLiteral("..Check Complete: %1 New Mail Item%2 -Total Items: %1")
                .arg(newMail)
                .arg(newMail == 1 ? "" : "s")};
}

// Kilobytes of a line of /proc/self/status, or -1.
qint64 statusKb(const QByteArray& key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Makes the peak resident size (VmHWM) start again from the current size.
bool resetPeakMemory()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    return file.open(QIODevice::WriteOnly) && file.write("5") == 1;
}

QByteArray repeated(char c, qint64 size)
{
    return QByteArray(size, c);
}

} // namespace

class TestHostileServers : public QObject
{
    Q_OBJECT
private slots:
    void costsOneSession_data();
    void costsOneSession();
    void slowRepliesInTimeAreKept();
    void dripTimedOutFromItsCommand();
};

void TestHostileServers::costsOneSession_data()
{
    QTest::addColumn<Pop3Script>("script");
    QTest::addColumn<QStringList>("log");     // bob's lines after his connect line
    QTest::addColumn<bool>("bobMail");        // bob's one mail is listed
    QTest::addColumn<qint64>("endlessBytes"); // at least this many sent by an endless step
    // The peer keeps copies of what it sends whole (its transcript holds
    // every line), so the process's peak speaks for the client only where
    // the peer makes its bytes as it goes.
    QTest::addColumn<bool>("measureMemory");

    const QByteArray megaLine = repeated('a', tenMegabytes);
    const QStringList fetchLog = loggedInLog();

    // Endless replies: no line end ever, or a body without end.
    QTest::newRow("endless greeting line")
        << Pop3Script().endless("+OK ", repeated('a', 4096))
        << QStringList{longLineLine, closedLine} << false << qint64(0) << true;
    QTest::newRow("endless header block")
        << fetching().endless("+OK\r\n", "X-Filler: " + repeated('y', 500) + "\r\n")
        << fetchLog + QStringList{bigHeaderLine, closedLine} << false << qint64(0) << true;
    // The header block ends and the body streams on at full speed: more
    // than the whole mailbox STAT announced is a lie, however fast.
    QTest::newRow("endless body at full speed")
        << fetching(4000).endless(Pop3Reply::top(bobHeaders(), {}).chopped(3),
                                  repeated('z', 1000) + "\r\n")
        << fetchLog + QStringList{oversizeLine, closedLine} << false << qint64(8000) << true;
    QTest::newRow("endless body line without a line end")
        << fetching(4000).endless(Pop3Reply::top(bobHeaders(), {}).chopped(3), repeated('w', 4096))
        << fetchLog + QStringList{oversizeLine, closedLine} << false << qint64(8000) << true;

    // Ten-megabyte lines sent whole.
    QTest::newRow("10 MB greeting line")
        << Pop3Script().send("+OK " + megaLine + "\r\n").tolerateExtraCommands()
        << QStringList{longLineLine, closedLine} << false << qint64(0) << false;
    QTest::newRow("10 MB reply to STAT")
        << loggedIn().send("+OK " + megaLine + "\r\n").tolerateExtraCommands()
        << fetchLog.mid(0, 2) + QStringList{longLineLine, closedLine} << false << qint64(0)
        << false;
    QTest::newRow("10 MB header line")
        << fetching().send("+OK\r\nX-Long: " + megaLine + "\r\n\r\n.\r\n").tolerateExtraCommands()
        << fetchLog + QStringList{bigHeaderLine, closedLine} << false << qint64(0) << false;
    // A long body line is no fault: the body is dropped, the mail listed.
    QTest::newRow("10 MB body line in a complete reply")
        << fetching()
               .send(Pop3Reply::top(bobHeaders(), {megaLine, "end"}))
               .expect("QUIT")
               .send(Pop3Reply::ok())
               .expectClientClose()
        << fetchLog + QStringList{"+OK", closedLine} << true << qint64(0) << false;

    // A count its own size cannot hold, every TOP answered at once: without
    // a check the account would be fetched for hours.
    QTest::newRow("STAT count beyond its size")
        << loggedIn().send("+OK 2147483647 0\r\n").expectClientClose()
        << fetchLog.mid(0, 3) +
               QStringList{endedLine("Broken Reply From Server (More Mail Items Than Octets)"),
                           closedLine}
        << false << qint64(0) << true;

    // Binary garbage.
    QTest::newRow("garbage instead of the greeting")
        << Pop3Script().sendGarbage(1 << 20, 7).tolerateExtraCommands()
        << QStringList{brokenLine, closedLine} << false << qint64(0) << true;
    QTest::newRow("garbage instead of the STAT reply")
        << loggedIn().sendGarbage(4096, 8).tolerateExtraCommands()
        << fetchLog.mid(0, 2) + QStringList{brokenLine, closedLine} << false << qint64(0) << true;
    QTest::newRow("garbage inside a reply that never ends")
        << fetching().send("+OK\r\nFrom: a@x.org\r\n").sendGarbage(200000, 9).silence()
        << fetchLog + QStringList{silentLine, closedLine} << false << qint64(0) << true;

    // Early closes.
    QTest::newRow("closed before the greeting")
        << Pop3Script().pause(200).close() << QStringList{serverClosedLine, closedLine} << false
        << qint64(0) << true;
    QTest::newRow("closed after USER")
        << Pop3Script().send(Pop3Reply::greeting()).expect("USER bob").close()
        << QStringList{greetingText, serverClosedLine, closedLine} << false << qint64(0) << true;
    QTest::newRow("closed inside the header block")
        << fetching().send("+OK\r\nFrom: a@x.org\r\nSubj").close()
        << fetchLog + QStringList{serverClosedLine, closedLine} << false << qint64(0) << true;

    // Silence.
    QTest::newRow("silent after connecting")
        << Pop3Script().silence() << QStringList{silentLine, closedLine} << false << qint64(0)
        << true;
    QTest::newRow("silent after half a header block")
        << fetching().send("+OK\r\nFrom: a@x.org\r\n").silence()
        << fetchLog + QStringList{silentLine, closedLine} << false << qint64(0) << true;

    // One byte a second: never silent for long, never finished.
    QTest::newRow("greeting dripped")
        << Pop3Script().drip(Pop3Reply::greeting(), 1000).expectClientClose()
        << QStringList{slowLine, closedLine} << false << qint64(0) << true;
    QTest::newRow("STAT reply dripped")
        << loggedIn()
               .drip(Pop3Reply::ok("1 4000 and a long tail the server adds at leisure"), 1000)
               .expectClientClose()
        << fetchLog.mid(0, 2) + QStringList{slowLine, closedLine} << false << qint64(0) << true;
    QTest::newRow("header block dripped")
        << fetching().drip(Pop3Reply::top(bobHeaders()), 1000).expectClientClose()
        << fetchLog + QStringList{slowLine, closedLine} << false << qint64(0) << true;
}

void TestHostileServers::costsOneSession()
{
    QFETCH(Pop3Script, script);
    QFETCH(QStringList, log);
    QFETCH(bool, bobMail);
    QFETCH(qint64, endlessBytes);
    QFETCH(bool, measureMemory);

    ScriptedPop3Peer peer;
    peer.addScript(script);
    peer.addScript(eveScript());
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));

    RunRig rig;
    rig.settings.serverTimeout = std::chrono::milliseconds(timeoutMs);
    rig.runs->sessionDriver().watchdogTimer().setInterval(100);
    rig.addAccount("bob", "pw", peer.port());
    rig.addAccount("eve", "pw2", peer.port());

    // Everything the test itself holds (the script's big lines) is resident
    // now, and the heap freed by earlier cases goes back to the system: what
    // the peak grows by from here is the run's.
    malloc_trim(0);
    const qint64 baselineKb = statusKb("VmRSS");
    QVERIFY(baselineKb > 0);
    QVERIFY2(resetPeakMemory(), "cannot reset the peak resident size");

    QElapsedTimer clock;
    clock.start();
    QVERIFY2(rig.run(20000), qPrintable(rig.logLines().join('\n')));
    const qint64 peakKb = statusKb("VmHWM");
    QVERIFY_PEER_DONE(peer, 5000);

    const QStringList expected =
        QStringList{"..Beginning Process To Check For Mail", connectedLine} + log +
        eveLog(bobMail ? 2 : 1);
    QCOMPARE(rig.logLines(), expected);
    const QString port = QString::number(peer.port());
    QStringList rows;
    if (bobMail)
        rows << "bob|bob@x.org|Hello Bob|Mon, 3 Jun 2024 10:00:00 +0000|127.0.0.1|" + port +
                    "|2|K1Ppw";
    rows << QStringLiteral("eve|eve@y.org|For Eve|Tue, 4 Jun 2024 11:00:00 +0000|127.0.0.1|") +
                port + QStringLiteral("|2|K%1Ppw2").arg(rows.size() + 1);
    QCOMPARE(rig.rows(), rows);
    QCOMPARE(peer.connectionCount(), 2);
    QVERIFY(rig.runs->state() != RunState::Checking);
    QVERIFY(rig.prompter.shown().isEmpty());

    // Bounded by the time-out, not by the server's patience: two sessions,
    // each at most the time-out plus a few watchdog ticks.
    QVERIFY2(clock.elapsed() < 2 * timeoutMs + 4000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(peer.endlessBytesSent() >= endlessBytes,
             qPrintable(QString::number(peer.endlessBytesSent())));
    // Whatever was pushed, the reader keeps at most a line or a header
    // block; the socket's buffers stay small because they are read as
    // they fill.
    const qint64 grownKb = peakKb - baselineKb;
    qInfo("%lld bytes sent endlessly, peak resident size grew by %lld kB", peer.endlessBytesSent(),
          grownKb);
    if (measureMemory)
        QVERIFY2(grownKb < 8 * 1024, qPrintable(QStringLiteral("peak grew by %1 kB").arg(grownKb)));
}

void TestHostileServers::slowRepliesInTimeAreKept()
{
    // Every reply takes a good part of the time-out and the whole session
    // much longer than it: the limit is per reply, so nothing is dropped.
    const auto slowly = [](const QByteArray& reply) {
        const int third = int(reply.size()) / 3;
        return QList<QByteArray>{reply.left(third), reply.mid(third, third), reply.mid(2 * third)};
    };
    ScriptedPop3Peer peer;
    peer.addScript(Pop3Script()
                       .sendChunks(slowly(Pop3Reply::greeting()), 400)
                       .expect("USER bob")
                       .sendChunks(slowly(Pop3Reply::ok("user ok")), 400)
                       .expect("PASS pw")
                       .sendChunks(slowly(Pop3Reply::ok("logged in")), 400)
                       .expect("STAT")
                       .sendChunks(slowly(Pop3Reply::stat(1, 300)), 400)
                       .expect("TOP 1 2")
                       .sendChunks(slowly(Pop3Reply::top(bobHeaders())), 400)
                       .expect("QUIT")
                       .sendChunks(slowly(Pop3Reply::ok("bye")), 400)
                       .expectClientClose());
    QVERIFY(peer.listen());

    RunRig rig;
    rig.settings.serverTimeout = std::chrono::milliseconds(timeoutMs);
    rig.runs->sessionDriver().watchdogTimer().setInterval(100);
    rig.addAccount("bob", "pw", peer.port());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.run(30000));
    QVERIFY_PEER_DONE(peer, 5000);
    QVERIFY2(clock.elapsed() > 2 * timeoutMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(rig.logLines(),
             QStringList({"..Beginning Process To Check For Mail", connectedLine, greetingText,
                          "+OK logged in", "..Checking For Mail", "+OK bye", closedLine,
                          "..Check Complete: 1 New Mail Item -Total Items: 1"}));
    QCOMPARE(rig.mails.itemCount(), 1);
}

void TestHostileServers::dripTimedOutFromItsCommand()
{
    // A byte every half time-out keeps the silence short; the session
    // still ends once the reply has been awaited longer than the time-out,
    // counted from the command (tested by hand-driven watchdog ticks).
    ScriptedPop3Peer peer;
    peer.addScript(loggedIn().drip(Pop3Reply::stat(1, 4000), 250).expectClientClose());
    QVERIFY(peer.listen());

    RunRig rig;
    rig.settings.serverTimeout = std::chrono::seconds(1);
    rig.runs->sessionDriver().watchdogTimer().setInterval(3600 * 1000); // ticks only by hand
    rig.addAccount("bob", "pw", peer.port());
    QSignalSpy ended(rig.runs.get(), &RunCoordinator::runEnded);
    rig.runs->startCheck();
    QTRY_COMPARE(peer.commands(), QStringList({"CAPA", "USER bob", "PASS pw", "STAT"}));
    QElapsedTimer sinceStat;
    sinceStat.start();

    // Ticks well inside the time-out leave the session alone although
    // bytes keep arriving.
    while (sinceStat.elapsed() < 700) {
        QTest::qWait(100);
        rig.runs->watchdogTick();
        QVERIFY(!rig.logLines().contains(closedLine));
    }
    // Past it: silence never exceeded 250 ms, yet the session ends.
    QTest::qWait(int(qMax<qint64>(0, 1200 - sinceStat.elapsed())));
    const qint64 now = qint64(qint32(rig.ticks.tickCount()));
    QVERIFY(now - rig.runs->session().lastArrivalTick < 1000);
    rig.runs->watchdogTick();
    QVERIFY(rig.logLines().contains(closedLine));
    QVERIFY(ended.wait(5000));
    QVERIFY_PEER_DONE(peer, 5000);
    QCOMPARE(rig.logLines().last(), "..Check Complete: No New Mail Items -Total Items: 0");
}

QTEST_GUILESS_MAIN(TestHostileServers)
#include "test_hostile_servers.moc"
