#include "pop3/uid_listing.h"

void UidListing::begin(qint32 count, qint32 statCount)
{
    m_ids.clear();
    m_seen.clear();
    m_bytes = 0;
    // Every message's line, and room for the closing line and a margin.
    m_byteLimit = (qint64(statCount) + 1) * MaxLineBytes + 64 * 1024;
    m_count = count;
    m_lines = 0;
    m_malformed = false;
    m_finished = false;
}

bool UidListing::isIdText(QByteArrayView id)
{
    if (id.isEmpty() || id.size() > 70)
        return false;
    for (const char c : id)
        if (uchar(c) < 0x21 || uchar(c) > 0x7e)
            return false;
    return true;
}

bool UidListing::addLine(const QByteArray& line)
{
    m_bytes += line.size();
    if (m_bytes > m_byteLimit)
        return false;
    ++m_lines;
    if (m_malformed)
        return true; // read to its end, no longer kept
    const QByteArrayView text = QByteArrayView(line).chopped(line.endsWith("\r\n") ? 2 : 0);
    const qsizetype blank = text.indexOf(' ');
    bool ok = false;
    const qint32 number = blank > 0 ? text.first(blank).toInt(&ok) : 0;
    if (!ok || number != m_lines) {
        m_malformed = true;
        return true;
    }
    if (number > m_count)
        return true; // a message past the listed ones
    const QByteArray id = text.sliced(blank + 1).toByteArray();
    if (!isIdText(id) || m_seen.contains(id)) {
        m_malformed = true;
        return true;
    }
    m_ids.append(id);
    m_seen.insert(id);
    return true;
}
