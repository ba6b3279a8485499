#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>

class QProcess;
class QTimer;

struct SecretCommandResult
{
    bool ok = false;
    QString secret; // the first line of the command's output, when ok
    QString error;  // for the log, when not ok; never holds the secret
};

// Runs the command a user names to hand over a password or access token
// (a password manager, a keyring tool): no shell, so nothing in the
// arguments is expanded; standard input is empty; the first line of
// standard output, without its line end and otherwise untouched, is the
// secret. A command that does not end within the time-out is killed with
// everything it started in its process group.
class SecretCommand : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultTimeout{30'000};

    explicit SecretCommand(QObject* parent = nullptr);
    ~SecretCommand() override; // a command still running is killed

    // arguments[0] is the program (searched in PATH when it has no slash).
    // finished() follows exactly once, also for a command that cannot start.
    void start(const QStringList& arguments, std::chrono::milliseconds timeout = defaultTimeout);
    bool isRunning() const { return m_process != nullptr; }

    // Runs the command in a nested event loop and returns its result.
    static SecretCommandResult runAndWait(const QStringList& arguments,
                                          std::chrono::milliseconds timeout = defaultTimeout);

signals:
    void finished(const SecretCommandResult& result);

private:
    void readOutput();
    void processEnded(bool started);
    void killGroup();
    void report(const SecretCommandResult& result);
    QString failure(const QString& what) const;

    std::unique_ptr<QProcess> m_process;
    QTimer* m_timer = nullptr;
    QString m_program;
    QByteArray m_stdout;
    QByteArray m_stderr;
    std::chrono::milliseconds m_timeout{};
    bool m_timedOut = false;
};
