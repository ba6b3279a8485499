#include "pop3/pop3_session.h"

#include "pop3/apop_digest.h"
#include "storage/codepage.h"

#include <QStringDecoder>

namespace {

QString replyTextOf(const QString& reply)
{
    return reply.size() <= 2 ? QString() : reply.chopped(2);
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

void Pop3Session::begin()
{
    m_reader.reset();
    m_ended = false;
}

void Pop3Session::dataArrival(const QByteArray& bytes)
{
    if (m_ended)
        return;
    m_reader.append(bytes);
    while (!m_ended) {
        const std::optional<SessionReader::Reply> reply =
            m_ctx.SessionState == FetchingHeader ? m_reader.nextMultiLine() : m_reader.nextLine();
        if (!reply)
            return;
        handleReply(*reply);
    }
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
            end();
        return;
    case SessionReader::Reply::Garbage:
    case SessionReader::Reply::Broken:
        // Not a reply at all: the connection is closed without a word.
        end();
        return;
    case SessionReader::Reply::MultiError:
        m_host.reportLine(m_host.sessionOptions().useRetr
                              ? QString()
                              : QStringLiteral("Error Using -TOP- Command"));
        send(SentQuit, QStringLiteral("QUIT"));
        return;
    case SessionReader::Reply::MultiLine:
        onHeaderBlock(reply.message);
        return;
    }
}

void Pop3Session::handlePositive(const QByteArray& line)
{
    const QString replyText = replyTextOf(serverText(line));
    const SessionOptions options = m_host.sessionOptions();
    switch (m_ctx.SessionState) {
    case AwaitGreeting:
        onGreeting(replyText);
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
        onStat(replyText, line);
        return;
    case SentQuit:
        m_host.reportLine(replyText);
        end();
        return;
    case SentDele:
        if (options.deleteEnabled)
            onDeleAccepted();
        return;
    case DeleteAborted:
        if (options.deleteEnabled) {
            m_host.reportLine(replyText);
            end();
        }
        return;
    case FetchingHeader:
        return; // multi-line replies never come here
    }
}

void Pop3Session::onGreeting(const QString& replyText)
{
    m_host.enableWatchdog();
    m_ctx.MessageCount = 0;
    m_ctx.MessageNumber = 0;
    m_host.reportLine(replyText);
    const SessionOptions options = m_host.sessionOptions();
    if (!options.useApop) {
        send(SentUser, QStringLiteral("USER ") + m_ctx.UserName);
        return;
    }
    QString reason = QStringLiteral("- No Shared Secret");
    if (!options.apopSecret.isEmpty()) {
        reason = QStringLiteral("- No Server TimeStamp");
        const qsizetype open = replyText.indexOf(QLatin1Char('<'));
        const qsizetype close = open >= 0 ? replyText.indexOf(QLatin1Char('>'), open) : -1;
        if (close >= 0) {
            const QString stamp = replyText.mid(open, close - open + 1);
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
    const qint32 count = countText.toInt(&ok);
    if (!ok || count < 0) {
        // A count that is no number is treated as an error reply.
        handleErrorReply(line);
        return;
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
    QString prefix;
    if (m_ctx.SessionState == SentUser)
        prefix = QStringLiteral("Username Logon Error: ");
    else if (m_ctx.SessionState == SentPass)
        prefix = QStringLiteral("Password Logon Error: ");
    QString reply = serverText(line);
    if (reply.size() > 242)
        reply = QStringLiteral("Chopped To 240 Chrs: ") + reply.left(242);
    m_host.reportLine(prefix + replyTextOf(reply));
    end();
}

void Pop3Session::fetch(qint32 number)
{
    const bool retr = m_host.sessionOptions().useRetr;
    send(FetchingHeader,
         retr ? QStringLiteral("RETR %1").arg(number) : QStringLiteral("TOP %1 2").arg(number));
}

void Pop3Session::send(::SessionState next, const QString& command)
{
    m_ctx.SessionState = next;
    m_host.sendCommand(command);
}

void Pop3Session::end()
{
    m_ended = true;
    m_host.closeConnection();
}
