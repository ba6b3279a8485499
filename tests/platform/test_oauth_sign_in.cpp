// The authorization code sign-in against the local authorization server:
// the test's "browser" follows the authorization address with redirects,
// so the code comes back through the real loopback listener. PKCE, the
// state check, the time-out and refusals each end the sign-in with a clear
// error and no tokens.
#include "platform/oauth_sign_in.h"
#include "support/servers_oauth.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTest>
#include <QUrlQuery>

namespace {

enum class Browser {
    Follows,        // opens the page; the provider sends it back
    AsksForIcon,    // asks the listener for an icon, then follows
    SwapsChallenge, // something on the way replaces the PKCE challenge
    UserRefuses,    // the provider sends the browser back with access_denied
    NeverReturns,   // the user closes the browser
};

class TestBrowser
{
public:
    explicit TestBrowser(Browser kind) : m_kind(kind) {}
    void open(const QUrl& url)
    {
        ++m_opened;
        m_url = url;
        QUrl target = url;
        QUrlQuery query(url);
        if (m_kind == Browser::NeverReturns)
            return;
        if (m_kind == Browser::AsksForIcon) {
            QUrl icon(query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
            icon.setPath(QStringLiteral("/favicon.ico"));
            QNetworkReply* reply = m_network.get(QNetworkRequest(icon));
            QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
        }
        if (m_kind == Browser::SwapsChallenge) {
            query.removeAllQueryItems(QStringLiteral("code_challenge"));
            query.addQueryItem(QStringLiteral("code_challenge"),
                               QString::fromLatin1(makePkcePair().challenge));
            target.setQuery(query);
        } else if (m_kind == Browser::UserRefuses) {
            target = QUrl(query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
            target.setQuery(
                QStringLiteral("error=access_denied&error_description=Not%20now&state=") +
                query.queryItemValue(QStringLiteral("state")));
        }
        QNetworkReply* reply = m_network.get(QNetworkRequest(target));
        QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    }
    int opened() const { return m_opened; }
    QUrl url() const { return m_url; }

private:
    Browser m_kind;
    QNetworkAccessManager m_network;
    QUrl m_url;
    int m_opened = 0;
};

} // namespace

Q_DECLARE_METATYPE(Browser)

class TestOAuthSignIn : public QObject
{
    Q_OBJECT
private slots:
    void pkce();
    void endpoints_data();
    void endpoints();
    void signIn_data();
    void signIn();
};

void TestOAuthSignIn::pkce()
{
    // The example of RFC 7636, appendix B.
    QCOMPARE(pkceChallenge("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
             QByteArray("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));
    const PkcePair first = makePkcePair();
    const PkcePair second = makePkcePair();
    QCOMPARE(first.verifier.size(), 43);
    QVERIFY(QRegularExpression(QStringLiteral("^[A-Za-z0-9_-]+$"))
                .match(QString::fromLatin1(first.verifier))
                .hasMatch());
    QCOMPARE(first.challenge, pkceChallenge(first.verifier));
    QVERIFY(first.verifier != second.verifier);
}

void TestOAuthSignIn::endpoints_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("https") << "https://login.example.com/token" << true;
    QTest::newRow("http, IPv4 loopback") << "http://127.0.0.1:8080/token" << true;
    QTest::newRow("http, IPv6 loopback") << "http://[::1]:8080/token" << true;
    QTest::newRow("http elsewhere") << "http://login.example.com/token" << false;
    QTest::newRow("http, a name for this machine") << "http://localhost/token" << false;
    QTest::newRow("other scheme") << "ftp://127.0.0.1/token" << false;
    QTest::newRow("no host") << "https:///token" << false;
}

void TestOAuthSignIn::endpoints()
{
    QFETCH(QString, url);
    QFETCH(bool, allowed);
    QCOMPARE(oauthEndpointProblem(QUrl(url)).isEmpty(), allowed);
}

void TestOAuthSignIn::signIn_data()
{
    QTest::addColumn<Browser>("browser");
    QTest::addColumn<QString>("stateOverride");
    QTest::addColumn<QString>("clientId");
    QTest::addColumn<QString>("error"); // empty: signed in
    QTest::newRow("signed in") << Browser::Follows << QString() << QString() << QString();
    QTest::newRow("icon asked first")
        << Browser::AsksForIcon << QString() << QString() << QString();
    QTest::newRow("PKCE mismatch")
        << Browser::SwapsChallenge << QString() << QString()
        << "the provider refused the code: invalid_grant: code_verifier does not match";
    QTest::newRow("wrong state") << Browser::Follows << "forged-state" << QString()
                                 << "does not belong to this sign-in";
    QTest::newRow("user refuses") << Browser::UserRefuses << QString() << QString()
                                  << "the provider refused the sign-in: access_denied";
    QTest::newRow("never comes back") << Browser::NeverReturns << QString() << QString()
                                      << "no answer came back from the browser";
    QTest::newRow("no client id") << Browser::Follows << QString() << " "
                                  << "no client id";
}

void TestOAuthSignIn::signIn()
{
    QFETCH(Browser, browser);
    QFETCH(QString, stateOverride);
    QFETCH(QString, clientId);
    QFETCH(QString, error);
    OAuthServer server;
    QVERIFY(server.listen());
    server.setStateOverride(stateOverride);
    OAuthClient client = server.client(QStringLiteral("mail offline"));
    if (!clientId.isNull())
        client.clientId = clientId;
    TestBrowser testBrowser(browser);

    const QDateTime before = QDateTime::currentDateTimeUtc();
    const OAuthSignInResult result = signInWithBrowser(
        client, [&](const QUrl& url) { testBrowser.open(url); }, 1500);

    QVERIFY2(result.error.contains(error), qPrintable(result.error));
    QCOMPARE(result.ok, error.isEmpty());
    if (!result.ok) {
        QCOMPARE(result.tokens, OAuthTokens());
        QCOMPARE(testBrowser.opened(), clientId.isNull() ? 1 : 0);
        return;
    }
    const QUrlQuery asked(testBrowser.url());
    QCOMPARE(asked.queryItemValue(QStringLiteral("code_challenge_method")), QStringLiteral("S256"));
    QCOMPARE(asked.queryItemValue(QStringLiteral("scope"), QUrl::FullyDecoded),
             QStringLiteral("mail offline"));
    QVERIFY(result.tokens.refreshToken.startsWith(QStringLiteral("refresh-")));
    QVERIFY(result.tokens.accessToken.startsWith(QStringLiteral("access-")));
    QVERIFY(server.isActive(result.tokens.accessToken.toLatin1()));
    QCOMPARE(result.tokens.accessExpiry.timeSpec(), Qt::UTC);
    QVERIFY(result.tokens.accessExpiry >= before.addSecs(3600));
    QVERIFY(result.tokens.accessExpiry <= QDateTime::currentDateTimeUtc().addSecs(3600));
    QCOMPARE(server.requests(QStringLiteral("/token")), 1);
}

QTEST_GUILESS_MAIN(TestOAuthSignIn)
#include "test_oauth_sign_in.moc"
