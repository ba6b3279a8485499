#pragma once

// One account's session through the real SessionDriver, its account
// fields (the sign-in method and the secret among them) set on the
// session's context directly, as a run sets them before it connects.
#include "platform/tick_source.h"
#include "runs/run_log.h"
#include "runs/session_driver.h"
#include "storage/run_settings.h"

#include <QSignalSpy>
#include <QStringList>

// The run's side of the session: what it is handed, kept for the test.
class RecordingClient : public SessionClient
{
public:
    SessionOptions options;
    QStringList subjects;      // the Subject of each header block handed over
    int noMailRows = 0;        // "(no mail)" rows asked for
    int settled = 0;           // sessions settled
    bool quitAnswered = false; // how the last one was settled

    SessionOptions sessionOptions() const override { return options; }
    void extractHeaders(const QByteArray& message, qint32 messageNumber) override
    {
        Q_UNUSED(messageNumber);
        for (const QByteArray& line : message.split('\n'))
            if (line.startsWith("Subject: "))
                subjects.append(QString::fromUtf8(line.mid(9).trimmed()));
    }
    void addNoMailRow() override { ++noMailRows; }
    void clearMailList() override {}
    std::optional<QByteArray> cachedHeaderBlock(const QByteArray&) override { return std::nullopt; }
    void storeHeaderBlock(const QByteArray&, const QByteArray&) override {}
    void keepOnlyHeaderBlocks(const QSet<QByteArray>&) override {}
    bool deleteAccepted() override { return false; }
    void settleSession(bool quit) override
    {
        ++settled;
        quitAnswered = quit;
    }
};

struct AuthRig
{
    RunSettings settings;
    RecordingClient client;
    RunLog log;
    SteadyTickSource ticks;
    SessionDriver driver{settings, client, log, ticks};

    AuthRig()
    {
        settings.serverTimeout = std::chrono::seconds(5);
        driver.waits().closeMs = 5;
        driver.waits().reconnectPauseMs = 5;
    }

    // Connects and waits until the session's connection is closed; true
    // when it was in time.
    bool session(SignInMethod method, const QString& user, const QString& secret,
                 const QString& server, quint16 port, int timeoutMs = 20000)
    {
        SessionContext& account = driver.context();
        account.clearAccount();
        account.displayName = QStringLiteral("Name ") + user;
        account.userName = user;
        account.password = secret;
        account.signInMethod = method;
        account.serverName = server;
        account.portText = QString::number(port);
        QSignalSpy closed(&driver, &SessionDriver::closed);
        driver.connectTo(server, port);
        return !closed.isEmpty() || closed.wait(timeoutMs);
    }

    // Every line of the log so far.
    QStringList logLines() const
    {
        QStringList lines = log.text().split(QStringLiteral("\r\n"));
        lines.removeAll(QString());
        return lines;
    }
};
