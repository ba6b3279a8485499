#include "platform/oauth_refresh.h"

#include "platform/oauth_sign_in.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

QByteArray formField(const char* name, const QString& value)
{
    return QByteArray(name) + '=' + QUrl::toPercentEncoding(value);
}

OAuthRefreshResult failed(const QString& error)
{
    return {OAuthRefreshOutcome::Failed, {}, error};
}

} // namespace

QString signInAgainAdvice()
{
    return QStringLiteral("sign in again: run \"quorvamel-check --sign-in ACCOUNT\" with the "
                          "account's display name, or sign in from the account editor");
}

OAuthRefreshResult refreshOAuthTokens(const OAuthClient& client, const OAuthTokens& tokens,
                                      qint32 timeoutMs)
{
    const QString problem = oauthEndpointProblem(client.tokenUrl);
    if (!problem.isEmpty())
        return failed(QStringLiteral("cannot renew the sign-in: ") + problem);
    if (tokens.refreshToken.isEmpty())
        return {OAuthRefreshOutcome::Refused,
                {},
                QStringLiteral("no refresh token is kept for this account; ") +
                    signInAgainAdvice()};

    QByteArrayList fields{formField("grant_type", QStringLiteral("refresh_token")),
                          formField("client_id", client.clientId),
                          formField("refresh_token", tokens.refreshToken)};
    if (!client.scope.isEmpty())
        fields.append(formField("scope", client.scope));
    QNetworkRequest request(client.tokenUrl);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    request.setRawHeader("Accept", "application/json");
    // A token endpoint that redirects is not followed with a token in hand.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QNetworkAccessManager network;
    QNetworkReply* reply = network.post(request, fields.join('&'));
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec();
    if (!reply->isFinished()) {
        reply->abort();
        reply->deleteLater();
        return failed(QStringLiteral("the token endpoint did not answer within %1 s")
                          .arg((timeoutMs + 999) / 1000));
    }
    reply->deleteLater();
    const QByteArray body = reply->readAll();
    const QJsonObject answer = QJsonDocument::fromJson(body).object();
    const QString error = answer.value(QStringLiteral("error")).toString();
    if (!error.isEmpty()) {
        const QString description = answer.value(QStringLiteral("error_description")).toString();
        return {OAuthRefreshOutcome::Refused,
                {},
                QStringLiteral("the provider refused to renew the sign-in (") + error +
                    (description.isEmpty() ? QString() : QStringLiteral(": ") + description) +
                    QStringLiteral("); ") + signInAgainAdvice()};
    }
    if (reply->error() != QNetworkReply::NoError)
        return failed(QStringLiteral("cannot renew the sign-in: ") + reply->errorString());
    const QString access = answer.value(QStringLiteral("access_token")).toString();
    if (access.isEmpty())
        return failed(QStringLiteral("the token endpoint's answer held no access token"));

    OAuthTokens renewed = tokens;
    renewed.accessToken = access;
    const QString refresh = answer.value(QStringLiteral("refresh_token")).toString();
    if (!refresh.isEmpty())
        renewed.refreshToken = refresh;
    const qint64 lifetime = answer.value(QStringLiteral("expires_in")).toVariant().toLongLong();
    renewed.accessExpiry =
        lifetime > 0 ? QDateTime::currentDateTimeUtc().addSecs(lifetime) : QDateTime();
    return {OAuthRefreshOutcome::Refreshed, renewed, {}};
}
