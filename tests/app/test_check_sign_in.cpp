// quorvamel-check --sign-in run as a program against the local
// authorization server: the browser the user's machine names ($BROWSER,
// here a script that fetches the address with curl and follows the
// redirect) brings the code back, and the tokens and the account's new
// sign-in land in the sign-in file. Bad requests end before any browser.
#include "app/check_sign_in.h"
#include "runs/sign_in_book.h"
#include "storage/settings_file.h"
#include "storage/settings_record.h"
#include "storage/users_file.h"
#include "support/common_check_program.h"
#include "support/common_files.h"
#include "support/servers_oauth.h"
#include "support/storage_accounts.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const MailboxKey aliceBox{QStringLiteral("127.0.0.1"), 995, QStringLiteral("alice")};

} // namespace

class TestCheckSignIn : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void signsIn();
    void refusedRequests_data();
    void refusedRequests();

private:
    using Result = CheckProgramResult;
    Result run(const QStringList& arguments);

    OAuthServer m_server;
    QTemporaryDir m_home;
    QString m_data;
    QString m_browser;
};

void TestCheckSignIn::initTestCase()
{
    QVERIFY(m_server.listen());
    QVERIFY(m_home.isValid());
    m_data = m_home.path() + QStringLiteral("/Application Data/Quorvamel");
    QVERIFY(QDir().mkpath(m_data));
    QVERIFY(writeSettingsFile(m_data + QStringLiteral("/quorvamel.ini"),
                              SettingsRecord::templateRecord()));
    QVERIFY(writeAccounts(m_data + QLatin1Char('/') + UsersFileName,
                          {{"Box alice", "alice", "unused", "127.0.0.1", 995, 0},
                           {"Box bob", "bob", "unused", "127.0.0.1", 995, 0}}));
    // A browser as $BROWSER names one: a program given the address.
    m_browser = m_home.path() + QStringLiteral("/browser.sh");
    QFile script(m_browser);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(
        "#!/bin/sh\nexec curl --silent --location --max-time 20 --output /dev/null \"$1\"\n");
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

TestCheckSignIn::Result TestCheckSignIn::run(const QStringList& arguments)
{
    QProcessEnvironment browser;
    browser.insert(QStringLiteral("BROWSER"), m_browser);
    return runCheckProgram(m_home.path(), arguments, browser, 60000);
}

void TestCheckSignIn::signsIn()
{
    const OAuthClient client = m_server.client(QStringLiteral("pop offline_access"));
    const Result r = run({"--sign-in", "Box alice", "--client-id", client.clientId,
                          "--authorization-url", client.authorizationUrl.toString(), "--token-url",
                          client.tokenUrl.toString(), "--scope", client.scope});
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    // The address is printed for a user whose browser does not open.
    QVERIFY2(r.out.contains(client.authorizationUrl.toString() + QStringLiteral("?")),
             qPrintable(r.out));
    QCOMPARE(m_server.requests(QStringLiteral("/authorize")), 1);
    QVERIFY2(r.err.contains(QStringLiteral("Signed in; the tokens are in ")), qPrintable(r.err));

    SignInBook book;
    QString error;
    QVERIFY2(book.load(signInBookPath(m_data), &error), qPrintable(error));
    const AccountSignIn signIn = book.find(aliceBox);
    QCOMPARE(signIn.method, SignInMethod::OAuth2);
    QCOMPARE(signIn.oauth, client);
    const std::optional<OAuthTokens> tokens = book.tokens(aliceBox);
    QVERIFY(tokens.has_value());
    QVERIFY(m_server.isActive(tokens->accessToken.toLatin1()));
    QVERIFY(!tokens->refreshToken.isEmpty());
    QVERIFY(!r.out.contains(tokens->accessToken) && !r.err.contains(tokens->refreshToken));
    // Bob's entry was never touched.
    QCOMPARE(book.find({aliceBox.server, aliceBox.port, QStringLiteral("bob")}), AccountSignIn());
}

void TestCheckSignIn::refusedRequests_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");
    const QString token = m_server.url(QStringLiteral("/token")).toString();
    const QString authorize = m_server.url(QStringLiteral("/authorize")).toString();
    QTest::newRow("unknown account")
        << QStringList{"--sign-in", "Box carol", "--provider", "Google", "--client-id", "x"} << 2
        << "no account is named \"Box carol\"";
    QTest::newRow("no client id") << QStringList{"--sign-in", "Box bob", "--provider", "Google"}
                                  << 2 << "no client id";
    QTest::newRow("unknown provider")
        << QStringList{"--sign-in", "Box bob", "--provider", "Example", "--client-id", "x"} << 2
        << "no provider named \"Example\"";
    QTest::newRow("plain http elsewhere")
        << QStringList{"--sign-in",           "Box bob",
                       "--client-id",         "x",
                       "--authorization-url", "http://login.example.com/authorize",
                       "--token-url",         token}
        << 2 << "http://login.example.com/authorize must start with https://";
    QTest::newRow("option without value")
        << QStringList{"--sign-in", "Box bob", "--scope"} << 2 << "usage:";
}

void TestCheckSignIn::refusedRequests()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    const qint32 authorizations = m_server.requests(QStringLiteral("/authorize"));
    const QByteArray book = fileBytes(signInBookPath(m_data));
    const Result r = run(arguments);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(error), qPrintable(r.err));
    // Refused before a browser opened; the sign-in file is as it was.
    QCOMPARE(m_server.requests(QStringLiteral("/authorize")), authorizations);
    QVERIFY(!r.out.contains(QStringLiteral("Open this address")));
    QCOMPARE(fileBytes(signInBookPath(m_data)), book);
}

QTEST_GUILESS_MAIN(TestCheckSignIn)
#include "test_check_sign_in.moc"
