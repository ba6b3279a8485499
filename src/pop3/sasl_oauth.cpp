#include "pop3/sasl_oauth.h"

#include "pop3/sasl_auth.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

constexpr char kvsep = '\x01';

bool hasControlCharacter(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

bool isBearerToken(const QString& token)
{
    static const QRegularExpression b64token(QStringLiteral("\\A[A-Za-z0-9\\-._~+/]+=*\\z"));
    return b64token.match(token).hasMatch();
}

// RFC 5801's saslname: "," and "=" would end or confuse the GS2 header.
QByteArray saslName(const QString& user)
{
    QByteArray name = user.toUtf8();
    name.replace("=", "=3D");
    name.replace(",", "=2C");
    return name;
}

QString jsonText(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    if (value.isString())
        return saslPrintable(value.toString().toUtf8());
    if (value.isDouble())
        return QString::number(value.toInteger());
    return {};
}

} // namespace

QByteArray oauthMechanismName(OAuthMechanism mechanism)
{
    return mechanism == OAuthMechanism::XOAuth2 ? QByteArrayLiteral("XOAUTH2")
                                                : QByteArrayLiteral("OAUTHBEARER");
}

OAuthInitialResponse oauthInitialResponse(OAuthMechanism mechanism, const QString& user,
                                          const QString& accessToken, const QString& host,
                                          quint16 port)
{
    if (user.isEmpty() || hasControlCharacter(user))
        return {{}, QStringLiteral("the user name is empty or holds control characters")};
    if (!isBearerToken(accessToken))
        return {{},
                QStringLiteral("the access token is empty or holds characters a bearer "
                               "token may not hold")};
    if (hasControlCharacter(host))
        return {{}, QStringLiteral("the server name holds control characters")};
    const QByteArray auth = "auth=Bearer " + accessToken.toLatin1() + kvsep + kvsep;
    QByteArray message;
    if (mechanism == OAuthMechanism::XOAuth2) {
        message = "user=" + user.toUtf8() + kvsep + auth;
    } else {
        message = "n,a=" + saslName(user) + ',' + kvsep;
        if (!host.isEmpty())
            message += "host=" + host.toUtf8() + kvsep;
        if (port != 0)
            message += "port=" + QByteArray::number(port) + kvsep;
        message += auth;
    }
    return {message.toBase64(), {}};
}

OAuthErrorChallenge parseOAuthErrorChallenge(const QByteArray& payloadBase64)
{
    OAuthErrorChallenge challenge;
    const auto decoded =
        QByteArray::fromBase64Encoding(payloadBase64, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return challenge;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(decoded.decoded, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return challenge;
    const QJsonObject object = document.object();
    challenge.status = jsonText(object, QLatin1StringView("status"));
    challenge.scope = jsonText(object, QLatin1StringView("scope"));
    challenge.openidConfiguration = jsonText(object, QLatin1StringView("openid-configuration"));
    challenge.readable = !challenge.status.isEmpty();
    return challenge;
}

QString describeOAuthError(const OAuthErrorChallenge& challenge)
{
    if (!challenge.readable)
        return QStringLiteral("the server refused the access token and gave no readable reason");
    QString text = QStringLiteral("the server refused the access token: %1").arg(challenge.status);
    if (!challenge.scope.isEmpty())
        text += QStringLiteral("; scope needed: %1").arg(challenge.scope);
    if (!challenge.openidConfiguration.isEmpty())
        text += QStringLiteral("; sign-in details: %1").arg(challenge.openidConfiguration);
    return text;
}

QByteArray oauthErrorAcknowledgement(OAuthMechanism mechanism)
{
    return mechanism == OAuthMechanism::OAuthBearer ? QByteArray(1, kvsep).toBase64()
                                                    : QByteArray();
}
