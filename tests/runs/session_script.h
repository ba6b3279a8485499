#pragma once

// The opening of a POP3 session as scripted for user "bob", and the log
// lines it leaves, shared by the tests that run sessions against the peer.
#include "support/servers_pop3_peer.h"

#include <QStringList>

inline const QString closedLine = QStringLiteral("...User Connection Closed - Wait...");
inline const QString connectedLine = QStringLiteral("..Connected-ServerIP: 127.0.0.1");
inline const QString greetingText =
    QStringLiteral("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>");

// The line that says why a session ended before its QUIT was answered.
inline QString endedLine(const QString& why)
{
    return QStringLiteral("..Session Ended: ") + why;
}
inline const QString silentLine = endedLine("No Reply From Server Within The Time-Out");
inline const QString slowLine = endedLine("Server Reply Too Slow (Under 1 KB In The Time-Out)");
inline const QString brokenLine = endedLine("Broken Reply From Server");
inline const QString longLineLine = endedLine("Server Reply Line Over 64 KB");
inline const QString bigHeaderLine = endedLine("Header Block Over 1 MB");
inline const QString oversizeLine = endedLine("Server Reply Larger Than The Whole Mailbox");
inline const QString serverClosedLine = endedLine("Connection Closed By Server");

// Greeting, USER bob / PASS pw accepted, STAT asked.
inline Pop3Script loggedIn()
{
    return Pop3Script()
        .send(Pop3Reply::greeting())
        .expect("USER bob")
        .send(Pop3Reply::ok())
        .expect("PASS pw")
        .send(Pop3Reply::ok("logged in"))
        .expect("STAT");
}

// What loggedIn() leaves in the log once STAT is answered.
inline QStringList loggedInLog()
{
    return {greetingText, QStringLiteral("+OK logged in"), QStringLiteral("..Checking For Mail")};
}

// The TOP reply of message i: sender ann<i>@x.org, subject "subject <i>".
inline QByteArray numberedTop(int i)
{
    const QByteArray n = QByteArray::number(i);
    return Pop3Reply::top(
        Pop3Reply::headers("ann" + n + "@x.org", "subject " + n, "Tue, 4 Jun 2024 08:00:00 +0000"));
}

inline QByteArray fetchCommand(int i)
{
    return "TOP " + QByteArray::number(i) + " 2";
}

// Log-on with CAPA answered (PIPELINING listed or not); STAT gives count
// messages of 100 octets each.
inline Pop3Script loggedOnWithCapa(int count, bool pipelining)
{
    QList<QByteArray> capabilities{"TOP", "USER"};
    if (pipelining)
        capabilities.append("PIPELINING");
    return Pop3Script()
        .send(Pop3Reply::greeting())
        .expect("CAPA")
        .send(Pop3Reply::multiLine(capabilities))
        .expect("USER bob")
        .send(Pop3Reply::ok())
        .expect("PASS pw")
        .send(Pop3Reply::ok("logged in"))
        .expect("STAT")
        .send(Pop3Reply::stat(count));
}
