// The password command: run without a shell, first line of output taken
// as it is, every failure a log text that never holds the secret, and a
// command that hangs killed with what it started.
#include "platform/secret_command.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace std::chrono_literals;

namespace {

SecretCommandResult runCommand(const QStringList& arguments, std::chrono::milliseconds timeout)
{
    SecretCommand command;
    QSignalSpy spy(&command, &SecretCommand::finished);
    command.start(arguments, timeout);
    // Heard back only through the event loop, never from inside start().
    if (!spy.isEmpty())
        return {false, {}, QStringLiteral("finished() came from inside start()")};
    if (!spy.wait(int(timeout.count()) + 5000))
        return {false, {}, QStringLiteral("finished() never came")};
    if (spy.size() != 1 || command.isRunning())
        return {false, {}, QStringLiteral("finished() came more than once")};
    return spy.at(0).at(0).value<SecretCommandResult>();
}

bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    // A zombie waits only for a parent to reap it: it runs no more.
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}

} // namespace

Q_DECLARE_METATYPE(SecretCommandResult)

class TestSecretCommand : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<SecretCommandResult>(); }
    void secret_data();
    void secret();
    void failure_data();
    void failure();
    void timeOutKillsWhatItStarted();
    void runAndWait();
};

void TestSecretCommand::secret_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("echo") << QStringList{"/bin/echo", "hunter2"} << QStringLiteral("hunter2");
    // Spaces belong to a password; nothing is trimmed but the line end.
    QTest::newRow("spaces kept") << QStringList{"/bin/echo", "  pass word  "}
                                 << QStringLiteral("  pass word  ");
    QTest::newRow("first of several lines, CR LF")
        << QStringList{"/usr/bin/printf", "first line\\r\\nsecond\\n"}
        << QStringLiteral("first line");
    QTest::newRow("no line end") << QStringList{"/usr/bin/printf", "abc"} << QStringLiteral("abc");
    // No shell: nothing is expanded or split.
    QTest::newRow("no shell") << QStringList{"/bin/echo", "$HOME;ls *"}
                              << QStringLiteral("$HOME;ls *");
    QTest::newRow("found in PATH")
        << QStringList{"echo", "from-path"} << QStringLiteral("from-path");
    QTest::newRow("UTF-8") << QStringList{"/bin/echo", "p\u00e4ss\u20ac"}
                           << QStringLiteral("p\u00e4ss\u20ac");
    // Output past what is kept does not disturb the first line.
    QTest::newRow("long output") << QStringList{"/usr/bin/seq", "7", "300000"}
                                 << QStringLiteral("7");
}

void TestSecretCommand::secret()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const SecretCommandResult result = runCommand(arguments, 10s);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.secret, expected);
    QCOMPARE(result.error, QString());
}

void TestSecretCommand::failure_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("exit status")
        << QStringList{"/bin/false"}
        << QStringLiteral("the password command \"/bin/false\" ended with exit status 1");
    QTest::newRow("exit status with reason")
        << QStringList{"/bin/sh", "-c", "echo 'gpg: decryption failed' >&2; echo more >&2; exit 2"}
        << QStringLiteral("the password command \"/bin/sh\" ended with exit status 2: "
                          "gpg: decryption failed");
    // Printed the secret, then failed and repeated it on standard error.
    QTest::newRow("secret never in the error")
        << QStringList{"/bin/sh", "-c", "echo s3cr3tvalue; echo 'bad s3cr3tvalue' >&2; exit 3"}
        << QStringLiteral("the password command \"/bin/sh\" ended with exit status 3: bad ***");
    QTest::newRow("missing program")
        << QStringList{"/nonexistent/quorvamel-pass"}
        << QStringLiteral("the password command \"/nonexistent/quorvamel-pass\" could not be "
                          "started: ");
    QTest::newRow("not in PATH")
        << QStringList{"quorvamel-no-such-tool"}
        << QStringLiteral("the password command \"quorvamel-no-such-tool\" could not be started: ");
    QTest::newRow("prints nothing")
        << QStringList{"/bin/true"}
        << QStringLiteral(
               "the password command \"/bin/true\" printed no password on its first line");
    // The first line counts even when a later one holds something.
    QTest::newRow("empty first line")
        << QStringList{"/usr/bin/printf", "\\nlater\\n"}
        << QStringLiteral(
               "the password command \"/usr/bin/printf\" printed no password on its first line");
    // Standard input is empty: a command that reads it ends at once.
    QTest::newRow("reads standard input")
        << QStringList{"/bin/cat"}
        << QStringLiteral(
               "the password command \"/bin/cat\" printed no password on its first line");
    QTest::newRow("killed by a signal")
        << QStringList{"/bin/sh", "-c", "echo s3cr3tvalue; kill -9 $$"}
        << QStringLiteral("the password command \"/bin/sh\" was ended by a signal");
    QTest::newRow("no command") << QStringList{} << QStringLiteral("no password command is set");
}

void TestSecretCommand::failure()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const SecretCommandResult result = runCommand(arguments, 10s);
    QVERIFY(!result.ok);
    QCOMPARE(result.secret, QString());
    QVERIFY2(result.error.startsWith(expected), qPrintable(result.error));
    if (expected.endsWith(QStringLiteral(": ")))
        QVERIFY2(result.error.size() > expected.size(), qPrintable(result.error)); // a reason
    QVERIFY(!result.error.contains(QStringLiteral("s3cr3tvalue")));
}

void TestSecretCommand::timeOutKillsWhatItStarted()
{
    // The shell starts a child and waits for it; both must go.
    QTemporaryDir dir;
    const QString pidFile = dir.filePath(QStringLiteral("child"));
    QElapsedTimer clock;
    clock.start();
    const SecretCommandResult result = runCommand(
        {"/bin/sh", "-c", QStringLiteral("sleep 30 & echo $! > %1; wait").arg(pidFile)}, 500ms);
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(!result.ok);
    QCOMPARE(result.error, QStringLiteral("the password command \"/bin/sh\" gave no answer within "
                                          "0.5 s and was stopped"));
    QFile file(pidFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const qint64 child = file.readAll().trimmed().toLongLong();
    QVERIFY(child > 0);
    QTRY_VERIFY_WITH_TIMEOUT(processGone(child), 3000);
}

void TestSecretCommand::runAndWait()
{
    const SecretCommandResult good = SecretCommand::runAndWait({"/bin/echo", "tok"}, 10s);
    QVERIFY(good.ok);
    QCOMPARE(good.secret, QStringLiteral("tok"));
    const SecretCommandResult slow = SecretCommand::runAndWait({"/bin/sleep", "30"}, 300ms);
    QVERIFY(!slow.ok);
    QVERIFY2(slow.error.contains(QStringLiteral("within 0.3 s")), qPrintable(slow.error));
}

QTEST_GUILESS_MAIN(TestSecretCommand)
#include "test_secret_command.moc"
