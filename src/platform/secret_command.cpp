#include "platform/secret_command.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace {

// Enough for any password or token; a command that floods its output
// cannot fill our memory.
constexpr qsizetype maxStdout = 64 * 1024;
constexpr qsizetype maxStderr = 4 * 1024;

void appendCapped(QByteArray& buffer, const QByteArray& chunk, qsizetype cap)
{
    if (buffer.size() < cap)
        buffer += chunk.left(cap - buffer.size());
}

QByteArray firstLine(const QByteArray& text)
{
    const qsizetype end = text.indexOf('\n');
    QByteArray line = end < 0 ? text : text.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

SecretCommand::SecretCommand(QObject* parent) : QObject(parent)
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        killGroup();
    });
}

SecretCommand::~SecretCommand()
{
    if (m_process) {
        m_process->disconnect(this);
        killGroup();
        m_process->waitForFinished(1000);
    }
}

void SecretCommand::killGroup()
{
    if (!m_process)
        return;
    const qint64 pid = m_process->processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    m_process->kill();
}

QString SecretCommand::failure(const QString& what) const
{
    return QStringLiteral("the password command \"%1\" %2").arg(m_program, what);
}

void SecretCommand::start(const QStringList& arguments, std::chrono::milliseconds timeout)
{
    Q_ASSERT(!m_process);
    m_program = arguments.value(0);
    m_stdout.clear();
    m_stderr.clear();
    m_timedOut = false;
    m_timeout = timeout;
    if (m_program.isEmpty()) {
        report({false, {}, QStringLiteral("no password command is set")});
        return;
    }
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(m_program);
    m_process->setArguments(arguments.mid(1));
    m_process->setStandardInputFile(QProcess::nullDevice());
    // Its own process group, so a time-out can kill what it started too.
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(m_process.get(), &QProcess::readyReadStandardOutput, this, &SecretCommand::readOutput);
    connect(m_process.get(), &QProcess::readyReadStandardError, this, &SecretCommand::readOutput);
    connect(m_process.get(), &QProcess::finished, this, [this] { processEnded(true); });
    connect(m_process.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            processEnded(false);
    });
    m_timer->start(timeout);
    m_process->start();
}

void SecretCommand::readOutput()
{
    appendCapped(m_stdout, m_process->readAllStandardOutput(), maxStdout);
    appendCapped(m_stderr, m_process->readAllStandardError(), maxStderr);
}

void SecretCommand::processEnded(bool started)
{
    if (!m_process)
        return;
    m_timer->stop();
    SecretCommandResult result;
    if (!started) {
        result.error =
            failure(QStringLiteral("could not be started: %1").arg(m_process->errorString()));
    } else {
        readOutput();
        const QByteArray secret = firstLine(m_stdout);
        if (m_timedOut) {
            result.error = failure(QStringLiteral("gave no answer within %1 s and was stopped")
                                       .arg(double(m_timeout.count()) / 1000.0));
        } else if (m_process->exitStatus() == QProcess::CrashExit) {
            result.error = failure(QStringLiteral("was ended by a signal"));
        } else if (m_process->exitCode() != 0) {
            result.error =
                failure(QStringLiteral("ended with exit status %1").arg(m_process->exitCode()));
            QByteArray why = firstLine(m_stderr).trimmed();
            // A command may print the secret and fail later: never log it.
            if (!secret.isEmpty())
                why.replace(secret, "***");
            if (!why.isEmpty())
                result.error += QStringLiteral(": ") + QString::fromUtf8(why);
        } else if (secret.isEmpty()) {
            result.error = failure(QStringLiteral("printed no password on its first line"));
        } else {
            result.ok = true;
            result.secret = QString::fromUtf8(secret);
        }
    }
    m_stdout.fill('\0');
    m_stdout.clear();
    m_process->disconnect(this);
    m_process.release()->deleteLater();
    report(result);
}

void SecretCommand::report(const SecretCommandResult& result)
{
    // Queued, so the caller hears back after start() has returned even when
    // the command could not start at all.
    QMetaObject::invokeMethod(
        this, [this, result] { emit finished(result); }, Qt::QueuedConnection);
}

SecretCommandResult SecretCommand::runAndWait(const QStringList& arguments,
                                              std::chrono::milliseconds timeout)
{
    SecretCommand command;
    SecretCommandResult result;
    QEventLoop loop;
    connect(&command, &SecretCommand::finished, &loop, [&](const SecretCommandResult& r) {
        result = r;
        loop.quit();
    });
    command.start(arguments, timeout);
    loop.exec();
    return result;
}
