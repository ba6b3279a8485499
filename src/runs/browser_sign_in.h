#pragma once

#include "platform/account_sign_in.h"
#include "runs/mailbox_key.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

class OAuthSignIn;
class Prompter;

// Where the window's OAuth2 sign-in stands.
enum class BrowserSignInStage {
    Idle,       // none under way
    Waiting,    // a browser was started with the address; its answer is awaited
    OpenByHand, // nothing could be started: the user must open the address
};

struct BrowserSignInState
{
    BrowserSignInStage stage = BrowserSignInStage::Idle;
    MailboxKey mailbox; // the account signing in, when not Idle
    QUrl address;       // the provider's authorization page, when not Idle

    // What the user is told of the stage; empty when Idle.
    QString note() const;
};

// "Sign In Now" in the window: one OAuth2 sign-in at a time. While it waits
// for the browser's answer its state holds the address, so the user can
// open it by hand whatever the browser did; the outcome comes as a message
// box, and the tokens go to the keeper. A sign-in given up ends silently
// and closes its loopback listener at once.
class BrowserSignIn : public QObject
{
    Q_OBJECT

public:
    // Starts the desktop's browser with the address; false when nothing
    // could be started.
    using Opener = std::function<bool(const QUrl&)>;
    // Keeps the tokens for the account; false with the reason when not.
    using Keeper = std::function<bool(const MailboxKey&, const OAuthClient&, const OAuthTokens&,
                                      QString* error)>;

    BrowserSignIn(Opener open, Keeper keep, Prompter& prompter, QObject* parent = nullptr);
    ~BrowserSignIn() override;

    const BrowserSignInState& state() const { return m_state; }

public slots:
    // A sign-in under way is given up first.
    void start(const MailboxKey& mailbox, const OAuthClient& client);
    // Gives up a sign-in under way: nothing kept, nothing shown.
    void cancel();

signals:
    void stateChanged(const BrowserSignInState& state);

private:
    // The flow under way stops listening and says nothing more.
    void dropFlow();
    void setState(const BrowserSignInState& state);

    Opener m_open;
    Keeper m_keep;
    Prompter& m_prompter;
    OAuthSignIn* m_flow = nullptr;
    BrowserSignInState m_state;
};
