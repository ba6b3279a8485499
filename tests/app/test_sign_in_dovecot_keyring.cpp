// Every way of signing in, end to end, as a user sets it up: quorvamel-check
// against a real Dovecot that refuses any sign-in before STLS, beside a real
// Secret Service. One account with USER/PASS from the users file, one with
// SCRAM-SHA-256, one whose password a command prints, one whose password
// is in the Secret Service, and one signed in with OAuth2 through
// `quorvamel-check --sign-in` (its browser a script that follows the
// local authorization server's redirect). Each lists its mail; no secret
// reaches the output; the users file keeps its bytes.
#include "app/check_sign_in.h"
#include "platform/secret_service.h"
#include "runs/sign_in_book.h"
#include "storage/settings_file.h"
#include "storage/settings_record.h"
#include "storage/users_file.h"
#include "support/common_check_program.h"
#include "support/common_files.h"
#include "support/servers_dovecot.h"
#include "support/servers_oauth.h"
#include "support/storage_accounts.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The users, each with one message of its own number; their passwords.
const QStringList users{"pat", "sam", "cid", "sue", "oli"};

QString passwordOf(const QString& user)
{
    return QStringLiteral("pw-") + user + QStringLiteral("-7q");
}

using Result = CheckProgramResult;

} // namespace

class TestSignInDovecotKeyring : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void everyAccountListsItsMail();

private:
    MailboxKey mailboxOf(const QString& user) const
    {
        return {DovecotFixture::remoteAddress(), m_dovecot.plainPort(), user};
    }
    Result run(const QStringList& arguments);

    OAuthServer m_oauth;
    DovecotFixture m_dovecot;
    QTemporaryDir m_home;
    QString m_data;
    QString m_browser;
};

void TestSignInDovecotKeyring::initTestCase()
{
    if (DovecotFixture::dovecotBinary().isEmpty())
        QFAIL("Dovecot is not installed (scripts/install-deps.sh installs it)");
    QVERIFY(m_oauth.listen());
    m_oauth.setOwner("oli");
    for (int i = 0; i < users.size(); ++i) {
        m_dovecot.addUser(users[i], passwordOf(users[i]));
        QVERIFY(m_dovecot.writeGeneratedMessages(users[i], 1, i + 1));
    }
    m_dovecot.setExtraMechanisms(QStringLiteral("scram-sha-256"));
    m_dovecot.setOAuthIntrospectionUrl(m_oauth.url(QStringLiteral("/introspect")).toString());
    m_dovecot.setSslRequired(true); // from remoteAddress(), nothing before STLS
    QVERIFY2(m_dovecot.start(), qPrintable(m_dovecot.errorString()));
    QVERIFY2(m_dovecot.tlsPort() != 0, "the server runs without TLS (no test CA files)");

    QVERIFY(m_home.isValid());
    m_data = m_home.path() + QStringLiteral("/Application Data/Quorvamel");
    QVERIFY(QDir().mkpath(m_data));
    QVERIFY(writeSettingsFile(m_data + QStringLiteral("/quorvamel.ini"),
                              SettingsRecord::templateRecord()));
    QList<TestAccount> accounts;
    for (const QString& user : users) {
        // Only the first two keep their password in the users file.
        const QString stored = user == "pat" || user == "sam" ? passwordOf(user) : QString();
        accounts.append({"Box " + user, user, stored, DovecotFixture::remoteAddress(),
                         m_dovecot.plainPort(), 0});
    }
    QVERIFY(writeAccounts(m_data + QLatin1Char('/') + UsersFileName, accounts));

    m_browser = m_home.path() + QStringLiteral("/browser.sh");
    writeBytes(
        m_browser,
        "#!/bin/sh\nexec curl --silent --location --max-time 20 --output /dev/null \"$1\"\n");
    QVERIFY(
        QFile::setPermissions(m_browser, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

Result TestSignInDovecotKeyring::run(const QStringList& arguments)
{
    QProcessEnvironment browser;
    browser.insert(QStringLiteral("BROWSER"), m_browser);
    return runCheckProgram(m_home.path(), arguments, browser);
}

void TestSignInDovecotKeyring::everyAccountListsItsMail()
{
    SecretServiceStore store;
    QString error;
    QVERIFY2(store.store({DovecotFixture::remoteAddress(), m_dovecot.plainPort(), "sue",
                          SecretKind::Password},
                         QStringLiteral("Quorvamel sue"), passwordOf("sue"), &error),
             qPrintable(error));
    SignInBook book;
    AccountSignIn scram;
    scram.method = SignInMethod::Scram;
    book.set(mailboxOf("sam"), scram);
    AccountSignIn command;
    command.secretOrigin = SecretOrigin::Command;
    command.secretCommand = {"printf", "%s\\n", passwordOf("cid")};
    book.set(mailboxOf("cid"), command);
    AccountSignIn inStore;
    inStore.secretOrigin = SecretOrigin::SecretStore;
    book.set(mailboxOf("sue"), inStore);
    QVERIFY2(book.save(signInBookPath(m_data), &error), qPrintable(error));
    const QString usersPath = m_data + QLatin1Char('/') + UsersFileName;
    const QByteArray usersBefore = fileBytes(usersPath);

    const OAuthClient client = m_oauth.client(QStringLiteral("pop offline_access"));
    const Result signIn = run({"--sign-in", "Box oli", "--client-id", client.clientId,
                               "--authorization-url", client.authorizationUrl.toString(),
                               "--token-url", client.tokenUrl.toString(), "--scope", client.scope});
    QVERIFY2(signIn.exitCode == 0, qPrintable(signIn.out + signIn.err));
    QVERIFY2(signIn.err.contains("the tokens are in the Secret Service"), qPrintable(signIn.err));

    const Result check = run({});
    qInfo("%s", qPrintable(check.err)); // the log a user would read
    QVERIFY2(check.exitCode == 0, qPrintable(check.out + check.err));
    for (int i = 0; i < users.size(); ++i) {
        const QString subject = GeneratedMail::number(i + 1).subject;
        QVERIFY2(check.out.contains(QStringLiteral("Box %1\t%1\t").arg(users[i])) &&
                     check.out.contains(subject),
                 qPrintable(users[i] + ": " + check.out));
    }
    QCOMPARE(check.out.count(QLatin1Char('\n')), users.size());
    for (const QString& user : users)
        QVERIFY2(!(check.out + check.err).contains(passwordOf(user)), qPrintable(user));
    // The server saw each account sign in its own way.
    const QString serverLog = m_dovecot.logText();
    for (const auto& [user, method] : QList<QPair<QString, QString>>{
             {"pat", "PLAIN"}, {"sam", "SCRAM-SHA-256"}, {"cid", "PLAIN"}, {"sue", "PLAIN"}}) {
        const QString login = QStringLiteral("user=<%1>, method=%2").arg(user, method);
        QVERIFY2(serverLog.contains(login), qPrintable(login + '\n' + serverLog));
    }
    QVERIFY2(serverLog.contains(QRegularExpression("user=<oli>, method=(OAUTHBEARER|XOAUTH2)")),
             qPrintable(serverLog));
    QCOMPARE(fileBytes(usersPath), usersBefore);
}

QTEST_GUILESS_MAIN(TestSignInDovecotKeyring)
#include "test_sign_in_dovecot_keyring.moc"
