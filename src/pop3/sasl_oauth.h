#pragma once

#include <QByteArray>
#include <QString>

// OAuth 2.0 sign-in over POP3's AUTH: the initial responses of XOAUTH2 and
// OAUTHBEARER (RFC 7628), and the server's error challenge read into a log
// text. One formatted string each way; no library needed.

enum class OAuthMechanism { XOAuth2, OAuthBearer };

QByteArray oauthMechanismName(OAuthMechanism mechanism);

struct OAuthInitialResponse
{
    QByteArray line; // base64; empty when error is set
    QString error;   // why no response could be made; never holds the token
};

// The client's initial response. host and port are sent by OAUTHBEARER
// only, and only when given (empty host, port 0 leave them out). A user
// name with control characters, or a token that is not a bearer token
// (RFC 6750: letters, digits, "-._~+/" then "=" padding), is refused.
OAuthInitialResponse oauthInitialResponse(OAuthMechanism mechanism, const QString& user,
                                          const QString& accessToken, const QString& host = {},
                                          quint16 port = 0);

// The server's error challenge: a JSON object in base64 (RFC 7628 3.2.2;
// XOAUTH2 servers send the same shape with a numeric status).
struct OAuthErrorChallenge
{
    bool readable = false;
    QString status;
    QString scope;
    QString openidConfiguration;
};

OAuthErrorChallenge parseOAuthErrorChallenge(const QByteArray& payloadBase64);

// One log line's text for a refused token, made of printable characters.
QString describeOAuthError(const OAuthErrorChallenge& challenge);

// What the client sends after an error challenge, so that the server ends
// the exchange with its "-ERR": a lone %x01 for OAUTHBEARER, an empty line
// for XOAUTH2.
QByteArray oauthErrorAcknowledgement(OAuthMechanism mechanism);
