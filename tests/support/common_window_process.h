#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTest>
#include <csignal>
#include <sys/stat.h>

// True when the process named "quorvamel" with that id catches the signal.
// (Between fork and exec the child still has the test's handlers: the
// name tells.)
inline bool programCatchesSignal(qint64 pid, int number)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    bool program = false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("Name:"))
            program = line.mid(5).trimmed() == "quorvamel";
        if (line.startsWith("SigCgt:") && program)
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (number - 1)) & 1;
    }
    return false;
}

// Waits for a line of a helper process's standard output.
inline bool waitForOutputLine(QProcess& process, const QByteArray& wanted, int ms = 20000)
{
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        while (process.canReadLine()) {
            if (process.readLine().trimmed() == wanted)
                return true;
        }
        if (process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(50);
    }
    return false;
}

// The first line of a helper process's standard output; empty when none came.
inline QByteArray firstOutputLine(QProcess& process)
{
    const QDeadlineTimer deadline(10000);
    while (!process.canReadLine() && !deadline.hasExpired() &&
           process.state() != QProcess::NotRunning)
        process.waitForReadyRead(50);
    return process.readLine().trimmed();
}

// The built window program run as a process of its own on a throw-away home
// folder, offscreen.
class WindowProcess
{
public:
    // An empty runtime folder leaves XDG_RUNTIME_DIR unset; overrides are
    // put in last.
    void start(const QString& home, const QString& runtimeFolder,
               const QProcessEnvironment& overrides = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (runtimeFolder.isEmpty())
            env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        else
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder);
        env.remove(QStringLiteral("SESSION_MANAGER"));
        for (const QString& name : overrides.keys())
            env.insert(name, overrides.value(name));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(QUORVAMEL_BIN_DIR "/quorvamel"), {});
    }

    // The window is up once the program catches SIGTERM: it installs its
    // handlers after the window program has been built.
    bool waitUntilUp(int ms = 20000)
    {
        const QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            if (process.state() == QProcess::NotRunning)
                return false;
            if (catchesSignal(SIGTERM))
                return true;
            QTest::qWait(20);
        }
        return false;
    }

    bool catchesSignal(int number) const
    {
        return programCatchesSignal(process.processId(), number);
    }

    // Waits with the event loop running; true when it ended on its own.
    bool waitForExit(int ms = 20000)
    {
        const QDeadlineTimer deadline(ms);
        while (process.state() != QProcess::NotRunning && !deadline.hasExpired())
            QTest::qWait(20);
        return process.state() == QProcess::NotRunning;
    }

    bool exitedCleanly() const
    {
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    void signal(int number) const { ::kill(pid_t(process.processId()), number); }

    ~WindowProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    QProcess process;
};

// The inode number; 0 when there is no file. A file replaced whole by a
// save has a new one.
inline ino_t fileInode(const QString& path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}
