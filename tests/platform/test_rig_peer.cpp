// Self-check of the scripted POP3 peer: the other tests trust it to catch
// a client that strays from the script, to deliver replies in the arrivals
// it was told to, and to keep a hostile endless reply within bounds.
#include "support/servers_pop3_peer.h"

#include <QSignalSpy>
#include <QSslSocket>
#include <QTest>

namespace {

// The peer lives in this thread, so the client may only wait by running
// the event loop, never with the blocking waitFor* calls.
bool connectTo(QSslSocket& socket, const ScriptedPop3Peer& peer, bool tls)
{
    if (!tls) {
        socket.connectToHost(QHostAddress::LocalHost, peer.port());
        return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; },
                               3000);
    }
    socket.connectToHostEncrypted(QStringLiteral("localhost"), peer.port());
    return QTest::qWaitFor(
               [&] {
                   return socket.isEncrypted() ||
                          socket.state() == QAbstractSocket::UnconnectedState;
               },
               5000) &&
           socket.isEncrypted();
}

QByteArray readUntil(QSslSocket& socket, const QByteArray& end, int timeoutMs = 3000)
{
    QByteArray data;
    (void)QTest::qWaitFor(
        [&] {
            data += socket.readAll();
            return data.endsWith(end);
        },
        timeoutMs);
    return data;
}

} // namespace

class TestRigPeer : public QObject
{
    Q_OBJECT
private slots:
    void straysAreFailures_data();
    void straysAreFailures();
    void followedScriptPasses();
    void chunksArriveSeparately();
    void endlessReplyIsBoundedBySlowReader();
    void scriptsGoToConnectionsInOrder();
    void tlsPeerTrustsOnlyItsCertificate();
};

void TestRigPeer::straysAreFailures_data()
{
    QTest::addColumn<QByteArray>("clientBytes");
    QTest::addColumn<bool>("clientCloses");
    QTest::addColumn<QString>("failure");

    // The script: greeting, USER bob, +OK, then the client must close.
    QTest::newRow("wrong command") << QByteArray("USER eve\r\n") << false << "got \"USER eve\"";
    QTest::newRow("bare LF") << QByteArray("USER bob\n") << true << "not ended by CR LF";
    QTest::newRow("extra command")
        << QByteArray("USER bob\r\nQUIT\r\n") << false << "expected the client to close, got: QUIT";
    QTest::newRow("closes too early") << QByteArray() << true << "while the script expected";
}

void TestRigPeer::straysAreFailures()
{
    QFETCH(QByteArray, clientBytes);
    QFETCH(bool, clientCloses);
    QFETCH(QString, failure);

    ScriptedPop3Peer peer;
    peer.addScript(Pop3Script()
                       .send(Pop3Reply::greeting())
                       .expect("USER bob")
                       .send(Pop3Reply::ok())
                       .expectClientClose());
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));
    QSslSocket client;
    QVERIFY(connectTo(client, peer, false));
    QVERIFY(readUntil(client, "\r\n").startsWith("+OK"));
    client.write(clientBytes);
    client.flush();
    if (clientCloses) {
        QTest::qWait(50);
        client.disconnectFromHost();
    }
    QVERIFY(!peer.waitUntilDone(2000));
    QVERIFY2(peer.failures().join('\n').contains(failure), qPrintable(peer.report()));
    QVERIFY(peer.report().contains(QStringLiteral("transcript:")));
}

void TestRigPeer::followedScriptPasses()
{
    ScriptedPop3Peer peer;
    peer.addScript(Pop3Script()
                       .send(Pop3Reply::greeting())
                       .expectMatch("^APOP bob [0-9a-f]{32}$")
                       .send(Pop3Reply::ok("2 messages"))
                       .expect("QUIT")
                       .send(Pop3Reply::ok("bye"))
                       .expectClientClose());
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));
    QSslSocket client;
    QVERIFY(connectTo(client, peer, false));
    QCOMPARE(readUntil(client, "\r\n"),
             QByteArray("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n"));
    client.write("APOP bob c4c9334bac560ecc979e58001b3e22fb\r\n");
    QCOMPARE(readUntil(client, "\r\n"), QByteArray("+OK 2 messages\r\n"));
    QVERIFY(!peer.isDone()); // the close is still owed
    client.write("QUIT\r\n");
    QCOMPARE(readUntil(client, "\r\n"), QByteArray("+OK bye\r\n"));
    client.disconnectFromHost();
    QVERIFY_PEER_DONE(peer, 2000);
    QCOMPARE(peer.commands(), QStringList({"APOP bob c4c9334bac560ecc979e58001b3e22fb", "QUIT"}));
    QVERIFY(peer.transcript().contains("S: +OK bye"));
}

void TestRigPeer::chunksArriveSeparately()
{
    // A TOP reply whose closing line is split between arrivals, one with a
    // dot-stuffed line.
    const QByteArray reply = Pop3Reply::top({"From: a@b", "Subject: s"}, {".dot", "x"});
    QCOMPARE(reply, QByteArray("+OK\r\nFrom: a@b\r\nSubject: s\r\n\r\n..dot\r\nx\r\n.\r\n"));
    ScriptedPop3Peer peer;
    peer.addScript(Pop3Script().sendSplit(reply, {10, int(reply.size()) - 2}, 80));
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));
    QSslSocket client;
    QVERIFY(connectTo(client, peer, false));
    QList<QByteArray> arrivals;
    connect(&client, &QIODevice::readyRead, [&] { arrivals.append(client.readAll()); });
    (void)QTest::qWaitFor([&] { return arrivals.join() == reply; }, 3000);
    QCOMPARE(arrivals, QList<QByteArray>(
                           {reply.left(10), reply.mid(10, reply.size() - 12), QByteArray("\r\n")}));
    QVERIFY_PEER_DONE(peer, 1000);
}

void TestRigPeer::endlessReplyIsBoundedBySlowReader()
{
    ScriptedPop3Peer peer;
    peer.addScript(Pop3Script().endless("+OK\r\n", QByteArray(1000, 'x') + "\r\n"));
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));
    QSslSocket client;
    client.setReadBufferSize(64 * 1024);
    QVERIFY(connectTo(client, peer, false));
    // Not reading: the peer must stop queueing at its backlog limit.
    QTest::qWait(600);
    const qint64 stalled = peer.endlessBytesSent();
    QVERIFY2(stalled < 8 << 20, qPrintable(QString::number(stalled)));
    QTest::qWait(200);
    QVERIFY(peer.endlessBytesSent() - stalled < 256 * 1024);
    // Reading: the stream goes on.
    qint64 read = 0;
    (void)QTest::qWaitFor(
        [&] {
            read += client.readAll().size();
            return read >= 4 << 20;
        },
        3000);
    QVERIFY2(read >= 4 << 20, qPrintable(QString::number(read)));
    client.abort();
    QTRY_COMPARE(peer.openConnectionCount(), 0);
    QVERIFY(peer.failures().isEmpty());
}

void TestRigPeer::scriptsGoToConnectionsInOrder()
{
    ScriptedPop3Peer peer;
    peer.addScript(Pop3Script().send(Pop3Reply::ok("first")).close());
    peer.addScript(Pop3Script().send(Pop3Reply::err("second")).close());
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));
    for (const QByteArray expected : {"+OK first\r\n", "-ERR second\r\n"}) {
        QSslSocket client;
        QVERIFY(connectTo(client, peer, false));
        QCOMPARE(readUntil(client, "\r\n"), expected);
        QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
    }
    QVERIFY_PEER_DONE(peer, 1000);
    QSslSocket third;
    QVERIFY(connectTo(third, peer, false));
    QTRY_VERIFY(peer.failures().join('\n').contains("connection 3 has no script"));
}

void TestRigPeer::tlsPeerTrustsOnlyItsCertificate()
{
    ScriptedPop3Peer peer(ScriptedPop3Peer::Transport::Tls);
    peer.addScript(Pop3Script().send(Pop3Reply::ok("secure")).expect("QUIT"));
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));
    QVERIFY(!peer.caCertificate().isNull());

    QSslSocket untrusting;
    QVERIFY(!connectTo(untrusting, peer, true));
    QTRY_COMPARE(peer.tlsHandshakeFailures(), 1);
    QCOMPARE(peer.connectionCount(), 0);

    QSslSocket client;
    QSslConfiguration config = client.sslConfiguration();
    config.addCaCertificate(peer.caCertificate());
    client.setSslConfiguration(config);
    QVERIFY2(connectTo(client, peer, true), qPrintable(client.errorString()));
    QCOMPARE(readUntil(client, "\r\n"), QByteArray("+OK secure\r\n"));
    client.write("QUIT\r\n");
    QVERIFY_PEER_DONE(peer, 2000);
}

QTEST_GUILESS_MAIN(TestRigPeer)
#include "test_rig_peer.moc"
