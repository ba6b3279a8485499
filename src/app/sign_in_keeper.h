#pragma once

#include "platform/secret_service.h"
#include "runs/oauth_keeper.h"
#include "runs/sign_in_book.h"

#include <QString>
#include <functional>

class RunCoordinator;

// The accounts' sign-in choices behind a run coordinator: the sign-in file
// of the data folder read now, and the desktop's Secret Service. A file that
// cannot be used is put aside and told through note; the accounts then sign
// in as the users file describes them. The account editor changes book()
// and calls save().
class SignInKeeper
{
public:
    SignInKeeper(RunCoordinator& runs, const QString& dataFolder,
                 const std::function<void(const QString&)>& note);
    ~SignInKeeper();
    SignInKeeper(const SignInKeeper&) = delete;
    SignInKeeper& operator=(const SignInKeeper&) = delete;

    SignInBook& book() { return m_book; }
    SecretStore& secretStore() { return m_secretService; }
    const QString& path() const { return m_path; }
    // Writes the file when the book changed since it was read or written.
    // Refused while a file that could not be read nor put aside stands at
    // the path: it is not overwritten.
    bool save(QString* error = nullptr);
    // Keeps the tokens of a finished OAuth2 sign-in (Secret Service, else
    // the book), sets the account to OAuth2 with that client and saves.
    bool keepOAuthSignIn(const MailboxKey& mailbox, const OAuthClient& client,
                         const OAuthTokens& tokens, QString* error = nullptr);

private:
    RunCoordinator& m_runs;
    SignInBook m_book;
    SecretServiceStore m_secretService;
    OAuthKeeper m_oauth; // after the book and the store it keeps tokens in
    QString m_path;
    bool m_fileKept = false; // the file at the path could not be read, and stays
};
