#pragma once

#include "platform/account_sign_in.h"

#include <QString>

enum class OAuthRefreshOutcome {
    Refreshed,
    Refused, // the provider will not renew: the user must sign in again
    Failed,  // no usable answer (network, time-out): the next try may work
};

struct OAuthRefreshResult
{
    OAuthRefreshOutcome outcome = OAuthRefreshOutcome::Failed;
    OAuthTokens tokens; // when refreshed: the new access token, and the new
                        // refresh token if the provider gave one, else the old
    QString error;      // for the log when not refreshed; never holds a token
};

// Asks the token endpoint for a new access token with the refresh token
// and waits at most timeoutMs with the event loop running.
OAuthRefreshResult refreshOAuthTokens(const OAuthClient& client, const OAuthTokens& tokens,
                                      qint32 timeoutMs);

// What the user does when the provider refuses the refresh.
QString signInAgainAdvice();
