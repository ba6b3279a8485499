#pragma once

#include "platform/account_sign_in.h"
#include "runs/mailbox_key.h"

#include <QHash>
#include <QString>
#include <optional>

// The accounts' sign-in choices (how each signs in, where its secret comes
// from) and the OAuth2 tokens kept when no Secret Service runs: what the
// owner-only sign-in file of the data folder holds, beside the users file,
// whose bytes stay as they are. An account it does not know signs in as
// the users file alone describes it.
class SignInBook
{
public:
    AccountSignIn find(const MailboxKey& mailbox) const;
    // The default choice removes the account's entry (its tokens stay).
    void set(const MailboxKey& mailbox, const AccountSignIn& signIn);
    // The account's server, port or user name changed in the editor.
    void rename(const MailboxKey& from, const MailboxKey& to);
    void remove(const MailboxKey& mailbox);

    std::optional<OAuthTokens> tokens(const MailboxKey& mailbox) const;
    void setTokens(const MailboxKey& mailbox, const OAuthTokens& tokens);
    void forgetTokens(const MailboxKey& mailbox);

    QList<MailboxKey> mailboxes() const;
    bool isEmpty() const { return m_entries.isEmpty(); }
    // Something changed since the last load or save.
    bool isModified() const { return m_modified; }

    // Replaces what is held by the file's content; a missing file is an
    // empty book. False with the reason when the file cannot be read.
    bool load(const QString& path, QString* error = nullptr);
    // Writes everything held, atomically and owner-only.
    bool save(const QString& path, QString* error = nullptr);

private:
    struct Entry
    {
        AccountSignIn signIn;
        std::optional<OAuthTokens> tokens;
        bool isEmpty() const { return signIn.isDefault() && !tokens; }
    };

    void store(const MailboxKey& mailbox, const Entry& entry);

    QHash<MailboxKey, Entry> m_entries;
    bool m_modified = false;
};
