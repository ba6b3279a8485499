#include "support/servers_oauth.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QUrlQuery>

namespace {

QByteArray httpReply(const QByteArray& status, const QByteArray& headers, const QByteArray& body)
{
    return "HTTP/1.1 " + status + "\r\n" + headers +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

QByteArray jsonReply(const QByteArray& status, const QJsonObject& object)
{
    return httpReply(status, "Content-Type: application/json\r\nCache-Control: no-store\r\n",
                     QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString formValue(const QUrlQuery& form, const char* name)
{
    return form.queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded);
}

// Form bodies encode a space as "+"; QUrlQuery alone would keep it.
QUrlQuery formOf(const QByteArray& body)
{
    QByteArray text = body;
    text.replace('+', "%20");
    return QUrlQuery(QString::fromUtf8(text));
}

bool isLoopbackRedirect(const QUrl& uri)
{
    return uri.scheme() == QLatin1String("http") && uri.host() == QLatin1String("127.0.0.1") &&
           uri.port() > 0;
}

} // namespace

OAuthServer::OAuthServer(QString clientId) : m_clientId(std::move(clientId))
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                m_buffers.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

bool OAuthServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost);
}

QUrl OAuthServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

OAuthClient OAuthServer::client(const QString& scope) const
{
    return {QString(), m_clientId, url(QStringLiteral("/authorize")), url(QStringLiteral("/token")),
            scope};
}

void OAuthServer::addAccessToken(const QByteArray& token, const QByteArray& owner)
{
    m_liveTokens.insert(token, owner);
}

QString OAuthServer::addRefreshToken()
{
    QString token = QString::fromLatin1(nextToken("refresh"));
    m_refreshTokens.insert(token);
    return token;
}

void OAuthServer::serve(QTcpSocket* socket)
{
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    qsizetype length = 0;
    for (const QByteArray& line : lines)
        if (line.toLower().startsWith("content-length:"))
            length = line.mid(15).trimmed().toLongLong();
    if (buffer.size() < headerEnd + 4 + length)
        return;
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    Request request;
    request.method = requestLine.value(0);
    request.target =
        QUrl(QStringLiteral("http://127.0.0.1") + QString::fromUtf8(requestLine.value(1)));
    request.body = buffer.mid(headerEnd + 4, length);
    m_buffers.remove(socket);

    const QString path = request.target.path();
    ++m_requests[path];
    QByteArray reply;
    if (path == QLatin1String("/authorize") && request.method == "GET")
        reply = authorize(request.target);
    else if (path == QLatin1String("/token") && request.method == "POST")
        reply = token(request.body);
    else if (path == QLatin1String("/introspect") && request.method == "POST")
        reply = introspect(request.body);
    else
        reply = httpReply("404 Not Found", "", "");
    socket->write(reply);
    socket->disconnectFromHost();
}

QByteArray OAuthServer::authorize(const QUrl& target)
{
    const QUrlQuery query(target);
    const auto value = [&](const char* name) { return formValue(query, name); };
    const QUrl redirect(value("redirect_uri"));
    QString why;
    if (value("response_type") != QLatin1String("code"))
        why = QStringLiteral("response_type is not code");
    else if (value("client_id") != m_clientId)
        why = QStringLiteral("unknown client_id");
    else if (!isLoopbackRedirect(redirect))
        why = QStringLiteral("redirect_uri is not a loopback address");
    else if (value("code_challenge_method") != QLatin1String("S256"))
        why = QStringLiteral("code_challenge_method is not S256");
    else if (value("code_challenge").size() != 43)
        why = QStringLiteral("code_challenge is not a SHA-256 in base64url");
    else if (value("state").isEmpty())
        why = QStringLiteral("no state");
    if (!why.isEmpty()) {
        m_lastRefusal = why;
        return httpReply("400 Bad Request", "Content-Type: text/plain\r\n", why.toUtf8());
    }
    const QString code = QString::fromLatin1(nextToken("code"));
    m_codes.insert(code, {value("code_challenge"), redirect.toString()});
    QUrl back = redirect;
    QUrlQuery answer;
    answer.addQueryItem(QStringLiteral("code"), code);
    answer.addQueryItem(QStringLiteral("state"), m_options.stateOverride.isEmpty()
                                                     ? value("state")
                                                     : m_options.stateOverride);
    back.setQuery(answer);
    return httpReply("302 Found", "Location: " + back.toEncoded() + "\r\n", "");
}

QByteArray OAuthServer::token(const QByteArray& body)
{
    const QUrlQuery form = formOf(body);
    const QString grantType = formValue(form, "grant_type");
    if (formValue(form, "client_id") != m_clientId)
        return refuse(QStringLiteral("invalid_client"), QStringLiteral("unknown client_id"));
    if (grantType == QLatin1String("refresh_token"))
        return refresh(formValue(form, "refresh_token"), formValue(form, "scope"));
    if (grantType != QLatin1String("authorization_code"))
        return refuse(QStringLiteral("unsupported_grant_type"), grantType);
    // A code is good for one try, right or wrong.
    const QString code = formValue(form, "code");
    if (!m_codes.contains(code))
        return refuse(QStringLiteral("invalid_grant"), QStringLiteral("unknown code"));
    const Grant asked = m_codes.take(code);
    if (formValue(form, "redirect_uri") != asked.redirectUri)
        return refuse(QStringLiteral("invalid_grant"), QStringLiteral("redirect_uri differs"));
    const QByteArray verifier = formValue(form, "code_verifier").toLatin1();
    const QByteArray challenge =
        QCryptographicHash::hash(verifier, QCryptographicHash::Sha256)
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    if (verifier.size() < 43 || QString::fromLatin1(challenge) != asked.challenge)
        return refuse(QStringLiteral("invalid_grant"),
                      QStringLiteral("code_verifier does not match the code_challenge"));
    const QString refreshToken = QString::fromLatin1(nextToken("refresh"));
    m_refreshTokens.insert(refreshToken);
    return issueTokens(refreshToken);
}

QByteArray OAuthServer::refresh(const QString& refreshToken, const QString& scope)
{
    m_lastRefreshScope = scope;
    if (m_options.refusesRefresh || !m_refreshTokens.contains(refreshToken))
        return refuse(QStringLiteral("invalid_grant"),
                      QStringLiteral("the refresh token is expired or revoked"));
    if (!m_options.rotates)
        return issueTokens(QString());
    m_refreshTokens.remove(refreshToken);
    const QString next = QString::fromLatin1(nextToken("refresh"));
    m_refreshTokens.insert(next);
    return issueTokens(next);
}

QByteArray OAuthServer::issueTokens(const QString& refreshToken)
{
    const QByteArray access = nextToken("access");
    m_liveTokens.insert(access, m_options.owner);
    QJsonObject answer{{"access_token", QString::fromLatin1(access)}, {"token_type", "Bearer"}};
    if (m_options.lifetime > 0)
        answer.insert(QStringLiteral("expires_in"), m_options.lifetime);
    if (!refreshToken.isEmpty())
        answer.insert(QStringLiteral("refresh_token"), refreshToken);
    return jsonReply("200 OK", answer);
}

QByteArray OAuthServer::introspect(const QByteArray& body)
{
    const QByteArray token = formValue(formOf(body), "token").toUtf8();
    const auto owner = m_liveTokens.constFind(token);
    if (owner == m_liveTokens.constEnd())
        return jsonReply("200 OK", {{"active", false}});
    return jsonReply("200 OK", {{"active", true}, {"username", QString::fromUtf8(*owner)}});
}

QByteArray OAuthServer::refuse(const QString& error, const QString& why)
{
    m_lastRefusal = why;
    return jsonReply("400 Bad Request", {{"error", error}, {"error_description", why}});
}

QByteArray OAuthServer::nextToken(const char* prefix)
{
    return QByteArray(prefix) + '-' + QByteArray::number(++m_issued) + '-' +
           QByteArray::number(m_server.serverPort());
}
