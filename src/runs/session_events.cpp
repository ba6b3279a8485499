// The socket's events and the header extraction of the POP3 session.
#include "model/mail_list_model.h"
#include "pop3/header_block.h"
#include "pop3/mail_date.h"
#include "runs/certificate_trust.h"
#include "runs/engine.h"
#include "storage/run_settings.h"

namespace {

// The log line for a session that ended before its QUIT was answered;
// empty where the log already shows why.
QString sessionEndText(SessionEnd why)
{
    switch (why) {
    case SessionEnd::BrokenReply:
        return QStringLiteral("Broken Reply From Server");
    case SessionEnd::LineTooLong:
        return QStringLiteral("Server Reply Line Over 64 KB");
    case SessionEnd::HeaderTooLarge:
        return QStringLiteral("Header Block Over 1 MB");
    case SessionEnd::ImplausibleCount:
        return QStringLiteral("Broken Reply From Server (More Mail Items Than Octets)");
    case SessionEnd::ReplyTooLarge:
        return QStringLiteral("Server Reply Larger Than The Whole Mailbox");
    case SessionEnd::QuitAnswered:
    case SessionEnd::ErrorReplyLogged:
    case SessionEnd::TlsRefused:
        break;
    }
    return {};
}

} // namespace

void Engine::Winsock1_Connect()
{
    m_ctx.Connected = -1;
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
        m_ctx.LastArrivalTick = tickNow();
        const QByteArray bytes = m_socket.GetData();
        if (bytes.isEmpty())
            return;
        m_sessionBytes += bytes.size();
        m_session.dataArrival(bytes);
    }
}

void Engine::Winsock1_Close()
{
    m_ctx.Connected = 0;
    m_ctx.ConnectionClosed = -1;
    if (m_inConnectWait)
        return; // the connect wait reports the failure
    if (m_session.hasEnded())
        return;
    if (m_cancelRequested != 1)
        logSessionEnd(QStringLiteral("Connection Closed By Server"));
    settleDeletions(false);
    CloseConnection();
}

void Engine::endSession(SessionEnd why)
{
    const QString reason = sessionEndText(why);
    if (!reason.isEmpty())
        logSessionEnd(reason);
    settleDeletions(why == SessionEnd::QuitAnswered);
    CloseConnection();
}

void Engine::logSessionEnd(const QString& reason)
{
    if (m_sessionEndLogged)
        return;
    m_sessionEndLogged = true;
    const QString line = QStringLiteral("..Session Ended: ") + reason;
    AppendLog(line);
    SetStatus(line);
}

void Engine::onTlsStarted()
{
    const QString line = QStringLiteral("..Secured: ") + m_socket.protocolName();
    AppendLog(line);
    SetStatus(line);
    m_session.tlsStarted();
    readArrivals();
}

void Engine::Winsock1_Error(int number, const QString& description, bool tls)
{
    Q_UNUSED(number);
    m_ctx.ConnectionClosed = -1;
    m_ctx.Connected = 0;
    emit logColoursChanged(false);
    const bool inSession = !m_inConnectWait && !m_session.hasEnded();
    const QString line =
        tls ? QStringLiteral("..TLS Error: ") + description : QStringLiteral("..Winsock1 Error");
    AppendLog(line);
    SetStatus(line);
    if (tls) {
        m_sessionEndLogged = true; // the TLS line says why
        m_refusedCertificate = m_socket.unverifiedCertificate();
        if (m_refusedCertificate) {
            AppendLog(QStringLiteral("..Certificate SHA-256: ") +
                      CertificateTrust::fingerprint(m_refusedCertificate->certificate));
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
    const MailImage image = m_matcher.imageFor(m_ctx.UserName, m_ctx.ServerName, m_ctx.PortText,
                                               headers->from, headers->subject, shown);
    if (image != MailImage::Seen)
        m_newMailCount += 1;

    MailItem item;
    item.key = {m_mails.itemCount() + 1, m_ctx.Password};
    item.displayName = m_ctx.DisplayName;
    item.image = image;
    item.userName = m_ctx.UserName;
    item.from = headers->from;
    item.subject = headers->subject;
    item.dateSent = shown;
    item.server = m_ctx.ServerName;
    item.port = m_ctx.PortText;
    m_mails.appendItem(item);
}
