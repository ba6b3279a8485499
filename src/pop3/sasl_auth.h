#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// POP3's framing of a SASL exchange (AUTH): the command with its optional
// initial response, the server's "+ " continuations and the client's
// cancel line. Every payload travels as base64 on a line of its own.

enum class SaslVerdict {
    Continue, // send step line, then read the server's next line
    Done,     // send step line (possibly empty); the server's "+OK" may follow
    Failed    // send step line ("*" cancels an exchange under way) and give up
};

struct SaslStep
{
    SaslVerdict verdict = SaslVerdict::Failed;
    QByteArray line; // base64, without the line end
    QString reason;  // why it failed; never holds a password or token
};

// The opening of an exchange: the AUTH command and, when the initial
// response would make the command too long for a POP3 command line, the
// response to send after the server's first (empty) "+" continuation.
struct SaslOpening
{
    QByteArray command;
    std::optional<QByteArray> afterContinuation;
};

// "AUTH MECH RESPONSE", or "AUTH MECH =" for an empty response; a command
// line that would pass 255 octets with its CR LF is sent as "AUTH MECH"
// alone and the response waits for the continuation.
SaslOpening saslOpening(QByteArrayView mechanism, const QByteArray& initialResponse);

// The base64 payload of a continuation line ("+ payload" or a bare "+",
// line end removed), or nullopt for any other line (e.g. "+OK", "-ERR").
std::optional<QByteArray> saslContinuationPayload(QByteArrayView line);

// The line that abandons an exchange under way.
inline QByteArray saslCancelLine()
{
    return QByteArrayLiteral("*");
}

// Text that came from a server, made safe for one log line: printable
// ASCII only, at most maxLength characters.
QString saslPrintable(QByteArrayView text, qsizetype maxLength = 120);
