// Whole check runs against the scripted POP3 peer: every way a session can
// end costs that account's session and a log line, never the run.
#include "run_rig.h"
#include "session_script.h"
#include "support/servers_pop3_peer.h"

#include <QTcpServer>
#include <QTest>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

Q_DECLARE_METATYPE(Pop3Script)

namespace {

QByteArray mail(int i)
{
    return Pop3Reply::top(Pop3Reply::headers(
        "a" + QByteArray::number(i) + "@x.org", "Subject " + QByteArray::number(i),
        "Mon, 3 Jun 2024 10:0" + QByteArray::number(i) + ":00 +0000"));
}

// The port is filled in once the peer listens.
QString mailRow(int i)
{
    return QStringLiteral(
               "bob|a%1@x.org|Subject %1|Mon, 3 Jun 2024 10:0%1:00 +0000|127.0.0.1|PORT|2|K%1Ppw")
        .arg(i);
}

// The second account of every run: an empty mailbox.
Pop3Script eveScript()
{
    return Pop3Script()
        .send(Pop3Reply::ok("hello eve"))
        .expect("USER eve")
        .send(Pop3Reply::ok())
        .expect("PASS pw2")
        .send(Pop3Reply::ok())
        .expect("STAT")
        .send(Pop3Reply::stat(0))
        .expect("QUIT")
        .send(Pop3Reply::ok())
        .expectClientClose();
}

QString summary(int newCount, int total)
{
    const QString word = newCount == 0 ? QStringLiteral("No") : QString::number(newCount);
    return QStringLiteral("..Check Complete: %1 New Mail Item%2 -Total Items: %3")
        .arg(word, newCount == 1 ? QString() : QStringLiteral("s"))
        .arg(total);
}

// A port that accepts no more connections: its listen queue is full, so a
// new connect is neither accepted nor refused.
struct StuckPort
{
    int listener = -1;
    QList<int> fillers;
    quint16 port = 0;

    bool open()
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(listener, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            ::listen(listener, 0) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return false;
        port = ntohs(addr.sin_port);
        for (int i = 0; i < 4; ++i) {
            const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(s, reinterpret_cast<sockaddr*>(&addr), len);
            fillers.append(s);
        }
        QTest::qWait(100);
        return true;
    }
    ~StuckPort()
    {
        for (int s : fillers)
            ::close(s);
        if (listener >= 0)
            ::close(listener);
    }
};

} // namespace

class TestSessionPeer : public QObject
{
    Q_OBJECT
private slots:
    void sessionEndings_data();
    void sessionEndings();
    void unreachableServers_data();
    void unreachableServers();
    void connectThatHangsIsGivenUp();
    void cancelWhileBlockArrives();
    void closeWaitsAtLeastItsFixedTime();
};

void TestSessionPeer::sessionEndings_data()
{
    QTest::addColumn<Pop3Script>("script");
    QTest::addColumn<QStringList>("log"); // bob's lines after the connect line
    QTest::addColumn<QStringList>("rows");

    const QStringList noRows;
    QTest::newRow("empty mailbox")
        << Pop3Script(loggedIn())
               .send(Pop3Reply::stat(0))
               .expect("QUIT")
               .send(Pop3Reply::ok("bye"))
               .expectClientClose()
        << loggedInLog() + QStringList{"+OK bye", closedLine}
        << QStringList{"bob|(no mail)|(no mail)|(no mail)|(no mail)|(no mail)|1|"};

    // The first reply's closing line is split: "...CR LF ." then "CR LF".
    const QByteArray first = mail(1);
    QTest::newRow("three messages, one command at a time")
        << Pop3Script(loggedIn())
               .send(Pop3Reply::stat(3, 900))
               .expect("TOP 1 2")
               .sendSplit(first, {int(first.size()) - 2})
               .expect("TOP 2 2")
               .sendBytewise(mail(2), 1)
               .expect("TOP 3 2")
               .send(mail(3))
               .expect("QUIT")
               .send(Pop3Reply::ok("bye"))
               .expectClientClose()
        << loggedInLog() + QStringList{"+OK bye", closedLine}
        << QStringList{mailRow(1), mailRow(2), mailRow(3)};

    QTest::newRow("user refused") << Pop3Script()
                                         .send(Pop3Reply::greeting())
                                         .expect("USER bob")
                                         .send(Pop3Reply::err("no such user"))
                                         .expectClientClose()
                                  << QStringList{greetingText,
                                                 "Username Logon Error: -ERR no such user",
                                                 closedLine}
                                  << noRows;

    QTest::newRow("password refused")
        << Pop3Script()
               .send(Pop3Reply::greeting())
               .expect("USER bob")
               .send(Pop3Reply::ok())
               .expect("PASS pw")
               .send(Pop3Reply::err("[AUTH] Authentication failed."))
               .expectClientClose()
        << QStringList{greetingText, "Password Logon Error: -ERR [AUTH] Authentication failed.",
                       closedLine}
        << noRows;

    QTest::newRow("TOP refused") << Pop3Script(loggedIn())
                                        .send(Pop3Reply::stat(2))
                                        .expect("TOP 1 2")
                                        .send(Pop3Reply::err("no TOP here"))
                                        .expect("QUIT")
                                        .send(Pop3Reply::ok())
                                        .expectClientClose()
                                 << loggedInLog() +
                                        QStringList{"Error Using -TOP- Command", "+OK", closedLine}
                                 << noRows;

    QTest::newRow("greeting split over two arrivals")
        << Pop3Script()
               .sendSplit(Pop3Reply::greeting(), {6})
               .expect("USER bob")
               .send(Pop3Reply::err("x"))
               .expectClientClose()
        << QStringList{greetingText, "Username Logon Error: -ERR x", closedLine} << noRows;

    QTest::newRow("peer closes in the middle of a reply")
        << Pop3Script(loggedIn())
               .send(Pop3Reply::stat(1))
               .expect("TOP 1 2")
               .send("+OK\r\nFrom: a@x.org\r\n")
               .close()
        << loggedInLog() + QStringList{serverClosedLine, closedLine} << noRows;

    QTest::newRow("garbage instead of a greeting")
        << Pop3Script().sendGarbage(500).expectClientClose() << QStringList{brokenLine, closedLine}
        << noRows;

    // The watchdog (short in this test) ends what never finishes.
    QTest::newRow("no greeting") << Pop3Script().silence() << QStringList{silentLine, closedLine}
                                 << noRows;
    QTest::newRow("STAT never answered")
        << Pop3Script(loggedIn()).silence()
        << loggedInLog().mid(0, 2) + QStringList{silentLine, closedLine} << noRows;
    QTest::newRow("a greeting line that never ends")
        << Pop3Script().endless("+OK ", "aaaaaaaaaaaaaaaa", 4 << 20)
        << QStringList{longLineLine, closedLine} << noRows;
    QTest::newRow("an endless header block")
        << Pop3Script(loggedIn())
               .send(Pop3Reply::stat(1, 64 << 20))
               .expect("TOP 1 2")
               .endless("+OK\r\n", "X-Filler: yyyyyyyyyyyyyyyyyyyy\r\n", 8 << 20)
        << loggedInLog() + QStringList{bigHeaderLine, closedLine} << noRows;
}

void TestSessionPeer::sessionEndings()
{
    QFETCH(Pop3Script, script);
    QFETCH(QStringList, log);
    QFETCH(QStringList, rows);

    ScriptedPop3Peer peer;
    peer.addScript(script);
    peer.addScript(eveScript());
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));

    RunRig rig;
    // Roomy for a busy machine, short for the silent cases.
    rig.settings.serverTimeout = std::chrono::milliseconds(1500);
    rig.runs->sessionDriver().watchdogTimer().setInterval(100);
    rig.addAccount("bob", "pw", peer.port());
    rig.addAccount("eve", "pw2", peer.port());
    QVERIFY(rig.run());
    QVERIFY_PEER_DONE(peer, 5000);
    // Every command only after the previous reply was complete.
    QVERIFY2(!peer.transcript().join('\n').contains("sent before the reply was complete"),
             qPrintable(peer.report()));

    const int mails = int(std::count_if(rows.begin(), rows.end(), [](const QString& r) {
        return !r.contains(QLatin1String("(no mail)"));
    }));
    const QStringList expected =
        QStringList{"..Beginning Process To Check For Mail", connectedLine} + log +
        QStringList{connectedLine, "+OK hello eve",      "+OK", "..Checking For Mail", "+OK",
                    closedLine,    summary(mails, mails)};
    QCOMPARE(rig.logLines(), expected);
    rows.replaceInStrings(QStringLiteral("PORT"), QString::number(peer.port()));
    QCOMPARE(rig.rows(),
             rows + QStringList{"eve|(no mail)|(no mail)|(no mail)|(no mail)|(no mail)|1|"});
    QVERIFY(rig.runs->state() != RunState::Checking);
    QVERIFY(!rig.runs->isBusy());
    QVERIFY(rig.prompter.shown().isEmpty());
}

void TestSessionPeer::unreachableServers_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("port"); // "closed": a port nobody listens on
    QTest::newRow("host that does not resolve") << "no-such-host.invalid"
                                                << "110";
    QTest::newRow("port 0") << "127.0.0.1"
                            << "0";
    QTest::newRow("port above 65535") << "127.0.0.1"
                                      << "65646"; // never wrapped to 110
    QTest::newRow("negative port") << "127.0.0.1"
                                   << "-5";
    QTest::newRow("nobody listening") << "127.0.0.1"
                                      << "closed";
}

void TestSessionPeer::unreachableServers()
{
    QFETCH(QString, server);
    QFETCH(QString, port);
    if (port == QLatin1String("closed")) {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = QString::number(probe.serverPort());
    }
    ScriptedPop3Peer peer;
    peer.addScript(eveScript());
    QVERIFY(peer.listen());

    RunRig rig;
    rig.addAccount("bob", "pw", server, port);
    rig.addAccount("eve", "pw2", peer.port());
    QVERIFY(rig.run());
    QVERIFY_PEER_DONE(peer, 5000);
    const QStringList lines = rig.logLines();
    QCOMPARE(lines.mid(0, 4), QStringList({"..Beginning Process To Check For Mail",
                                           "..MailSocket Error", "..Not Connected", closedLine}));
    QCOMPARE(lines.at(4), connectedLine);
    QCOMPARE(lines.last(), summary(0, 0));
    QCOMPARE(peer.connectionCount(), 1);
}

void TestSessionPeer::connectThatHangsIsGivenUp()
{
    StuckPort stuck;
    QVERIFY(stuck.open());
    RunRig rig;
    rig.settings.serverTimeout = std::chrono::milliseconds(800);
    rig.addAccount("bob", "pw", "127.0.0.1", QString::number(stuck.port));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.run(10000));
    QVERIFY2(clock.elapsed() >= 700, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(rig.logLines(), QStringList({"..Beginning Process To Check For Mail",
                                          "..Not Connected", closedLine, summary(0, 0)}));
}

void TestSessionPeer::cancelWhileBlockArrives()
{
    ScriptedPop3Peer peer;
    const QByteArray reply = mail(2);
    peer.addScript(Pop3Script(loggedIn())
                       .send(Pop3Reply::stat(2))
                       .expect("TOP 1 2")
                       .send(mail(1))
                       .expect("TOP 2 2")
                       .sendSplit(reply, {20}, 300)
                       .expect("QUIT")
                       .send(Pop3Reply::ok())
                       .expectClientClose());
    QVERIFY(peer.listen());

    RunRig rig;
    rig.addAccount("bob", "pw", peer.port());
    rig.addAccount("eve", "pw2", peer.port()); // never reached
    // Cancel as soon as the first mail is listed, while the second arrives.
    QObject::connect(&rig.mails, &QAbstractItemModel::rowsInserted, rig.runs.get(),
                     [&] { rig.runs->requestCancel(); });
    QVERIFY(rig.run());
    QVERIFY_PEER_DONE(peer, 5000);
    QCOMPARE(rig.mails.itemCount(), 0);
    QCOMPARE(rig.logLines().mid(rig.logLines().size() - 3),
             QStringList({"+OK", closedLine, "..Process Halted: Operation Canceled"}));
    QCOMPARE(rig.prompter.texts(), QStringList{"Process Halted: Operation Canceled"});
    QCOMPARE(rig.prompter.shown().first().title, QStringLiteral("Quorvamel"));
    QVERIFY(rig.runs->log().status().endsWith("..Process Halted: Operation Canceled"));
    QVERIFY(!rig.runs->cancelRequested());
    QCOMPARE(peer.connectionCount(), 1);
}

void TestSessionPeer::closeWaitsAtLeastItsFixedTime()
{
    // With the real waits: 200 ms for every close (also of a socket that is
    // already closed) and 500 ms before each connect.
    RunRig rig(-1);
    rig.runs.reset(new RunCoordinator(rig.settings, rig.accounts, rig.mails, rig.prompter,
                                      rig.connectivity, rig.ticks));
    QElapsedTimer clock;
    clock.start();
    rig.runs->closeConnection();
    QVERIFY2(clock.elapsed() >= 195, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(rig.logLines(), QStringList{closedLine});

    rig.addAccount("bob", "pw", "127.0.0.1", "0");
    clock.restart();
    QVERIFY(rig.run());
    // 200 (close before connect) + 500 (pause) + 200 (close after failure).
    QVERIFY2(clock.elapsed() >= 880, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(TestSessionPeer)
#include "test_session_peer.moc"
