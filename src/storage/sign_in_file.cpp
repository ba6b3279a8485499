#include "storage/sign_in_file.h"

#include "storage/atomic_file.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <array>
#include <utility>

namespace {

const QString FormatName = QStringLiteral("quorvamel-sign-in");

template <typename Enum> using Names = std::array<std::pair<Enum, QLatin1StringView>, 3>;

constexpr Names<SignInMethod> MethodNames{{{SignInMethod::Password, QLatin1StringView("password")},
                                           {SignInMethod::Scram, QLatin1StringView("scram")},
                                           {SignInMethod::OAuth2, QLatin1StringView("oauth2")}}};
constexpr Names<SecretOrigin> OriginNames{
    {{SecretOrigin::UsersFile, QLatin1StringView("users-file")},
     {SecretOrigin::Command, QLatin1StringView("command")},
     {SecretOrigin::SecretStore, QLatin1StringView("secret-store")}}};

template <typename Enum> QString nameOf(const Names<Enum>& names, Enum value)
{
    for (const auto& [each, name] : names) {
        if (each == value)
            return name;
    }
    return {};
}

template <typename Enum>
std::optional<Enum> valueOf(const Names<Enum>& names, const QJsonValue& value)
{
    for (const auto& [each, name] : names) {
        if (value.isString() && value.toString() == name)
            return each;
    }
    return std::nullopt;
}

QJsonObject encodeEntry(const SignInFileEntry& entry)
{
    QJsonObject out{
        {QStringLiteral("server"), entry.server},
        {QStringLiteral("port"), entry.port},
        {QStringLiteral("user"), entry.userName},
        {QStringLiteral("method"), nameOf(MethodNames, entry.signIn.method)},
        {QStringLiteral("secretFrom"), nameOf(OriginNames, entry.signIn.secretOrigin)},
        {QStringLiteral("command"), QJsonArray::fromStringList(entry.signIn.secretCommand)}};
    const OAuthClient& client = entry.signIn.oauth;
    out.insert(QStringLiteral("oauth"),
               QJsonObject{{QStringLiteral("provider"), client.provider},
                           {QStringLiteral("clientId"), client.clientId},
                           {QStringLiteral("authorizationUrl"), client.authorizationUrl.toString()},
                           {QStringLiteral("tokenUrl"), client.tokenUrl.toString()},
                           {QStringLiteral("scope"), client.scope}});
    if (entry.tokens) {
        out.insert(QStringLiteral("tokens"),
                   QJsonObject{{QStringLiteral("refreshToken"), entry.tokens->refreshToken},
                               {QStringLiteral("accessToken"), entry.tokens->accessToken},
                               {QStringLiteral("accessExpiry"),
                                entry.tokens->accessExpiry.isValid()
                                    ? entry.tokens->accessExpiry.toUTC().toString(Qt::ISODateWithMs)
                                    : QString()}});
    }
    return out;
}

// Reads the members of one object, remembering the first that is missing or
// of the wrong type.
class Fields
{
public:
    Fields(const QJsonObject& object, QString where) : m_object(object), m_where(std::move(where))
    {
    }

    QString text(const QString& name)
    {
        const QJsonValue value = m_object.value(name);
        if (!value.isString())
            fail(name);
        return value.toString();
    }
    QJsonValue raw(const QString& name) const { return m_object.value(name); }
    void fail(const QString& name)
    {
        if (m_error.isEmpty())
            m_error =
                m_where + QStringLiteral(": \"") + name + QStringLiteral("\" is missing or wrong");
    }
    const QString& error() const { return m_error; }

private:
    QJsonObject m_object;
    QString m_where;
    QString m_error;
};

std::optional<SignInFileEntry> decodeEntry(const QJsonValue& value, qsizetype index, QString& error)
{
    const QString where = QStringLiteral("account %1").arg(index + 1);
    if (!value.isObject()) {
        error = where + QStringLiteral(" is not an object");
        return std::nullopt;
    }
    Fields fields(value.toObject(), where);
    SignInFileEntry entry;
    entry.server = fields.text(QStringLiteral("server"));
    entry.userName = fields.text(QStringLiteral("user"));
    const QJsonValue port = fields.raw(QStringLiteral("port"));
    const double portNumber = port.toDouble(-1);
    if (!port.isDouble() || portNumber < 0 || portNumber > 65535 ||
        portNumber != static_cast<double>(static_cast<qint32>(portNumber)))
        fields.fail(QStringLiteral("port"));
    entry.port = static_cast<qint32>(portNumber);
    const auto method = valueOf(MethodNames, fields.raw(QStringLiteral("method")));
    const auto origin = valueOf(OriginNames, fields.raw(QStringLiteral("secretFrom")));
    if (!method)
        fields.fail(QStringLiteral("method"));
    if (!origin)
        fields.fail(QStringLiteral("secretFrom"));
    entry.signIn.method = method.value_or(SignInMethod::Password);
    entry.signIn.secretOrigin = origin.value_or(SecretOrigin::UsersFile);
    const QJsonValue command = fields.raw(QStringLiteral("command"));
    if (!command.isArray())
        fields.fail(QStringLiteral("command"));
    for (const auto& argument : command.toArray()) {
        if (!argument.isString())
            fields.fail(QStringLiteral("command"));
        entry.signIn.secretCommand.append(argument.toString());
    }
    const QJsonValue oauth = fields.raw(QStringLiteral("oauth"));
    if (!oauth.isObject())
        fields.fail(QStringLiteral("oauth"));
    Fields client(oauth.toObject(), where + QStringLiteral(" oauth"));
    entry.signIn.oauth.provider = client.text(QStringLiteral("provider"));
    entry.signIn.oauth.clientId = client.text(QStringLiteral("clientId"));
    entry.signIn.oauth.authorizationUrl = QUrl(client.text(QStringLiteral("authorizationUrl")));
    entry.signIn.oauth.tokenUrl = QUrl(client.text(QStringLiteral("tokenUrl")));
    entry.signIn.oauth.scope = client.text(QStringLiteral("scope"));
    const QJsonValue tokens = fields.raw(QStringLiteral("tokens"));
    Fields tokenFields(tokens.toObject(), where + QStringLiteral(" tokens"));
    if (!tokens.isUndefined()) {
        if (!tokens.isObject())
            fields.fail(QStringLiteral("tokens"));
        OAuthTokens held;
        held.refreshToken = tokenFields.text(QStringLiteral("refreshToken"));
        held.accessToken = tokenFields.text(QStringLiteral("accessToken"));
        const QString expiry = tokenFields.text(QStringLiteral("accessExpiry"));
        if (!expiry.isEmpty()) {
            held.accessExpiry = QDateTime::fromString(expiry, Qt::ISODateWithMs);
            if (!held.accessExpiry.isValid())
                tokenFields.fail(QStringLiteral("accessExpiry"));
            held.accessExpiry = held.accessExpiry.toUTC();
        }
        entry.tokens = held;
    }
    for (const QString& found : {fields.error(), client.error(), tokenFields.error()}) {
        if (!found.isEmpty()) {
            error = found;
            return std::nullopt;
        }
    }
    return entry;
}

} // namespace

QByteArray encodeSignInFile(const QList<SignInFileEntry>& entries)
{
    QJsonArray accounts;
    for (const SignInFileEntry& entry : entries)
        accounts.append(encodeEntry(entry));
    const QJsonObject root{{QStringLiteral("format"), FormatName},
                           {QStringLiteral("version"), SignInFileVersion},
                           {QStringLiteral("accounts"), accounts}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<QList<SignInFileEntry>> decodeSignInFile(const QByteArray& bytes, QString* error)
{
    QString reason;
    const auto failed = [&](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError)
        return failed(
            QStringLiteral("not JSON (%1 at byte %2)").arg(parse.errorString()).arg(parse.offset));
    const QJsonObject root = document.object();
    if (!document.isObject() || root.value(QStringLiteral("format")).toString() != FormatName)
        return failed(QStringLiteral("not a sign-in file"));
    const QJsonValue version = root.value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() != SignInFileVersion)
        return failed(QStringLiteral("format version %1, this program reads %2")
                          .arg(version.toVariant().toString(), QString::number(SignInFileVersion)));
    const QJsonValue accounts = root.value(QStringLiteral("accounts"));
    if (!accounts.isArray())
        return failed(QStringLiteral("no list of accounts"));
    QList<SignInFileEntry> entries;
    const QJsonArray list = accounts.toArray();
    for (qsizetype n = 0; n < list.size(); ++n) {
        std::optional<SignInFileEntry> entry = decodeEntry(list.at(n), n, reason);
        if (!entry)
            return failed(reason);
        entries.append(std::move(*entry));
    }
    return entries;
}

SignInFileContent readSignInFile(const QString& path)
{
    SignInFileContent content;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return content;
    QByteArray bytes;
    QString reason;
    std::optional<QList<SignInFileEntry>> entries;
    if (!readFileHead(path, SignInFileMaxBytes + 1, bytes, &reason))
        reason = QStringLiteral("cannot be read: ") + reason;
    else if (bytes.size() > SignInFileMaxBytes)
        reason = QStringLiteral("larger than %1 bytes").arg(SignInFileMaxBytes);
    else
        entries = decodeSignInFile(bytes, &reason);
    if (entries) {
        content.outcome = SignInFileContent::Outcome::Read;
        content.entries = std::move(*entries);
        return content;
    }
    // Kept aside, so the choices in it are not lost to the next save.
    const QString aside = path + SignInFileDamagedSuffix;
    QFile::remove(aside);
    const bool setAside = QFile::rename(path, aside);
    content.outcome =
        setAside ? SignInFileContent::Outcome::SetAside : SignInFileContent::Outcome::Unread;
    content.warning = QStringLiteral("Sign-in file %1 not used (%2); ").arg(path, reason) +
                      (setAside ? QStringLiteral("kept as %1, every account signs in as the "
                                                 "users file describes it")
                                      .arg(aside)
                                : QStringLiteral("it could not be put aside either"));
    return content;
}

bool writeSignInFile(const QString& path, const QList<SignInFileEntry>& entries, QString* error)
{
    return writeFileAtomically(path, encodeSignInFile(entries), error);
}
