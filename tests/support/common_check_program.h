#pragma once

// The built quorvamel-check run as a user runs it: its own process, HOME
// given, standard input closed (no terminal).
#include <QProcess>
#include <QSignalSpy>
#include <QString>
#include <QStringList>

struct CheckProgramResult
{
    int exitCode = -1; // -1: it crashed or did not end in time
    QString out;
    QString err;
};

// Waits with the event loop running, so servers of this thread (the local
// authorization server, a scripted peer) answer meanwhile. extra holds
// variables set on top of this process's environment.
inline CheckProgramResult runCheckProgram(const QString& home, const QStringList& arguments,
                                          const QProcessEnvironment& extra = {},
                                          int timeoutMs = 90000)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(extra);
    env.insert(QStringLiteral("HOME"), home);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUORVAMEL_BIN_DIR) + QStringLiteral("/quorvamel-check"),
                  arguments);
    process.closeWriteChannel();
    CheckProgramResult r;
    QSignalSpy ended(&process, &QProcess::finished);
    if (!ended.wait(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return r;
    }
    r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = QString::fromUtf8(process.readAllStandardOutput());
    r.err = QString::fromUtf8(process.readAllStandardError());
    return r;
}
