#include "app/window_sign_in.h"

#include "app/sign_in_keeper.h"
#include "platform/oauth_sign_in.h"
#include "platform/program_title.h"
#include "platform/prompter.h"
#include "ui/sign_in_editor.h"

#include <QDesktopServices>
#include <QWidget>

void connectOAuthSignIn(SignInEditor& editor, SignInKeeper& keeper, Prompter& prompter,
                        QWidget* parent)
{
    QObject::connect(
        &editor, &SignInEditor::signInRequested, parent,
        [&keeper, &prompter, parent](const MailboxKey& mailbox, const OAuthClient& client) {
            // Without a browser to open, the user gets the address to open.
            const auto openBrowser = [&prompter](const QUrl& url) {
                if (!QDesktopServices::openUrl(url))
                    prompter.showMessage(MessageKind::Notice, programTitle(),
                                         QStringLiteral("Open This Address In A Browser To "
                                                        "Sign In:\n") +
                                             url.toString(QUrl::FullyEncoded));
            };
            auto* flow = new OAuthSignIn(client, openBrowser, parent);
            QObject::connect(
                flow, &OAuthSignIn::finished, parent,
                [flow, &keeper, &prompter, mailbox, client](const OAuthSignInResult& result) {
                    flow->deleteLater();
                    QString error = result.error;
                    if (result.ok && keeper.keepOAuthSignIn(mailbox, client, result.tokens, &error))
                        prompter.showMessage(MessageKind::Notice, programTitle(),
                                             QStringLiteral("Signed In: ") + mailbox.userName);
                    else
                        prompter.showMessage(MessageKind::Warning, programTitle(),
                                             QStringLiteral("Not Signed In: ") + error);
                });
            flow->start();
        });
}
