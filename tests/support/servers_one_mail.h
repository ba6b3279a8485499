#pragma once

#include "support/servers_pop3_peer.h"

// A check session of user/password (USER and PASS) with one message whose
// subject is the user name, ended by QUIT.
inline Pop3Script oneMailSession(const QByteArray& user, const QByteArray& password)
{
    return Pop3Script()
        .send(Pop3Reply::greeting())
        .expect("USER " + user)
        .send(Pop3Reply::ok())
        .expect("PASS " + password)
        .send(Pop3Reply::ok())
        .expect("STAT")
        .send(Pop3Reply::stat(1))
        .expect("TOP 1 2")
        .send(
            Pop3Reply::top(Pop3Reply::headers("ann@x.org", user, "Tue, 4 Jun 2024 08:00:00 +0000")))
        .expect("QUIT")
        .send(Pop3Reply::ok())
        .expectClientClose();
}
