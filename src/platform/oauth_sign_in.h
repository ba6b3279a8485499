#pragma once

#include "platform/account_sign_in.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QOAuth2AuthorizationCodeFlow;
class QOAuthHttpServerReplyHandler;
class QTimer;

// PKCE (RFC 7636): a random verifier kept here and its S256 challenge, the
// only part the browser sees.
struct PkcePair
{
    QByteArray verifier;
    QByteArray challenge;
};
PkcePair makePkcePair();
QByteArray pkceChallenge(const QByteArray& verifier);

// Empty when the endpoint may carry tokens: https, or plain http to this
// machine's loopback address. Else what is wrong, for the user.
QString oauthEndpointProblem(const QUrl& url);
// The same for a whole client, plus a missing client id.
QString oauthClientProblem(const OAuthClient& client);

struct OAuthSignInResult
{
    bool ok = false;
    OAuthTokens tokens; // when ok
    QString error;      // when not ok; never holds a token or the code
};

// One authorization code sign-in: the provider's page opens in the
// browser, the provider sends the browser back to a one-shot listener on
// 127.0.0.1, and the code it brings is exchanged for the tokens. The
// caller says how a browser is opened.
class OAuthSignIn : public QObject
{
    Q_OBJECT
public:
    using BrowserOpener = std::function<void(const QUrl&)>;

    OAuthSignIn(OAuthClient client, BrowserOpener openBrowser, QObject* parent = nullptr);
    ~OAuthSignIn() override;

    // How long to wait for the user to come back from the browser.
    void setTimeout(qint32 ms) { m_timeoutMs = ms; }
    // Ends with finished(), possibly before it returns.
    void start();
    // Gives up: the listener closes at once and finished() never comes.
    void cancel();

signals:
    void finished(const OAuthSignInResult& result);

private:
    void checkCallback(const QVariantMap& values);
    void checkTokenReply(QNetworkReply* reply);
    void finish(const OAuthSignInResult& result);
    // False when it had already ended.
    bool stop();

    OAuthClient m_client;
    BrowserOpener m_openBrowser;
    QNetworkAccessManager* m_network = nullptr;
    QOAuthHttpServerReplyHandler* m_handler = nullptr;
    QOAuth2AuthorizationCodeFlow* m_flow = nullptr;
    QTimer* m_timer = nullptr;
    qint32 m_timeoutMs = 5 * 60 * 1000;
    bool m_answered = false; // the browser came back
    bool m_done = false;
};

// Runs one sign-in and waits for its end with the event loop running.
OAuthSignInResult signInWithBrowser(const OAuthClient& client,
                                    const OAuthSignIn::BrowserOpener& openBrowser,
                                    qint32 timeoutMs);
