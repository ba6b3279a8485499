#pragma once

#include "platform/account_sign_in.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// A small OAuth2 authorization server on 127.0.0.1 over plain HTTP/1.1,
// one request per connection:
//   GET  /authorize   checks client_id, a loopback redirect_uri, an S256
//                     code_challenge and a state, then redirects (302) to
//                     the redirect URI with a one-time code and the state;
//   POST /token       authorization_code (code_verifier checked against the
//                     challenge) and refresh_token grants, JSON replies;
//   POST /introspect  what Dovecot's oauth2 passdb asks: token=... gives
//                     {"active":true,"username":...} for a live token.
// Refusals answer 400 with an OAuth2 error object; lastRefusal() says why.
class OAuthServer : public QObject
{
public:
    explicit OAuthServer(QString clientId = QStringLiteral("quorvamel-test-client"));

    bool listen();
    QUrl url(const QString& path) const;
    OAuthClient client(const QString& scope = QStringLiteral("pop")) const;

    // The user name the introspection reports for tokens this server issued.
    void setOwner(const QByteArray& owner) { m_options.owner = owner; }
    // An access token known without a sign-in, owned by owner.
    void addAccessToken(const QByteArray& token, const QByteArray& owner);
    // A refresh token as a finished sign-in would have handed out.
    QString addRefreshToken();
    // expires_in of the access tokens issued from now on; 0 leaves it out.
    void setAccessLifetime(qint32 seconds) { m_options.lifetime = seconds; }
    // Each refresh hands out a new refresh token and retires the old one.
    void setRotatesRefreshTokens(bool rotates) { m_options.rotates = rotates; }
    // Every refresh from now on is refused with invalid_grant.
    void setRefusesRefresh(bool refuses) { m_options.refusesRefresh = refuses; }
    // The redirect carries this state instead of the one asked with.
    void setStateOverride(const QString& state) { m_options.stateOverride = state; }
    // The access tokens issued so far stop being active.
    void expireAccessTokens() { m_liveTokens.clear(); }

    QString lastRefusal() const { return m_lastRefusal; }
    qint32 requests(const QString& path) const { return m_requests.value(path); }
    QString lastRefreshScope() const { return m_lastRefreshScope; }
    bool isActive(const QByteArray& token) const { return m_liveTokens.contains(token); }

private:
    struct Request
    {
        QByteArray method;
        QUrl target;
        QByteArray body;
    };
    struct Options
    {
        QByteArray owner = "alice";
        QString stateOverride;
        qint32 lifetime = 3600;
        bool rotates = false;
        bool refusesRefresh = false;
    };
    struct Grant
    {
        QString challenge;
        QString redirectUri;
    };

    void serve(QTcpSocket* socket);
    QByteArray authorize(const QUrl& target);
    QByteArray token(const QByteArray& body);
    QByteArray refresh(const QString& refreshToken, const QString& scope);
    QByteArray introspect(const QByteArray& body);
    QByteArray issueTokens(const QString& refreshToken);
    QByteArray refuse(const QString& error, const QString& why);
    QByteArray nextToken(const char* prefix);

    // Before the server: its sockets, deleted with it, still reach the
    // buffers as they disconnect.
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QTcpServer m_server;
    QString m_clientId;
    Options m_options;
    QHash<QString, Grant> m_codes;
    QSet<QString> m_refreshTokens;
    QHash<QByteArray, QByteArray> m_liveTokens; // access token -> owner
    QHash<QString, qint32> m_requests;
    QString m_lastRefusal;
    QString m_lastRefreshScope;
    qint32 m_issued = 0;
};
