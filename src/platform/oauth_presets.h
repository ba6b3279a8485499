#pragma once

#include "platform/account_sign_in.h"

#include <QList>
#include <QString>

// A large provider's OAuth2 endpoints and the scope its POP3 access needs,
// with the server the account then checks. The user registers the client
// and enters its id.
struct OAuthPreset
{
    QString name;
    QUrl authorizationUrl;
    QUrl tokenUrl;
    QString scope;
    QString popServer;
    qint32 popPort = 995;

    OAuthClient client(const QString& clientId) const
    {
        return {name, clientId, authorizationUrl, tokenUrl, scope};
    }
};

inline QList<OAuthPreset> oauthPresets()
{
    return {
        {QStringLiteral("Microsoft"),
         QUrl(QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/authorize")),
         QUrl(QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/token")),
         QStringLiteral("https://outlook.office.com/POP.AccessAsUser.All offline_access"),
         QStringLiteral("outlook.office365.com")},
        {QStringLiteral("Google"),
         QUrl(QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth")),
         QUrl(QStringLiteral("https://oauth2.googleapis.com/token")),
         QStringLiteral("https://mail.google.com/"), QStringLiteral("pop.gmail.com")},
        {QStringLiteral("Yahoo"),
         QUrl(QStringLiteral("https://api.login.yahoo.com/oauth2/request_auth")),
         QUrl(QStringLiteral("https://api.login.yahoo.com/oauth2/get_token")),
         QStringLiteral("mail-r"), QStringLiteral("pop.mail.yahoo.com")},
    };
}
