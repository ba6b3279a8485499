// quorvamel-check with the sign-in file of the data folder: an account's
// password from a command, a failing command named in the log while the
// run goes on, a damaged file put aside; the users file keeps its bytes.
#include "app/check_cli.h"
#include "storage/settings_file.h"
#include "storage/settings_record.h"
#include "storage/sign_in_file.h"
#include "storage/users_file.h"
#include "support/common_files.h"
#include "support/servers_one_mail.h"
#include "support/storage_accounts.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

namespace {

SignInFileEntry fromCommand(const QString& user, quint16 port, const QStringList& command)
{
    SignInFileEntry entry;
    entry.server = QStringLiteral("localhost");
    entry.port = port;
    entry.userName = user;
    entry.signIn.secretOrigin = SecretOrigin::Command;
    entry.signIn.secretCommand = command;
    return entry;
}

struct Check
{
    int exitCode = -1;
    QString out;
    QString err;
};

Check runCheck(const QString& home)
{
    Check c;
    QTextStream outStream(&c.out), errStream(&c.err);
    CheckCliIo io;
    io.out = &outStream;
    io.err = &errStream;
    c.exitCode = runCheckCli({}, home, io);
    outStream.flush();
    errStream.flush();
    return c;
}

} // namespace

class TestCheckCliSignIn : public QObject
{
    Q_OBJECT

private slots:
    void passwordsFromCommands()
    {
        ScriptedPop3Peer peer;
        peer.addScript(oneMailSession("ann", "ann from command"));
        peer.addScript(oneMailSession("eve", "pe"));
        QVERIFY(peer.listen());
        const QString data = makeDataFolder();
        const QString users = data + QLatin1Char('/') + UsersFileName;
        QVERIFY(writeAccounts(users, {{"Box ann", "ann", "", "localhost", peer.port()},
                                      {"Box bob", "bob", "pb", "localhost", peer.port()},
                                      {"Box eve", "eve", "pe", "localhost", peer.port()}}));
        const QString signIn = data + QLatin1Char('/') + SignInFileName;
        QVERIFY(writeSignInFile(
            signIn, {fromCommand("ann", peer.port(), {"printf", "%s\\n", "ann from command"}),
                     fromCommand("bob", peer.port(), {"sh", "-c", "exit 4"})}));
        const QByteArray usersBefore = fileBytes(users);
        const QByteArray signInBefore = fileBytes(signIn);

        const Check check = runCheck(m_home.path());
        QVERIFY2(peer.waitUntilDone(5000), qPrintable(peer.report() + '\n' + check.err));
        QCOMPARE(check.exitCode, 0);
        // Each row's subject is its user name.
        QVERIFY2(check.out.contains("\tann@x.org\tann\t") &&
                     check.out.contains("\tann@x.org\teve\t"),
                 qPrintable(check.out));
        QVERIFY2(check.err.contains("..Account Skipped, No Password: bob at localhost (the "
                                    "password command \"sh\" ended with exit status 4"),
                 qPrintable(check.err));
        QVERIFY(!check.err.contains("ann from command"));
        QCOMPARE(fileBytes(users), usersBefore);
        QCOMPARE(fileBytes(signIn), signInBefore);
    }

    // A damaged sign-in file is told once and put aside; every account then
    // signs in with its users file password.
    void damagedFileIsPutAside()
    {
        ScriptedPop3Peer peer;
        peer.addScript(oneMailSession("bob", "pb"));
        QVERIFY(peer.listen());
        const QString data = makeDataFolder();
        QVERIFY(writeAccounts(data + QLatin1Char('/') + UsersFileName,
                              {{"Box bob", "bob", "pb", "localhost", peer.port()}}));
        const QString signIn = data + QLatin1Char('/') + SignInFileName;
        writeBytes(signIn, "{\"format\":\"quorvamel-sign-in\",\"version\":1,\"acc");

        const Check check = runCheck(m_home.path());
        QVERIFY2(peer.waitUntilDone(5000), qPrintable(peer.report() + '\n' + check.err));
        QCOMPARE(check.exitCode, 0);
        QCOMPARE(check.err.count("Sign-in file"), 1);
        QVERIFY2(
            check.err.contains("quorvamel-check: Sign-in file " + signIn + " not used (not JSON"),
            qPrintable(check.err));
        QVERIFY(!QFile::exists(signIn));
        QVERIFY(QFile::exists(signIn + SignInFileDamagedSuffix));
    }

private:
    QString makeDataFolder()
    {
        const QString data = dataFolderOf(m_home.path());
        QDir(data).removeRecursively();
        QDir().mkpath(data);
        SettingsRecord settings = SettingsRecord::templateRecord();
        settings.setServerTimeoutMs(10000);
        writeSettingsFile(data + QStringLiteral("/quorvamel.ini"), settings);
        return data;
    }

    QTemporaryDir m_home;
};

QTEST_GUILESS_MAIN(TestCheckCliSignIn)
#include "test_check_cli_sign_in.moc"
