// The keeper of the OAuth2 tokens: the Secret Service when one runs, else
// the sign-in book; an access token that expires soon is renewed at the
// local authorization server and the renewed tokens are kept where the old
// ones were.
#include "platform/secret_store.h"
#include "runs/oauth_keeper.h"
#include "runs/sign_in_book.h"
#include "support/servers_oauth.h"

#include <QTcpServer>
#include <QTest>

namespace {

// The Secret Service as far as the keeper sees it.
class MemoryStore : public SecretStore
{
public:
    bool runs = true;
    QHash<QString, QString> secrets; // "server|port|user|kind" -> secret

    SecretLookup lookup(const SecretKey& key) override
    {
        if (!runs)
            return {false, false, {}, QStringLiteral("no Secret Service answered")};
        const auto found = secrets.constFind(name(key));
        return {true,
                found != secrets.constEnd(),
                found == secrets.constEnd() ? QString() : *found,
                {}};
    }
    bool store(const SecretKey& key, const QString&, const QString& secret, QString* error) override
    {
        if (!runs && error)
            *error = QStringLiteral("no Secret Service answered");
        if (runs)
            secrets.insert(name(key), secret);
        return runs;
    }
    bool remove(const SecretKey& key, QString*) override { return secrets.remove(name(key)) > 0; }
    static QString name(const SecretKey& key)
    {
        return QStringLiteral("%1|%2|%3|%4")
            .arg(key.server)
            .arg(key.port)
            .arg(key.userName)
            .arg(int(key.kind));
    }
};

const MailboxKey mailbox{QStringLiteral("pop.example.com"), 995, QStringLiteral("alice")};

enum class Kept { Nothing, InStore, InBook };
enum class Provider { Renews, Refuses, OutOfReach };

} // namespace

Q_DECLARE_METATYPE(Kept)
Q_DECLARE_METATYPE(Provider)
Q_DECLARE_METATYPE(OAuthTokens)
Q_DECLARE_METATYPE(OAuthKeeper::Place)

class TestOAuthKeeper : public QObject
{
    Q_OBJECT
private slots:
    void json_data();
    void json();
    void accessToken_data();
    void accessToken();
    void keepAfterSignIn_data();
    void keepAfterSignIn();
};

void TestOAuthKeeper::json_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<OAuthTokens>("tokens");
    const QDateTime expiry(QDate(2026, 12, 11), QTime(10, 30, 5), Qt::UTC);
    QTest::newRow("all three") << oauthTokensToJson({"r1", "a1", expiry}) << true
                               << OAuthTokens{"r1", "a1", expiry};
    QTest::newRow("no expiry") << oauthTokensToJson({"r1", "a1", {}}) << true
                               << OAuthTokens{"r1", "a1", {}};
    QTest::newRow("expiry with an offset")
        << R"({"refresh":"r","access":"a","expiry":"2026-12-11T12:30:05+02:00"})" << true
        << OAuthTokens{"r", "a", expiry};
    QTest::newRow("not JSON") << "r1" << false << OAuthTokens{};
    QTest::newRow("no tokens") << R"({"expiry":"2026-12-11T10:30:05Z"})" << false << OAuthTokens{};
    QTest::newRow("bad expiry") << R"({"refresh":"r","expiry":"soon"})" << false << OAuthTokens{};
}

void TestOAuthKeeper::json()
{
    QFETCH(QString, text);
    QFETCH(bool, readable);
    QFETCH(OAuthTokens, tokens);
    const std::optional<OAuthTokens> read = oauthTokensFromJson(text);
    QCOMPARE(read.has_value(), readable);
    if (readable) {
        QCOMPARE(read->refreshToken, tokens.refreshToken);
        QCOMPARE(read->accessToken, tokens.accessToken);
        QCOMPARE(read->accessExpiry, tokens.accessExpiry);
    }
}

void TestOAuthKeeper::accessToken_data()
{
    QTest::addColumn<Kept>("kept");
    QTest::addColumn<bool>("storeRuns");
    QTest::addColumn<qint32>("expiresIn"); // seconds from now
    QTest::addColumn<Provider>("provider");
    QTest::addColumn<bool>("refreshed");
    QTest::addColumn<QString>("error");
    const Provider up = Provider::Renews;
    QTest::newRow("fresh, in the store") << Kept::InStore << true << 3600 << up << false << "";
    QTest::newRow("fresh, in the book") << Kept::InBook << false << 3600 << up << false << "";
    QTest::newRow("due, in the store") << Kept::InStore << true << 120 << up << true << "";
    QTest::newRow("expired, in the book") << Kept::InBook << false << -60 << up << true << "";
    QTest::newRow("due, in the book, store running")
        << Kept::InBook << true << 120 << up << true << "";
    QTest::newRow("refused") << Kept::InStore << true << 120 << Provider::Refuses << false
                             << "(invalid_grant: the refresh token is expired or revoked); sign "
                                "in again: run \"quorvamel-check --sign-in ACCOUNT\"";
    QTest::newRow("due, provider out of reach")
        << Kept::InStore << true << 120 << Provider::OutOfReach << false << "";
    QTest::newRow("expired, provider out of reach")
        << Kept::InStore << true << -60 << Provider::OutOfReach << false
        << "cannot renew the sign-in: ";
    QTest::newRow("never signed in") << Kept::Nothing << true << 0 << up << false
                                     << "this account has not signed in with OAuth2 yet";
}

void TestOAuthKeeper::accessToken()
{
    QFETCH(Kept, kept);
    QFETCH(bool, storeRuns);
    QFETCH(qint32, expiresIn);
    QFETCH(Provider, provider);
    QFETCH(bool, refreshed);
    QFETCH(QString, error);
    OAuthServer server;
    QVERIFY(server.listen());
    server.setRotatesRefreshTokens(true);
    server.setRefusesRefresh(provider == Provider::Refuses);
    OAuthClient client = server.client();
    if (provider == Provider::OutOfReach) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        client.tokenUrl.setPort(closed.serverPort());
    }
    MemoryStore store;
    SignInBook book;
    int bookChanges = 0;
    OAuthKeeper keeper(book, &store, [&] { ++bookChanges; });
    const OAuthTokens old{server.addRefreshToken(), QStringLiteral("kept-access"),
                          QDateTime::currentDateTimeUtc().addSecs(expiresIn)};
    if (kept == Kept::InStore)
        store.secrets.insert(MemoryStore::name({mailbox.server, mailbox.port, mailbox.userName,
                                                SecretKind::OAuthTokens}),
                             oauthTokensToJson(old));
    else if (kept == Kept::InBook)
        book.setTokens(mailbox, old);
    store.runs = storeRuns;

    const AccessTokenResult result = keeper.accessToken(mailbox, client);
    QCOMPARE(server.requests(QStringLiteral("/token")),
             refreshed || provider == Provider::Refuses ? 1 : 0);
    QVERIFY2(result.error.contains(error), qPrintable(result.error));
    QCOMPARE(result.ok, error.isEmpty());
    if (!result.ok) {
        QVERIFY(result.token.isEmpty());
        QCOMPARE(keeper.kept(mailbox),
                 kept == Kept::Nothing ? std::nullopt : std::optional<OAuthTokens>(old));
        return;
    }
    QCOMPARE(result.token == old.accessToken, !refreshed);
    // What a second run finds: the renewed tokens, where the store allows.
    const std::optional<OAuthTokens> now = keeper.kept(mailbox);
    QVERIFY(now.has_value());
    QCOMPARE(now->accessToken, result.token);
    QCOMPARE(now->refreshToken != old.refreshToken, refreshed);
    const bool inBook = book.tokens(mailbox).has_value();
    QCOMPARE(inBook, !storeRuns);
    // A changed book is saved at once.
    QCOMPARE(bookChanges > 0, refreshed && kept == Kept::InBook);
    // The renewed token is good for a while: no second renewal.
    QCOMPARE(keeper.accessToken(mailbox, client).token, result.token);
    QCOMPARE(server.requests(QStringLiteral("/token")), refreshed ? 1 : 0);
}

void TestOAuthKeeper::keepAfterSignIn_data()
{
    QTest::addColumn<bool>("hasStore");
    QTest::addColumn<bool>("storeRuns");
    QTest::addColumn<OAuthKeeper::Place>("place");
    QTest::newRow("Secret Service") << true << true << OAuthKeeper::Place::SecretStore;
    QTest::newRow("no Secret Service running") << true << false << OAuthKeeper::Place::SignInBook;
    QTest::newRow("no store at all") << false << false << OAuthKeeper::Place::SignInBook;
}

void TestOAuthKeeper::keepAfterSignIn()
{
    QFETCH(bool, hasStore);
    QFETCH(bool, storeRuns);
    QFETCH(OAuthKeeper::Place, place);
    MemoryStore store;
    store.runs = storeRuns;
    SignInBook book;
    // Tokens of an earlier sign-in that went to the book.
    book.setTokens(mailbox, {QStringLiteral("older"), {}, {}});
    OAuthKeeper keeper(book, hasStore ? &store : nullptr);
    const OAuthTokens tokens{QStringLiteral("r2"), QStringLiteral("a2"),
                             QDateTime::currentDateTimeUtc().addSecs(3600)};
    QString note;
    QCOMPARE(keeper.keep(mailbox, tokens, &note), place);
    QCOMPARE(note.isEmpty(), place == OAuthKeeper::Place::SecretStore);
    QCOMPARE(store.secrets.size(), place == OAuthKeeper::Place::SecretStore ? 1 : 0);
    QCOMPARE(book.tokens(mailbox).has_value(), place == OAuthKeeper::Place::SignInBook);
    QCOMPARE(keeper.kept(mailbox)->refreshToken, tokens.refreshToken);
}

QTEST_GUILESS_MAIN(TestOAuthKeeper)
#include "test_oauth_keeper.moc"
