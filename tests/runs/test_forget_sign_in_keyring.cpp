// A deleted account's sign-in forgotten: its choice and tokens in the book,
// its password and tokens in a real Secret Service (gnome-keyring-daemon
// beside the test, tests/support/with_keyring.sh), unless a remaining
// account reads the same mailbox. The neighbours that differ in one part
// of the mailbox keep everything.
#include "platform/secret_service.h"
#include "runs/forget_sign_in.h"
#include "runs/sign_in_book.h"

#include <QTest>

Q_DECLARE_METATYPE(SecretKind)

namespace {

const OAuthClient client{
    QString(), QStringLiteral("client-1"), QUrl(QStringLiteral("https://id.example.org/authorize")),
    QUrl(QStringLiteral("https://id.example.org/token")), QStringLiteral("pop")};
const AccountSignIn oauth{SignInMethod::OAuth2, SecretOrigin::SecretStore, {}, client};
const OAuthTokens tokens{QStringLiteral("refresh-1"), QStringLiteral("access-1"), {}};

SecretKey keyOf(const MailboxKey& mailbox, SecretKind kind)
{
    return {mailbox.server, mailbox.port, mailbox.userName, kind};
}

// What is kept for one mailbox, in the book and in the store.
struct Kept
{
    bool choice = false;
    bool bookTokens = false;
    bool password = false;
    bool storeTokens = false;

    bool operator==(const Kept&) const = default;
};

char* toString(const Kept& k)
{
    return qstrdup(QStringLiteral("choice %1, book tokens %2, password %3, store tokens %4")
                       .arg(k.choice)
                       .arg(k.bookTokens)
                       .arg(k.password)
                       .arg(k.storeTokens)
                       .toUtf8()
                       .constData());
}

// A store that finds everything and removes nothing: a locked collection.
class RefusingStore : public SecretStore
{
public:
    SecretLookup lookup(const SecretKey&) override { return {true, true, QStringLiteral("x"), {}}; }
    bool store(const SecretKey&, const QString&, const QString&, QString*) override { return true; }
    bool remove(const SecretKey&, QString* error) override
    {
        *error = QStringLiteral("the collection is locked");
        return false;
    }
};

} // namespace

Q_DECLARE_METATYPE(Kept)

class TestForgetSignInKeyring : public QObject
{
    Q_OBJECT

private slots:
    void forgetsUnlessShared_data();
    void forgetsUnlessShared();
    void refusedRemovalIsTold();

private:
    void keep(const MailboxKey& mailbox, const Kept& kept);
    Kept kept(const MailboxKey& mailbox);

    SignInBook m_book;
    SecretServiceStore m_store;
    int m_rows = 0;
};

void TestForgetSignInKeyring::keep(const MailboxKey& mailbox, const Kept& kept)
{
    if (kept.choice)
        m_book.set(mailbox, oauth);
    if (kept.bookTokens)
        m_book.setTokens(mailbox, tokens);
    QString error;
    if (kept.password)
        QVERIFY2(m_store.store(keyOf(mailbox, SecretKind::Password), "pw", "secret", &error),
                 qPrintable(error));
    if (kept.storeTokens)
        QVERIFY2(m_store.store(keyOf(mailbox, SecretKind::OAuthTokens), "tokens", "{}", &error),
                 qPrintable(error));
}

Kept TestForgetSignInKeyring::kept(const MailboxKey& mailbox)
{
    const auto inStore = [&](SecretKind kind) {
        const SecretLookup lookup = m_store.lookup(keyOf(mailbox, kind));
        if (!lookup.serviceRuns)
            qFatal("no Secret Service: %s", qPrintable(lookup.error));
        return lookup.found;
    };
    return {m_book.find(mailbox) == oauth, m_book.tokens(mailbox).has_value(),
            inStore(SecretKind::Password), inStore(SecretKind::OAuthTokens)};
}

void TestForgetSignInKeyring::forgetsUnlessShared_data()
{
    QTest::addColumn<Kept>("before");
    QTest::addColumn<bool>("shared");    // a remaining account reads the same mailbox
    QTest::addColumn<bool>("withStore"); // else no secret store is given
    QTest::addColumn<Kept>("after");
    QTest::addColumn<bool>("bookChanged");
    const Kept everything{true, true, true, true};
    const Kept nothing{};
    QTest::newRow("sole account: all of it goes") << everything << false << true << nothing << true;
    QTest::newRow("shared mailbox: all of it stays")
        << everything << true << true << everything << false;
    QTest::newRow("no sign-in choice, nothing stored")
        << nothing << false << true << nothing << false;
    QTest::newRow("no choice, a password stored earlier")
        << Kept{false, false, true, false} << false << true << nothing << false;
    QTest::newRow("tokens in the book only")
        << Kept{true, true, false, false} << false << true << nothing << true;
    QTest::newRow("no secret store: the book alone")
        << everything << false << false << Kept{false, false, true, true} << true;
}

void TestForgetSignInKeyring::forgetsUnlessShared()
{
    QFETCH(Kept, before);
    QFETCH(bool, shared);
    QFETCH(bool, withStore);
    QFETCH(Kept, after);
    QFETCH(bool, bookChanged);
    // A server of its own per row: the keyring outlives the rows.
    const QString server = QStringLiteral("row%1.example.org").arg(++m_rows);
    const MailboxKey deleted{server, 995, QStringLiteral("alice")};
    // Each differs from the deleted mailbox in one part only.
    const QList<MailboxKey> neighbours{
        {server, 110, QStringLiteral("alice")},
        {server, 995, QStringLiteral("alice2")},
        {QStringLiteral("other.") + server, 995, QStringLiteral("alice")}};
    const Kept everything{true, true, true, true};
    keep(deleted, before);
    for (const MailboxKey& neighbour : neighbours)
        keep(neighbour, everything);
    QList<MailboxKey> remaining = neighbours;
    if (shared)
        remaining.append(deleted);
    const bool modifiedBefore = m_book.isModified();

    const ForgottenSignIn forgotten =
        forgetDeletedAccount(deleted, remaining, m_book, withStore ? &m_store : nullptr);

    QCOMPARE(forgotten.bookChanged, bookChanged);
    QCOMPARE(forgotten.storeError, QString());
    QCOMPARE(kept(deleted), after);
    QCOMPARE(m_book.isModified(), modifiedBefore || bookChanged);
    for (const MailboxKey& neighbour : neighbours)
        QCOMPARE(kept(neighbour), everything);
}

// A secret the store would not remove is told; the book is forgotten all
// the same.
void TestForgetSignInKeyring::refusedRemovalIsTold()
{
    const MailboxKey deleted{QStringLiteral("locked.example.org"), 995, QStringLiteral("bob")};
    SignInBook book;
    book.set(deleted, oauth);
    RefusingStore store;
    const ForgottenSignIn forgotten = forgetDeletedAccount(deleted, {}, book, &store);
    QVERIFY(forgotten.bookChanged);
    QCOMPARE(forgotten.storeError, QStringLiteral("the collection is locked"));
    QVERIFY(!book.mailboxes().contains(deleted));
}

QTEST_GUILESS_MAIN(TestForgetSignInKeyring)
#include "test_forget_sign_in_keyring.moc"
