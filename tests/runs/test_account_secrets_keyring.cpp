// Accounts whose password is in the desktop's Secret Service, here a real
// gnome-keyring-daemon beside the test (tests/support/with_keyring.sh).
#include "platform/secret_service.h"
#include "secrets_rig.h"

#include <QTest>

using namespace secretsrig;

class TestAccountSecretsKeyring : public QObject
{
    Q_OBJECT

private slots:
    // Each account gets its own stored password; one with nothing stored is
    // named in the log and the next is still checked.
    void storedPasswordsSignIn()
    {
        ScriptedPop3Peer peer;
        peer.addScript(oneMailSession("ann", "ann's pässword"));
        peer.addScript(oneMailSession("eve", "eve secret"));
        QVERIFY(peer.listen());
        SecretServiceStore service;
        const auto keyOf = [&](const QString& user) {
            return SecretKey{"127.0.0.1", peer.port(), user, SecretKind::Password};
        };
        QString error;
        QVERIFY2(service.store(keyOf("ann"), "ann", "ann's pässword", &error), qPrintable(error));
        QVERIFY(service.store(keyOf("eve"), "eve", "eve secret", &error));
        // Only the account's own kind of item counts.
        QVERIFY(service.store({"127.0.0.1", peer.port(), "bob", SecretKind::OAuthTokens}, "bob",
                              "{}", &error));

        RunRig rig;
        SignInBook book;
        rig.runs->setSignInBook(&book);
        rig.runs->setSecretStore(&service);
        for (const QString user : {"ann", "bob", "eve"}) {
            rig.addAccount(user, "", peer.port());
            book.set(mailboxOf(user, peer.port()), fromSecretStore());
        }

        QVERIFY(rig.run());
        QVERIFY2(peer.waitUntilDone(), qPrintable(peer.report()));
        QCOMPARE(listed(rig), QStringList({"ann|ann", "eve|eve"}));
        QCOMPARE(skipped(rig), QStringList{"..Account Skipped, No Password: bob at 127.0.0.1 "
                                           "(nothing stored in the Secret Service)"});
        QVERIFY(!rig.runs->log().text().contains("eve secret"));
        QVERIFY(!rig.runs->log().text().contains("pässword"));
        QVERIFY(rig.logLines().last().startsWith("..Check Complete: "));
    }
};

QTEST_GUILESS_MAIN(TestAccountSecretsKeyring)
#include "test_account_secrets_keyring.moc"
