#pragma once

// Accounts whose secret comes from elsewhere than the users file, for runs
// against the scripted peer: their sign-in book and the sessions they get.
#include "run_rig.h"
#include "runs/sign_in_book.h"
#include "support/servers_one_mail.h"

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
