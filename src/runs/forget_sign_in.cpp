#include "runs/forget_sign_in.h"

#include "platform/secret_store.h"
#include "runs/sign_in_book.h"

ForgottenSignIn forgetDeletedAccount(const MailboxKey& deleted, const QList<MailboxKey>& remaining,
                                     SignInBook& book, SecretStore* store)
{
    ForgottenSignIn forgotten;
    // Another account still reads the same mailbox with the same secrets.
    if (remaining.contains(deleted))
        return forgotten;
    if (book.mailboxes().contains(deleted)) {
        book.remove(deleted);
        forgotten.bookChanged = true;
    }
    if (!store)
        return forgotten;
    for (const SecretKind kind : {SecretKind::Password, SecretKind::OAuthTokens}) {
        const SecretKey key{deleted.server, deleted.port, deleted.userName, kind};
        // Asked first: without a Secret Service there is nothing to remove,
        // and no reason to tell the user so on every delete.
        const SecretLookup lookup = store->lookup(key);
        QString error;
        if (!lookup.serviceRuns || !lookup.found || store->remove(key, &error))
            continue;
        if (forgotten.storeError.isEmpty())
            forgotten.storeError = error;
    }
    return forgotten;
}
