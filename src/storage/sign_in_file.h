#pragma once

#include "platform/account_sign_in.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The sign-in file of the data folder: per mailbox (server, port, user
// name) how the account signs in, where its secret comes from and, when no
// Secret Service keeps them, its OAuth2 tokens. JSON, owner-only, written
// atomically. It sits beside the users file, whose bytes it never touches.
// A file that cannot be read is not overwritten in silence: it is put aside
// under the name with SignInFileDamagedSuffix and the reason is told.

inline const QString SignInFileName = QStringLiteral("sign-in.json");
inline const QString SignInFileDamagedSuffix = QStringLiteral(".damaged");
constexpr int SignInFileVersion = 1;
constexpr qint64 SignInFileMaxBytes = 1024 * 1024;

struct SignInFileEntry
{
    QString server;
    qint32 port = 0;
    QString userName;
    AccountSignIn signIn;
    std::optional<OAuthTokens> tokens;

    bool operator==(const SignInFileEntry&) const = default;
};

QByteArray encodeSignInFile(const QList<SignInFileEntry>& entries);
// Nothing, with the reason, unless the bytes are a whole file of this version.
std::optional<QList<SignInFileEntry>> decodeSignInFile(const QByteArray& bytes,
                                                       QString* error = nullptr);

struct SignInFileContent
{
    enum class Outcome {
        Missing,  // no file yet: nothing chosen
        Read,     // entries holds the file's content
        SetAside, // damaged, cut, too large or of another version: renamed
        Unread,   // could not be read nor put aside; left where it is
    };
    Outcome outcome = Outcome::Missing;
    QList<SignInFileEntry> entries;
    QString warning; // for SetAside and Unread: what happened, in one line
};

SignInFileContent readSignInFile(const QString& path);
bool writeSignInFile(const QString& path, const QList<SignInFileEntry>& entries,
                     QString* error = nullptr);
