#pragma once

#include "platform/account_sign_in.h"
#include "runs/browser_sign_in.h"
#include "runs/mailbox_key.h"

#include <QDialog>
#include <QFont>
#include <cstdint>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The controls of the sign-in dialog, in their visual (and Tab) order.
struct SignInControls
{
    QComboBox* method = nullptr;        // methodChooser
    QComboBox* origin = nullptr;        // originChooser
    QLineEdit* command = nullptr;       // commandBox
    QLineEdit* password = nullptr;      // storePasswordBox
    QComboBox* provider = nullptr;      // providerChooser
    QLineEdit* clientId = nullptr;      // clientIdBox
    QLineEdit* authorization = nullptr; // authorizationUrlBox
    QLineEdit* token = nullptr;         // tokenUrlBox
    QLineEdit* scope = nullptr;         // scopeBox
    QPushButton* signInNow = nullptr;   // signInNowButton
    QLabel* browserNote = nullptr;      // browserNoteLabel: what the sign-in waits for
    QLineEdit* address = nullptr;       // addressBox: the page to open, read-only
    QLabel* message = nullptr;          // messageLabel: what keeps OK from taking the entries
    QPushButton* ok = nullptr;          // okButton
    QPushButton* cancel = nullptr;      // cancelButton
};

// How one account signs in: the method, where its secret comes from, the
// command, a password to put into the secret store, and for OAuth2 the
// provider and client id. It only shows and reads an AccountSignIn; what
// is done with the result is the caller's.
class SignInDialog : public QDialog
{
    Q_OBJECT

public:
    struct Options
    {
        MailboxKey mailbox;
        QString accountTitle;             // shown in the caption
        bool secretStoreAvailable = true; // false: no Secret Service runs
        bool toolTipsOff = false;
        QFont font;                 // the window's design font
        std::uint32_t pageColour{}; // the window's page colour
    };
    explicit SignInDialog(const Options& options, QWidget* parent = nullptr);

    void setSignIn(const AccountSignIn& signIn);
    // Only what the chosen method and origin use is kept.
    AccountSignIn signIn() const;
    // Typed to go into the secret store now; empty when none was typed or
    // the secret store is not the chosen origin.
    QString passwordToStore() const;
    // Empty when the entries can be taken.
    QString problem() const;

    const SignInControls& controls() const { return m_controls; }
    static const QString& otherProvider();

public slots:
    void accept() override;
    // Shows where this account's "Sign In Now" stands: while it waits, the
    // note and the address to open; else neither.
    void showBrowserSignIn(const BrowserSignInState& state) const;

signals:
    void signInRequested(const MailboxKey& mailbox, const OAuthClient& client);

private:
    void build();
    void buildSecretFrame();
    void buildOAuthFrame();
    void applyToolTips(bool off);
    void providerChosen();
    void updateEnabling();
    OAuthClient oauthClient() const;

    Options m_options;
    SignInControls m_controls;
    QGroupBox* m_secretFrame = nullptr;
    QGroupBox* m_oauthFrame = nullptr;
};
