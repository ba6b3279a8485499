// Each account's secret is fetched before its session from where its
// sign-in choice says; an account without one is skipped with a line in
// the log and the run goes on to the next.
#include "delete_rig.h"
#include "platform/secret_service.h"
#include "runs/oauth_access.h"
#include "secrets_rig.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

using namespace secretsrig;

namespace {

class ScriptedOAuthAccess : public OAuthAccess
{
public:
    AccessTokenResult answer;
    QList<MailboxKey> askedFor;
    QList<OAuthClient> clients;

    AccessTokenResult accessToken(const MailboxKey& mailbox, const OAuthClient& client) override
    {
        askedFor.append(mailbox);
        clients.append(client);
        return answer;
    }
};

AccountSignIn oauth2()
{
    AccountSignIn signIn;
    signIn.method = SignInMethod::OAuth2;
    signIn.secretOrigin = SecretOrigin::SecretStore;
    signIn.oauth.provider = QStringLiteral("Microsoft");
    signIn.oauth.clientId = QStringLiteral("client-1");
    return signIn;
}

const QString commandSecret = QStringLiteral("pw with  blanks");

} // namespace

class TestAccountSecrets : public QObject
{
    Q_OBJECT

private slots:
    // One run over every way: the accounts with a secret are visited with
    // it, the others are each named in one line, and the run completes.
    void everyWayInOneRun()
    {
        ScriptedPop3Peer peer;
        peer.addScript(oneMailSession("ann", commandSecret.toUtf8()));
        peer.addScript(oneMailSession("eve", "pe"));
        QVERIFY(peer.listen());
        RunRig rig;
        SignInBook book;
        rig.runs->setSignInBook(&book);
        // No password in the users file: it comes from the command.
        rig.addAccount("ann", "", peer.port());
        book.set(mailboxOf("ann", peer.port()),
                 fromCommand({"printf", "%s\\nsecond line\\n", commandSecret}));
        rig.addAccount("bob", "pb", peer.port());
        book.set(mailboxOf("bob", peer.port()),
                 fromCommand({"sh", "-c", "echo vault locked >&2; exit 3"}));
        rig.addAccount("cat", "", peer.port());
        book.set(mailboxOf("cat", peer.port()), fromSecretStore());
        rig.addAccount("dan", "", peer.port());
        book.set(mailboxOf("dan", peer.port()), oauth2());
        rig.addAccount("eve", "pe", peer.port());

        QVERIFY(rig.run());
        QVERIFY2(peer.waitUntilDone(), qPrintable(peer.report()));

        QCOMPARE(listed(rig), QStringList({"ann|ann", "eve|eve"}));
        const QStringList lines = skipped(rig);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith("..Account Skipped, No Password: bob at 127.0.0.1 (") &&
                     lines[0].contains("exit status 3") && lines[0].contains("vault locked"),
                 qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith("..Account Skipped, No Password: cat at 127.0.0.1 (No "
                                     "Secret Service"),
                 qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith("..Account Skipped, No Password: dan at 127.0.0.1 (OAuth2"),
                 qPrintable(lines[2]));
        QVERIFY(rig.logLines().last().startsWith("..Check Complete: "));
        QVERIFY(!rig.runs->log().text().contains(commandSecret));
        QVERIFY(rig.prompter.shown().isEmpty());
    }

    // The OAuth2 access is asked with the account's mailbox and client; its
    // refusal reaches the log as it gave it, and no connection is made.
    void refusedAccessTokenSkipsTheAccount()
    {
        ScriptedPop3Peer peer;
        QVERIFY(peer.listen());
        RunRig rig;
        SignInBook book;
        ScriptedOAuthAccess access;
        access.answer.error = QStringLiteral("The refresh token was refused: sign in again");
        rig.runs->setSignInBook(&book);
        rig.runs->setOAuthAccess(&access);
        rig.addAccount("dan", "", peer.port());
        book.set(mailboxOf("dan", peer.port()), oauth2());

        QVERIFY(rig.run());
        QCOMPARE(access.askedFor, QList<MailboxKey>{mailboxOf("dan", peer.port())});
        QCOMPARE(access.clients.value(0), oauth2().oauth);
        QCOMPARE(skipped(rig), QStringList{"..Account Skipped, No Password: dan at 127.0.0.1 (The "
                                           "refresh token was refused: sign in again)"});
        QCOMPARE(peer.connectionCount(), 0);
        QVERIFY(rig.logLines().last().startsWith("..Check Complete: "));
    }

    // A delete run visits a block with the password from its command and
    // skips the block whose command fails, keeping its rows marked.
    void deleteRunTakesTheSecretToo()
    {
        using namespace deleterig;
        ScriptedPop3Peer peer;
        peer.addScript(
            session("ann", commandSecret.toUtf8(), {"Alpha"}, {"TOP 1 2", "DELE 1", "QUIT"}));
        QVERIFY(peer.listen());
        RunRig rig;
        SignInBook book;
        rig.runs->setSignInBook(&book);
        prepare(rig);
        addRow(rig, "ann", "", peer.port(), "Alpha", true);
        addRow(rig, "bob", "", peer.port(), "Beta", true);
        book.set(mailboxOf("ann", peer.port()), fromCommand({"printf", "%s", commandSecret}));
        book.set(mailboxOf("bob", peer.port()), fromCommand({"false"}));

        QVERIFY(deleteRun(rig));
        QVERIFY2(peer.waitUntilDone(), qPrintable(peer.report()));
        QCOMPARE(peer.connectionCount(), 1);
        QCOMPARE(deleterig::listed(rig), QStringList({"ann|(no mail)||0", "bob|Beta|K|1"}));
        QCOMPARE(skipped(rig).size(), 1);
        QVERIFY(skipped(rig).constFirst().contains("bob at 127.0.0.1"));
        QVERIFY(!rig.runs->log().text().contains(commandSecret));
    }

    // With no Secret Service to reach, the account says so in the log soon
    // and the next account is checked. Last: it points the session bus of
    // this process nowhere.
    void noSecretServiceGoesOn()
    {
        QTemporaryDir dir;
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(dir.filePath("none")));
        ScriptedPop3Peer peer;
        peer.addScript(oneMailSession("eve", "pe"));
        QVERIFY(peer.listen());
        RunRig rig;
        SignInBook book;
        SecretServiceStore service;
        rig.runs->setSignInBook(&book);
        rig.runs->setSecretStore(&service);
        rig.addAccount("cat", "pc", peer.port());
        book.set(mailboxOf("cat", peer.port()), fromSecretStore());
        rig.addAccount("eve", "pe", peer.port());

        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.run());
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY2(peer.waitUntilDone(), qPrintable(peer.report()));
        QCOMPARE(listed(rig), QStringList{"eve|eve"});
        QCOMPARE(skipped(rig).size(), 1);
        QVERIFY2(skipped(rig).constFirst().startsWith(
                     "..Account Skipped, No Password: cat at 127.0.0.1 (No Secret Service ("),
                 qPrintable(skipped(rig).constFirst()));
    }
};

QTEST_GUILESS_MAIN(TestAccountSecrets)
#include "test_account_secrets.moc"
