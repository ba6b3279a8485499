#pragma once

#include "platform/account_sign_in.h"
#include "runs/mailbox_key.h"

#include <QString>

struct AccessTokenResult
{
    bool ok = false;
    QString token; // when ok
    QString error; // for the log, when not ok: what the user must do; never a token
};

// The access token of an account that signs in with the program's own
// OAuth2 sign-in: the one kept, refreshed first when it is about to
// expire. Waits with the event loop running; never opens a browser.
class OAuthAccess
{
public:
    virtual ~OAuthAccess() = default;
    virtual AccessTokenResult accessToken(const MailboxKey& mailbox, const OAuthClient& client) = 0;
};
