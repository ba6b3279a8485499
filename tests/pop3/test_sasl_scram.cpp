// SCRAM-SHA-256 against a reference server computed from RFC 5802's
// formulas with Qt's own HMAC and PBKDF2 (the reference is itself checked
// against RFC 7677's example exchange), so the client is judged by an
// implementation it shares nothing with. A server whose final signature is
// wrong must never be accepted.
#include "pop3/sasl_scram.h"
#include "support/servers_scram_reference.h"

#include <QTest>

namespace {

QByteArray unbase64(const QByteArray& line)
{
    return QByteArray::fromBase64(line);
}

} // namespace

class TestSaslScram : public QObject
{
    Q_OBJECT
private slots:
    void referenceMatchesRfc7677();
    void exchangeWithHonestServer();
    void badServerFinal_data();
    void badServerFinal();
    void badServerFirst_data();
    void badServerFirst();
    void stepWithoutExchange();
    void userNameIsEscaped();
    void opening_data();
    void opening();
    void continuation_data();
    void continuation();
};

void TestSaslScram::referenceMatchesRfc7677()
{
    ReferenceServer server;
    QCOMPARE(server.first("n,,n=user,r=rOprNGfwEbeRWgbNEkqO"),
             QByteArray("r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0,"
                        "s=W22ZaJ0SNY7soEsUEjb6gQ==,i=4096"));
    server.prove("c=biws,r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0");
    QCOMPARE(server.expectedProof, QByteArray("dHzbZapWIk4jUhN+Ute9ytag9zjfMHgsqmmiz7AndVQ="));
    QCOMPARE(server.serverSignature, QByteArray("6rriTRBi23WpRR/wtup+mMhUZUn/dB5nLTJRsjl95G4="));
}

// Runs start and the first step; returns the client-final message.
static QByteArray runToFinal(ScramClient& client, ReferenceServer& server)
{
    const SaslStep first = client.start(QStringLiteral("user"), QStringLiteral("pencil"));
    if (first.verdict != SaslVerdict::Continue)
        return {};
    const SaslStep second = client.step(server.first(unbase64(first.line)).toBase64());
    if (second.verdict != SaslVerdict::Continue)
        return {};
    const QByteArray clientFinal = unbase64(second.line);
    const qsizetype proofAt = clientFinal.indexOf(",p=");
    server.prove(clientFinal.left(proofAt));
    return clientFinal;
}

void TestSaslScram::exchangeWithHonestServer()
{
    ScramClient client;
    ReferenceServer server;
    const SaslStep first = client.start(QStringLiteral("user"), QStringLiteral("pencil"));
    QCOMPARE(first.verdict, SaslVerdict::Continue);
    const QByteArray clientFirst = unbase64(first.line);
    QVERIFY2(clientFirst.startsWith("n,,n=user,r="), clientFirst.constData());
    QVERIFY(clientFirst.size() > QByteArray("n,,n=user,r=").size() + 15); // a real nonce

    const SaslStep second = client.step(server.first(clientFirst).toBase64());
    QCOMPARE(second.verdict, SaslVerdict::Continue);
    const QByteArray clientFinal = unbase64(second.line);
    server.prove(clientFinal.left(clientFinal.indexOf(",p=")));
    QVERIFY2(clientFinal.startsWith("c=biws,r=" + clientFirst.mid(12) + server.serverNonce),
             clientFinal.constData());
    QCOMPARE(clientFinal.mid(clientFinal.indexOf(",p=") + 3), server.expectedProof);
    QVERIFY(!client.isServerVerified());

    const SaslStep done = client.step(("v=" + server.serverSignature).toBase64());
    QCOMPARE(done.verdict, SaslVerdict::Done);
    QCOMPARE(done.line, QByteArray()); // answered with an empty line
    QVERIFY(client.isServerVerified());

    // A second exchange on the same client starts clean with a fresh nonce.
    const SaslStep again = client.start(QStringLiteral("user"), QStringLiteral("pencil"));
    QCOMPARE(again.verdict, SaslVerdict::Continue);
    QVERIFY(!client.isServerVerified());
    QVERIFY(unbase64(again.line) != clientFirst);
}

void TestSaslScram::badServerFinal_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QString>("reasonPart");
    QTest::newRow("one bit of the signature") << QByteArray("flip") << QStringLiteral("signature");
    QTest::newRow("signed with another password")
        << QByteArray("otherPassword") << QStringLiteral("signature");
    QTest::newRow("server error attribute")
        << QByteArray("error") << QStringLiteral("refused the sign-in: invalid-proof");
    QTest::newRow("not base64") << QByteArray("garbage") << QStringLiteral("not base64");
    QTest::newRow("empty") << QByteArray("empty") << QStringLiteral("not base64");
    QTest::newRow("no v attribute") << QByteArray("noV") << QStringLiteral("SCRAM-SHA-256 failed");
}

void TestSaslScram::badServerFinal()
{
    QFETCH(QByteArray, kind);
    QFETCH(QString, reasonPart);
    ScramClient client;
    ReferenceServer server;
    QVERIFY(!runToFinal(client, server).isEmpty());
    QByteArray payload;
    if (kind == "flip") {
        QByteArray raw = QByteArray::fromBase64(server.serverSignature);
        raw[5] = char(raw[5] ^ 0x01);
        payload = ("v=" + raw.toBase64()).toBase64();
    } else if (kind == "otherPassword") {
        ReferenceServer impostor = server;
        impostor.password = "pencil2";
        const QByteArray finalNoProof = "c=biws,r=" + server.serverFirst.mid(2).split(',').at(0);
        impostor.prove(finalNoProof);
        QVERIFY(impostor.serverSignature != server.serverSignature);
        payload = ("v=" + impostor.serverSignature).toBase64();
    } else if (kind == "error") {
        payload = QByteArray("e=invalid-proof").toBase64();
    } else if (kind == "garbage") {
        payload = "v=!!not*base64";
    } else if (kind == "noV") {
        payload = QByteArray("x=abc").toBase64();
    }
    const SaslStep verdict = client.step(payload);
    QCOMPARE(verdict.verdict, SaslVerdict::Failed);
    QCOMPARE(verdict.line, QByteArray("*"));
    QVERIFY2(verdict.reason.contains(reasonPart), qPrintable(verdict.reason));
    QVERIFY(!verdict.reason.contains(QStringLiteral("pencil")));
    QVERIFY(!client.isServerVerified());
    // Nothing more is accepted after a failure, not even the right signature.
    QCOMPARE(client.step(("v=" + server.serverSignature).toBase64()).verdict, SaslVerdict::Failed);
    QVERIFY(!client.isServerVerified());
}

void TestSaslScram::badServerFirst_data()
{
    QTest::addColumn<QByteArray>("serverFirst");
    // The client's nonce must open the server's; a foreign one is a replay.
    QTest::newRow("foreign nonce")
        << QByteArray("r=abcdefghijklmnopqrstuvwx,s=W22ZaJ0SNY7soEsUEjb6gQ==,i=4096");
    QTest::newRow("no salt") << QByteArray("r=NONCEtail,i=4096");
    QTest::newRow("zero iterations") << QByteArray("r=NONCEtail,s=W22ZaJ0SNY7soEsUEjb6gQ==,i=0");
    QTest::newRow("final where first belongs")
        << QByteArray("v=6rriTRBi23WpRR/wtup+mMhUZUn/dB5nLTJRsjl95G4=");
}

void TestSaslScram::badServerFirst()
{
    QFETCH(QByteArray, serverFirst);
    ScramClient client;
    const SaslStep first = client.start(QStringLiteral("user"), QStringLiteral("pencil"));
    QCOMPARE(first.verdict, SaslVerdict::Continue);
    const QByteArray clientFirst = unbase64(first.line);
    const QByteArray nonce = clientFirst.mid(clientFirst.indexOf(",r=") + 3);
    serverFirst.replace("NONCE", nonce);
    const SaslStep verdict = client.step(serverFirst.toBase64());
    QCOMPARE(verdict.verdict, SaslVerdict::Failed);
    QCOMPARE(verdict.line, QByteArray("*"));
    QVERIFY(!verdict.reason.isEmpty());
    QVERIFY(!client.isServerVerified());
}

void TestSaslScram::stepWithoutExchange()
{
    ScramClient client;
    const SaslStep verdict = client.step(QByteArray("r=abc,s=abc,i=1").toBase64());
    QCOMPARE(verdict.verdict, SaslVerdict::Failed);
    QVERIFY(!verdict.reason.isEmpty());
}

void TestSaslScram::userNameIsEscaped()
{
    // "," and "=" would break the attribute list; RFC 5802 escapes them.
    ScramClient client;
    const SaslStep first = client.start(QStringLiteral("a,b=c"), QStringLiteral("pw"));
    QCOMPARE(first.verdict, SaslVerdict::Continue);
    QVERIFY2(unbase64(first.line).startsWith("n,,n=a=2Cb=3Dc,r="),
             unbase64(first.line).constData());
}

void TestSaslScram::opening_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("waits");
    QTest::newRow("short") << QByteArray("biwsbj11") << QByteArray("AUTH SCRAM-SHA-256 biwsbj11")
                           << false;
    QTest::newRow("empty") << QByteArray() << QByteArray("AUTH SCRAM-SHA-256 =") << false;
    // 18 + 1 + 234 + CR LF = 255 octets: still fits.
    QTest::newRow("fits exactly") << QByteArray(234, 'A')
                                  << QByteArray("AUTH SCRAM-SHA-256 " + QByteArray(234, 'A'))
                                  << false;
    QTest::newRow("one too long") << QByteArray(235, 'A') << QByteArray("AUTH SCRAM-SHA-256")
                                  << true;
}

void TestSaslScram::opening()
{
    QFETCH(QByteArray, response);
    QFETCH(QByteArray, command);
    QFETCH(bool, waits);
    const SaslOpening opening = saslOpening(ScramClient::mechanism(), response);
    QCOMPARE(opening.command, command);
    QCOMPARE(opening.afterContinuation.has_value(), waits);
    if (waits)
        QCOMPARE(*opening.afterContinuation, response);
}

void TestSaslScram::continuation_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("isContinuation");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("payload") << QByteArray("+ cj1hYmM=") << true << QByteArray("cj1hYmM=");
    QTest::newRow("bare plus") << QByteArray("+") << true << QByteArray();
    QTest::newRow("plus space") << QByteArray("+ ") << true << QByteArray();
    QTest::newRow("ok reply") << QByteArray("+OK Logged in.") << false << QByteArray();
    QTest::newRow("error reply") << QByteArray("-ERR [AUTH] Authentication failed.") << false
                                 << QByteArray();
}

void TestSaslScram::continuation()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, isContinuation);
    QFETCH(QByteArray, payload);
    const auto got = saslContinuationPayload(line);
    QCOMPARE(got.has_value(), isContinuation);
    if (got)
        QCOMPARE(*got, payload);
}

QTEST_GUILESS_MAIN(TestSaslScram)
#include "test_sasl_scram.moc"
