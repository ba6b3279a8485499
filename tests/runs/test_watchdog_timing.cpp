// How the watchdog ends a session, with its real tick: for silence within
// about a second of the time-out, for a reply that stops making progress,
// and never for a large reply over a slow but working link. With fetches
// in flight it times the reply at the head of the queue, not the window.
#include "run_rig.h"
#include "session_script.h"
#include "support/servers_pop3_peer.h"

#include <QElapsedTimer>
#include <QTest>

class TestWatchdogTiming : public QObject
{
    Q_OBJECT
private slots:
    void silenceEndsWithinASecondOfTheTimeOut();
    void dripEndsAfterAboutOneTimeOut();
    void slowLargeReplyCompletes();
    void pipelinedRepliesTimedOneByOne_data();
    void pipelinedRepliesTimedOneByOne();
};

void TestWatchdogTiming::silenceEndsWithinASecondOfTheTimeOut()
{
    // Three silent servers: each costs its time-out, not a 20 s tick.
    ScriptedPop3Peer peer;
    for (int i = 0; i < 3; ++i)
        peer.addScript(Pop3Script().silence());
    QVERIFY(peer.listen());
    RunRig rig;
    rig.settings.serverTimeout = std::chrono::seconds(2);
    for (int i = 0; i < 3; ++i)
        rig.addAccount("bob", "pw", peer.port());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.run(30000));
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 3 * 2000 && elapsed < 3 * (2000 + 1500),
             qPrintable(QString::number(elapsed) + " ms"));
    QCOMPARE(rig.logLines().filter(silentLine).size(), 3);
}

void TestWatchdogTiming::dripEndsAfterAboutOneTimeOut()
{
    // Never silent for a whole time-out, never a kilobyte further.
    ScriptedPop3Peer peer;
    peer.addScript(Pop3Script().drip(Pop3Reply::greeting() + QByteArray(2000, 'x'), 300));
    QVERIFY(peer.listen());
    RunRig rig;
    rig.settings.serverTimeout = std::chrono::seconds(2);
    rig.addAccount("bob", "pw", peer.port());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.run(30000));
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 2000 && elapsed < 2000 + 2500, qPrintable(QString::number(elapsed)));
    QVERIFY2(rig.logLines().contains(slowLine), qPrintable(rig.logLines().join('\n')));
}

void TestWatchdogTiming::slowLargeReplyCompletes()
{
    // 6 MB at about 1 MB a second with a 2 s time-out: the reply takes three
    // time-outs and more, yet grows all along, so it is read to its end.
    const QByteArray line = QByteArray(998, 'z') + "\r\n";
    QList<QByteArray> chunks{"+OK\r\nFrom: big@x.org\r\nSubject: large\r\n\r\n"};
    for (int i = 0; i < 60; ++i)
        chunks.append(line.repeated(100)); // 100 kB every 100 ms
    chunks.append(".\r\n");
    ScriptedPop3Peer peer;
    peer.addScript(Pop3Script(loggedIn())
                       .send(Pop3Reply::stat(1, 8 << 20))
                       .expect("RETR 1")
                       .sendChunks(chunks, 100)
                       .expect("QUIT")
                       .send(Pop3Reply::ok("bye"))
                       .expectClientClose());
    QVERIFY(peer.listen());
    RunRig rig;
    rig.settings.serverTimeout = std::chrono::seconds(2);
    rig.settings.useRetr = 1;
    rig.addAccount("bob", "pw", peer.port());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.run(60000));
    QVERIFY_PEER_DONE(peer, 5000);
    QVERIFY2(clock.elapsed() > 3 * 2000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(rig.mails.itemCount(), 1);
    QCOMPARE(rig.mails.item(0).subject, QStringLiteral("large"));
    QVERIFY(rig.logLines().filter("..Session Ended").isEmpty());
}

void TestWatchdogTiming::pipelinedRepliesTimedOneByOne_data()
{
    QTest::addColumn<int>("answered"); // replies sent, each 1.4 s after the one before
    QTest::addColumn<bool>("silentAfter");
    QTest::newRow("every reply within the time-out of the one before") << 4 << false;
    QTest::newRow("silence after the second reply") << 2 << true;
}

void TestWatchdogTiming::pipelinedRepliesTimedOneByOne()
{
    QFETCH(int, answered);
    QFETCH(bool, silentAfter);
    constexpr int count = 4;
    constexpr int gapMs = 1400;
    Pop3Script script = loggedOnWithCapa(count, true);
    for (int i = 1; i <= count; ++i)
        script.expect(fetchCommand(i));
    for (int i = 1; i <= answered; ++i)
        script.pause(gapMs).send(numberedTop(i));
    if (silentAfter)
        script.silence();
    else
        script.expect("QUIT").send(Pop3Reply::ok("bye")).expectClientClose();
    ScriptedPop3Peer peer;
    peer.addScript(script);
    QVERIFY(peer.listen());
    RunRig rig;
    rig.settings.serverTimeout = std::chrono::seconds(2);
    rig.addAccount("bob", "pw", peer.port());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.run(30000));
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(rig.mails.itemCount(), answered);
    const QStringList log = rig.logLines();
    if (silentAfter) {
        // Ended one time-out (and at most a tick more) after the last reply.
        const qint64 lastReply = qint64(answered) * gapMs;
        QVERIFY2(elapsed >= lastReply + 2000 && elapsed < lastReply + 2000 + 1500,
                 qPrintable(QString::number(elapsed) + " ms"));
        QVERIFY2(log.contains(silentLine), qPrintable(log.join('\n')));
    } else {
        // The window as a whole took more than two time-outs, each reply
        // less than one (the peer's pauses may end a few percent early).
        QVERIFY2(elapsed > 2 * 2000, qPrintable(QString::number(elapsed) + " ms"));
        QVERIFY_PEER_DONE(peer, 5000);
        QVERIFY2(log.filter("..Session Ended").isEmpty(), qPrintable(log.join('\n')));
    }
}

QTEST_GUILESS_MAIN(TestWatchdogTiming)
#include "test_watchdog_timing.moc"
