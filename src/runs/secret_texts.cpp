#include "runs/secret_texts.h"

namespace SecretText {

QString notAvailableLine(const QString& userName, const QString& server, const QString& why)
{
    return QStringLiteral("..Account Skipped, No Password: ") + userName + QStringLiteral(" at ") +
           server + QStringLiteral(" (") + why + QLatin1Char(')');
}

QString noCommand()
{
    return QStringLiteral("No Password Command Is Set");
}

QString noSecretStore()
{
    return QStringLiteral("No Secret Service (none in this program)");
}

QString notStored()
{
    return QStringLiteral("Nothing Stored In The Secret Service For This Account");
}

QString noOAuthAccess()
{
    return QStringLiteral("OAuth2 Sign-In Is Not Available Here; Choose A Password Command For "
                          "This Account");
}

} // namespace SecretText
