// Connecting, closing and the watchdog of one session.
#include "runs/session_driver.h"

#include "platform/wait_with_events.h"
#include "runs/certificate_trust.h"
#include "runs/run_log.h"
#include "storage/run_settings.h"

#include <QCoreApplication>
#include <QEventLoop>

SessionDriver::SessionDriver(RunSettings& settings, SessionClient& client, RunLog& log,
                             TickSource& ticks, QObject* parent)
    : QObject(parent), m_settings(settings), m_client(client), m_log(log), m_socket(this),
      m_watchdog(ticks, this), m_session(m_ctx, *this)
{
    connect(&m_watchdog, &SessionWatchdog::tick, this, &SessionDriver::watchdogTick);
    connect(&m_socket, &MailSocket::connectedToServer, this, &SessionDriver::onConnected);
    connect(&m_socket, &MailSocket::dataArrived, this, &SessionDriver::onDataArrived);
    connect(&m_socket, &MailSocket::closedByServer, this, &SessionDriver::onClosedByServer);
    connect(&m_socket, &MailSocket::errorRaised, this, &SessionDriver::onSocketError);
    connect(&m_socket, &MailSocket::tlsStarted, this, &SessionDriver::onTlsStarted);
}

SessionDriver::~SessionDriver()
{
    m_watchdog.timer().stop();
    m_socket.disconnect(this);
}

void SessionDriver::connectTo(const QString& server, qint32 port)
{
    m_ctx.state = SessionState::AwaitGreeting;
    m_reconnecting = true;
    close();
    waitWithEvents(m_waits.reconnectPauseMs);
    m_reconnecting = false;

    beginConnection();
    QByteArray acceptedSha256;
    if (m_certificates.trust) {
        acceptedSha256 = m_certificates.trust->acceptedSha256(server, port);
        if (const std::optional<QString> warning = m_certificates.trust->takeLoadWarning())
            m_log.append(*warning);
    }
    m_inConnectWait = true;
    QString error;
    if (!m_socket.connectTo(server, port, &error, acceptedSha256))
        onSocketError(0, error, false);
    QCoreApplication::processEvents();
    const bool connected = waitForConnect();
    m_inConnectWait = false;

    if (connected) {
        announceConnection();
        return;
    }
    m_ctx.connectionClosed = false;
    m_log.report(RunText::notConnected());
    close();
}

void SessionDriver::beginConnection()
{
    m_ctx.connectionClosed = false;
    m_ctx.connected = false;
    m_session.begin();
    m_watchdog.beginSession();
    m_awaitingReply.clear();
    m_sessionEndLogged = false;
    m_certificates.refused.reset();
}

void SessionDriver::announceConnection()
{
    m_log.report(RunText::connected(m_socket.remoteHostIp()));
    if (m_socket.isEncrypted())
        m_log.report(RunText::secured(m_socket.protocolName()));
    // The watchdog guards the session from the connection on, so a server
    // that never greets is dropped too.
    m_ctx.lastArrivalTick = m_watchdog.now();
    m_watchdog.replyAwaited();
    m_watchdog.timer().start();
    readArrivals();
}

bool SessionDriver::waitForConnect()
{
    // Until the socket reports the outcome, but never longer than the
    // server time-out: a connect that hangs counts as failed.
    const auto decided = [this] { return m_ctx.connectionClosed || m_ctx.connected; };
    if (!decided()) {
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        const auto quitWhenDecided = [&] {
            if (decided())
                loop.quit();
        };
        const auto c1 = connect(&m_socket, &MailSocket::connectedToServer, &loop, quitWhenDecided,
                                Qt::QueuedConnection);
        const auto c2 = connect(&m_socket, &MailSocket::errorRaised, &loop, quitWhenDecided,
                                Qt::QueuedConnection);
        const auto c3 = connect(&m_socket, &MailSocket::closedByServer, &loop, quitWhenDecided,
                                Qt::QueuedConnection);
        limit.start(int(qBound<double>(1, m_settings.serverTimeout.count(), 24.0 * 3600 * 1000)));
        loop.exec();
        disconnect(c1);
        disconnect(c2);
        disconnect(c3);
    }
    if (m_ctx.connectionClosed)
        return false;
    if (m_ctx.connected)
        return true;
    m_socket.close(); // the time-out: give the attempt up without an event
    return false;
}

void SessionDriver::close()
{
    if (m_socket.state() != MailSocket::Closed)
        m_socket.close();
    m_ctx.connected = false;
    m_ctx.connectionClosed = true;
    m_watchdog.timer().stop();

    // Up to 26 waits; the state is tested after each of the first 25.
    for (int call = 1; call <= 26; ++call) {
        waitWithEvents(m_waits.closeMs);
        if (call <= 25 && m_socket.state() == MailSocket::Closed)
            break;
    }
    if (m_reconnecting)
        return;
    if (m_socket.state() == MailSocket::Closed)
        m_log.report(RunText::userConnectionClosed());
    emit closed();
}

void SessionDriver::abandon()
{
    m_client.settleSession(false);
    close();
}

void SessionDriver::watchdogTick()
{
    switch (m_watchdog.check(m_ctx.lastArrivalTick, m_settings.serverTimeout)) {
    case SessionWatchdog::Verdict::Silent:
        logSessionEnd(SessionEndCause::NoReply);
        abandon();
        return; // closed once; a pending cancel is seen by the run itself
    case SessionWatchdog::Verdict::TooSlow:
        logSessionEnd(SessionEndCause::TooSlow);
        abandon();
        return;
    case SessionWatchdog::Verdict::Fine:
        break;
    }
    if (m_client.sessionOptions().cancelRequested)
        abandon();
}

bool SessionDriver::offerCertificateTrust(bool mayAsk)
{
    std::optional<UnverifiedCertificate> refused;
    refused.swap(m_certificates.refused);
    if (!refused || !m_certificates.trust || !mayAsk)
        return false;
    QString error;
    if (m_certificates.trust->askToTrust(*refused, &error))
        return true;
    if (!error.isEmpty())
        m_log.append(RunText::trustNotSaved(error));
    return false;
}
