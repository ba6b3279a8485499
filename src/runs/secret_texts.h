#pragma once

#include <QString>

// The log texts of fetching an account's secret before its session. None
// ever holds a secret.
namespace SecretText {

// One line: the account was skipped, and why.
QString notAvailableLine(const QString& userName, const QString& server, const QString& why);

QString noCommand();
QString noSecretStore();
QString notStored();
QString noOAuthAccess();

} // namespace SecretText
