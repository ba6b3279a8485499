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

// The mechanisms of the "SASL mech mech..." line of a CAPA list, in capitals.
QList<QByteArray> saslMechanisms(const QByteArray& list)
{
    for (const QByteArray& line : list.split('\n')) {
        const QList<QByteArray> words = line.simplified().toUpper().split(' ');
        if (words.size() > 1 && words.first() == "SASL")
            return words.mid(1);
    }
    return {};
}

SessionEnd endForFault(SessionReader::Reply::Fault fault)
{
    switch (fault) {
    case SessionReader::Reply::Fault::LineTooLong:
        return SessionEnd::LineTooLong;
    case SessionReader::Reply::Fault::HeaderTooLarge:
        return SessionEnd::HeaderTooLarge;
    case SessionReader::Reply::Fault::ReplyTooLarge:
        return SessionEnd::ReplyTooLarge;
    case SessionReader::Reply::Fault::None:
        break;
    }
    return SessionEnd::BrokenReply;
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
    m_statCount = 0;
    m_fetches.clear();
    m_uids.clear();
    m_capabilities = {};
    m_auth.afterContinuation.reset();
    m_auth.abandoning = false;
}

std::optional<SessionReader::Reply> Pop3Session::nextReply()
{
    // Fetches sent go before any later command: their replies come first.
    if (m_fetches.awaitingReply())
        return m_reader.nextMultiLine(m_replyByteLimit);
    if (m_ctx.state == SessionState::SentCapa)
        return m_reader.nextMultiLine();
    return m_reader.nextLine();
}

void Pop3Session::dataArrival(const QByteArray& bytes)
{
    if (m_ended)
        return;
    m_reader.append(bytes);
    while (!m_ended) {
        if (m_ctx.state == SessionState::ReadingUidl) {
            const std::optional<SessionReader::Reply> line = m_reader.nextListingLine();
            if (!line)
                return;
            if (line->kind == SessionReader::Reply::Line)
                onUidlListingLine(line->text);
            else
                handleReply(*line);
            continue;
        }
        const std::optional<SessionReader::Reply> reply = nextReply();
        if (!reply)
            return;
        // A listing's status line is not yet its whole reply.
        if (m_ctx.state != SessionState::SentUidl || !reply->text.startsWith('+'))
            m_host.replyTaken();
        handleReply(*reply);
    }
}

void Pop3Session::tlsStarted()
{
    if (m_ended || m_ctx.state != SessionState::StartingTls)
        return;
    // What the server said before TLS may have been tampered with: ask again.
    m_capabilities = {};
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
        end(endForFault(reply.fault));
        return;
    case SessionReader::Reply::MultiError:
    case SessionReader::Reply::MultiLine:
        if (m_fetches.awaitingReply())
            onFetchReply(reply);
        else if (reply.kind == SessionReader::Reply::MultiLine)
            onCapabilities(reply.message);
        else
            onCapaRefused(reply.text);
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
    case SessionState::SentAuth:
        onAuthPositive(line);
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
    case SessionState::SentUidl:
        m_ctx.state = SessionState::ReadingUidl;
        m_uids.begin(m_ctx.messageCount, m_statCount);
        return;
    case SessionState::FetchingHeader:
    case SessionState::SentCapa:
    case SessionState::ReadingUidl:
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
    // Over TLS from the first byte too: PIPELINING and UIDL are offered there.
    send(SessionState::SentCapa, QStringLiteral("CAPA"));
}

void Pop3Session::onCapabilities(const QByteArray& list)
{
    const QList<QByteArray> names = capabilityNames(list);
    m_capabilities.pipelining = names.contains("PIPELINING");
    m_capabilities.uidl = names.contains("UIDL");
    m_capabilities.answered = true;
    m_capabilities.saslMechanisms = saslMechanisms(list);
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
    if (m_ctx.signInMethod != SignInMethod::Password) {
        signInWithAuth();
        return;
    }
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
    m_statCount = count;
    if (count > MaxMessagesPerAccount) {
        m_host.report({SessionNote::ListingCapped, {}, count});
        count = MaxMessagesPerAccount;
    }
    m_ctx.messageCount = count;
    const bool askIds = options.useHeaderCache && !options.deleteRunActive && m_capabilities.uidl;
    if (count >= 1 && askIds) {
        send(SessionState::SentUidl, QStringLiteral("UIDL"));
        return;
    }
    if (count >= 1) {
        startFetching();
        return;
    }
    if (askIds)
        m_host.keepOnlyHeaderBlocks({}); // the mailbox is empty
    if (!(options.deleteEnabled && options.deleteRunActive))
        m_host.addNoMailRow();
    send(SessionState::SentQuit, QStringLiteral("QUIT"));
}

void Pop3Session::onDeleAccepted()
{
    const bool accountDone = m_host.deleteAccepted();
    if (accountDone || m_ctx.messageNumber >= m_ctx.messageCount) {
        send(SessionState::SentQuit, QStringLiteral("QUIT"));
        return;
    }
    advanceFetches();
}

void Pop3Session::handleErrorReply(const QByteArray& line)
{
    if (m_ctx.state == SessionState::SentUidl) {
        startFetching(); // no ids: every message is fetched, as without a cache
        return;
    }
    if (m_ctx.state == SessionState::SentUtf8) {
        logOn(); // the server keeps its own code page; nothing is lost
        return;
    }
    if (m_ctx.state == SessionState::SentAuth) {
        onAuthError(line);
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

void Pop3Session::send(SessionState next, const QString& command)
{
    m_ctx.state = next;
    m_host.sendCommand(encoded(command));
}

QByteArray Pop3Session::encoded(const QString& command) const
{
    return m_utf8 ? command.toUtf8() : toAnsi(command);
}

void Pop3Session::end(SessionEnd why)
{
    m_ended = true;
    m_host.endSession(why);
}
