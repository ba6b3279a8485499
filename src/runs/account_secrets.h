#pragma once

#include "platform/account_sign_in.h"
#include "runs/mailbox_key.h"

#include <QString>

class OAuthAccess;
class SecretStore;
class SignInBook;

struct AccountSecret
{
    bool ok = false;
    SignInMethod method = SignInMethod::Password;
    QString secret; // the password or access token, when ok
    QString error;  // for the log, when not ok; never holds a secret
};

// Where each account's password or access token comes from before its
// session: the sign-in book names the way (the users file when it has no
// entry, or no book is set), the secret store and the OAuth2 access give
// what is kept elsewhere. Fetching waits with the event loop running, so
// it is done before the account's connection, never during another's.
class AccountSecrets
{
public:
    explicit AccountSecrets(const SignInBook* book = nullptr, SecretStore* store = nullptr,
                            OAuthAccess* oauth = nullptr)
        : m_book(book), m_store(store), m_oauth(oauth)
    {
    }

    void setSignInBook(const SignInBook* book) { m_book = book; }
    void setSecretStore(SecretStore* store) { m_store = store; }
    void setOAuthAccess(OAuthAccess* oauth) { m_oauth = oauth; }

    AccountSignIn signInOf(const MailboxKey& mailbox) const;
    // The account signs in with the password of its users file row.
    bool takesUsersFilePassword(const MailboxKey& mailbox) const;
    AccountSecret fetch(const MailboxKey& mailbox, const QString& usersFilePassword);

private:
    const SignInBook* m_book;
    SecretStore* m_store;
    OAuthAccess* m_oauth;
};
