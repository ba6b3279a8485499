#include "runs/account_secrets.h"

#include "platform/secret_command.h"
#include "platform/secret_store.h"
#include "runs/oauth_access.h"
#include "runs/secret_texts.h"
#include "runs/sign_in_book.h"

namespace {

// An OAuth2 account that names no command signs in with the program's own
// OAuth2 access.
bool usesOAuthAccess(const AccountSignIn& signIn)
{
    return signIn.method == SignInMethod::OAuth2 && signIn.secretOrigin != SecretOrigin::Command;
}

AccountSecret failed(const AccountSignIn& signIn, const QString& why)
{
    return {false, signIn.method, {}, why};
}

AccountSecret found(const AccountSignIn& signIn, const QString& secret)
{
    return {true, signIn.method, secret, {}};
}

} // namespace

AccountSignIn AccountSecrets::signInOf(const MailboxKey& mailbox) const
{
    return m_book ? m_book->find(mailbox) : AccountSignIn{};
}

bool AccountSecrets::takesUsersFilePassword(const MailboxKey& mailbox) const
{
    const AccountSignIn signIn = signInOf(mailbox);
    return signIn.secretOrigin == SecretOrigin::UsersFile && !usesOAuthAccess(signIn);
}

AccountSecret AccountSecrets::fetch(const MailboxKey& mailbox, const QString& usersFilePassword)
{
    const AccountSignIn signIn = signInOf(mailbox);
    if (usesOAuthAccess(signIn)) {
        if (!m_oauth)
            return failed(signIn, SecretText::noOAuthAccess());
        const AccessTokenResult token = m_oauth->accessToken(mailbox, signIn.oauth);
        return token.ok ? found(signIn, token.token) : failed(signIn, token.error);
    }
    switch (signIn.secretOrigin) {
    case SecretOrigin::UsersFile:
        // As it stands: the check run halts on an empty one before.
        return found(signIn, usersFilePassword);
    case SecretOrigin::Command: {
        if (signIn.secretCommand.isEmpty() || signIn.secretCommand.constFirst().isEmpty())
            return failed(signIn, SecretText::noCommand());
        const SecretCommandResult result = SecretCommand::runAndWait(signIn.secretCommand);
        return result.ok ? found(signIn, result.secret) : failed(signIn, result.error);
    }
    case SecretOrigin::SecretStore: {
        if (!m_store)
            return failed(signIn, SecretText::noSecretStore());
        const SecretLookup lookup =
            m_store->lookup({mailbox.server, mailbox.port, mailbox.userName, SecretKind::Password});
        if (!lookup.serviceRuns)
            return failed(signIn, lookup.error);
        if (!lookup.found)
            return failed(signIn, lookup.error.isEmpty() ? SecretText::notStored() : lookup.error);
        return found(signIn, lookup.secret);
    }
    }
    return found(signIn, usersFilePassword);
}
