#include "platform/secret_service.h"

#include <QCoreApplication>
#include <QTest>

Q_DECLARE_METATYPE(SecretKey)

namespace {

SecretKey keyOf(const QString& server, qint32 port, const QString& user,
                SecretKind kind = SecretKind::Password)
{
    return {server, port, user, kind};
}

} // namespace

// The Secret Service of a real gnome-keyring-daemon (tests/support/
// with_keyring.sh runs this program beside one): items are kept per server,
// port, user name and kind, and only the item asked for is found or removed.
class TestSecretServiceKeyring : public QObject
{
    Q_OBJECT

private slots:
    void storeLookupRemove()
    {
        SecretServiceStore service;
        const SecretKey key = keyOf("pop.example.org", 995, "zoë");
        const QString secret = QStringLiteral("pä ss wörd ✓ \"quoted\"");

        QString error;
        QVERIFY2(service.store(key, "Quorvamel: zoë", secret, &error), qPrintable(error));
        SecretLookup found = service.lookup(key);
        QVERIFY2(found.serviceRuns, qPrintable(found.error));
        QVERIFY(found.found);
        QCOMPARE(found.secret, secret);
        QVERIFY(!found.error.contains(secret));

        QVERIFY(service.store(key, "Quorvamel: zoë", "replaced", &error));
        QCOMPARE(service.lookup(key).secret, QStringLiteral("replaced"));

        QVERIFY2(service.remove(key, &error), qPrintable(error));
        found = service.lookup(key);
        QVERIFY(found.serviceRuns);
        QVERIFY(!found.found);
        QVERIFY(found.secret.isEmpty());
        QVERIFY(!found.error.isEmpty());
        // Removing what is not there is no failure.
        QVERIFY(service.remove(key, &error));
    }

    void accountsAreKeptApart_data()
    {
        QTest::addColumn<SecretKey>("other");
        const SecretKey base = keyOf("mail.example.net", 110, "bob");
        SecretKey port = base;
        port.port = 995;
        SecretKey user = base;
        user.userName = "bob2";
        SecretKey server = base;
        server.server = "mail.example.com";
        SecretKey kind = base;
        kind.kind = SecretKind::OAuthTokens;
        QTest::newRow("port") << port;
        QTest::newRow("user") << user;
        QTest::newRow("server") << server;
        QTest::newRow("kind") << kind;
    }

    void accountsAreKeptApart()
    {
        QFETCH(SecretKey, other);
        SecretServiceStore service;
        const SecretKey base = keyOf("mail.example.net", 110, "bob");
        QVERIFY(service.store(base, "base", "base secret"));
        QVERIFY(!service.lookup(other).found);
        QVERIFY(service.store(other, "other", "other secret"));

        QCOMPARE(service.lookup(base).secret, QStringLiteral("base secret"));
        QCOMPARE(service.lookup(other).secret, QStringLiteral("other secret"));
        QVERIFY(service.remove(other));
        QVERIFY(!service.lookup(other).found);
        QCOMPARE(service.lookup(base).secret, QStringLiteral("base secret"));
        QVERIFY(service.remove(base));
    }
};

QTEST_GUILESS_MAIN(TestSecretServiceKeyring)
#include "test_secret_service_keyring.moc"
