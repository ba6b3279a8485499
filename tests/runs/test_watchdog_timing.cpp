// How the watchdog ends a session, with its real tick: for silence within
// about a second of the time-out, for a reply that stops making progress,
// and never for a large reply over a slow but working link. With fetches
// in flight it times the reply at the head of the queue, not the window.
#include "run_rig.h"
#include "session_script.h"
#include "support/servers_pop3_peer.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

// A check of bob against the scripts, one account each, with a 2 s time-out.
struct TimedCheck
{
    explicit TimedCheck(const QList<Pop3Script>& scripts)
    {
        for (const Pop3Script& script : scripts)
            peer.addScript(script);
        accounts = int(scripts.size());
        rig.settings.serverTimeout = std::chrono::seconds(2);
    }
    // The milliseconds the run took, or -1 when it did not end.
    qint64 run()
    {
        if (!peer.listen())
            return -1;
        for (int i = 0; i < accounts; ++i)
            rig.addAccount("bob", "pw", peer.port());
        QElapsedTimer clock;
        clock.start();
        return rig.run(60000) ? clock.elapsed() : -1;
    }

    ScriptedPop3Peer peer;
    RunRig rig;
    int accounts = 0;
};

} // namespace

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
    TimedCheck check(QList<Pop3Script>(3, Pop3Script().silence()));
    const qint64 elapsed = check.run();
    QVERIFY2(elapsed >= 3 * 2000 && elapsed < 3 * (2000 + 1500),
             qPrintable(QString::number(elapsed) + " ms"));
    QCOMPARE(check.rig.logLines().filter(silentLine).size(), 3);
}

void TestWatchdogTiming::dripEndsAfterAboutOneTimeOut()
{
    // Never silent for a whole time-out, never a kilobyte further.
    TimedCheck check({Pop3Script().drip(Pop3Reply::greeting() + QByteArray(2000, 'x'), 300)});
    const qint64 elapsed = check.run();
    QVERIFY2(elapsed >= 2000 && elapsed < 2000 + 2500, qPrintable(QString::number(elapsed)));
    QVERIFY2(check.rig.logLines().contains(slowLine), qPrintable(check.rig.logLines().join('\n')));
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
    TimedCheck check({Pop3Script(loggedIn())
                          .send(Pop3Reply::stat(1, 8 << 20))
                          .expect("RETR 1")
                          .sendChunks(chunks, 100)
                          .expect("QUIT")
                          .send(Pop3Reply::ok("bye"))
                          .expectClientClose()});
    check.rig.settings.useRetr = 1;
    const qint64 elapsed = check.run();
    QVERIFY_PEER_DONE(check.peer, 5000);
    QVERIFY2(elapsed > 3 * 2000, qPrintable(QString::number(elapsed)));
    QCOMPARE(check.rig.mails.itemCount(), 1);
    QCOMPARE(check.rig.mails.item(0).subject, QStringLiteral("large"));
    QVERIFY(check.rig.logLines().filter("..Session Ended").isEmpty());
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
    TimedCheck check({script});
    const qint64 elapsed = check.run();
    QVERIFY(elapsed >= 0);
    QCOMPARE(check.rig.mails.itemCount(), answered);
    const QStringList log = check.rig.logLines();
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
        QVERIFY_PEER_DONE(check.peer, 5000);
        QVERIFY2(log.filter("..Session Ended").isEmpty(), qPrintable(log.join('\n')));
    }
}

QTEST_GUILESS_MAIN(TestWatchdogTiming)
#include "test_watchdog_timing.moc"
