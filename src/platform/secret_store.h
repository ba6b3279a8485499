#pragma once

#include <QString>
#include <QtGlobal>

// What the desktop's secret store keeps for one account.
enum class SecretKind {
    Password,    // the password, or an access token a user put there
    OAuthTokens, // the tokens of the program's own OAuth2 sign-in
};

struct SecretKey
{
    QString server;
    qint32 port = 0;
    QString userName;
    SecretKind kind = SecretKind::Password;

    bool operator==(const SecretKey&) const = default;
};

struct SecretLookup
{
    bool serviceRuns = false; // false: no Secret Service answered; see error
    bool found = false;
    QString secret;
    QString error; // for the log; never holds the secret
};

// The desktop's Secret Service (freedesktop secrets over D-Bus). Each call
// waits for the answer with the event loop running.
class SecretStore
{
public:
    virtual ~SecretStore() = default;
    virtual SecretLookup lookup(const SecretKey& key) = 0;
    // False, with the reason, when nothing was stored.
    virtual bool store(const SecretKey& key, const QString& label, const QString& secret,
                       QString* error = nullptr) = 0;
    virtual bool remove(const SecretKey& key, QString* error = nullptr) = 0;
};
