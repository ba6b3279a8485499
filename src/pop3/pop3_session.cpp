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
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return fromAnsi(bytes);
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
    return m_ctx.state == SessionState::FetchingHeader || m_ctx.state == SessionState::SentCapa;
}

void Pop3Session::dataArrival(const QByteArray& bytes)
{
    if (m_ended)
        return;
    if (m_ctx.state == SessionState::FetchingHeader) {
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
        m_host.replyTaken();
        handleReply(*reply);
    }
}

void Pop3Session::tlsStarted()
{
    if (m_ended || m_ctx.state != SessionState::StartingTls)
        return;
    // What the server said before TLS may have been tampered with: ask again.
    send(SessionState::SentCapa, QStringLiteral("CAPA"));
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
        if (m_ctx.state == SessionState::SentCapa) {
            logOn(); // a server without CAPA is used as before
            return;
        }
        note(m_host.sessionOptions().useRetr ? SessionNote::RetrRefused : SessionNote::TopRefused);
        send(SessionState::SentQuit, QStringLiteral("QUIT"));
        return;
    case SessionReader::Reply::MultiLine:
        if (m_ctx.state == SessionState::SentCapa)
            onCapabilities(reply.message);
        else
            onHeaderBlock(reply.message);
        return;
    }
}

void Pop3Session::handlePositive(const QByteArray& line)
{
    const QString replyText = replyTextOf(serverText(line));
    const SessionOptions options = m_host.sessionOptions();
    switch (m_ctx.state) {
    case SessionState::AwaitGreeting:
        onGreeting(replyText);
        return;
    case SessionState::SentUser:
        send(SessionState::SentPass, QStringLiteral("PASS ") + m_ctx.password);
        return;
    case SessionState::SentPass:
    case SessionState::SentApop:
        note(SessionNote::ServerReply, replyText);
        send(SessionState::SentStat, QStringLiteral("STAT"));
        return;
    case SessionState::SentStat:
        onStat(replyText, line);
        return;
    case SessionState::SentQuit:
        note(SessionNote::ServerReply, replyText);
        end(SessionEnd::QuitAnswered);
        return;
    case SessionState::SentDele:
        if (options.deleteEnabled)
            onDeleAccepted();
        return;
    case SessionState::DeleteAborted:
        if (options.deleteEnabled) {
            note(SessionNote::ServerReply, replyText);
            end(SessionEnd::QuitAnswered);
        }
        return;
    case SessionState::SentStls:
        // Bytes behind the +OK came before TLS and could be anyone's: a
        // session that would read them as the server's is not secure.
        if (m_reader.hasPending()) {
            end(SessionEnd::BrokenReply);
            return;
        }
        m_ctx.state = SessionState::StartingTls;
        m_host.startTls();
        return;
    case SessionState::StartingTls:
        end(SessionEnd::BrokenReply); // plain text where the handshake belongs
        return;
    case SessionState::SentUtf8:
        m_utf8 = true;
        logOn();
        return;
    case SessionState::FetchingHeader:
    case SessionState::SentCapa:
        return; // multi-line replies never come here
    }
}

void Pop3Session::onGreeting(const QString& greeting)
{
    m_host.enableWatchdog();
    m_ctx.messageCount = 0;
    m_ctx.messageNumber = 0;
    m_greeting = greeting;
    note(SessionNote::ServerReply, greeting);
    if (m_host.connectionEncrypted())
        logOn();
    else
        send(SessionState::SentCapa, QStringLiteral("CAPA"));
}

void Pop3Session::onCapabilities(const QByteArray& list)
{
    const QList<QByteArray> names = capabilityNames(list);
    if (names.contains("STLS") && !m_host.connectionEncrypted()) {
        send(SessionState::SentStls, QStringLiteral("STLS"));
        return;
    }
    if (names.contains("UTF8") && !m_utf8) {
        send(SessionState::SentUtf8, QStringLiteral("UTF8"));
        return;
    }
    logOn();
}

void Pop3Session::logOn()
{
    const SessionOptions options = m_host.sessionOptions();
    if (!options.useApop) {
        send(SessionState::SentUser, QStringLiteral("USER ") + m_ctx.userName);
        return;
    }
    SessionNote refusal = SessionNote::ApopNoSecret;
    if (!options.apopSecret.isEmpty()) {
        refusal = SessionNote::ApopNoTimestamp;
        const qsizetype open = m_greeting.indexOf(QLatin1Char('<'));
        const qsizetype close = open >= 0 ? m_greeting.indexOf(QLatin1Char('>'), open) : -1;
        if (close >= 0) {
            const QString stamp = m_greeting.mid(open, close - open + 1);
            send(SessionState::SentApop, QStringLiteral("APOP ") + m_ctx.userName +
                                             QLatin1Char(' ') +
                                             apopDigest(stamp + options.apopSecret));
            return;
        }
    }
    send(SessionState::SentQuit, QStringLiteral("QUIT"));
    note(refusal);
}

void Pop3Session::onStat(const QString& replyText, const QByteArray& line)
{
    const SessionOptions options = m_host.sessionOptions();
    note(options.deleteRunActive ? SessionNote::CheckingForDeletes : SessionNote::CheckingForMail);
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
        m_host.report({SessionNote::ListingCapped, {}, count});
        count = MaxMessagesPerAccount;
    }
    m_ctx.messageCount = count;
    if (count >= 1) {
        m_ctx.messageNumber = 1;
        fetch(1);
        return;
    }
    if (!(options.deleteEnabled && options.deleteRunActive))
        m_host.addNoMailRow();
    send(SessionState::SentQuit, QStringLiteral("QUIT"));
}

void Pop3Session::onHeaderBlock(const QByteArray& message)
{
    SessionOptions options = m_host.sessionOptions();
    if (options.cancelRequested) {
        m_host.clearMailList();
        send(SessionState::SentQuit, QStringLiteral("QUIT"));
        return;
    }
    m_host.extractHeaders(message, m_ctx.messageNumber);
    options = m_host.sessionOptions();
    if (options.deleteEnabled &&
        (m_ctx.state == SessionState::SentDele || m_ctx.state == SessionState::DeleteAborted))
        return;
    if (m_ctx.messageNumber >= m_ctx.messageCount) {
        send(SessionState::SentQuit, QStringLiteral("QUIT"));
        return;
    }
    m_ctx.messageNumber += 1;
    fetch(m_ctx.messageNumber);
}

void Pop3Session::onDeleAccepted()
{
    const bool accountDone = m_host.deleteAccepted();
    if (accountDone || m_ctx.messageNumber >= m_ctx.messageCount) {
        send(SessionState::SentQuit, QStringLiteral("QUIT"));
        return;
    }
    m_ctx.messageNumber += 1;
    fetch(m_ctx.messageNumber);
}

void Pop3Session::handleErrorReply(const QByteArray& line)
{
    if (m_ctx.state == SessionState::SentUtf8) {
        logOn(); // the server keeps its own code page; nothing is lost
        return;
    }
    if (m_ctx.state == SessionState::SentStls) {
        // Never a fall-back to a log-on in plain text.
        note(SessionNote::StlsRefused, replyTextOf(serverText(line)));
        end(SessionEnd::TlsRefused);
        return;
    }
    const SessionNote what = m_ctx.state == SessionState::SentUser   ? SessionNote::UserRefused
                             : m_ctx.state == SessionState::SentPass ? SessionNote::PasswordRefused
                                                                     : SessionNote::ServerReply;
    note(what, replyTextOf(serverText(line)));
    end(SessionEnd::ErrorReplyLogged);
}

void Pop3Session::fetch(qint32 number)
{
    const bool retr = m_host.sessionOptions().useRetr;
    m_replyBytes = 0;
    send(SessionState::FetchingHeader,
         retr ? QStringLiteral("RETR %1").arg(number) : QStringLiteral("TOP %1 2").arg(number));
}

void Pop3Session::send(SessionState next, const QString& command)
{
    m_ctx.state = next;
    m_host.sendCommand(m_utf8 ? command.toUtf8() : toAnsi(command));
}

void Pop3Session::end(SessionEnd why)
{
    m_ended = true;
    m_host.endSession(why);
}
