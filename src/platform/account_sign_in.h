#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

// How an account proves who it is to its server.
enum class SignInMethod {
    Password, // USER/PASS, or APOP when the settings ask for it
    Scram,    // AUTH SCRAM-SHA-256
    OAuth2,   // AUTH XOAUTH2 or OAUTHBEARER, whichever the server lists
};

// Where an account's password (or, for OAuth2, its access token) comes
// from when a session needs it. An OAuth2 account that does not name a
// command gets its access token from the program's own sign-in: the tokens
// live in the Secret Service when one runs, else in the sign-in file.
enum class SecretOrigin {
    UsersFile,   // the scrambled password in the users file
    Command,     // the first line a command the user names prints
    SecretStore, // the desktop's Secret Service
};

// The provider an OAuth2 account signs in with: its endpoints and scope
// (from a preset or typed in) and the client id the user registered.
struct OAuthClient
{
    QString provider; // a preset's name, or empty for one typed in
    QString clientId;
    QUrl authorizationUrl;
    QUrl tokenUrl;
    QString scope;

    bool operator==(const OAuthClient&) const = default;
};

// What an OAuth2 sign-in hands back. Kept in the Secret Service when one
// runs, else in the owner-only sign-in file.
struct OAuthTokens
{
    QString refreshToken;
    QString accessToken;
    QDateTime accessExpiry; // UTC; invalid when the provider gave none

    bool operator==(const OAuthTokens&) const = default;
};

// One account's sign-in choices, beside its fixed record in the users file.
// The default is the account as the users file alone describes it.
struct AccountSignIn
{
    SignInMethod method = SignInMethod::Password;
    SecretOrigin secretOrigin = SecretOrigin::UsersFile;
    QStringList secretCommand; // program and arguments, for SecretOrigin::Command
    OAuthClient oauth;         // for SignInMethod::OAuth2

    bool isDefault() const
    {
        return method == SignInMethod::Password && secretOrigin == SecretOrigin::UsersFile;
    }
    bool operator==(const AccountSignIn&) const = default;
};
