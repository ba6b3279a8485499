#pragma once

#include "runs/oauth_access.h"

#include <QString>
#include <functional>
#include <optional>

class SecretStore;
class SignInBook;

// The tokens as one small JSON text, the way the secret store keeps them.
QString oauthTokensToJson(const OAuthTokens& tokens);
std::optional<OAuthTokens> oauthTokensFromJson(const QString& text);

// Keeps each account's OAuth2 tokens: in the Secret Service when one runs,
// else in the sign-in book, and hands out access tokens, refreshed first
// when they expire soon. Never opens a browser.
class OAuthKeeper : public OAuthAccess
{
public:
    enum class Place { SecretStore, SignInBook };

    // store may be null: the book alone. bookChanged is called after the
    // keeper changed the book's tokens, so the caller saves it at once (a
    // refresh token the provider replaced is good only once).
    OAuthKeeper(SignInBook& book, SecretStore* store, std::function<void()> bookChanged = {});

    // A refresh waits at most this long.
    void setRefreshTimeout(qint32 ms) { m_refreshTimeoutMs = ms; }
    // An access token that expires within this many seconds is refreshed.
    void setRefreshMargin(qint32 seconds) { m_marginSeconds = seconds; }

    // After a sign-in. Where the tokens went; note says why not in the
    // Secret Service, or what failed there.
    Place keep(const MailboxKey& mailbox, const OAuthTokens& tokens, QString* note = nullptr);
    std::optional<OAuthTokens> kept(const MailboxKey& mailbox, QString* note = nullptr);

    AccessTokenResult accessToken(const MailboxKey& mailbox, const OAuthClient& client) override;

private:
    bool isFresh(const OAuthTokens& tokens) const;

    SignInBook& m_book;
    SecretStore* m_store;
    std::function<void()> m_bookChanged;
    qint32 m_refreshTimeoutMs = 30000;
    qint32 m_marginSeconds = 5 * 60;
};

// An account's sign-in after a finished OAuth2 sign-in with client: the
// program's own sign-in then hands out the access token, not a command.
inline AccountSignIn signedInWithOAuth(AccountSignIn signIn, const OAuthClient& client)
{
    signIn.method = SignInMethod::OAuth2;
    signIn.oauth = client;
    if (signIn.secretOrigin == SecretOrigin::Command)
        signIn.secretOrigin = SecretOrigin::SecretStore;
    return signIn;
}
