#include "app/window_sign_in.h"

#include "app/sign_in_keeper.h"
#include "runs/browser_sign_in.h"
#include "ui/sign_in_editor.h"

#include <QDesktopServices>

std::unique_ptr<BrowserSignIn> makeWindowSignIn(SignInEditor& editor, SignInKeeper& keeper,
                                                Prompter& prompter)
{
    // True once the desktop's opener has started; whether a browser came
    // up is not known, so the address stays in view while the sign-in waits.
    const auto open = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    const auto keep = [&keeper](const MailboxKey& mailbox, const OAuthClient& client,
                                const OAuthTokens& tokens, QString* error) {
        return keeper.keepOAuthSignIn(mailbox, client, tokens, error);
    };
    auto signIn = std::make_unique<BrowserSignIn>(open, keep, prompter);
    editor.setBrowserSignIn(signIn.get());
    return signIn;
}
