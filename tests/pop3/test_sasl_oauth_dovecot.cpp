// XOAUTH2 and OAUTHBEARER against a real Dovecot that checks each token
// with a small introspection service run here: a good token signs in, a
// refused one brings the server's error challenge, which must read as a
// log text and be acknowledged so that the server ends with "-ERR".
#include "pop3/sasl_auth.h"
#include "pop3/sasl_oauth.h"
#include "support/servers_dovecot.h"
#include "support/servers_token_introspection.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

Q_DECLARE_METATYPE(OAuthMechanism)

namespace {

// Waits through the event loop, so the introspection service in this same
// thread answers Dovecot meanwhile.
class AuthClient
{
public:
    bool open(quint16 port)
    {
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        return m_socket.waitForConnected(3000) && line().startsWith("+OK");
    }
    QByteArray line()
    {
        QSignalSpy arrived(&m_socket, &QIODevice::readyRead);
        while (!m_socket.canReadLine() && arrived.wait(5000)) {
        }
        QByteArray text = m_socket.readLine();
        text.chop(2);
        m_transcript.append("S: " + text);
        return text;
    }
    void send(const QByteArray& text)
    {
        m_transcript.append("C: " + text);
        m_socket.write(text + "\r\n");
    }
    QByteArray transcript() const { return m_transcript.join('\n'); }

private:
    QTcpSocket m_socket;
    QByteArrayList m_transcript;
};

const QByteArray longToken = QByteArray(300, 'L');

} // namespace

class TestSaslOAuthDovecot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void signIn_data();
    void signIn();

private:
    TokenIntrospection m_introspection{{{"good-token-alice", "alice"}, {longToken, "alice"}}};
    DovecotFixture m_dovecot;
};

void TestSaslOAuthDovecot::initTestCase()
{
    QVERIFY(m_introspection.listen());
    m_dovecot.addUser(QStringLiteral("alice"), QStringLiteral("secret1"));
    m_dovecot.setOAuthIntrospectionUrl(m_introspection.url());
    QVERIFY(m_dovecot.writeGeneratedMessages(QStringLiteral("alice"), 2));
    QVERIFY2(m_dovecot.start(), qPrintable(m_dovecot.errorString()));
}

void TestSaslOAuthDovecot::signIn_data()
{
    QTest::addColumn<OAuthMechanism>("mechanism");
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("XOAUTH2") << OAuthMechanism::XOAuth2 << QByteArray("good-token-alice") << true;
    QTest::newRow("OAUTHBEARER") << OAuthMechanism::OAuthBearer << QByteArray("good-token-alice")
                                 << true;
    // Too long for the AUTH line: sent after the server's "+".
    QTest::newRow("OAUTHBEARER, long token") << OAuthMechanism::OAuthBearer << longToken << true;
    QTest::newRow("XOAUTH2, refused")
        << OAuthMechanism::XOAuth2 << QByteArray("stale-token") << false;
    QTest::newRow("OAUTHBEARER, refused")
        << OAuthMechanism::OAuthBearer << QByteArray("stale-token") << false;
}

void TestSaslOAuthDovecot::signIn()
{
    QFETCH(OAuthMechanism, mechanism);
    QFETCH(QByteArray, token);
    QFETCH(bool, accepted);
    const int asked = m_introspection.requests();
    AuthClient client;
    QVERIFY(client.open(m_dovecot.plainPort()));
    const OAuthInitialResponse response =
        oauthInitialResponse(mechanism, QStringLiteral("alice"), QString::fromLatin1(token),
                             QStringLiteral("127.0.0.1"), m_dovecot.plainPort());
    QCOMPARE(response.error, QString());
    const SaslOpening opening = saslOpening(oauthMechanismName(mechanism), response.line);
    QCOMPARE(opening.afterContinuation.has_value(), token == longToken);
    client.send(opening.command);
    QByteArray reply = client.line();
    if (opening.afterContinuation) {
        QVERIFY2(saslContinuationPayload(reply).has_value(), client.transcript().constData());
        client.send(*opening.afterContinuation);
        reply = client.line();
    }
    if (accepted) {
        QVERIFY2(reply.startsWith("+OK"), client.transcript().constData());
        client.send("STAT");
        QVERIFY(client.line().startsWith("+OK 2 "));
    } else {
        const auto challenge = saslContinuationPayload(reply);
        QVERIFY2(challenge.has_value(), client.transcript().constData());
        const OAuthErrorChallenge parsed = parseOAuthErrorChallenge(*challenge);
        QVERIFY2(parsed.readable, client.transcript().constData());
        const QString text = describeOAuthError(parsed);
        QVERIFY(text.startsWith(QStringLiteral("the server refused the access token: ")));
        QVERIFY(!text.contains(QString::fromLatin1(token)));
        qInfo().noquote() << "log text:" << text;
        client.send(oauthErrorAcknowledgement(mechanism));
        QVERIFY2(client.line().startsWith("-ERR"), client.transcript().constData());
    }
    QVERIFY(m_introspection.requests() > asked); // the token itself was checked
    client.send("QUIT");
    qInfo().noquote() << "transcript:\n" + QString::fromUtf8(client.transcript());
}

QTEST_GUILESS_MAIN(TestSaslOAuthDovecot)
#include "test_sasl_oauth_dovecot.moc"
