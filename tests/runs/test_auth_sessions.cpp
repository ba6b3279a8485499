// Sign-in with AUTH against the scripted peer, whole sessions through the
// driver: SCRAM-SHA-256 with a reference server that checks the client's
// proof, OAUTHBEARER and XOAUTH2 chosen from CAPA, and every way such a
// sign-in must end instead of falling back to USER/PASS or sending the
// secret where it should not go. Each script lists every command the
// client may send, in order: one more, or one less, fails the peer.
#include "auth_rig.h"
#include "session_script.h"
#include "support/servers_pop3_peer.h"
#include "support/servers_scram_reference.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <memory>

Q_DECLARE_METATYPE(Pop3Script)
Q_DECLARE_METATYPE(SignInMethod)

namespace {

const QString secured = QStringLiteral("..Secured: TLS 1.3");
const QString token = QStringLiteral("ya29.tok-EN_value~42");
const QString base64Line = QStringLiteral("^[A-Za-z0-9+/=]+$");

// Greeting, STLS, and CAPA again inside TLS listing these capabilities.
Pop3Script upgraded(const QList<QByteArray>& capabilitiesInTls)
{
    return Pop3Script()
        .send(Pop3Reply::greeting())
        .expect("CAPA")
        .send(Pop3Reply::multiLine({"TOP", "STLS", "USER", "SASL PLAIN"}))
        .expect("STLS")
        .send(Pop3Reply::ok("Begin TLS"))
        .startTls()
        .expect("CAPA")
        .send(Pop3Reply::multiLine(capabilitiesInTls));
}

// What follows a sign-in: one message listed, QUIT answered.
Pop3Script& listOneMessage(Pop3Script& script)
{
    return script.expect("STAT")
        .send(Pop3Reply::stat(1, 300))
        .expect("TOP 1 2")
        .send(Pop3Reply::top(
            Pop3Reply::headers("a@x.org", "Inside TLS", "Mon, 3 Jun 2024 10:00:00 +0000")))
        .expect("QUIT")
        .send(Pop3Reply::ok("bye"))
        .expectClientClose();
}

QStringList listedLog(const QString& signedIn)
{
    return {signedIn, QStringLiteral("..Checking For Mail"), QStringLiteral("+OK bye"), closedLine};
}

enum class ServerFinal { Honest, WrongSignature, OkWithoutProof };

// AUTH SCRAM-SHA-256 up to the server's answer to the client-final
// message. A client proof that does not match the password is refused
// with "-ERR wrong proof", which no expected log shows.
Pop3Script& scramExchange(Pop3Script& script, ServerFinal final)
{
    auto server = std::make_shared<ReferenceServer>();
    script.answer("^AUTH SCRAM-SHA-256 [A-Za-z0-9+/=]+$", [server](const QString& line) {
        const QByteArray first = QByteArray::fromBase64(line.section(' ', 2).toLatin1());
        return "+ " + server->first(first).toBase64() + "\r\n";
    });
    script.answer(base64Line, [server, final](const QString& line) {
        const QByteArray clientFinal = QByteArray::fromBase64(line.toLatin1());
        const qsizetype proofAt = clientFinal.indexOf(",p=");
        server->prove(clientFinal.left(proofAt));
        if (proofAt < 0 || clientFinal.mid(proofAt + 3) != server->expectedProof)
            return Pop3Reply::err("wrong proof");
        if (final == ServerFinal::OkWithoutProof)
            return Pop3Reply::ok("Logged in.");
        QByteArray signature = QByteArray::fromBase64(server->serverSignature);
        if (final == ServerFinal::WrongSignature)
            signature[0] = char(signature[0] ^ 0x20);
        return "+ " + ("v=" + signature.toBase64()).toBase64() + "\r\n";
    });
    return script;
}

QByteArray challenge()
{
    const QJsonObject json{{"status", "invalid_token"},
                           {"scope", "https://mail.example.org/pop"},
                           {"openid-configuration", "https://id.example.org/.well-known/oc"}};
    return "+ " + QJsonDocument(json).toJson(QJsonDocument::Compact).toBase64() + "\r\n";
}

const QString challengeLine =
    QStringLiteral("AUTH Logon Error - the server refused the access token: invalid_token; "
                   "scope needed: https://mail.example.org/pop; sign-in details: "
                   "https://id.example.org/.well-known/oc");

// Checks an OAUTHBEARER initial response for user bob: the GS2 header,
// the host and port the client connected to, and the bearer token.
std::function<QByteArray(const QString&)> bearerChecked(const QString& bearer,
                                                        const QByteArray& reply)
{
    return [bearer, reply](const QString& line) {
        const QByteArray message = QByteArray::fromBase64(line.section(' ', -1).toLatin1());
        const bool good = message.startsWith("n,a=bob,\x01host=localhost\x01port=") &&
                          message.endsWith("\x01"
                                           "auth=Bearer " +
                                           bearer.toLatin1() + "\x01\x01");
        return good ? reply : Pop3Reply::err("malformed response");
    };
}

QString xoauth2Line(const QString& bearer)
{
    return QStringLiteral("AUTH XOAUTH2 ") + QString::fromLatin1(("user=bob\x01"
                                                                  "auth=Bearer " +
                                                                  bearer.toLatin1() + "\x01\x01")
                                                                     .toBase64());
}

} // namespace

class TestAuthSessions : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sessions_data();
    void sessions();
};

void TestAuthSessions::initTestCase()
{
    QVERIFY2(testCertificate(TestCertificate::Trusted).isValid(),
             qPrintable(testCertificate(TestCertificate::Trusted).error));
}

void TestAuthSessions::sessions_data()
{
    QTest::addColumn<SignInMethod>("method");
    QTest::addColumn<QString>("secret");
    QTest::addColumn<bool>("deleting"); // a delete run's session
    QTest::addColumn<Pop3Script>("script");
    QTest::addColumn<QStringList>("log"); // after the connect line
    const QStringList tls{greetingText, secured};
    const QString notEncrypted =
        QStringLiteral("AUTH Logon Error - Connection Not Encrypted (No TLS, No STLS): Nothing "
                       "Sent");
    const QString pencil = QStringLiteral("pencil");

    {
        Pop3Script script = upgraded({"SASL PLAIN SCRAM-SHA-256", "USER"});
        scramExchange(script, ServerFinal::Honest).expect("").send(Pop3Reply::ok("Logged in."));
        QTest::newRow("SCRAM signs in and lists the mail")
            << SignInMethod::Scram << pencil << false << listOneMessage(script)
            << tls + listedLog(QStringLiteral("+OK Logged in."));
    }
    {
        Pop3Script script = upgraded({"SASL SCRAM-SHA-256"});
        scramExchange(script, ServerFinal::Honest)
            .expect("")
            .send(Pop3Reply::ok("Logged in."))
            .expect("STAT")
            .send(Pop3Reply::stat(0))
            .expect("QUIT")
            .send(Pop3Reply::ok("bye"))
            .expectClientClose();
        QTest::newRow("SCRAM in a delete run's session")
            << SignInMethod::Scram << pencil << true << script
            << tls + QStringList{"+OK Logged in.", "..Checking For Delete Mail Items On Server",
                                 "+OK bye", closedLine};
    }
    {
        Pop3Script script = upgraded({"SASL SCRAM-SHA-256"});
        scramExchange(script, ServerFinal::WrongSignature)
            .expect("*")
            .send(Pop3Reply::err("Authentication aborted"))
            .expectClientClose();
        QTest::newRow("SCRAM server signature wrong: cancelled")
            << SignInMethod::Scram << pencil << false << script
            << tls + QStringList{"AUTH Logon Error - SCRAM-SHA-256 failed: the server's "
                                 "signature is wrong: it has not proved that it knows the "
                                 "password",
                                 closedLine};
    }
    {
        Pop3Script script = upgraded({"SASL SCRAM-SHA-256"});
        scramExchange(script, ServerFinal::OkWithoutProof).expectClientClose();
        QTest::newRow("SCRAM +OK before the server proved itself")
            << SignInMethod::Scram << pencil << false << script
            << tls + QStringList{"AUTH Logon Error - Server Accepted Without Proving It Knows "
                                 "The Password: +OK Logged in.",
                                 closedLine};
    }
    QTest::newRow("SCRAM -ERR to AUTH")
        << SignInMethod::Scram << pencil << false
        << upgraded({"SASL SCRAM-SHA-256"})
               .expectMatch("^AUTH SCRAM-SHA-256 [A-Za-z0-9+/=]+$")
               .send(Pop3Reply::err("[AUTH] Authentication failed."))
               .expectClientClose()
        << tls + QStringList{"AUTH Logon Error: -ERR [AUTH] Authentication failed.", closedLine};
    QTest::newRow("SCRAM not offered: no USER/PASS either")
        << SignInMethod::Scram << pencil << false
        << upgraded({"USER", "SASL PLAIN LOGIN SCRAM-SHA-1"}).expectClientClose()
        << tls + QStringList{"AUTH Logon Error - Server Does Not Offer SCRAM-SHA-256 (Offered: "
                             "PLAIN LOGIN SCRAM-SHA-1)",
                             closedLine};
    QTest::newRow("CAPA -ERR inside TLS")
        << SignInMethod::Scram << pencil << false
        << Pop3Script()
               .send(Pop3Reply::greeting())
               .expect("CAPA")
               .send(Pop3Reply::multiLine({"STLS", "SASL SCRAM-SHA-256"}))
               .expect("STLS")
               .send(Pop3Reply::ok("Begin TLS"))
               .startTls()
               .expect("CAPA")
               .send(Pop3Reply::err("unknown command"))
               .expectClientClose()
        << tls + QStringList{"AUTH Logon Error - CAPA Refused, Mechanisms Unknown: -ERR unknown "
                             "command",
                             closedLine};
    QTest::newRow("SCRAM on a plain link without STLS: nothing but CAPA")
        << SignInMethod::Scram << pencil << false
        << Pop3Script()
               .send(Pop3Reply::greeting())
               .expect("CAPA")
               .send(Pop3Reply::multiLine({"USER", "SASL SCRAM-SHA-256"}))
               .expectClientClose()
        << QStringList{greetingText, notEncrypted, closedLine};
    QTest::newRow("OAuth2 on a plain link whose CAPA is -ERR")
        << SignInMethod::OAuth2 << token << false
        << Pop3Script()
               .send(Pop3Reply::greeting())
               .expect("CAPA")
               .send(Pop3Reply::err("unknown command"))
               .expectClientClose()
        << QStringList{greetingText, notEncrypted, closedLine};
    {
        Pop3Script script = upgraded({"SASL XOAUTH2 PLAIN OAUTHBEARER"})
                                .answer("^AUTH OAUTHBEARER [A-Za-z0-9+/=]+$",
                                        bearerChecked(token, Pop3Reply::ok("Logged in.")));
        QTest::newRow("OAUTHBEARER preferred when both are listed")
            << SignInMethod::OAuth2 << token << false << listOneMessage(script)
            << tls + listedLog(QStringLiteral("+OK Logged in."));
    }
    {
        Pop3Script script = upgraded({"SASL PLAIN XOAUTH2"})
                                .expect(xoauth2Line(token))
                                .send(Pop3Reply::ok("Logged in."));
        QTest::newRow("XOAUTH2 when only it is listed")
            << SignInMethod::OAuth2 << token << false << listOneMessage(script)
            << tls + listedLog(QStringLiteral("+OK Logged in."));
    }
    {
        // Too long for the AUTH line: the response follows the server's "+".
        const QString longToken = QString(300, QLatin1Char('T'));
        Pop3Script script =
            upgraded({"SASL OAUTHBEARER"})
                .expect("AUTH OAUTHBEARER")
                .send("+ \r\n")
                .answer(base64Line, bearerChecked(longToken, Pop3Reply::ok("Logged in.")));
        QTest::newRow("OAUTHBEARER, long token after the continuation")
            << SignInMethod::OAuth2 << longToken << false << listOneMessage(script)
            << tls + listedLog(QStringLiteral("+OK Logged in."));
    }
    QTest::newRow("OAUTHBEARER error challenge: logged, acknowledged, -ERR")
        << SignInMethod::OAuth2 << token << false
        << upgraded({"SASL OAUTHBEARER XOAUTH2"})
               .answer("^AUTH OAUTHBEARER [A-Za-z0-9+/=]+$", bearerChecked(token, challenge()))
               .expect("AQ==")
               .send(Pop3Reply::err("[AUTH] Authentication failed."))
               .expectClientClose()
        << tls + QStringList{challengeLine, closedLine};
    QTest::newRow("XOAUTH2 error challenge: an empty line acknowledges it")
        << SignInMethod::OAuth2 << token << false
        << upgraded({"SASL XOAUTH2"})
               .expect(xoauth2Line(token))
               .send(challenge())
               .expect("")
               .send(Pop3Reply::err("[AUTH] Authentication failed."))
               .expectClientClose()
        << tls + QStringList{challengeLine, closedLine};
    QTest::newRow("OAuth2 not offered")
        << SignInMethod::OAuth2 << token << false << upgraded({"USER"}).expectClientClose()
        << tls + QStringList{"AUTH Logon Error - Server Does Not Offer OAUTHBEARER Or XOAUTH2 "
                             "(Offered: None)",
                             closedLine};
    {
        Pop3Script script = upgraded({"SASL SCRAM-SHA-256 OAUTHBEARER", "USER"})
                                .expect("USER bob")
                                .send(Pop3Reply::ok())
                                .expect("PASS pw")
                                .send(Pop3Reply::ok("logged in"));
        QTest::newRow("password account keeps USER/PASS beside SASL")
            << SignInMethod::Password << QStringLiteral("pw") << false << listOneMessage(script)
            << tls + listedLog(QStringLiteral("+OK logged in"));
    }
}

void TestAuthSessions::sessions()
{
    QFETCH(SignInMethod, method);
    QFETCH(QString, secret);
    QFETCH(bool, deleting);
    QFETCH(Pop3Script, script);
    QFETCH(QStringList, log);
    ScriptedPop3Peer peer;
    peer.addScript(script);
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));

    AuthRig rig;
    rig.client.options.deleteRunActive = deleting;
    rig.client.options.deleteEnabled = deleting;
    QVERIFY(rig.session(method, QStringLiteral("bob"), secret, QStringLiteral("localhost"),
                        peer.port()));
    QVERIFY_PEER_DONE(peer, 5000);
    const QStringList lines = rig.logLines();
    QCOMPARE(lines.value(0), QStringLiteral("..Connected-ServerIP: 127.0.0.1"));
    QCOMPARE(lines.mid(1), log);
    const bool listed = log.contains(QStringLiteral("..Checking For Mail"));
    QCOMPARE(rig.client.subjects, listed ? QStringList{"Inside TLS"} : QStringList());
    QCOMPARE(rig.client.settled, 1);
    QCOMPARE(rig.client.quitAnswered, log.contains(QStringLiteral("+OK bye")));
    // The secret itself never shows in the log, nor travels as it is.
    QVERIFY(!lines.join('\n').contains(secret));
    if (method != SignInMethod::Password)
        QVERIFY2(!peer.commands().join('\n').contains(secret), qPrintable(peer.report()));
}

QTEST_GUILESS_MAIN(TestAuthSessions)
#include "test_auth_sessions.moc"
