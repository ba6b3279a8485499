#include "bench_support.h"

#include "storage/account_record.h"
#include "storage/header_cache_file.h"
#include "storage/scramble.h"
#include "storage/settings_file.h"
#include "storage/users_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Waits for the child up to `timeoutMs` without polling in a loop: a pidfd
// becomes readable when the child ends.
bool waitForExit(pid_t pid, int timeoutMs)
{
    const int fd = int(syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0)
        return true; // no pidfd: wait4 below blocks instead
    pollfd p{fd, POLLIN, 0};
    int ready;
    do
        ready = poll(&p, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    close(fd);
    return ready > 0;
}

} // namespace

ChildRun runChild(const QString& program, const QStringList& arguments,
                  const QProcessEnvironment& environment, int timeoutMs)
{
    ChildRun run;
    QTemporaryFile outFile, errFile;
    if (!outFile.open() || !errFile.open()) {
        run.error = QStringLiteral("cannot make the output files");
        return run;
    }
    // The child's peak memory and CPU time come from a small launcher (see
    // peak_launcher.cpp); the wait below only ends it.
    QTemporaryFile report;
    if (!report.open()) {
        run.error = QStringLiteral("cannot make the report file");
        return run;
    }
    const QString launcher =
        QCoreApplication::applicationDirPath() + QStringLiteral("/peak_launcher");
    std::vector<QByteArray> argStore{QFile::encodeName(launcher),
                                     QFile::encodeName(report.fileName()),
                                     QFile::encodeName(program)};
    for (const QString& a : arguments)
        argStore.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> envStore;
    for (const QString& e : environment.toStringList())
        envStore.push_back(e.toLocal8Bit());
    std::vector<char*> envp;
    for (QByteArray& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFile.handle(), 1);
    posix_spawn_file_actions_adddup2(&actions, errFile.handle(), 2);
    pid_t pid = 0;
    QElapsedTimer timer;
    timer.start();
    const int spawned =
        posix_spawn(&pid, argStore[0].constData(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        run.error = QStringLiteral("cannot start %1: %2").arg(program, qt_error_string(spawned));
        return run;
    }
    const bool ended = waitForExit(pid, timeoutMs);
    if (!ended)
        kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.wallMs = timer.nsecsElapsed() / 1e6;
    const QList<QByteArray> fields = report.readAll().trimmed().split(' ');
    if (fields.size() == 3) {
        run.maxRssKb = fields[0].toLong();
        run.cpuMs = fields[1].toDouble();
        run.exitCode = fields[2].toInt();
    } else if (ended) {
        run.error = QStringLiteral("%1 could not be started").arg(program);
    }
    outFile.seek(0);
    errFile.seek(0);
    run.out = outFile.readAll();
    run.err = errFile.readAll();
    if (!ended)
        run.error = QStringLiteral("%1 did not finish in %2 ms").arg(program).arg(timeoutMs);
    return run;
}

bool fail(const QString& message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    return false;
}

QByteArray lastLine(const QByteArray& out)
{
    const QList<QByteArray> lines = out.trimmed().split('\n');
    return lines.isEmpty() ? QByteArray() : lines.last().trimmed();
}

bool makeBenchHome(const QString& home, const QList<BenchAccount>& accounts,
                   const std::function<void(SettingsRecord&)>& adjust, QString* error)
{
    const QString dataFolder = home + QStringLiteral("/Application Data/Quorvamel");
    if (!QDir().mkpath(dataFolder)) {
        *error = QStringLiteral("cannot create ") + dataFolder;
        return false;
    }
    QFile::setPermissions(dataFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QList<AccountRecord> records;
    for (const BenchAccount& a : accounts) {
        AccountRecord account;
        account.displayName = QStringLiteral("Bench ") + a.user;
        account.userName = a.user;
        account.scrambledPassword = scramblePassword(a.password);
        account.serverName = QStringLiteral("127.0.0.1");
        account.port = a.port;
        account.checked = 1;
        records.append(account);
    }
    SettingsRecord settings = SettingsRecord::templateRecord();
    if (adjust)
        adjust(settings);
    return writeSettingsFile(dataFolder + QStringLiteral("/quorvamel.ini"), settings, error) &&
           writeUsersFile(dataFolder + QLatin1Char('/') + UsersFileName, records, error);
}

bool forgetHeaderCache(const QString& home)
{
    const QString path =
        home + QStringLiteral("/Application Data/Quorvamel/") + HeaderCacheFileName;
    return !QFileInfo::exists(path) || QFile::remove(path);
}

QProcessEnvironment benchEnvironment(const QString& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("HOME"), home);
    return env;
}

double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

void printSummary(const char* id, const QString& figure, const QString& target,
                  const QString& baseline, bool met)
{
    std::printf("SUMMARY|%s|%s|%s|%s|%s\n", id, qPrintable(figure), qPrintable(target),
                qPrintable(baseline), met ? "met" : "MISSED");
    std::fflush(stdout);
}
