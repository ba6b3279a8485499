#include "runs/run_coordinator.h"

#include "model/mail_list_model.h"
#include "platform/connectivity.h"
#include "platform/program_title.h"
#include "platform/prompter.h"
#include "pop3/header_block.h"
#include "runs/secret_texts.h"
#include "storage/run_settings.h"

RunCoordinator::RunCoordinator(RunSettings& settings, AccountListModel& accounts,
                               MailListModel& mails, Prompter& prompter, Connectivity& connectivity,
                               TickSource& ticks, QObject* parent)
    : QObject(parent), m_settings(settings), m_mails(mails), m_prompter(prompter),
      m_connectivity(connectivity), m_driver(settings, *this, m_log, ticks, this),
      m_check(settings, accounts, mails, m_driver.context(), m_secrets, this),
      m_delete(mails, m_driver, m_log)
{
    connect(&m_driver, &SessionDriver::linkFailed, this, &RunCoordinator::linkFailed);
    connect(&m_driver, &SessionDriver::closed, this, &RunCoordinator::sessionClosed);
    connect(&m_check, &CheckRun::dateStyleReset, this, &RunCoordinator::dateStyleReset);
}

RunCoordinator::~RunCoordinator() = default;

void RunCoordinator::setState(RunState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void RunCoordinator::reserve()
{
    if (m_state == RunState::Idle)
        setState(RunState::Reserved);
}

void RunCoordinator::beginClosing()
{
    m_closing = true;
    m_cancelRequested = true;
}

void RunCoordinator::release()
{
    m_cancelRequested = false;
    m_secretForRetry.reset();
    m_driver.context().clearAccount();
    emit controlsRestored();
    setState(RunState::Idle);
}

void RunCoordinator::showHaltBox(const QString& haltMessage)
{
    if (!m_closing)
        m_prompter.showMessage(MessageKind::Warning, programTitle(), RunText::haltBox(haltMessage));
}

bool RunCoordinator::isOnline()
{
    return m_connectivity.onlineState().online;
}

SessionOptions RunCoordinator::sessionOptions() const
{
    SessionOptions options;
    options.useRetr = m_settings.useRetr;
    options.useApop = m_settings.useApop;
    options.apopSecret = m_settings.apopSecret;
    options.deleteEnabled = m_settings.deleteEnabled;
    options.deleteRunActive = m_state == RunState::Deleting;
    options.cancelRequested = m_cancelRequested;
    options.useHeaderCache = m_headerCache && m_state == RunState::Checking;
    return options;
}

void RunCoordinator::extractHeaders(const QByteArray& message, qint32 messageNumber)
{
    if (m_state == RunState::Checking) {
        const int messageCount = m_driver.context().messageCount;
        if (messageNumber == 1)
            m_check.expectRows(messageCount);
        const CheckProgress progress = m_check.progressAt(messageNumber, messageCount);
        if (m_progressThrottle.due(progress))
            emit checkProgress(progress);
    }
    const std::optional<MailHeaders> headers = parseHeaderBlock(message);
    if (!headers)
        return;
    if (m_state != RunState::Deleting) {
        m_check.addMailRow(*headers);
        return;
    }
    // A delete run adds no row: it looks for the marked row showing this
    // message.
    if (m_settings.deleteEnabled)
        m_delete.matchHeaders(*headers, messageNumber, m_check.listDateStyle());
}

void RunCoordinator::clearMailList()
{
    m_mails.clearItems();
}

MailboxKey RunCoordinator::mailboxKey() const
{
    const SessionContext& session = m_driver.context();
    return {session.serverName, session.portText.toInt(), session.userName};
}

std::optional<QByteArray> RunCoordinator::cachedHeaderBlock(const QByteArray& uid)
{
    if (!m_headerCache)
        return std::nullopt;
    return m_headerCache->find(mailboxKey(), uid);
}

void RunCoordinator::storeHeaderBlock(const QByteArray& uid, const QByteArray& block)
{
    if (m_headerCache)
        m_headerCache->store(mailboxKey(), uid, block);
}

void RunCoordinator::keepOnlyHeaderBlocks(const QSet<QByteArray>& uids)
{
    if (m_headerCache)
        m_headerCache->retainOnly(mailboxKey(), uids);
}

void RunCoordinator::connectAccount(const QString& server, qint32 port)
{
    const OnlineState link = m_connectivity.onlineState();
    if (!link.online) {
        if (link.byModem || m_prompter.askYesNo(programTitle(), RunText::dialUpQuestion()))
            m_connectivity.dialUp();
    }
    m_delete.sessionStarting();
    m_driver.connectTo(server, port);
}

bool RunCoordinator::fetchSecret()
{
    SessionContext& session = m_driver.context();
    const AccountSecret secret = m_secretForRetry ? *std::exchange(m_secretForRetry, std::nullopt)
                                                  : m_secrets.fetch(mailboxKey(), session.password);
    session.signInMethod = secret.method;
    session.password = secret.secret;
    if (!secret.ok)
        m_log.append(
            SecretText::notAvailableLine(session.userName, session.serverName, secret.error));
    return secret.ok;
}

void RunCoordinator::sessionClosed()
{
    if (isRunActive())
        postContinuation();
}

void RunCoordinator::postContinuation()
{
    // The next account starts from the event loop, not from inside the
    // handler that ended this one: the stack stays flat however many
    // accounts a run has, and the next socket's events are never held up by
    // a handler still running. One continuation per ended session.
    if (m_continuationQueued)
        return;
    m_continuationQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_continuationQueued = false;
            continueAfterSession();
        },
        Qt::QueuedConnection);
}

void RunCoordinator::continueAfterSession()
{
    const SessionContext& ended = m_driver.context();
    AccountSecret used{true, ended.signInMethod, ended.password, {}};
    if (m_driver.offerCertificateTrust(!m_cancelRequested && !m_closing)) {
        // The same account again: its secret is not asked for a second time
        // (a password command may prompt, a token may have been spent).
        m_secretForRetry = std::move(used);
        // The same account again, now that its certificate is trusted.
        if (m_state == RunState::Checking)
            performCheck(m_check.openAccount());
        else if (m_state == RunState::Deleting)
            performDelete(m_delete.visitBlock());
        return;
    }
    if (m_state == RunState::Checking)
        checkStep();
    else if (m_state == RunState::Deleting && !m_driver.reconnecting())
        deleteStep();
}
