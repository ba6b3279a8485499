#pragma once

#include <QByteArray>
#include <deque>
#include <optional>
#include <vector>

// The messages of one mailbox on their way to the run, in message order:
// which are fetched (TOP or RETR), which come from cached header blocks,
// and the fetches sent whose replies have not come. With a window of one
// the next fetch goes out only after the reply to the last; a larger
// window keeps several in flight (the server pipelines), bounded in
// commands and in command bytes.
class FetchQueue
{
public:
    // 128 fetches in flight hide a round trip of 100 ms behind replies of
    // a millisecond each; their command lines ("TOP 1000000 2", CR LF) stay
    // under 2 KB, far below any socket buffer, so the commands always fit
    // in the server's buffers while its replies wait in ours.
    static constexpr int MaxFetchesInFlight = 128;
    static constexpr qsizetype MaxCommandBytesInFlight = 2048;

    // Messages 1..count, none delivered; window 1: one fetch at a time.
    // cached[i]: the header block of message i + 1 when it is not fetched.
    void begin(qint32 count, int window, std::vector<std::optional<QByteArray>> cached = {});
    void clear() { begin(0, 1); }

    qint32 count() const { return m_count; }
    // The next message to fetch; 0 when none is left or fetching stopped.
    qint32 nextToFetch() const;
    // The window takes one more command of that many bytes.
    bool hasRoomFor(qsizetype commandBytes) const;
    void sent(qint32 number, qsizetype commandBytes);
    bool awaitingReply() const { return !m_inFlight.empty(); }
    // The oldest fetch in flight has its reply: its message number.
    qint32 takeAnswered();
    // No more fetches: the replies of those in flight are read and dropped.
    void stopFetching() { m_stopped = true; }
    bool stopped() const { return m_stopped; }

    // The next message in order when it comes from a cached block.
    std::optional<QByteArray> readyCachedBlock() const;
    qint32 nextToDeliver() const { return m_delivered + 1; }
    void delivered(qint32 number) { m_delivered = number; }
    bool allDelivered() const { return m_delivered >= m_count; }

private:
    struct InFlight
    {
        qint32 number = 0;
        qsizetype bytes = 0;
    };
    bool isCached(qint32 number) const;

    std::vector<std::optional<QByteArray>> m_cached;
    std::deque<InFlight> m_inFlight;
    qsizetype m_bytesInFlight = 0;
    qint32 m_count = 0;
    qint32 m_nextToSend = 1;
    qint32 m_delivered = 0;
    int m_window = 1;
    bool m_stopped = false;
};
