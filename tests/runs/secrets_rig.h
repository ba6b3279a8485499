#pragma once

// Accounts whose secret comes from elsewhere than the users file, for runs
// against the scripted peer: their sign-in book and the sessions they get.
#include "run_rig.h"
#include "runs/sign_in_book.h"
#include "support/servers_pop3_peer.h"

namespace secretsrig {

inline AccountSignIn fromCommand(const QStringList& command)
{
    AccountSignIn signIn;
    signIn.secretOrigin = SecretOrigin::Command;
    signIn.secretCommand = command;
    return signIn;
}

inline AccountSignIn fromSecretStore()
{
    AccountSignIn signIn;
    signIn.secretOrigin = SecretOrigin::SecretStore;
    return signIn;
}

inline MailboxKey mailboxOf(const QString& user, quint16 port)
{
    return {QStringLiteral("127.0.0.1"), port, user};
}

// A check session of user/password with one message whose subject is the
// user name.
inline Pop3Script mailbox(const QByteArray& user, const QByteArray& password)
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

// "user|subject" per mail row.
inline QStringList listed(const RunRig& rig)
{
    QStringList out;
    for (int i = 0; i < rig.mails.itemCount(); ++i)
        out.append(rig.mails.item(i).userName + QLatin1Char('|') + rig.mails.item(i).subject);
    return out;
}

// The log lines of the accounts skipped for want of a secret.
inline QStringList skipped(const RunRig& rig)
{
    return rig.logLines().filter(QStringLiteral("..Account Skipped, No Password: "));
}

} // namespace secretsrig
