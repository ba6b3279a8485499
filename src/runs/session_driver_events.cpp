// The socket's events and the session's calls to its host.
#include "runs/certificate_trust.h"
#include "runs/run_log.h"
#include "runs/session_driver.h"

void SessionDriver::onConnected()
{
    m_ctx.connected = true;
}

void SessionDriver::onDataArrived()
{
    // Bytes that arrive while the connect is still being confirmed are read
    // once the connection has been logged.
    if (m_inConnectWait)
        return;
    readArrivals();
}

void SessionDriver::readArrivals()
{
    // Qt announces bytes only once: whatever is buffered is read here, so
    // nothing that arrived during a nested wait is left lying.
    while (!m_session.hasEnded() && m_socket.state() == MailSocket::ConnectedState &&
           m_socket.bytesAvailable() > 0) {
        m_ctx.lastArrivalTick = m_watchdog.now();
        const QByteArray bytes = m_socket.takeData();
        if (bytes.isEmpty())
            return;
        m_watchdog.bytesReceived(bytes.size());
        m_session.dataArrival(bytes);
    }
}

void SessionDriver::onClosedByServer()
{
    m_ctx.connected = false;
    m_ctx.connectionClosed = true;
    if (m_inConnectWait)
        return; // the connect wait reports the failure
    if (m_session.hasEnded())
        return;
    if (!m_client.sessionOptions().cancelRequested)
        logSessionEnd(SessionEndCause::ClosedByServer);
    abandon();
}

void SessionDriver::endSession(SessionEnd why)
{
    if (const std::optional<SessionEndCause> cause = RunText::causeOf(why))
        logSessionEnd(*cause);
    m_client.settleSession(why == SessionEnd::QuitAnswered);
    close();
}

void SessionDriver::logSessionEnd(const QString& reason)
{
    if (m_sessionEndLogged)
        return;
    m_sessionEndLogged = true;
    m_log.report(RunText::sessionEndLine(reason));
}

void SessionDriver::onTlsStarted()
{
    m_log.report(RunText::secured(m_socket.protocolName()));
    m_session.tlsStarted();
    readArrivals();
}

void SessionDriver::onSocketError(int number, const QString& description, bool tls)
{
    Q_UNUSED(number);
    m_ctx.connectionClosed = true;
    m_ctx.connected = false;
    emit linkFailed();
    const bool inSession = !m_inConnectWait && !m_session.hasEnded();
    m_log.report(RunText::linkErrorLine(tls ? LinkError::Tls : LinkError::Socket, description));
    if (tls) {
        m_sessionEndLogged = true; // the TLS line says why
        m_certificates.refused = m_socket.unverifiedCertificate();
        if (m_certificates.refused) {
            m_log.append(RunText::certificateFingerprint(
                CertificateTrust::fingerprint(m_certificates.refused->certificate)));
        }
    } else if (inSession && !m_client.sessionOptions().cancelRequested) {
        logSessionEnd(description);
    }
}

void SessionDriver::sendCommand(const QByteArray& line)
{
    // The watchdog times the reply at the head of the queue: one sent
    // behind others is awaited only once those before it have come.
    if (m_awaitingReply.empty())
        m_watchdog.replyAwaited();
    m_awaitingReply.push_back(line);
    m_socket.sendData(line + "\r\n");
}

void SessionDriver::replyTaken()
{
    // The greeting answers no command.
    if (m_awaitingReply.empty())
        return;
    m_awaitingReply.pop_front();
    if (!m_awaitingReply.empty())
        m_watchdog.replyAwaited();
}

void SessionDriver::report(const SessionReport& report)
{
    m_log.report(RunText::sessionLine(report));
}

void SessionDriver::enableWatchdog()
{
    if (!m_watchdog.timer().isActive())
        m_watchdog.timer().start();
}
