#include "pop3/fetch_queue.h"

void FetchQueue::begin(qint32 count, int window, std::vector<std::optional<QByteArray>> cached)
{
    m_cached = std::move(cached);
    m_inFlight.clear();
    m_bytesInFlight = 0;
    m_count = count;
    m_nextToSend = 1;
    m_delivered = 0;
    m_window = qBound(1, window, MaxFetchesInFlight);
    m_stopped = false;
}

bool FetchQueue::isCached(qint32 number) const
{
    const auto index = size_t(number - 1);
    return index < m_cached.size() && m_cached[index].has_value();
}

bool FetchQueue::hasRoomFor(qsizetype commandBytes) const
{
    if (qsizetype(m_inFlight.size()) >= m_window)
        return false;
    // One command always goes out, however long: a window never stalls.
    return m_inFlight.empty() || m_bytesInFlight + commandBytes <= MaxCommandBytesInFlight;
}

qint32 FetchQueue::nextToFetch() const
{
    if (m_stopped)
        return 0;
    qint32 number = qMax(m_nextToSend, m_delivered + 1);
    while (number <= m_count && isCached(number))
        ++number;
    return number <= m_count ? number : 0;
}

void FetchQueue::sent(qint32 number, qsizetype commandBytes)
{
    m_inFlight.push_back({number, commandBytes});
    m_bytesInFlight += commandBytes;
    m_nextToSend = number + 1;
}

qint32 FetchQueue::takeAnswered()
{
    if (m_inFlight.empty())
        return 0;
    const InFlight answered = m_inFlight.front();
    m_inFlight.pop_front();
    m_bytesInFlight -= answered.bytes;
    return answered.number;
}

std::optional<QByteArray> FetchQueue::readyCachedBlock() const
{
    const qint32 number = m_delivered + 1;
    if (m_stopped || number > m_count || !isCached(number))
        return std::nullopt;
    return m_cached[size_t(number - 1)];
}
