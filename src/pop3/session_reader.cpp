#include "pop3/session_reader.h"

#include <cstring>

namespace {
const QByteArray crlf("\r\n");
const QByteArray endMarker("\n.\r\n");
const QByteArray emptyLine("\r\n\r\n");
const QByteArray errWord("-ERR");

// The offset of the first end marker in bytes, or -1. Every line ends in
// LF, so a vectorised scan for LF that tests the three bytes after it goes
// through the megabytes of a RETR body far faster than a general search.
qsizetype findEndMarker(QByteArrayView bytes)
{
    const char* const begin = bytes.data();
    const char* const end = begin + bytes.size();
    for (const char* p = begin; end - p >= endMarker.size(); ++p) {
        p = static_cast<const char*>(std::memchr(p, '\n', end - p));
        if (!p || end - p < endMarker.size())
            return -1;
        if (p[1] == '.' && p[2] == '\r' && p[3] == '\n')
            return p - begin;
    }
    return -1;
}
SessionReader::Reply lineTooLong()
{
    return {SessionReader::Reply::Broken, {}, {}, SessionReader::Reply::Fault::LineTooLong};
}

SessionReader::Reply headerTooLarge()
{
    return {SessionReader::Reply::Broken, {}, {}, SessionReader::Reply::Fault::HeaderTooLarge};
}

SessionReader::Reply replyTooLarge()
{
    return {SessionReader::Reply::Broken, {}, {}, SessionReader::Reply::Fault::ReplyTooLarge};
}
} // namespace

void SessionReader::reset()
{
    m_pending.clear();
    m_lineScan = 0;
    clearMultiLine();
}

void SessionReader::clearMultiLine()
{
    m_status.clear();
    m_statusDone = false;
    m_kept.clear();
    m_headerDone = false;
    m_tail.clear();
    m_replyBytes = 0;
}

// A line whose CR LF has not come yet is too long once what it holds
// before a possible closing CR passes the limit, so the verdict is the one
// the whole line gets when its CR LF is there.
bool SessionReader::unendedLineTooLong(const QByteArray& bytes)
{
    return bytes.size() - (bytes.endsWith('\r') ? 1 : 0) > MaxLineBytes;
}

bool SessionReader::mayBeginReply(const QByteArray& bytes)
{
    if (bytes.isEmpty() || bytes.at(0) == '+')
        return true;
    const qsizetype n = qMin<qsizetype>(bytes.size(), errWord.size());
    return bytes.left(n) == errWord.left(n);
}

std::optional<SessionReader::Reply> SessionReader::nextLine()
{
    if (m_pending.isEmpty())
        return std::nullopt;
    if (!mayBeginReply(m_pending)) {
        Reply r{Reply::Garbage, m_pending, {}};
        m_pending.clear();
        m_lineScan = 0;
        return r;
    }
    return takeLine();
}

std::optional<SessionReader::Reply> SessionReader::nextListingLine()
{
    if (m_pending.isEmpty())
        return std::nullopt;
    return takeLine();
}

std::optional<SessionReader::Reply> SessionReader::takeLine()
{
    const qsizetype at = m_pending.indexOf(crlf, qMax<qsizetype>(0, m_lineScan - 1));
    if (at < 0) {
        m_lineScan = m_pending.size();
        if (unendedLineTooLong(m_pending))
            return lineTooLong();
        return std::nullopt;
    }
    if (at > MaxLineBytes)
        return lineTooLong();
    Reply r{Reply::Line, m_pending.left(at + 2), {}};
    m_pending.remove(0, at + 2);
    m_lineScan = 0;
    return r;
}

std::optional<SessionReader::Reply> SessionReader::nextMultiLine(qint64 byteLimit)
{
    if (m_pending.isEmpty())
        return std::nullopt;
    m_lineScan = 0;
    // The marker may straddle the previous arrival: search the seam of the
    // last four bytes before the new ones, then the new bytes, never the
    // whole reply again. An arrival may be megabytes: it is not copied.
    const qsizetype seamAt = findEndMarker(m_tail + m_pending.left(endMarker.size() - 1));
    qsizetype end = -1;
    if (seamAt >= 0)
        end = seamAt + endMarker.size() - m_tail.size();
    else if (const qsizetype at = findEndMarker(m_pending); at >= 0)
        end = at + endMarker.size();
    const QByteArray mine = end >= 0 ? m_pending.left(end) : m_pending;
    if (end >= 0)
        m_pending.remove(0, end);
    else
        m_pending.clear();

    m_tail = mine.size() >= endMarker.size() ? mine.right(endMarker.size())
                                             : (m_tail + mine).right(endMarker.size());
    // Before anything of the bytes is judged, as the whole arrival was
    // when only one reply was ever awaited.
    m_replyBytes += mine.size();
    if (byteLimit >= 0 && m_replyBytes > byteLimit) {
        clearMultiLine();
        return replyTooLarge();
    }
    if (std::optional<Reply> decided = feedMultiLine(mine)) {
        clearMultiLine();
        return decided;
    }
    if (end < 0)
        return std::nullopt;

    QByteArray message = m_kept;
    if (!m_headerDone && message.endsWith(".\r\n"))
        message.chop(3);
    Reply r{Reply::MultiLine, m_status, message};
    clearMultiLine();
    return r;
}

std::optional<SessionReader::Reply> SessionReader::feedMultiLine(const QByteArray& bytes)
{
    QByteArray rest = bytes;
    if (!m_statusDone) {
        const qsizetype from = qMax<qsizetype>(0, m_status.size() - 1);
        m_status.append(rest);
        if (!mayBeginReply(m_status))
            return Reply{Reply::Broken, {}, {}};
        const qsizetype at = m_status.indexOf(crlf, from);
        if (at < 0) {
            if (unendedLineTooLong(m_status))
                return lineTooLong();
            return std::nullopt;
        }
        // However the line arrived: in one piece or cut before its end.
        if (at > MaxLineBytes)
            return lineTooLong();
        rest = m_status.mid(at + 2);
        m_status.truncate(at + 2);
        m_statusDone = true;
        if (m_status.startsWith(errWord)) {
            // What followed the error line is the next reply's.
            m_pending.prepend(rest);
            return Reply{Reply::MultiError, m_status, {}};
        }
    }
    if (m_headerDone || rest.isEmpty())
        return std::nullopt;
    const qsizetype from = qMax<qsizetype>(0, m_kept.size() - 3);
    m_kept.append(rest);
    const qsizetype at = m_kept.indexOf(emptyLine, from);
    // The same limit whether the empty line came with the rest or later.
    if (at > MaxHeaderBytes || (at < 0 && m_kept.size() > MaxHeaderBytes + 3))
        return headerTooLarge();
    if (at >= 0) {
        m_kept.truncate(at + emptyLine.size());
        m_headerDone = true;
    }
    return std::nullopt;
}
