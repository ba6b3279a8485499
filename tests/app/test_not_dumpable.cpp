#include "storage/settings_record.h"
#include "storage/users_file.h"
#include "support/common_files.h"
#include "support/common_window_process.h"
#include "support/storage_accounts.h"

#include <QDir>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Who the processes run as: as root the test hands them to nobody, whose
// /proc entries a dumpable process owns itself.
constexpr uid_t Nobody = 65534;

uid_t runAs()
{
    return ::geteuid() == 0 ? Nobody : ::geteuid();
}

// The owner of /proc/<pid>/status: the process's own user while it is
// dumpable, root once it is not.
uid_t procOwner(qint64 pid)
{
    struct stat info = {};
    const QByteArray path = "/proc/" + QByteArray::number(pid) + "/status";
    return ::stat(path.constData(), &info) == 0 ? info.st_uid : uid_t(-1);
}

void giveTree(const QString& path, uid_t user)
{
    if (::geteuid() != 0)
        return;
    QVERIFY(::chown(QFile::encodeName(path).constData(), user, user) == 0);
    QDir dir(path);
    for (const QFileInfo& entry :
         dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        if (entry.isDir())
            giveTree(entry.filePath(), user);
        else
            QVERIFY(::chown(QFile::encodeName(entry.filePath()).constData(), user, user) == 0);
    }
}

void dropToRunUser(QProcess& process)
{
    if (::geteuid() != 0)
        return;
    process.setChildProcessModifier([] {
        if (::setgid(Nobody) != 0 || ::setuid(Nobody) != 0)
            ::_exit(97);
    });
}

} // namespace

// Both programs hold passwords in memory: neither may leave a core file nor
// let another process of the user read its memory.
class TestNotDumpable : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    QString m_data;
    QTcpServer m_silent;

private slots:
    void initTestCase()
    {
        // An account on a server that never answers keeps the check running.
        QVERIFY(m_silent.listen(QHostAddress::LocalHost));
        m_data = m_home.path() + "/Application Data/Quorvamel";
        QVERIFY(QDir().mkpath(m_data));
        writeBytes(m_data + "/quorvamel.ini", SettingsRecord::templateRecord().encode());
        QVERIFY(writeAccounts(m_data + '/' + UsersFileName,
                              {{"Box", "bob", "secret1", "127.0.0.1", m_silent.serverPort(), 1}}));
        giveTree(m_home.path(), runAs());
    }

    // The check itself tells a dumpable process from one that is not.
    void ownershipShowsDumpability()
    {
        QProcess sleeper;
        dropToRunUser(sleeper);
        sleeper.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(sleeper.waitForStarted());
        QTRY_COMPARE(procOwner(sleeper.processId()), runAs());
        sleeper.kill();
        sleeper.waitForFinished();
    }

    void windowProgramIsNotDumpable()
    {
        WindowProcess program;
        dropToRunUser(program.process);
        program.start(m_home.path(), QString());
        QVERIFY(program.waitUntilUp());
        QCOMPARE(procOwner(program.process.processId()), uid_t(0));
        program.signal(SIGTERM);
        QVERIFY(program.waitForExit());
        QVERIFY(program.exitedCleanly());
    }

    void checkProgramIsNotDumpable()
    {
        QProcess check;
        dropToRunUser(check);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        check.setProcessEnvironment(env);
        check.start(QStringLiteral(QUORVAMEL_BIN_DIR "/quorvamel-check"), {});
        QVERIFY(check.waitForStarted());
        // Connected to the silent server: well past start-up.
        QTRY_VERIFY_WITH_TIMEOUT(m_silent.hasPendingConnections(), 20000);
        QCOMPARE(check.state(), QProcess::Running);
        QCOMPARE(procOwner(check.processId()), uid_t(0));
        check.kill();
        check.waitForFinished();
    }
};

QTEST_MAIN(TestNotDumpable)
#include "test_not_dumpable.moc"
