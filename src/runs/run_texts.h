#pragma once

#include "pop3/pop3_session.h"

#include <QString>
#include <optional>

// Every text a run shows the user, in one place: the log lines, the status
// texts and the message boxes. Errors are enum values; their texts are
// written here only.

// Why a run stopped before its end.
enum class RunHalt {
    Canceled,
    NoAccounts,
    DeleteRunning,
    CheckRunning,
    NoAccountTicked,
    Offline,
    Unknown,
    ListEmpty,
    NothingMarked,
    BadPassword, // the user name follows the text
};

// Why a session ended before its QUIT was answered.
enum class SessionEndCause {
    ClosedByServer,
    NoReply,
    TooSlow,
    BrokenReply,
    LineTooLong,
    HeaderTooLarge,
    ImplausibleCount,
    ReplyTooLarge,
};

// A failure of the connection itself.
enum class LinkError {
    Socket, // the socket's own error (its description is the session-end reason)
    Tls,    // the handshake or the certificate; the description follows the text
};

namespace RunText {

QString halt(RunHalt why, const QString& userName = {});
// The log line and the message box of a halted run.
QString haltLine(const QString& haltText);
QString haltBox(const QString& haltText);

// The cause the log names for a session end; none where the log already
// shows why (the answered QUIT, an error reply, a refused STLS, a sign-in
// given up).
std::optional<SessionEndCause> causeOf(SessionEnd end);
QString sessionEndReason(SessionEndCause cause);
QString sessionEndLine(const QString& reason);

QString linkErrorLine(LinkError error, const QString& description);

// A server's reply as the log shows it: cut when long.
QString serverReply(const QString& reply);
// The line of what a session told the run.
QString sessionLine(const SessionReport& report);

QString beginCheck(bool selectedOnly);
QString beginDelete();
// "No New Mail Items", "1 New Mail Item", "12 New Mail Items".
QString newMailItems(int newMailCount);
QString checkComplete(int newMailCount, int totalItems);
QString deleteComplete(int deletedCount);

QString connected(const QString& serverIp);
QString secured(const QString& protocolName);
QString notConnected();
QString userConnectionClosed();
QString certificateFingerprint(const QString& sha256);
QString trustNotSaved(const QString& error);
QString deletionNotCompleted(int keptCount);

QString dialUpQuestion();
QString noItemsOnList();
QString noItemsMarked();
QString confirmDelete();

} // namespace RunText
