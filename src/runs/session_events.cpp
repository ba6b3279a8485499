// The socket's events and the header extraction of the POP3 session.
#include "model/mail_list_model.h"
#include "pop3/header_block.h"
#include "pop3/mail_date.h"
#include "runs/certificate_trust.h"
#include "runs/engine.h"
#include "storage/run_settings.h"

void Engine::Winsock1_Connect()
{
    m_ctx.connected = true;
}

void Engine::Winsock1_DataArrival()
{
    // Bytes that arrive while the connect is still being confirmed are read
    // once the connection has been logged.
    if (m_inConnectWait)
        return;
    readArrivals();
}

void Engine::readArrivals()
{
    // Qt announces bytes only once: whatever is buffered is read here, so
    // nothing that arrived during a nested wait is left lying.
    while (!m_session.hasEnded() && m_socket.State() == Winsock1::ConnectedState &&
           m_socket.bytesAvailable() > 0) {
        m_ctx.lastArrivalTick = tickNow();
        const QByteArray bytes = m_socket.GetData();
        if (bytes.isEmpty())
            return;
        m_sessionBytes += bytes.size();
        m_session.dataArrival(bytes);
    }
}

void Engine::Winsock1_Close()
{
    m_ctx.connected = false;
    m_ctx.connectionClosed = true;
    if (m_inConnectWait)
        return; // the connect wait reports the failure
    if (m_session.hasEnded())
        return;
    if (m_cancelRequested != 1)
        logSessionEnd(SessionEndCause::ClosedByServer);
    settleDeletions(false);
    CloseConnection();
}

void Engine::endSession(SessionEnd why)
{
    if (const std::optional<SessionEndCause> cause = RunText::causeOf(why))
        logSessionEnd(*cause);
    settleDeletions(why == SessionEnd::QuitAnswered);
    CloseConnection();
}

void Engine::logSessionEnd(const QString& reason)
{
    if (m_sessionEndLogged)
        return;
    m_sessionEndLogged = true;
    m_runLog.report(RunText::sessionEndLine(reason));
}

void Engine::onTlsStarted()
{
    m_runLog.report(RunText::secured(m_socket.protocolName()));
    m_session.tlsStarted();
    readArrivals();
}

void Engine::Winsock1_Error(int number, const QString& description, bool tls)
{
    Q_UNUSED(number);
    m_ctx.connectionClosed = true;
    m_ctx.connected = false;
    emit logColoursChanged(false);
    const bool inSession = !m_inConnectWait && !m_session.hasEnded();
    m_runLog.report(RunText::linkErrorLine(tls ? LinkError::Tls : LinkError::Socket, description));
    if (tls) {
        m_sessionEndLogged = true; // the TLS line says why
        m_refusedCertificate = m_socket.unverifiedCertificate();
        if (m_refusedCertificate) {
            m_runLog.append(RunText::certificateFingerprint(
                CertificateTrust::fingerprint(m_refusedCertificate->certificate)));
        }
    } else if (inSession && m_cancelRequested != 1) {
        logSessionEnd(description);
    }
}

void Engine::ExtractHeaders(const QByteArray& message, qint32 messageNumber)
{
    Q_UNUSED(messageNumber);
    const std::optional<MailHeaders> headers = parseHeaderBlock(message);
    if (!headers)
        return;
    if (m_deleteRunActive == 1) {
        // A delete run adds no row: it looks for the marked row showing
        // this message.
        if (m_settings.DeleteEnabled == 1)
            matchForDelete(*headers, messageNumber);
        return;
    }

    const QString shown = displayedMailDate(headers->date, m_settings.DateStyle);
    const int image = m_matcher.imageFor(m_ctx.userName, m_ctx.serverName, m_ctx.portText,
                                         headers->from, headers->subject, shown);
    if (image != MailItem::SeenImage)
        m_newMailCount += 1;

    MailItem item;
    item.key = QStringLiteral("K%1P").arg(m_mails.itemCount() + 1) + m_ctx.password;
    item.displayName = m_ctx.displayName;
    item.image = image == MailItem::SeenImage ? MailItem::SeenImage : MailItem::NewImage;
    item.userName = m_ctx.userName;
    item.from = headers->from;
    item.subject = headers->subject;
    item.dateSent = shown;
    item.server = m_ctx.serverName;
    item.port = m_ctx.portText;
    m_mails.appendItem(item);
}
