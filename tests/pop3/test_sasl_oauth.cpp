// XOAUTH2 and OAUTHBEARER initial responses and the error challenge.
// Expected base64 is written out here (RFC 7628's own example among it),
// not computed by the code under test.
#include "pop3/sasl_oauth.h"

#include <QTest>

Q_DECLARE_METATYPE(OAuthMechanism)

class TestSaslOAuth : public QObject
{
    Q_OBJECT
private slots:
    void initialResponse_data();
    void initialResponse();
    void refusedInput_data();
    void refusedInput();
    void errorChallenge_data();
    void errorChallenge();
    void acknowledgement();
};

void TestSaslOAuth::initialResponse_data()
{
    QTest::addColumn<OAuthMechanism>("mechanism");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("expected");
    // RFC 7628 4.1: n,a=user@example.com,^Ahost=server.example.com^Aport=143^Aauth=Bearer ...^A^A
    QTest::newRow("rfc7628 example")
        << OAuthMechanism::OAuthBearer << QStringLiteral("user@example.com")
        << QStringLiteral("vF9dft4qmTc2Nvb3RlckBhbHRhdmlzdGEuY29tCg==")
        << QStringLiteral("server.example.com") << 143
        << QByteArray("bixhPXVzZXJAZXhhbXBsZS5jb20sAWhvc3Q9c2VydmVyLmV4YW1wbGUuY29tAXBvcnQ9MTQzAWF1"
                      "dGg9QmVhcmVyIHZGOWRmdDRxbVRjMk52YjNSbGNrQmhiSFJoZG1semRHRXVZMjl0Q2c9PQEB");
    // user=someuser@example.com^Aauth=Bearer ya29...^A^A
    QTest::newRow("xoauth2") << OAuthMechanism::XOAuth2 << QStringLiteral("someuser@example.com")
                             << QStringLiteral("ya29.vF9dft4qmTc2Nvb3RlckBhdHRhdmlzdGEuY29tCg")
                             << QStringLiteral("ignored.example.com") << 995
                             << QByteArray(
                                    "dXNlcj1zb21ldXNlckBleGFtcGxlLmNvbQFhdXRoPUJlYXJlciB5YTI5"
                                    "LnZGOWRmdDRxbVRjMk52YjNSbGNrQmhkSFJoZG1semRHRXVZMjl0Q2cBAQ==");
    // n,a=a=2Cb=3Dc,^Aauth=Bearer tok^A^A: escaped name, no host or port.
    QTest::newRow("oauthbearer escaped, no host")
        << OAuthMechanism::OAuthBearer << QStringLiteral("a,b=c") << QStringLiteral("tok")
        << QString() << 0 << QByteArray("bixhPWE9MkNiPTNEYywBYXV0aD1CZWFyZXIgdG9rAQE=");
    // UTF-8 user, every token character class and padding.
    QTest::newRow("oauthbearer utf-8")
        << OAuthMechanism::OAuthBearer << QStringLiteral("j\u00fcrgen@example.org")
        << QStringLiteral("abc-._~+/==") << QStringLiteral("mail.example.org") << 995
        << QByteArray("bixhPWrDvHJnZW5AZXhhbXBsZS5vcmcsAWhvc3Q9bWFpbC5leGFtcGxlLm9yZwFwb3J0PTk5NQFh"
                      "dXRoPUJlYXJlciBhYmMtLl9+Ky89PQEB");
    QTest::newRow("xoauth2 utf-8")
        << OAuthMechanism::XOAuth2 << QStringLiteral("j\u00fcrgen@example.org")
        << QStringLiteral("abc-._~+/==") << QString() << 0
        << QByteArray("dXNlcj1qw7xyZ2VuQGV4YW1wbGUub3JnAWF1dGg9QmVhcmVy"
                      "IGFiYy0uX34rLz09AQE=");
}

void TestSaslOAuth::initialResponse()
{
    QFETCH(OAuthMechanism, mechanism);
    QFETCH(QString, user);
    QFETCH(QString, token);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QByteArray, expected);
    const OAuthInitialResponse response =
        oauthInitialResponse(mechanism, user, token, host, quint16(port));
    QCOMPARE(response.error, QString());
    QCOMPARE(response.line, expected);
}

void TestSaslOAuth::refusedInput_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("host");
    // A control character would end a key/value pair early and let the
    // rest pass as other keys.
    QTest::newRow("kvsep in user") << QStringLiteral("a\x01"
                                                     "auth=x")
                                   << QStringLiteral("tok") << QString();
    QTest::newRow("line end in user")
        << QStringLiteral("a\r\nQUIT") << QStringLiteral("tok") << QString();
    QTest::newRow("empty user") << QString() << QStringLiteral("tok") << QString();
    QTest::newRow("empty token") << QStringLiteral("u") << QString() << QString();
    QTest::newRow("space in token")
        << QStringLiteral("u") << QStringLiteral("se cret") << QString();
    QTest::newRow("line end in token")
        << QStringLiteral("u") << QStringLiteral("secret\n") << QString();
    QTest::newRow("padding inside token")
        << QStringLiteral("u") << QStringLiteral("se=cret") << QString();
    QTest::newRow("non-ASCII token")
        << QStringLiteral("u") << QStringLiteral("s\u00e9cret") << QString();
    QTest::newRow("kvsep in host") << QStringLiteral("u") << QStringLiteral("tok")
                                   << QStringLiteral("h\x01"
                                                     "auth=x");
}

void TestSaslOAuth::refusedInput()
{
    QFETCH(QString, user);
    QFETCH(QString, token);
    QFETCH(QString, host);
    for (const OAuthMechanism mechanism : {OAuthMechanism::XOAuth2, OAuthMechanism::OAuthBearer}) {
        const OAuthInitialResponse response = oauthInitialResponse(mechanism, user, token, host, 1);
        QVERIFY(response.line.isEmpty());
        QVERIFY(!response.error.isEmpty());
        if (!token.isEmpty())
            QVERIFY(!response.error.contains(token));
    }
}

void TestSaslOAuth::errorChallenge_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("scope");
    QTest::addColumn<QString>("openid");
    QTest::addColumn<QString>("text");
    // RFC 7628 3.2.2's example.
    QTest::newRow("rfc7628")
        << QByteArray("eyJzdGF0dXMiOiJpbnZhbGlkX3Rva2VuIiwic2NvcGUiOiJleGFtcGxlX3Njb3BlIiwib3Blbmlk"
                      "LWNvbmZpZ3VyYXRpb24iOiJodHRwczovL2V4YW1wbGUuY29tLy53ZWxsLWtub3duL29wZW5pZC1j"
                      "b25maWd1cmF0aW9uIn0=")
        << true << QStringLiteral("invalid_token") << QStringLiteral("example_scope")
        << QStringLiteral("https://example.com/.well-known/openid-configuration")
        << QStringLiteral("the server refused the access token: invalid_token; scope needed: "
                          "example_scope; sign-in details: "
                          "https://example.com/.well-known/openid-configuration");
    // {"status":"401","schemes":"bearer","scope":"https://mail.google.com/"}
    QTest::newRow("xoauth2 style")
        << QByteArray("eyJzdGF0dXMiOiI0MDEiLCJzY2hlbWVzIjoiYmVhcmVyIiwic2NvcGUiOiJodHRwczovL21haWwu"
                      "Z29vZ2xlLmNvbS8ifQ==")
        << true << QStringLiteral("401") << QStringLiteral("https://mail.google.com/") << QString()
        << QStringLiteral("the server refused the access token: 401; scope needed: "
                          "https://mail.google.com/");
    // {"status":"invalid_token","scope":"a\x01b"}: a control character
    // never reaches the log.
    QTest::newRow("control character")
        << QByteArray("eyJzdGF0dXMiOiJpbnZhbGlkX3Rva2VuIiwic2NvcGUiOiJhAWIifQ==") << true
        << QStringLiteral("invalid_token") << QStringLiteral("a?b") << QString()
        << QStringLiteral("the server refused the access token: invalid_token; scope needed: a?b");
    // {"status":401}
    QTest::newRow("numeric status")
        << QByteArray("eyJzdGF0dXMiOjQwMX0=") << true << QStringLiteral("401") << QString()
        << QString() << QStringLiteral("the server refused the access token: 401");
    const QString unreadable =
        QStringLiteral("the server refused the access token and gave no readable reason");
    QTest::newRow("not base64") << QByteArray("{not*base64}") << false << QString() << QString()
                                << QString() << unreadable;
    // "not json"
    QTest::newRow("not json") << QByteArray("bm90IGpzb24=") << false << QString() << QString()
                              << QString() << unreadable;
    // {"scope":"x"}: no status
    QTest::newRow("no status") << QByteArray("eyJzY29wZSI6IngifQ==") << false << QString()
                               << QStringLiteral("x") << QString() << unreadable;
    QTest::newRow("empty") << QByteArray() << false << QString() << QString() << QString()
                           << unreadable;
}

void TestSaslOAuth::errorChallenge()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, readable);
    QFETCH(QString, status);
    QFETCH(QString, scope);
    QFETCH(QString, openid);
    QFETCH(QString, text);
    const OAuthErrorChallenge challenge = parseOAuthErrorChallenge(payload);
    QCOMPARE(challenge.readable, readable);
    QCOMPARE(challenge.status, status);
    QCOMPARE(challenge.scope, scope);
    QCOMPARE(challenge.openidConfiguration, openid);
    QCOMPARE(describeOAuthError(challenge), text);
}

void TestSaslOAuth::acknowledgement()
{
    QCOMPARE(oauthErrorAcknowledgement(OAuthMechanism::OAuthBearer), QByteArray("AQ=="));
    QCOMPARE(oauthErrorAcknowledgement(OAuthMechanism::XOAuth2), QByteArray());
    QCOMPARE(oauthMechanismName(OAuthMechanism::OAuthBearer), QByteArray("OAUTHBEARER"));
    QCOMPARE(oauthMechanismName(OAuthMechanism::XOAuth2), QByteArray("XOAUTH2"));
}

QTEST_GUILESS_MAIN(TestSaslOAuth)
#include "test_sasl_oauth.moc"
