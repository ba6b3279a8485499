#include "runs/browser_sign_in.h"

#include "platform/oauth_sign_in.h"
#include "platform/program_title.h"
#include "platform/prompter.h"

QString BrowserSignInState::note() const
{
    switch (stage) {
    case BrowserSignInStage::Idle:
        break;
    case BrowserSignInStage::Waiting:
        return QStringLiteral("Waiting For The Browser; If None Opened, Open This Address In A "
                              "Browser To Sign In:");
    case BrowserSignInStage::OpenByHand:
        return QStringLiteral("No Browser Could Be Started: Open This Address In A Browser To "
                              "Sign In:");
    }
    return {};
}

BrowserSignIn::BrowserSignIn(Opener open, Keeper keep, Prompter& prompter, QObject* parent)
    : QObject(parent), m_open(std::move(open)), m_keep(std::move(keep)), m_prompter(prompter)
{
}

BrowserSignIn::~BrowserSignIn()
{
    dropFlow();
}

void BrowserSignIn::start(const MailboxKey& mailbox, const OAuthClient& client)
{
    cancel();
    const auto openBrowser = [this, mailbox](const QUrl& url) {
        const bool started = m_open && m_open(url);
        setState(
            {started ? BrowserSignInStage::Waiting : BrowserSignInStage::OpenByHand, mailbox, url});
    };
    auto* flow = new OAuthSignIn(client, openBrowser, this);
    m_flow = flow;
    connect(flow, &OAuthSignIn::finished, this,
            [this, flow, mailbox, client](const OAuthSignInResult& result) {
                // Done before the message box, whose event loop may start
                // or give up another sign-in.
                flow->deleteLater();
                if (m_flow == flow)
                    m_flow = nullptr;
                setState({});
                QString error = result.error;
                if (result.ok && m_keep && m_keep(mailbox, client, result.tokens, &error))
                    m_prompter.showMessage(MessageKind::Notice, programTitle(),
                                           QStringLiteral("Signed In: ") + mailbox.userName);
                else
                    m_prompter.showMessage(MessageKind::Warning, programTitle(),
                                           QStringLiteral("Not Signed In: ") + error);
            });
    flow->start();
}

void BrowserSignIn::cancel()
{
    dropFlow();
    setState({});
}

void BrowserSignIn::dropFlow()
{
    if (!m_flow)
        return;
    OAuthSignIn* flow = m_flow;
    m_flow = nullptr;
    disconnect(flow, nullptr, this, nullptr);
    flow->cancel();
    flow->deleteLater();
}

void BrowserSignIn::setState(const BrowserSignInState& state)
{
    if (state.stage == m_state.stage && state.address == m_state.address &&
        state.mailbox == m_state.mailbox)
        return;
    m_state = state;
    emit stateChanged(m_state);
}
