#pragma once

#include "platform/mail_socket.h"
#include "pop3/pop3_session.h"
#include "pop3/session_context.h"
#include "runs/run_texts.h"
#include "runs/session_watchdog.h"

#include <QObject>
#include <deque>
#include <optional>

class CertificateTrust;
class RunLog;
class TickSource;
struct RunSettings;

// What a session needs of the run it serves.
class SessionClient
{
public:
    virtual ~SessionClient() = default;
    virtual SessionOptions sessionOptions() const = 0;
    // A complete message text (header block first) of message number n.
    virtual void extractHeaders(const QByteArray& message, qint32 messageNumber) = 0;
    virtual void addNoMailRow() = 0;
    virtual void clearMailList() = 0;
    // Header blocks by unique id in the mailbox of the session's account.
    virtual std::optional<QByteArray> cachedHeaderBlock(const QByteArray& uid) = 0;
    virtual void storeHeaderBlock(const QByteArray& uid, const QByteArray& block) = 0;
    virtual void keepOnlyHeaderBlocks(const QSet<QByteArray>& uids) = 0;
    // The server accepted a DELE. True when the account's marked rows are
    // all matched.
    virtual bool deleteAccepted() = 0;
    // The session is over, before its connection closes: the server
    // acknowledged QUIT, or it did not.
    virtual void settleSession(bool quitAnswered) = 0;
};

// The waits around a connection, shortened by tests only.
struct SessionWaits
{
    int closeMs = 200;          // one of the waits for the socket to close
    int reconnectPauseMs = 500; // between closing the last connection and the next
};

// One account's session at a time: the socket (TLS from the first byte on
// port 995, or STLS), the POP3 session over it, the watchdog, and the
// close. Commands sent wait in a first-in first-out queue for their
// replies; several are in flight when the session pipelines its fetches.
class SessionDriver : public QObject, private SessionHost
{
    Q_OBJECT
public:
    SessionDriver(RunSettings& settings, SessionClient& client, RunLog& log, TickSource& ticks,
                  QObject* parent = nullptr);
    ~SessionDriver() override;

    // Closes what is open, pauses, and connects; the session then runs on
    // the socket's events. A failed connect is logged and closed.
    void connectTo(const QString& server, qint32 port);
    // Closes the connection and waits for the socket to be closed; then
    // closed() unless a new connection is being made.
    void close();
    // Sends one command line; CR LF is added here.
    void sendCommand(const QByteArray& line) override;
    // One look of the watchdog (its timer calls it every second).
    void watchdogTick();

    // A certificate the system refused in the session just ended, put to
    // the user when mayAsk. True when the same account is to be tried again.
    bool offerCertificateTrust(bool mayAsk);
    void setCertificateTrust(CertificateTrust* trust) { m_certificates.trust = trust; }

    SessionContext& context() { return m_ctx; }
    const SessionContext& context() const { return m_ctx; }
    // Commands sent whose replies have not come yet, oldest first.
    const std::deque<QByteArray>& commandsAwaitingReply() const { return m_awaitingReply; }
    SessionWaits& waits() { return m_waits; }
    // True while the last connection is closed for the next one.
    bool reconnecting() const { return m_reconnecting; }
    MailSocket& socket() { return m_socket; }
    QTimer& watchdogTimer() { return m_watchdog.timer(); }

signals:
    // The connection failed (the run's colours go back to the window's).
    void linkFailed();
    // The connection is closed and no new one is under way.
    void closed();

private:
    // SessionHost
    SessionOptions sessionOptions() const override { return m_client.sessionOptions(); }
    void report(const SessionReport& report) override;
    void replyTaken() override;
    void enableWatchdog() override;
    bool connectionEncrypted() const override { return m_socket.isEncrypted(); }
    void startTls() override { m_socket.startTls(); }
    void extractHeaders(const QByteArray& message, qint32 messageNumber) override
    {
        m_client.extractHeaders(message, messageNumber);
    }
    void addNoMailRow() override { m_client.addNoMailRow(); }
    void clearMailList() override { m_client.clearMailList(); }
    std::optional<QByteArray> cachedHeaderBlock(const QByteArray& uid) override
    {
        return m_client.cachedHeaderBlock(uid);
    }
    void storeHeaderBlock(const QByteArray& uid, const QByteArray& block) override
    {
        m_client.storeHeaderBlock(uid, block);
    }
    void keepOnlyHeaderBlocks(const QSet<QByteArray>& uids) override
    {
        m_client.keepOnlyHeaderBlocks(uids);
    }
    bool deleteAccepted() override { return m_client.deleteAccepted(); }
    void endSession(SessionEnd why) override;

    // Events of the socket.
    void onConnected();
    void onDataArrived();
    void onClosedByServer();
    void onSocketError(int number, const QString& description, bool tls);
    void onTlsStarted();

    void beginConnection();
    bool waitForConnect();
    void announceConnection();
    void readArrivals();
    // The one log line that says why a session ended early; once a session.
    void logSessionEnd(const QString& reason);
    void logSessionEnd(SessionEndCause cause) { logSessionEnd(RunText::sessionEndReason(cause)); }
    // Ends the session from outside the protocol: nothing more is settled.
    void abandon();

    struct Certificates
    {
        CertificateTrust* trust = nullptr;
        std::optional<UnverifiedCertificate> refused;
    };

    RunSettings& m_settings;
    SessionClient& m_client;
    RunLog& m_log;
    MailSocket m_socket;
    SessionWatchdog m_watchdog;
    SessionContext m_ctx;
    Pop3Session m_session;
    std::deque<QByteArray> m_awaitingReply;
    Certificates m_certificates;
    SessionWaits m_waits;
    bool m_reconnecting = false;
    bool m_inConnectWait = false;
    bool m_sessionEndLogged = false;
};
