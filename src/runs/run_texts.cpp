#include "runs/run_texts.h"

namespace RunText {

QString halt(RunHalt why, const QString& userName)
{
    switch (why) {
    case RunHalt::Canceled:
        return QStringLiteral("Operation Canceled");
    case RunHalt::NoAccounts:
        return QStringLiteral("No Usernames Are Configured.");
    case RunHalt::DeleteRunning:
        return QStringLiteral("Error..A Delete Process Is Still Running");
    case RunHalt::CheckRunning:
        return QStringLiteral("Error..A -Check Mail- Process Is Still Running");
    case RunHalt::NoAccountTicked:
        return QStringLiteral("No Usernames Have CheckBox Checked or Error Reading List");
    case RunHalt::Offline:
        return QStringLiteral("Not Connected To The Internet");
    case RunHalt::Unknown:
        break;
    case RunHalt::ListEmpty:
        return QStringLiteral("..There Are No Mail Items On The List.");
    case RunHalt::NothingMarked:
        return QStringLiteral("No Mail Items Have CheckBox Checked To Mark For Deletion.");
    case RunHalt::BadPassword:
        return QStringLiteral("Password From Usernames List Not Good For User: ") + userName;
    }
    return QStringLiteral("Unknown Error");
}

QString haltLine(const QString& haltText)
{
    return QStringLiteral("..Process Halted: ") + haltText;
}

QString haltBox(const QString& haltText)
{
    return QStringLiteral("Process Halted: ") + haltText;
}

std::optional<SessionEndCause> causeOf(SessionEnd end)
{
    switch (end) {
    case SessionEnd::BrokenReply:
        return SessionEndCause::BrokenReply;
    case SessionEnd::LineTooLong:
        return SessionEndCause::LineTooLong;
    case SessionEnd::HeaderTooLarge:
        return SessionEndCause::HeaderTooLarge;
    case SessionEnd::ImplausibleCount:
        return SessionEndCause::ImplausibleCount;
    case SessionEnd::ReplyTooLarge:
        return SessionEndCause::ReplyTooLarge;
    case SessionEnd::QuitAnswered:
    case SessionEnd::ErrorReplyLogged:
    case SessionEnd::TlsRefused:
    case SessionEnd::SignInAbandoned:
        break;
    }
    return std::nullopt;
}

QString sessionEndReason(SessionEndCause cause)
{
    switch (cause) {
    case SessionEndCause::ClosedByServer:
        return QStringLiteral("Connection Closed By Server");
    case SessionEndCause::NoReply:
        return QStringLiteral("No Reply From Server Within The Time-Out");
    case SessionEndCause::TooSlow:
        return QStringLiteral("Server Reply Too Slow (Under 1 KB In The Time-Out)");
    case SessionEndCause::BrokenReply:
        break;
    case SessionEndCause::LineTooLong:
        return QStringLiteral("Server Reply Line Over 64 KB");
    case SessionEndCause::HeaderTooLarge:
        return QStringLiteral("Header Block Over 1 MB");
    case SessionEndCause::ImplausibleCount:
        return QStringLiteral("Broken Reply From Server (More Mail Items Than Octets)");
    case SessionEndCause::ReplyTooLarge:
        return QStringLiteral("Server Reply Larger Than The Whole Mailbox");
    }
    return QStringLiteral("Broken Reply From Server");
}

QString sessionEndLine(const QString& reason)
{
    return QStringLiteral("..Session Ended: ") + reason;
}

QString linkErrorLine(LinkError error, const QString& description)
{
    if (error == LinkError::Tls)
        return QStringLiteral("..TLS Error: ") + description;
    return QStringLiteral("..MailSocket Error");
}

QString serverReply(const QString& reply)
{
    // A server may send a line of up to 64 KiB; the log keeps its start.
    constexpr qsizetype kept = 240;
    if (reply.size() > kept)
        return QStringLiteral("Chopped To 240 Chrs: ") + reply.left(kept);
    return reply;
}

QString sessionLine(const SessionReport& report)
{
    switch (report.note) {
    case SessionNote::ServerReply:
        break;
    case SessionNote::UserRefused:
        return QStringLiteral("Username Logon Error: ") + serverReply(report.reply);
    case SessionNote::PasswordRefused:
        return QStringLiteral("Password Logon Error: ") + serverReply(report.reply);
    case SessionNote::StlsRefused:
        return QStringLiteral("..TLS Error: STLS Refused: ") + serverReply(report.reply);
    case SessionNote::CheckingForMail:
        return QStringLiteral("..Checking For Mail");
    case SessionNote::CheckingForDeletes:
        return QStringLiteral("..Checking For Delete Mail Items On Server");
    case SessionNote::ListingCapped:
        return QStringLiteral("..Listing Only The First %1 Of %2 Mail Items")
            .arg(Pop3Session::MaxMessagesPerAccount)
            .arg(report.total);
    case SessionNote::TopRefused:
        return QStringLiteral("Error Using -TOP- Command");
    case SessionNote::RetrRefused:
        return QString(); // an empty line, as the log has always shown it
    case SessionNote::ApopNoSecret:
        return QStringLiteral("APOP Logon Error - No Shared Secret");
    case SessionNote::ApopNoTimestamp:
        return QStringLiteral("APOP Logon Error - No Server TimeStamp");
    case SessionNote::AuthRefused:
        return QStringLiteral("AUTH Logon Error: ") + serverReply(report.reply);
    case SessionNote::AuthNeedsTls:
        return QStringLiteral("AUTH Logon Error - Connection Not Encrypted (No TLS, No STLS): "
                              "Nothing Sent");
    case SessionNote::AuthCapaRefused:
        return QStringLiteral("AUTH Logon Error - CAPA Refused, Mechanisms Unknown: ") +
               serverReply(report.reply);
    case SessionNote::AuthNotOffered:
        return QStringLiteral("AUTH Logon Error - Server Does Not Offer %1 (Offered: %2)")
            .arg(report.detail,
                 report.reply.isEmpty() ? QStringLiteral("None") : serverReply(report.reply));
    case SessionNote::AuthFailed:
        return QStringLiteral("AUTH Logon Error - ") + report.detail;
    case SessionNote::ScramUnverified:
        return QStringLiteral("AUTH Logon Error - Server Accepted Without Proving It Knows The "
                              "Password: ") +
               serverReply(report.reply);
    }
    return serverReply(report.reply);
}

QString beginCheck(bool selectedOnly)
{
    return QStringLiteral("..Beginning Process To Check For Mail") +
           (selectedOnly ? QStringLiteral(" (Check-Selected Usernames, Only)") : QString());
}

QString beginDelete()
{
    return QStringLiteral("..Beginning Process To Delete Mail");
}

QString newMailItems(int newMailCount)
{
    const QString countWord =
        newMailCount == 0 ? QStringLiteral("No") : QString::number(newMailCount);
    const QString ending = newMailCount == 1 ? QString() : QStringLiteral("s");
    return countWord + QStringLiteral(" New Mail Item") + ending;
}

QString checkComplete(int newMailCount, int totalItems)
{
    return QStringLiteral("..Check Complete: ") + newMailItems(newMailCount) +
           QStringLiteral(" -Total Items: ") + QString::number(totalItems);
}

QString deleteComplete(int deletedCount)
{
    const QString ending = deletedCount == 1 ? QString() : QStringLiteral("s");
    return QStringLiteral("..Delete Complete: Deleted ") + QString::number(deletedCount) +
           QStringLiteral(" Mail Item") + ending;
}

QString connected(const QString& serverIp)
{
    return QStringLiteral("..Connected-ServerIP: ") + serverIp;
}

QString secured(const QString& protocolName)
{
    return QStringLiteral("..Secured: ") + protocolName;
}

QString notConnected()
{
    return QStringLiteral("..Not Connected");
}

QString userConnectionClosed()
{
    return QStringLiteral("...User Connection Closed - Wait...");
}

QString certificateFingerprint(const QString& sha256)
{
    return QStringLiteral("..Certificate SHA-256: ") + sha256;
}

QString trustNotSaved(const QString& error)
{
    return QStringLiteral("..Trusted Certificate Not Saved: ") + error;
}

QString deletionNotCompleted(int keptCount)
{
    return QStringLiteral("..Deletion Not Completed: The Server Kept %1 Mail Item%2")
        .arg(keptCount)
        .arg(keptCount == 1 ? QString() : QStringLiteral("s"));
}

QString dialUpQuestion()
{
    return QStringLiteral("You Are NOT CONNECTED To The Internet\nDo You Want A Dial-Up "
                          "Connection Window?");
}

QString noItemsOnList()
{
    return QStringLiteral("There Are No Mail Items On The List");
}

QString noItemsMarked()
{
    return QStringLiteral("No Mail Items On The List Have Their CheckBoxes Checked To Mark For "
                          "Deletion");
}

QString confirmDelete()
{
    return QStringLiteral("Confirm: Permanently Delete All Mail Items w/CheckBox Ckecked From "
                          "The Server?");
}

} // namespace RunText
