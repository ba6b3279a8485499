#include "app/sign_in_keeper.h"

#include "runs/run_coordinator.h"
#include "storage/sign_in_file.h"

#include <QFileInfo>

SignInKeeper::SignInKeeper(RunCoordinator& runs, const QString& dataFolder,
                           const std::function<void(const QString&)>& note)
    : m_runs(runs),
      // A renewed refresh token is saved at once: the old one may be spent.
      m_oauth(m_book, &m_secretService, [this] { save(); }),
      m_path(dataFolder + QLatin1Char('/') + SignInFileName)
{
    QString warning;
    if (!m_book.load(m_path, &warning))
        m_fileKept = QFileInfo::exists(m_path);
    if (!warning.isEmpty() && note)
        note(warning);
    m_runs.setSignInBook(&m_book);
    m_runs.setSecretStore(&m_secretService);
    m_runs.setOAuthAccess(&m_oauth);
}

SignInKeeper::~SignInKeeper()
{
    m_runs.setSignInBook(nullptr);
    m_runs.setSecretStore(nullptr);
    m_runs.setOAuthAccess(nullptr);
}

bool SignInKeeper::save(QString* error)
{
    if (m_fileKept) {
        if (error)
            *error = QStringLiteral("the sign-in file could not be read and is kept as it is: ") +
                     m_path;
        return false;
    }
    return !m_book.isModified() || m_book.save(m_path, error);
}

bool SignInKeeper::keepOAuthSignIn(const MailboxKey& mailbox, const OAuthClient& client,
                                   const OAuthTokens& tokens, QString* error)
{
    m_oauth.keep(mailbox, tokens);
    m_book.set(mailbox, signedInWithOAuth(m_book.find(mailbox), client));
    return save(error);
}
