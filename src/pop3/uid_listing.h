#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>

// The reply to UIDL, read one line at a time: the unique id of each
// message, in message order. A line out of its form, out of order or with
// an id seen before makes the listing unusable (every message is then
// fetched); a listing past any honest size is refused, so a server that
// lists without end costs only its session.
class UidListing
{
public:
    // An id is 1 to 70 printable characters; with its number and CR LF a
    // line never needs more than this.
    static constexpr qsizetype MaxLineBytes = 80;

    // A new listing of a mailbox of statCount messages, of which the first
    // count are listed.
    void begin(qint32 count, qint32 statCount);
    void clear() { begin(0, 0); }
    // One line, CR LF included. False when the listing grew past its bound.
    bool addLine(const QByteArray& line);
    // The closing "." came.
    void finish() { m_finished = true; }
    // Finished, and every listed message has its id.
    bool usable() const { return m_finished && !m_malformed && m_ids.size() == m_count; }
    // The id of message number (1-based); empty when the listing is unusable.
    QByteArray idOf(qint32 number) const
    {
        return usable() ? m_ids.value(number - 1) : QByteArray();
    }
    QSet<QByteArray> idSet() const { return m_seen; }

private:
    static bool isIdText(QByteArrayView id);

    QList<QByteArray> m_ids;
    QSet<QByteArray> m_seen;
    qint64 m_bytes = 0;
    qint64 m_byteLimit = 0;
    qint32 m_count = 0;
    qint32 m_lines = 0;
    bool m_malformed = false;
    bool m_finished = false;
};
