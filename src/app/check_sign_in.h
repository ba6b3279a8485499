#pragma once

#include <QString>
#include <QStringList>

class SecretStore;
struct CheckCliIo;

// quorvamel-check --sign-in ACCOUNT [options]: the OAuth2 sign-in of one
// account from a terminal. The address to open is printed; the browser the
// user's machine names is tried too. The tokens go to the secret store when
// it runs (store may be null), else to the sign-in file, and the account's
// sign-in becomes OAuth2.
bool isSignInRequest(const QStringList& arguments);
int runSignIn(const QStringList& arguments, const QString& dataFolder, const CheckCliIo& io,
              SecretStore* store);

// The file beside the users file that holds the accounts' sign-in choices.
QString signInBookPath(const QString& dataFolder);

extern const char* const signInUsageText;
