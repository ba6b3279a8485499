// Self-check of the scripted POP3 peer: the other tests trust it to catch
// a client that strays from the script, to deliver replies in the arrivals
// it was told to, to keep a hostile endless reply within bounds, to play an
// old server to a CAPA the script does not expect, and to present its
// certificates to a client that, like the product, uses the default TLS
// configuration and so trusts what the system trust store trusts.
#include "support/servers_pop3_peer.h"
#include "support/servers_tls_cert.h"

#include <QSignalSpy>
#include <QSslCertificateExtension>
#include <QSslSocket>
#include <QTest>
#include <algorithm>

namespace {

// The peer lives in this thread, so the client may only wait by running
// the event loop, never with the blocking waitFor* calls.
bool connectTo(QSslSocket& socket, const ScriptedPop3Peer& peer)
{
    socket.connectToHost(QHostAddress::LocalHost, peer.port());
    return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 3000);
}

// Waits for the handshake to end either way; the errors that ended it, if any.
QList<QSslError::SslError> waitForHandshake(QSslSocket& socket)
{
    QList<QSslError::SslError> errors;
    QObject listening; // ends the connection with this function
    QObject::connect(&socket, &QSslSocket::sslErrors, &listening,
                     [&](const QList<QSslError>& list) {
                         for (const QSslError& error : list)
                             errors.append(error.error());
                     });
    (void)QTest::qWaitFor(
        [&] { return socket.isEncrypted() || socket.state() == QAbstractSocket::UnconnectedState; },
        5000);
    return errors;
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
    void unexpectedCapaIsRefusedAndScriptGoesOn_data();
    void unexpectedCapaIsRefusedAndScriptGoesOn();
    void testCaIsInSystemStoreAndConfinedToLoopback();
    void tlsPeerCertificateVerdicts_data();
    void tlsPeerCertificateVerdicts();
    void startTlsUpgradesPlainConnection_data();
    void startTlsUpgradesPlainConnection();
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
    // Only a CAPA in place of an expected command is answered by the peer.
    QTest::newRow("CAPA where the client must close")
        << QByteArray("USER bob\r\nCAPA\r\n") << false << "expected the client to close, got: CAPA";
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
    QVERIFY(connectTo(client, peer));
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
    QVERIFY(connectTo(client, peer));
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
    QVERIFY(connectTo(client, peer));
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
    QVERIFY(connectTo(client, peer));
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
        QVERIFY(connectTo(client, peer));
        QCOMPARE(readUntil(client, "\r\n"), expected);
        QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
    }
    QVERIFY_PEER_DONE(peer, 1000);
    QSslSocket third;
    QVERIFY(connectTo(third, peer));
    QTRY_VERIFY(peer.failures().join('\n').contains("connection 3 has no script"));
}

void TestRigPeer::unexpectedCapaIsRefusedAndScriptGoesOn_data()
{
    QTest::addColumn<Pop3Script>("script");
    QTest::addColumn<QByteArray>("capaReply");
    QTest::newRow("exact command expected")
        << Pop3Script().send(Pop3Reply::greeting()).expect("USER bob").send(Pop3Reply::ok())
        << QByteArray("-ERR unknown command\r\n");
    QTest::newRow("pattern expected") << Pop3Script()
                                             .send(Pop3Reply::greeting())
                                             .expectMatch("^USER [a-z]+$")
                                             .send(Pop3Reply::ok())
                                      << QByteArray("-ERR unknown command\r\n");
    QTest::newRow("scripted CAPA") << Pop3Script()
                                          .send(Pop3Reply::greeting())
                                          .expect("CAPA")
                                          .send(Pop3Reply::multiLine({"STLS", "UTF8", "USER"}))
                                          .expect("USER bob")
                                          .send(Pop3Reply::ok())
                                   << QByteArray("+OK\r\nSTLS\r\nUTF8\r\nUSER\r\n.\r\n");
}

void TestRigPeer::unexpectedCapaIsRefusedAndScriptGoesOn()
{
    QFETCH(Pop3Script, script);
    QFETCH(QByteArray, capaReply);

    ScriptedPop3Peer peer;
    peer.addScript(script.expect("QUIT").send(Pop3Reply::ok("bye")).expectClientClose());
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));
    QSslSocket client;
    QVERIFY(connectTo(client, peer));
    QVERIFY(readUntil(client, "\r\n").startsWith("+OK POP3 server ready"));
    client.write("CAPA\r\n");
    QCOMPARE(readUntil(client, capaReply), capaReply);
    client.write("USER bob\r\n");
    QCOMPARE(readUntil(client, "\r\n"), QByteArray("+OK\r\n"));
    client.write("QUIT\r\n");
    QCOMPARE(readUntil(client, "\r\n"), QByteArray("+OK bye\r\n"));
    client.disconnectFromHost();
    QVERIFY_PEER_DONE(peer, 2000);
    QCOMPARE(peer.commands(), QStringList({"CAPA", "USER bob", "QUIT"}));
    const QStringList transcript = peer.transcript();
    const qsizetype capa = transcript.indexOf("C: CAPA");
    QVERIFY2(capa >= 0, qPrintable(peer.report()));
    QCOMPARE(transcript.value(capa + 1),
             QStringLiteral("S: ") + QString::fromLatin1(capaReply.left(capaReply.indexOf('\r'))));
}

void TestRigPeer::testCaIsInSystemStoreAndConfinedToLoopback()
{
    const QSslCertificate ca = testCaCertificate();
    QVERIFY2(!ca.isNull(), qPrintable(testCertificate(TestCertificate::Trusted).error));
    QVERIFY(QSslConfiguration::systemCaCertificates().contains(ca));
    // A leaked key must not vouch for any real host.
    const QList<QSslCertificateExtension> extensions = ca.extensions();
    const auto constraints =
        std::find_if(extensions.begin(), extensions.end(), [](const QSslCertificateExtension& e) {
            return e.oid() == QLatin1String("2.5.29.30");
        });
    QVERIFY(constraints != extensions.end());
    QVERIFY(constraints->isCritical());
    QStringList subtrees =
        constraints->value().toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& line : subtrees)
        line = line.trimmed();
    QCOMPARE(subtrees, QStringList({"Permitted:", "DNS:localhost", "IP:127.0.0.0/255.0.0.0"}));
}

void TestRigPeer::tlsPeerCertificateVerdicts_data()
{
    QTest::addColumn<TestCertificate>("certificate");
    QTest::addColumn<QList<QSslError::SslError>>("errors");
    for (const CertificateVerdict& v : certificateVerdicts())
        QTest::newRow(v.name) << v.certificate << v.errors;
}

void TestRigPeer::tlsPeerCertificateVerdicts()
{
    QFETCH(TestCertificate, certificate);
    QFETCH(QList<QSslError::SslError>, errors);
    const bool trusted = errors.isEmpty();

    ScriptedPop3Peer peer(ScriptedPop3Peer::Transport::Tls);
    peer.setCertificate(certificate);
    if (trusted)
        peer.addScript(
            Pop3Script().send(Pop3Reply::ok("secure")).expect("QUIT").expectClientClose());
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));

    QSslSocket client; // the default configuration: the system trust store
    client.connectToHostEncrypted(QStringLiteral("localhost"), peer.port());
    const QList<QSslError::SslError> seen = waitForHandshake(client);
    QVERIFY2(seen == errors, qPrintable(describeSslErrors(seen)));
    QCOMPARE(client.isEncrypted(), trusted);
    if (trusted) {
        QCOMPARE(readUntil(client, "\r\n"), QByteArray("+OK secure\r\n"));
        client.write("QUIT\r\n");
        client.disconnectFromHost();
        QVERIFY_PEER_DONE(peer, 2000);
        QCOMPARE(peer.tlsHandshakeFailures(), 0);
    } else {
        QTRY_COMPARE(peer.tlsHandshakeFailures(), 1);
        QCOMPARE(peer.connectionCount(), 0);
    }
}

void TestRigPeer::startTlsUpgradesPlainConnection_data()
{
    QTest::addColumn<TestCertificate>("certificate");
    QTest::addColumn<Pop3Script>("script");
    QTest::addColumn<QString>("failure"); // empty: the script reaches its end

    const auto upToTls = [] {
        return Pop3Script()
            .send(Pop3Reply::greeting())
            .expect("STLS")
            .send(Pop3Reply::ok("Begin TLS"))
            .startTls();
    };
    QTest::newRow("trusted: the script goes on encrypted")
        << TestCertificate::Trusted
        << upToTls().expect("QUIT").send(Pop3Reply::ok("bye")).expectClientClose() << QString();
    QTest::newRow("expired: the refused handshake ends the script")
        << TestCertificate::Expired << upToTls().expectClientClose() << QString();
    QTest::newRow("expired: a command owed after the handshake is missed")
        << TestCertificate::Expired << upToTls().expect("QUIT")
        << QStringLiteral("the connection closed while the script expected \"QUIT\"");
}

void TestRigPeer::startTlsUpgradesPlainConnection()
{
    QFETCH(TestCertificate, certificate);
    QFETCH(Pop3Script, script);
    QFETCH(QString, failure);
    const bool trusted = certificate == TestCertificate::Trusted;

    ScriptedPop3Peer peer;
    peer.setCertificate(certificate);
    peer.addScript(script);
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));
    QSslSocket client;
    client.connectToHost(QStringLiteral("localhost"), peer.port());
    QVERIFY(readUntil(client, "\r\n").startsWith("+OK POP3 server ready"));
    QVERIFY(!client.isEncrypted());
    client.write("STLS\r\n");
    QCOMPARE(readUntil(client, "\r\n"), QByteArray("+OK Begin TLS\r\n"));
    client.startClientEncryption();
    const QList<QSslError::SslError> errors = waitForHandshake(client);
    const QList<QSslError::SslError> expected =
        trusted ? QList<QSslError::SslError>() : QList{QSslError::CertificateExpired};
    QVERIFY2(errors == expected, qPrintable(describeSslErrors(errors)));
    QCOMPARE(client.isEncrypted(), trusted);
    if (trusted) {
        client.write("QUIT\r\n");
        QCOMPARE(readUntil(client, "\r\n"), QByteArray("+OK bye\r\n"));
        client.disconnectFromHost();
    }
    if (failure.isEmpty()) {
        QVERIFY_PEER_DONE(peer, 2000);
    } else {
        QVERIFY(!peer.waitUntilDone(2000));
        QVERIFY2(peer.failures().join('\n').contains(failure), qPrintable(peer.report()));
    }
    QCOMPARE(peer.tlsHandshakeFailures(), trusted ? 0 : 1);
    QCOMPARE(peer.transcript().contains("-- connection 1: TLS established"), trusted);
    QCOMPARE(peer.commands(), trusted ? QStringList({"STLS", "QUIT"}) : QStringList({"STLS"}));
}

QTEST_GUILESS_MAIN(TestRigPeer)
#include "test_rig_peer.moc"
