#pragma once

#include "runs/mailbox_key.h"

#include <QList>
#include <QString>

class SecretStore;
class SignInBook;

// What forgetting a deleted account's sign-in did.
struct ForgottenSignIn
{
    bool bookChanged = false; // the book must be saved
    QString storeError;       // why a secret stayed in the secret store; empty when none did
};

// An account was deleted from the list. Unless a remaining account signs in
// to the same mailbox (server, port and user name), the mailbox's sign-in
// choice and tokens leave the book, and its password and OAuth2 tokens
// leave the secret store (null: none). A store that does not run holds
// nothing to remove.
ForgottenSignIn forgetDeletedAccount(const MailboxKey& deleted, const QList<MailboxKey>& remaining,
                                     SignInBook& book, SecretStore* store);
