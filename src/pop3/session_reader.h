#pragma once

#include <QByteArray>
#include <optional>

// Cuts the byte stream of one connection into replies. A one-line reply
// ends at its CR LF however many arrivals carry it; a multi-line reply ends
// at LF "." CR LF, searched only in new bytes and the four before them. Of
// a multi-line reply only the status line and the header block (up to and
// including the first empty line) are kept; the rest is scanned and
// dropped, so memory stays bounded whatever the server sends. Replies of
// commands sent together follow one another in the stream; each is cut
// and counted on its own.
class SessionReader
{
public:
    static constexpr qsizetype MaxLineBytes = 64 * 1024;
    static constexpr qsizetype MaxHeaderBytes = 1024 * 1024;

    struct Reply
    {
        enum Kind {
            Line,      // a one-line reply, CR LF included
            Garbage,   // bytes that cannot begin a reply; text holds them
            Broken,    // a line or header block over its limit, or a reply over its byte limit
            MultiLine, // complete; text is the status line, message what follows it
            MultiError // a multi-line reply that began with "-ERR"; text is its line
        };
        // Why a reply is Broken.
        enum class Fault { None, LineTooLong, HeaderTooLarge, ReplyTooLarge };
        Kind kind = Line;
        QByteArray text;
        QByteArray message; // MultiLine: the message without the closing ".", CR LF
        Fault fault = Fault::None;
    };

    void reset();
    void append(const QByteArray& bytes) { m_pending.append(bytes); }
    bool hasPending() const { return !m_pending.isEmpty(); }

    // The next complete reply read as a one-line reply, or nothing yet.
    std::optional<Reply> nextLine();
    // The next complete multi-line reply, or nothing yet. A reply whose
    // bytes (status line and end marker included) pass byteLimit is
    // Broken as soon as they do; -1: no limit.
    std::optional<Reply> nextMultiLine(qint64 byteLimit = -1);
    // The next line of a listing (a multi-line reply read line by line
    // after its status line), CR LF included and not dot-unstuffed, or
    // nothing yet. Its length is bounded as any reply line's.
    std::optional<Reply> nextListingLine();

private:
    static bool mayBeginReply(const QByteArray& bytes);
    static bool unendedLineTooLong(const QByteArray& bytes);
    // The next line of m_pending, whatever it begins with.
    std::optional<Reply> takeLine();
    // Feeds bytes of the multi-line reply in progress (all of them belong
    // to it); returns a Broken or MultiError reply when one is decided.
    std::optional<Reply> feedMultiLine(const QByteArray& bytes);
    void clearMultiLine();

    QByteArray m_pending;     // bytes not yet given to a reply
    qsizetype m_lineScan = 0; // where the search for CR LF goes on in m_pending
    QByteArray m_status;      // status line of the multi-line reply in progress
    bool m_statusDone = false;
    QByteArray m_kept;         // message bytes kept so far
    bool m_headerDone = false; // m_kept ends with the empty line
    QByteArray m_tail;         // last bytes of the reply so far, for the end marker
    qint64 m_replyBytes = 0;   // bytes of the multi-line reply so far
};
