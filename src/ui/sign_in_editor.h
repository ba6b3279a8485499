#pragma once

#include "platform/account_sign_in.h"
#include "runs/mailbox_key.h"

#include <QObject>
#include <QString>
#include <functional>

class AccountListModel;
class BrowserSignIn;
class MainWindow;
class Prompter;
class SecretStore;
class SignInBook;
class SignInDialog;
struct AccountRow;

// Opens the sign-in dialog for the selected account ("Sign-In..." on the
// accounts page and in the account list's menu) and keeps the sign-in
// book in step with it and with the account list: a deleted account
// takes its entry and its secrets in the secret store along. (The page
// never changes an account's server, port or user name: only display names
// are edited in place.) Every change is saved at once through the hook.
class SignInEditor : public QObject
{
    Q_OBJECT

public:
    SignInEditor(MainWindow& form, AccountListModel& accounts, SignInBook& book, Prompter& prompter,
                 QObject* parent = nullptr);

    // Writes the book to its file; false with the reason when it could not.
    using SaveHook = std::function<bool(QString* error)>;
    void setSaveHook(SaveHook save) { m_save = std::move(save); }
    // The desktop's secret store, or null when no Secret Service runs.
    void setSecretStore(SecretStore* store) { m_secretStore = store; }
    // What "Sign In Now" starts; none: the button does nothing.
    void setBrowserSignIn(BrowserSignIn* signIn) { m_browserSignIn = signIn; }
    // Runs the dialog; true when its entries were taken. exec() unless
    // replaced (tests).
    using DialogRunner = std::function<bool(SignInDialog& dialog)>;
    void setDialogRunner(DialogRunner runner) { m_runDialog = std::move(runner); }

    static MailboxKey mailboxOf(const AccountRow& row);

    // The dialog for the selected row (counted from 1 as the editor does);
    // nothing when no row is selected.
    void editSelected();
    // Stores the password when one was typed, then records the choice and
    // saves. False when either could not be done (the user was told).
    bool apply(const MailboxKey& mailbox, const AccountSignIn& signIn,
               const QString& passwordToStore);

public slots:
    void accountDeleted(const MailboxKey& mailbox);

private:
    bool save();

    MainWindow& m_form;
    AccountListModel& m_accounts;
    SignInBook& m_book;
    Prompter& m_prompter;
    SecretStore* m_secretStore = nullptr;
    BrowserSignIn* m_browserSignIn = nullptr;
    SaveHook m_save;
    DialogRunner m_runDialog;
};
