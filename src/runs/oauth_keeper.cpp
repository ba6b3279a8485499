#include "runs/oauth_keeper.h"

#include "platform/oauth_refresh.h"
#include "platform/secret_store.h"
#include "runs/sign_in_book.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

SecretKey tokensKey(const MailboxKey& mailbox)
{
    return {mailbox.server, mailbox.port, mailbox.userName, SecretKind::OAuthTokens};
}

QString label(const MailboxKey& mailbox)
{
    return QStringLiteral("Quorvamel OAuth2 sign-in for %1@%2:%3")
        .arg(mailbox.userName, mailbox.server)
        .arg(mailbox.port);
}

} // namespace

QString oauthTokensToJson(const OAuthTokens& tokens)
{
    QJsonObject object{{"refresh", tokens.refreshToken}, {"access", tokens.accessToken}};
    if (tokens.accessExpiry.isValid())
        object.insert(QStringLiteral("expiry"),
                      tokens.accessExpiry.toUTC().toString(Qt::ISODateWithMs));
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<OAuthTokens> oauthTokensFromJson(const QString& text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    OAuthTokens tokens{object.value(QStringLiteral("refresh")).toString(),
                       object.value(QStringLiteral("access")).toString(), QDateTime()};
    const QString expiry = object.value(QStringLiteral("expiry")).toString();
    if (!expiry.isEmpty()) {
        tokens.accessExpiry = QDateTime::fromString(expiry, Qt::ISODate);
        if (!tokens.accessExpiry.isValid())
            return std::nullopt;
        tokens.accessExpiry = tokens.accessExpiry.toUTC();
    }
    if (tokens.refreshToken.isEmpty() && tokens.accessToken.isEmpty())
        return std::nullopt;
    return tokens;
}

OAuthKeeper::OAuthKeeper(SignInBook& book, SecretStore* store, std::function<void()> bookChanged)
    : m_book(book), m_store(store), m_bookChanged(std::move(bookChanged))
{
}

OAuthKeeper::Place OAuthKeeper::keep(const MailboxKey& mailbox, const OAuthTokens& tokens,
                                     QString* note)
{
    QString error;
    if (m_store &&
        m_store->store(tokensKey(mailbox), label(mailbox), oauthTokensToJson(tokens), &error)) {
        // Older tokens in the file would only mislead a later run.
        if (m_book.tokens(mailbox)) {
            m_book.forgetTokens(mailbox);
            if (m_bookChanged)
                m_bookChanged();
        }
        return Place::SecretStore;
    }
    if (note)
        *note = m_store ? error : QStringLiteral("no Secret Service is used");
    m_book.setTokens(mailbox, tokens);
    if (m_bookChanged)
        m_bookChanged();
    return Place::SignInBook;
}

std::optional<OAuthTokens> OAuthKeeper::kept(const MailboxKey& mailbox, QString* note)
{
    if (m_store) {
        const SecretLookup lookup = m_store->lookup(tokensKey(mailbox));
        if (lookup.found) {
            if (auto tokens = oauthTokensFromJson(lookup.secret))
                return tokens;
            if (note)
                *note = QStringLiteral("the tokens in the Secret Service cannot be read");
        } else if (!lookup.serviceRuns && note) {
            *note = lookup.error;
        }
    }
    return m_book.tokens(mailbox);
}

bool OAuthKeeper::isFresh(const OAuthTokens& tokens) const
{
    if (tokens.accessToken.isEmpty())
        return false;
    // Without an expiry only the server can tell; a refusal then says so.
    return !tokens.accessExpiry.isValid() ||
           QDateTime::currentDateTimeUtc().addSecs(m_marginSeconds) < tokens.accessExpiry;
}

AccessTokenResult OAuthKeeper::accessToken(const MailboxKey& mailbox, const OAuthClient& client)
{
    QString note;
    const std::optional<OAuthTokens> tokens = kept(mailbox, &note);
    if (!tokens) {
        QString error = QStringLiteral("this account has not signed in with OAuth2 yet; ") +
                        signInAgainAdvice();
        if (!note.isEmpty())
            error += QStringLiteral(" (") + note + QLatin1Char(')');
        return {false, {}, error};
    }
    if (isFresh(*tokens))
        return {true, tokens->accessToken, {}};
    const OAuthRefreshResult renewed = refreshOAuthTokens(client, *tokens, m_refreshTimeoutMs);
    // A provider out of reach does not spoil a token that still works.
    const bool stillGood =
        !tokens->accessToken.isEmpty() && QDateTime::currentDateTimeUtc() < tokens->accessExpiry;
    if (renewed.outcome == OAuthRefreshOutcome::Failed && stillGood)
        return {true, tokens->accessToken, {}};
    if (renewed.outcome != OAuthRefreshOutcome::Refreshed)
        return {false, {}, renewed.error};
    QString keepNote;
    keep(mailbox, renewed.tokens, &keepNote);
    return {true, renewed.tokens.accessToken, {}};
}
