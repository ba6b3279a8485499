// The messages of a session: the unique-id listing, the fetches (one at a
// time or pipelined) and the header blocks handed to the run in order.
#include "pop3/pop3_session.h"

void Pop3Session::onUidlListingLine(const QByteArray& line)
{
    if (line == ".\r\n") {
        m_host.replyTaken();
        m_uids.finish();
        onUidlListingEnd();
        return;
    }
    if (!m_uids.addLine(line))
        end(SessionEnd::ReplyTooLarge);
}

void Pop3Session::onUidlListingEnd()
{
    std::vector<std::optional<QByteArray>> cached;
    if (m_uids.usable()) {
        cached.reserve(size_t(m_ctx.messageCount));
        for (qint32 number = 1; number <= m_ctx.messageCount; ++number)
            cached.push_back(m_host.cachedHeaderBlock(m_uids.idOf(number)));
    }
    startFetching(std::move(cached));
}

void Pop3Session::startFetching(std::vector<std::optional<QByteArray>> cached)
{
    const bool pipelined = m_capabilities.pipelining && !m_host.sessionOptions().deleteRunActive;
    m_fetches.begin(m_ctx.messageCount, pipelined ? FetchQueue::MaxFetchesInFlight : 1,
                    std::move(cached));
    advanceFetches();
}

void Pop3Session::onFetchReply(const SessionReader::Reply& reply)
{
    const qint32 number = m_fetches.takeAnswered();
    if (m_fetches.stopped())
        return; // QUIT is on its way: what was still in flight is dropped
    if (reply.kind == SessionReader::Reply::MultiError) {
        note(m_host.sessionOptions().useRetr ? SessionNote::RetrRefused : SessionNote::TopRefused);
        quitWithFetchesInFlight();
        return;
    }
    if (deliver(number, reply.message, true))
        advanceFetches();
}

// The cached blocks next in order go to the run at once; then the window
// is filled again, or QUIT follows the last message.
void Pop3Session::advanceFetches()
{
    while (const std::optional<QByteArray> block = m_fetches.readyCachedBlock()) {
        if (!deliver(m_fetches.nextToDeliver(), *block, false))
            return;
    }
    if (m_fetches.allDelivered()) {
        if (m_uids.usable())
            m_host.keepOnlyHeaderBlocks(m_uids.idSet());
        send(SessionState::SentQuit, QStringLiteral("QUIT"));
        return;
    }
    fillWindow();
}

// False when the session goes no further with the messages: canceled, or
// a delete run waits for the answer to its DELE (or QUIT).
bool Pop3Session::deliver(qint32 number, const QByteArray& block, bool fetched)
{
    if (m_host.sessionOptions().cancelRequested) {
        m_host.clearMailList();
        quitWithFetchesInFlight();
        return false;
    }
    m_ctx.messageNumber = number;
    m_fetches.delivered(number);
    m_host.extractHeaders(block, number);
    if (fetched && m_uids.usable())
        m_host.storeHeaderBlock(m_uids.idOf(number), block);
    const SessionOptions options = m_host.sessionOptions();
    return !(options.deleteEnabled &&
             (m_ctx.state == SessionState::SentDele || m_ctx.state == SessionState::DeleteAborted));
}

void Pop3Session::fillWindow()
{
    const bool retr = m_host.sessionOptions().useRetr;
    while (const qint32 number = m_fetches.nextToFetch()) {
        const QByteArray line = encoded(retr ? QStringLiteral("RETR %1").arg(number)
                                             : QStringLiteral("TOP %1 2").arg(number));
        const qsizetype bytes = line.size() + 2; // CR LF
        if (!m_fetches.hasRoomFor(bytes))
            return;
        m_fetches.sent(number, bytes);
        m_ctx.state = SessionState::FetchingHeader;
        m_host.sendCommand(line);
    }
}

void Pop3Session::quitWithFetchesInFlight()
{
    m_fetches.stopFetching();
    send(SessionState::SentQuit, QStringLiteral("QUIT"));
}
