#include "app/check_sign_in.h"

#include "app/check_cli.h"
#include "app/terminal_text.h"
#include "platform/oauth_presets.h"
#include "platform/oauth_sign_in.h"
#include "runs/oauth_keeper.h"
#include "runs/sign_in_book.h"
#include "storage/sign_in_file.h"
#include "storage/users_file.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

const char* const signInUsageText =
    "\n"
    "OAuth2 sign-in:\n"
    "       quorvamel-check --sign-in ACCOUNT [--provider NAME] [--client-id ID]\n"
    "                       [--authorization-url URL --token-url URL] [--scope SCOPE]\n"
    "\n"
    "  --sign-in ACCOUNT\n"
    "               sign the account (its display name as the account list\n"
    "               shows it) in with OAuth2: prints the address to open in a\n"
    "               browser ($BROWSER or xdg-open is tried), waits for the\n"
    "               provider to send the browser back, keeps the tokens and\n"
    "               sets the account to sign in with OAuth2. The provider and\n"
    "               the client id come from the account's sign-in settings or\n"
    "               from these options: --provider Microsoft, Google or Yahoo,\n"
    "               or both endpoint addresses and --scope; --client-id is the\n"
    "               id you registered with the provider\n";

namespace {

constexpr qint32 signInTimeoutMs = 5 * 60 * 1000;

struct SignInArguments
{
    QString account;
    QString provider;
    QString clientId;
    QString authorizationUrl;
    QString tokenUrl;
    QString scope;
    bool scopeGiven = false;
};

bool parseSignInArguments(const QStringList& arguments, SignInArguments* parsed)
{
    if (arguments.size() < 2 || arguments.size() % 2 != 0)
        return false;
    const QList<QPair<QString, QString*>> options{
        {QStringLiteral("--sign-in"), &parsed->account},
        {QStringLiteral("--provider"), &parsed->provider},
        {QStringLiteral("--client-id"), &parsed->clientId},
        {QStringLiteral("--authorization-url"), &parsed->authorizationUrl},
        {QStringLiteral("--token-url"), &parsed->tokenUrl},
        {QStringLiteral("--scope"), &parsed->scope}};
    for (qsizetype i = 0; i < arguments.size(); i += 2) {
        QString* value = nullptr;
        for (const auto& [name, field] : options)
            if (arguments.at(i) == name && field->isNull())
                value = field;
        if (!value)
            return false;
        *value = arguments.at(i + 1);
    }
    parsed->scopeGiven = !parsed->scope.isNull();
    return !parsed->account.trimmed().isEmpty();
}

// The account's client as kept, with what the options name laid over it.
// Empty with the reason when a named provider is unknown.
QString chooseClient(const SignInArguments& arguments, OAuthClient* client)
{
    if (!arguments.provider.isNull()) {
        bool found = false;
        for (const OAuthPreset& preset : oauthPresets()) {
            if (preset.name.compare(arguments.provider, Qt::CaseInsensitive) == 0) {
                *client = preset.client(client->clientId);
                found = true;
            }
        }
        if (!found)
            return QStringLiteral("no provider named \"%1\"").arg(arguments.provider);
    }
    if (!arguments.clientId.isNull())
        client->clientId = arguments.clientId.trimmed();
    if (!arguments.authorizationUrl.isNull() || !arguments.tokenUrl.isNull()) {
        client->provider.clear();
        client->authorizationUrl = QUrl(arguments.authorizationUrl);
        client->tokenUrl = QUrl(arguments.tokenUrl);
    }
    if (arguments.scopeGiven)
        client->scope = arguments.scope;
    return oauthClientProblem(*client);
}

// $BROWSER (the first of its list) or the desktop's opener, without a
// shell; the printed address serves when neither is there.
void tryOpeningBrowser(const QUrl& url)
{
    const QString browser = qEnvironmentVariable("BROWSER").section(QLatin1Char(':'), 0, 0);
    const QString program =
        !browser.isEmpty() ? browser : QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!program.isEmpty())
        QProcess::startDetached(program, {url.toString(QUrl::FullyEncoded)});
}

} // namespace

QString signInBookPath(const QString& dataFolder)
{
    return dataFolder + QLatin1Char('/') + SignInFileName;
}

bool isSignInRequest(const QStringList& arguments)
{
    return arguments.contains(QStringLiteral("--sign-in"));
}

int runSignIn(const QStringList& arguments, const QString& dataFolder, const CheckCliIo& io,
              SecretStore* store)
{
    QTextStream& err = *io.err;
    const auto fail = [&](const QString& text, int status) {
        err << terminalSafe(QStringLiteral("quorvamel-check: ") + text) << Qt::endl;
        return status;
    };
    SignInArguments parsed;
    if (!parseSignInArguments(arguments, &parsed))
        return fail(QStringLiteral("usage:\n") + QString::fromLatin1(signInUsageText), 2);

    QList<AccountRecord> records;
    QString error;
    const QString usersPath = dataFolder + QLatin1Char('/') + UsersFileName;
    if (!readUsersFile(usersPath, records, &error))
        return fail(usersPath + QStringLiteral(": ") + error, 2);
    const auto account =
        std::find_if(records.cbegin(), records.cend(), [&](const AccountRecord& r) {
            return r.displayName.trimmed() == parsed.account.trimmed();
        });
    if (account == records.cend())
        return fail(QStringLiteral("no account is named \"%1\"").arg(parsed.account), 2);
    const MailboxKey mailbox{account->serverName.trimmed(), account->port,
                             account->userName.trimmed()};

    SignInBook book;
    const QString bookPath = signInBookPath(dataFolder);
    if (!book.load(bookPath, &error))
        return fail(bookPath + QStringLiteral(": ") + error, 2);
    AccountSignIn signIn = book.find(mailbox);
    const QString problem = chooseClient(parsed, &signIn.oauth);
    if (!problem.isEmpty())
        return fail(problem, 2);

    QTextStream& out = *io.out;
    const OAuthSignInResult result = signInWithBrowser(
        signIn.oauth,
        [&](const QUrl& url) {
            out << "Open this address in a browser and sign in; this waits for the answer:\n"
                << url.toString(QUrl::FullyEncoded) << Qt::endl;
            tryOpeningBrowser(url);
        },
        signInTimeoutMs);
    if (!result.ok)
        return fail(QStringLiteral("not signed in: ") + result.error, 1);

    OAuthKeeper keeper(book, store);
    QString note;
    const bool inStore =
        keeper.keep(mailbox, result.tokens, &note) == OAuthKeeper::Place::SecretStore;
    book.set(mailbox, signedInWithOAuth(signIn, signIn.oauth));
    if (!book.save(bookPath, &error))
        return fail(QStringLiteral("signed in, but ") + bookPath +
                        QStringLiteral(" cannot be written: ") + error,
                    1);
    err << terminalSafe(inStore ? QStringLiteral("Signed in; the tokens are in the Secret Service.")
                                : QStringLiteral("Signed in; the tokens are in ") + bookPath +
                                      (note.isEmpty()
                                           ? QString()
                                           : QStringLiteral(" (") + note + QLatin1Char(')')) +
                                      QLatin1Char('.'))
        << Qt::endl;
    return 0;
}
