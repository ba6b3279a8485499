// Opening an account's connection and going on with the run after it.
#include "platform/connectivity.h"
#include "platform/program_title.h"
#include "platform/prompter.h"
#include "runs/engine.h"

void Engine::connectAccount(const QString& server, qint32 port)
{
    int flags = 0;
    const bool online = isOnline(&flags);
    const bool byModem = (flags & Connectivity::ModemConnection) != 0;
    if (!online) {
        if (byModem || m_prompter.askYesNo(programTitle(), RunText::dialUpQuestion()))
            m_connectivity.InternetAutodial();
    }
    m_acceptedDeleteRows.clear();
    m_driver.connectTo(server, port);
}

void Engine::sessionClosed()
{
    if (isRunActive())
        postContinuation();
}

void Engine::postContinuation()
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
            if (m_driver.offerCertificateTrust(m_cancelRequested != 1 && m_closing < 1)) {
                // The same account again, now that its certificate is trusted.
                if (m_checkRunActive > 0)
                    openAccount();
                else if (m_deleteRunActive > 0)
                    startDeleteAccount();
                return;
            }
            if (m_checkRunActive > 0)
                CheckRun();
            if (!m_driver.reconnecting() && m_deleteRunActive > 0)
                DeleteRun();
        },
        Qt::QueuedConnection);
}
