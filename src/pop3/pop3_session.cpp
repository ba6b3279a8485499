#include "pop3/pop3_session.h"

#include "platform/codepage.h"
#include "pop3/apop_digest.h"

#include <QList>
#include <QStringDecoder>
#include <limits>

namespace {

QString replyTextOf(const QString& reply)
{
    return reply.size() <= 2 ? QString() : reply.chopped(2);
}

// The capability names of a CAPA list, one per line, in capitals.
QList<QByteArray> capabilityNames(const QByteArray& list)
{
    QList<QByteArray> names;
    for (const QByteArray& line : list.split('\n')) {
        const QByteArray name = line.trimmed().split(' ').value(0).toUpper();
        if (!name.isEmpty())
            names.append(name);
    }
    return names;
}

} // namespace

QString Pop3Session::serverText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return fromAnsi(bytes);
}

QString Pop3Session::loggedReply(const QString& reply)
{
    // A server may send a line of up to 64 KiB; the log keeps its start.
    if (reply.size() > 242)
        return replyTextOf(QStringLiteral("Chopped To 240 Chrs: ") + reply.left(242));
    return replyTextOf(reply);
}

void Pop3Session::begin()
{
    m_reader.reset();
    m_greeting.clear();
    m_ended = false;
    m_utf8 = false;
    m_replyByteLimit = -1;
    m_replyBytes = 0;
}

bool Pop3Session::expectsMultiLine() const
{
    return m_ctx.SessionState == FetchingHeader || m_ctx.SessionState == SentCapa;
}

void Pop3Session::dataArrival(const QByteArray& bytes)
{
    if (m_ended)
        return;
    if (m_ctx.SessionState == FetchingHeader) {
        // Only one fetch is ever in flight: every byte now is its reply's.
        m_replyBytes += bytes.size();
        if (m_replyByteLimit >= 0 && m_replyBytes > m_replyByteLimit) {
            end(SessionEnd::ReplyTooLarge);
            return;
        }
    }
    m_reader.append(bytes);
    while (!m_ended) {
        const std::optional<SessionReader::Reply> reply =
            expectsMultiLine() ? m_reader.nextMultiLine() : m_reader.nextLine();
        if (!reply)
            return;
        handleReply(*reply);
    }
}

void Pop3Session::tlsStarted()
{
    if (m_ended || m_ctx.SessionState != StartingTls)
        return;
    // What the server said before TLS may have been tampered with: ask again.
    send(SentCapa, QStringLiteral("CAPA"));
}

void Pop3Session::handleReply(const SessionReader::Reply& reply)
{
    switch (reply.kind) {
    case SessionReader::Reply::Line:
        if (reply.text.startsWith('+'))
            handlePositive(reply.text);
        else if (reply.text.startsWith("-ERR"))
            handleErrorReply(reply.text);
        else
            end(SessionEnd::BrokenReply);
        return;
    case SessionReader::Reply::Garbage:
        end(SessionEnd::BrokenReply);
        return;
    case SessionReader::Reply::Broken:
        end(reply.fault == SessionReader::Reply::Fault::LineTooLong ? SessionEnd::LineTooLong
            : reply.fault == SessionReader::Reply::Fault::HeaderTooLarge
                ? SessionEnd::HeaderTooLarge
                : SessionEnd::BrokenReply);
        return;
    case SessionReader::Reply::MultiError:
        if (m_ctx.SessionState == SentCapa) {
            logOn(); // a server without CAPA is used as before
            return;
        }
        m_host.reportLine(m_host.sessionOptions().useRetr
                              ? QString()
                              : QStringLiteral("Error Using -TOP- Command"));
        send(SentQuit, QStringLiteral("QUIT"));
        return;
    case SessionReader::Reply::MultiLine:
        if (m_ctx.SessionState == SentCapa)
            onCapabilities(reply.message);
        else
            onHeaderBlock(reply.message);
        return;
    }
}

void Pop3Session::handlePositive(const QByteArray& line)
{
    const QString replyText = loggedReply(serverText(line));
    const SessionOptions options = m_host.sessionOptions();
    switch (m_ctx.SessionState) {
    case AwaitGreeting:
        onGreeting(replyTextOf(serverText(line)));
        return;
    case SentUser:
        send(SentPass, QStringLiteral("PASS ") + m_ctx.Password);
        return;
    case SentPass:
    case SentApop:
        m_host.reportLine(replyText);
        send(SentStat, QStringLiteral("STAT"));
        return;
    case SentStat:
        onStat(replyTextOf(serverText(line)), line);
        return;
    case SentQuit:
        m_host.reportLine(replyText);
        end(SessionEnd::QuitAnswered);
        return;
    case SentDele:
        if (options.deleteEnabled)
            onDeleAccepted();
        return;
    case DeleteAborted:
        if (options.deleteEnabled) {
            m_host.reportLine(replyText);
            end(SessionEnd::QuitAnswered);
        }
        return;
    case SentStls:
        // Bytes behind the +OK came before TLS and could be anyone's: a
        // session that would read them as the server's is not secure.
        if (m_reader.hasPending()) {
            end(SessionEnd::BrokenReply);
            return;
        }
        m_ctx.SessionState = StartingTls;
        m_host.startTls();
        return;
    case StartingTls:
        end(SessionEnd::BrokenReply); // plain text where the handshake belongs
        return;
    case SentUtf8:
        m_utf8 = true;
        logOn();
        return;
    case FetchingHeader:
    case SentCapa:
        return; // multi-line replies never come here
    }
}

void Pop3Session::onGreeting(const QString& greeting)
{
    m_host.enableWatchdog();
    m_ctx.MessageCount = 0;
    m_ctx.MessageNumber = 0;
    m_greeting = greeting;
    m_host.reportLine(loggedReply(greeting + QStringLiteral("\r\n")));
    if (m_host.connectionEncrypted())
        logOn();
    else
        send(SentCapa, QStringLiteral("CAPA"));
}

void Pop3Session::onCapabilities(const QByteArray& list)
{
    const QList<QByteArray> names = capabilityNames(list);
    if (names.contains("STLS") && !m_host.connectionEncrypted()) {
        send(SentStls, QStringLiteral("STLS"));
        return;
    }
    if (names.contains("UTF8") && !m_utf8) {
        send(SentUtf8, QStringLiteral("UTF8"));
        return;
    }
    logOn();
}

void Pop3Session::logOn()
{
    const SessionOptions options = m_host.sessionOptions();
    if (!options.useApop) {
        send(SentUser, QStringLiteral("USER ") + m_ctx.UserName);
        return;
    }
    QString reason = QStringLiteral("- No Shared Secret");
    if (!options.apopSecret.isEmpty()) {
        reason = QStringLiteral("- No Server TimeStamp");
        const qsizetype open = m_greeting.indexOf(QLatin1Char('<'));
        const qsizetype close = open >= 0 ? m_greeting.indexOf(QLatin1Char('>'), open) : -1;
        if (close >= 0) {
            const QString stamp = m_greeting.mid(open, close - open + 1);
            send(SentApop, QStringLiteral("APOP ") + m_ctx.UserName + QLatin1Char(' ') +
                               ApopDigest(stamp + options.apopSecret));
            return;
        }
    }
    send(SentQuit, QStringLiteral("QUIT"));
    m_host.reportLine(QStringLiteral("APOP Logon Error ") + reason);
}

void Pop3Session::onStat(const QString& replyText, const QByteArray& line)
{
    const SessionOptions options = m_host.sessionOptions();
    m_host.reportLine(options.deleteRunActive
                          ? QStringLiteral("..Checking For Delete Mail Items On Server")
                          : QStringLiteral("..Checking For Mail"));
    // "+OK <count> <size>": the count runs from the fifth character to the
    // next blank (or the end of a reply that gives no size).
    const qsizetype blank = replyText.indexOf(QLatin1Char(' '), 4);
    const QString countText = replyText.mid(4, blank < 0 ? -1 : blank - 4);
    bool ok = false;
    qint32 count = countText.toInt(&ok);
    if (!ok || count < 0) {
        // A count that is no number is treated as an error reply.
        handleErrorReply(line);
        return;
    }
    // Every message takes at least one octet: a count above the size is a lie.
    bool sizeOk = false;
    const qint64 octets =
        blank < 0 ? 0
                  : replyText.mid(blank + 1).section(QLatin1Char(' '), 0, 0).toLongLong(&sizeOk);
    if (sizeOk && count > octets) {
        end(SessionEnd::ImplausibleCount);
        return;
    }
    constexpr qint64 margin = 64 * 1024;
    const bool boundable = sizeOk && octets <= (std::numeric_limits<qint64>::max() - margin) / 2;
    m_replyByteLimit = boundable ? 2 * octets + margin : -1;
    if (count > MaxMessagesPerAccount) {
        m_host.reportLine(QStringLiteral("..Listing Only The First %1 Of %2 Mail Items")
                              .arg(MaxMessagesPerAccount)
                              .arg(count));
        count = MaxMessagesPerAccount;
    }
    m_ctx.MessageCount = count;
    if (count >= 1) {
        m_ctx.MessageNumber = 1;
        fetch(1);
        return;
    }
    if (!(options.deleteEnabled && options.deleteRunActive))
        m_host.addNoMailRow();
    send(SentQuit, QStringLiteral("QUIT"));
}

void Pop3Session::onHeaderBlock(const QByteArray& message)
{
    SessionOptions options = m_host.sessionOptions();
    if (options.cancelRequested) {
        m_host.clearMailList();
        send(SentQuit, QStringLiteral("QUIT"));
        return;
    }
    m_host.extractHeaders(message, m_ctx.MessageNumber);
    options = m_host.sessionOptions();
    if (options.deleteEnabled &&
        (m_ctx.SessionState == SentDele || m_ctx.SessionState == DeleteAborted))
        return;
    if (m_ctx.MessageNumber >= m_ctx.MessageCount) {
        send(SentQuit, QStringLiteral("QUIT"));
        return;
    }
    m_ctx.MessageNumber += 1;
    fetch(m_ctx.MessageNumber);
}

void Pop3Session::onDeleAccepted()
{
    const bool accountDone = m_host.deleteAccepted();
    if (accountDone || m_ctx.MessageNumber >= m_ctx.MessageCount) {
        send(SentQuit, QStringLiteral("QUIT"));
        return;
    }
    m_ctx.MessageNumber += 1;
    fetch(m_ctx.MessageNumber);
}

void Pop3Session::handleErrorReply(const QByteArray& line)
{
    if (m_ctx.SessionState == SentUtf8) {
        logOn(); // the server keeps its own code page; nothing is lost
        return;
    }
    if (m_ctx.SessionState == SentStls) {
        // Never a fall-back to a log-on in plain text.
        m_host.reportLine(QStringLiteral("..TLS Error: STLS Refused: ") +
                          loggedReply(serverText(line)));
        end(SessionEnd::TlsRefused);
        return;
    }
    QString prefix;
    if (m_ctx.SessionState == SentUser)
        prefix = QStringLiteral("Username Logon Error: ");
    else if (m_ctx.SessionState == SentPass)
        prefix = QStringLiteral("Password Logon Error: ");
    m_host.reportLine(prefix + loggedReply(serverText(line)));
    end(SessionEnd::ErrorReplyLogged);
}

void Pop3Session::fetch(qint32 number)
{
    const bool retr = m_host.sessionOptions().useRetr;
    m_replyBytes = 0;
    send(FetchingHeader,
         retr ? QStringLiteral("RETR %1").arg(number) : QStringLiteral("TOP %1 2").arg(number));
}

void Pop3Session::send(::SessionState next, const QString& command)
{
    m_ctx.SessionState = next;
    m_host.sendCommand(m_utf8 ? command.toUtf8() : toAnsi(command));
}

void Pop3Session::end(SessionEnd why)
{
    m_ended = true;
    m_host.endSession(why);
}
