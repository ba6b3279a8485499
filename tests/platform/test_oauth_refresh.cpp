// Renewing the access token with the refresh token at the local
// authorization server: what is sent, which refresh token is kept, and
// what the user reads when the provider refuses or does not answer.
#include "platform/oauth_refresh.h"
#include "support/servers_oauth.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>

Q_DECLARE_METATYPE(OAuthRefreshOutcome)

class TestOAuthRefresh : public QObject
{
    Q_OBJECT
private slots:
    void refresh_data();
    void refresh();
    void noUsableAnswer_data();
    void noUsableAnswer();
};

void TestOAuthRefresh::refresh_data()
{
    QTest::addColumn<bool>("rotates");
    QTest::addColumn<qint32>("lifetime");
    QTest::addColumn<bool>("refuses");
    QTest::newRow("same refresh token") << false << 3600 << false;
    QTest::newRow("new refresh token") << true << 600 << false;
    QTest::newRow("no expiry given") << false << 0 << false;
    QTest::newRow("refused") << false << 3600 << true;
}

void TestOAuthRefresh::refresh()
{
    QFETCH(bool, rotates);
    QFETCH(qint32, lifetime);
    QFETCH(bool, refuses);
    OAuthServer server;
    QVERIFY(server.listen());
    server.setRotatesRefreshTokens(rotates);
    server.setAccessLifetime(lifetime);
    server.setRefusesRefresh(refuses);
    const OAuthClient client = server.client(QStringLiteral("mail offline_access"));
    const OAuthTokens old{server.addRefreshToken(), QStringLiteral("old-access"),
                          QDateTime::currentDateTimeUtc().addSecs(60)};

    const QDateTime before = QDateTime::currentDateTimeUtc();
    const OAuthRefreshResult result = refreshOAuthTokens(client, old, 5000);
    QCOMPARE(server.lastRefreshScope(), client.scope);
    if (refuses) {
        QCOMPARE(result.outcome, OAuthRefreshOutcome::Refused);
        QVERIFY2(result.error.contains(QStringLiteral("invalid_grant")), qPrintable(result.error));
        QVERIFY(result.error.contains(QStringLiteral("quorvamel-check --sign-in")));
        QVERIFY(!result.error.contains(old.refreshToken));
        return;
    }
    QCOMPARE(result.outcome, OAuthRefreshOutcome::Refreshed);
    QVERIFY(server.isActive(result.tokens.accessToken.toLatin1()));
    QCOMPARE(result.tokens.refreshToken != old.refreshToken, rotates);
    if (lifetime == 0) {
        QVERIFY(!result.tokens.accessExpiry.isValid());
    } else {
        QVERIFY(result.tokens.accessExpiry >= before.addSecs(lifetime));
        QVERIFY(result.tokens.accessExpiry <= QDateTime::currentDateTimeUtc().addSecs(lifetime));
    }
    // The kept refresh token is the one that works next time.
    const OAuthRefreshResult again = refreshOAuthTokens(client, result.tokens, 5000);
    QCOMPARE(again.outcome, OAuthRefreshOutcome::Refreshed);
    if (rotates)
        QCOMPARE(refreshOAuthTokens(client, old, 5000).outcome, OAuthRefreshOutcome::Refused);
}

void TestOAuthRefresh::noUsableAnswer_data()
{
    QTest::addColumn<bool>("listening"); // false: the port is closed
    QTest::addColumn<QString>("error");
    QTest::newRow("silent server") << true << "did not answer within 1 s";
    QTest::newRow("nobody listens") << false << "cannot renew the sign-in: ";
}

// A network failure is not a refusal: the tokens stay, the next try may work.
void TestOAuthRefresh::noUsableAnswer()
{
    QFETCH(bool, listening);
    QFETCH(QString, error);
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const quint16 port = silent.serverPort();
    if (!listening)
        silent.close();
    const OAuthClient client{{},
                             QStringLiteral("id"),
                             {},
                             QUrl(QStringLiteral("http://127.0.0.1:%1/token").arg(port)),
                             {}};
    QElapsedTimer clock;
    clock.start();
    const OAuthRefreshResult result =
        refreshOAuthTokens(client, {QStringLiteral("r"), {}, {}}, 1000);
    QCOMPARE(result.outcome, OAuthRefreshOutcome::Failed);
    QVERIFY2(result.error.contains(error), qPrintable(result.error));
    QVERIFY(clock.elapsed() < 4000);
}

QTEST_GUILESS_MAIN(TestOAuthRefresh)
#include "test_oauth_refresh.moc"
