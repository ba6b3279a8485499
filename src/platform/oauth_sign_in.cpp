#include "platform/oauth_sign_in.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QOAuth2AuthorizationCodeFlow>
#include <QOAuthHttpServerReplyHandler>
#include <QRandomGenerator>
#include <QTimer>

namespace {

QByteArray randomUrlSafe(qsizetype bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(raw.begin(), raw.end());
    return raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

QString minutes(qint32 ms)
{
    const qint32 whole = (ms + 59999) / 60000;
    return whole == 1 ? QStringLiteral("1 minute") : QStringLiteral("%1 minutes").arg(whole);
}

// "error: description" from an OAuth2 error object, or empty.
QString oauthErrorOf(const QByteArray& body)
{
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    const QString error = object.value(QStringLiteral("error")).toString();
    if (error.isEmpty())
        return {};
    const QString description = object.value(QStringLiteral("error_description")).toString();
    return description.isEmpty() ? error : error + QStringLiteral(": ") + description;
}

const char* const callbackPage =
    "<html><head><title>Quorvamel</title></head><body><p>Quorvamel has the answer: you may "
    "close this page.</p></body></html>";

} // namespace

QByteArray pkceChallenge(const QByteArray& verifier)
{
    return QCryptographicHash::hash(verifier, QCryptographicHash::Sha256)
        .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

PkcePair makePkcePair()
{
    // 32 random bytes: 43 characters, the shortest verifier allowed.
    const QByteArray verifier = randomUrlSafe(32);
    return {verifier, pkceChallenge(verifier)};
}

QString oauthEndpointProblem(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty())
        return QStringLiteral("\"%1\" is not a web address").arg(url.toString());
    if (url.scheme() == QLatin1String("https"))
        return {};
    const QHostAddress host(url.host());
    if (url.scheme() == QLatin1String("http") && !host.isNull() && host.isLoopback())
        return {};
    return QStringLiteral("%1 must start with https://").arg(url.toString());
}

QString oauthClientProblem(const OAuthClient& client)
{
    if (client.clientId.trimmed().isEmpty())
        return QStringLiteral("no client id: register one with the provider and enter it");
    for (const QUrl& url : {client.authorizationUrl, client.tokenUrl}) {
        QString problem = oauthEndpointProblem(url);
        if (!problem.isEmpty())
            return problem;
    }
    return {};
}

OAuthSignIn::OAuthSignIn(OAuthClient client, BrowserOpener openBrowser, QObject* parent)
    : QObject(parent), m_client(std::move(client)), m_openBrowser(std::move(openBrowser))
{
}

OAuthSignIn::~OAuthSignIn() = default;

void OAuthSignIn::start()
{
    const QString problem = oauthClientProblem(m_client);
    if (!problem.isEmpty()) {
        finish({false, {}, problem});
        return;
    }
    // Only this machine may bring the code back, on any free port.
    m_handler = new QOAuthHttpServerReplyHandler(QHostAddress(QHostAddress::LocalHost), 0, this);
    if (!m_handler->isListening()) {
        finish({false, {}, QStringLiteral("cannot listen on 127.0.0.1 for the browser's answer")});
        return;
    }
    m_handler->setCallbackText(QString::fromLatin1(callbackPage));
    m_network = new QNetworkAccessManager(this);
    m_flow = new QOAuth2AuthorizationCodeFlow(m_network, this);
    m_flow->setClientIdentifier(m_client.clientId);
    m_flow->setAuthorizationUrl(m_client.authorizationUrl);
    m_flow->setAccessTokenUrl(m_client.tokenUrl);
    m_flow->setScope(m_client.scope);
    // URL-safe, so it comes back exactly as sent.
    m_flow->setState(QString::fromLatin1(randomUrlSafe(24)));
    m_flow->setReplyHandler(m_handler);

    // This Qt has no PKCE of its own: the challenge goes with the
    // authorization request, the verifier with the code.
    const PkcePair pkce = makePkcePair();
    m_flow->setModifyParametersFunction([pkce](QAbstractOAuth::Stage stage,
                                               QMultiMap<QString, QVariant>* parameters) {
        if (stage == QAbstractOAuth::Stage::RequestingAuthorization) {
            parameters->replace(QStringLiteral("code_challenge"), pkce.challenge);
            parameters->replace(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
        } else if (stage == QAbstractOAuth::Stage::RequestingAccessToken) {
            parameters->replace(QStringLiteral("code_verifier"), pkce.verifier);
        }
    });

    connect(m_flow, &QAbstractOAuth::authorizeWithBrowser, this, [this](const QUrl& url) {
        if (m_openBrowser)
            m_openBrowser(url);
    });
    connect(m_flow, &QAbstractOAuth::granted, this, [this] {
        OAuthTokens tokens{m_flow->refreshToken(), m_flow->token(), m_flow->expirationAt()};
        if (tokens.accessExpiry.isValid())
            tokens.accessExpiry = tokens.accessExpiry.toUTC();
        finish({true, tokens, {}});
    });
    connect(m_flow, &QAbstractOAuth2::error, this,
            [this](const QString& error, const QString& description, const QUrl&) {
                finish(
                    {false,
                     {},
                     QStringLiteral("the provider refused the sign-in: ") + error +
                         (description.isEmpty() ? QString() : QStringLiteral(": ") + description)});
            });
    // After the flow's own handling, which drops a wrong answer silently.
    connect(m_handler, &QAbstractOAuthReplyHandler::callbackReceived, this,
            &OAuthSignIn::checkCallback);
    connect(m_network, &QNetworkAccessManager::finished, this, &OAuthSignIn::checkTokenReply);

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        finish({false,
                {},
                QStringLiteral("no answer came back from the browser within %1; sign in again")
                    .arg(minutes(m_timeoutMs))});
    });
    m_timer->start(m_timeoutMs);
    m_flow->grant();
}

void OAuthSignIn::checkCallback(const QVariantMap& values)
{
    // Browsers also ask the listener for other things (an icon) once the
    // answer is in; a request that carries no answer at all is no forgery.
    const bool isAnswer = values.contains(QStringLiteral("code")) ||
                          values.contains(QStringLiteral("state")) ||
                          values.contains(QStringLiteral("error"));
    if (m_done || m_answered || !isAnswer)
        return;
    m_answered = true;
    if (values.contains(QStringLiteral("error")))
        return; // the flow's error signal says why
    const QString state =
        QUrl::fromPercentEncoding(values.value(QStringLiteral("state")).toByteArray());
    if (state != m_flow->state()) {
        finish({false,
                {},
                QStringLiteral("the answer that came back from the browser does not belong to "
                               "this sign-in (its state differs); nothing was kept")});
    } else if (values.value(QStringLiteral("code")).toString().isEmpty()) {
        finish({false, {}, QStringLiteral("the browser came back without a code")});
    }
}

void OAuthSignIn::checkTokenReply(QNetworkReply* reply)
{
    if (m_done ||
        reply->url().adjusted(QUrl::RemoveQuery) != m_client.tokenUrl.adjusted(QUrl::RemoveQuery))
        return;
    if (reply->error() != QNetworkReply::NoError) {
        // peek: the flow's handler may still read the body.
        const QString refusal = oauthErrorOf(reply->peek(reply->bytesAvailable()));
        finish({false,
                {},
                refusal.isEmpty()
                    ? QStringLiteral("the token endpoint failed: ") + reply->errorString()
                    : QStringLiteral("the provider refused the code: ") + refusal});
        return;
    }
    // The flow ignores an answer without an access token; say so at once.
    QTimer::singleShot(0, this, [this] {
        if (!m_done && m_flow->status() != QAbstractOAuth::Status::Granted)
            finish({false, {}, QStringLiteral("the token endpoint's answer held no access token")});
    });
}

void OAuthSignIn::cancel()
{
    stop();
}

void OAuthSignIn::finish(const OAuthSignInResult& result)
{
    if (stop())
        emit finished(result);
}

bool OAuthSignIn::stop()
{
    if (m_done)
        return false;
    m_done = true;
    if (m_timer)
        m_timer->stop();
    if (m_handler)
        m_handler->close();
    return true;
}

OAuthSignInResult signInWithBrowser(const OAuthClient& client,
                                    const OAuthSignIn::BrowserOpener& openBrowser, qint32 timeoutMs)
{
    OAuthSignIn signIn(client, openBrowser);
    signIn.setTimeout(timeoutMs);
    OAuthSignInResult result;
    bool ended = false;
    QEventLoop loop;
    QObject::connect(&signIn, &OAuthSignIn::finished, &loop,
                     [&](const OAuthSignInResult& finished) {
                         result = finished;
                         ended = true;
                         loop.quit();
                     });
    signIn.start();
    if (!ended)
        loop.exec();
    return result;
}
