#pragma once

// The opening of a POP3 session as scripted for user "bob", and the log
// lines it leaves, shared by the tests that run sessions against the peer.
#include "support/servers_pop3_peer.h"

#include <QStringList>

inline const QString closedLine = QStringLiteral("...User Connection Closed - Wait...");
inline const QString connectedLine = QStringLiteral("..Connected-ServerIP: 127.0.0.1");
inline const QString greetingText =
    QStringLiteral("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>");

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
