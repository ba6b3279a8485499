// Ending a session and going on with the run.
#include "platform/wait_with_events.h"
#include "runs/certificate_trust.h"
#include "runs/engine.h"

void Engine::CloseConnection()
{
    if (m_socket.State() != Winsock1::Closed)
        m_socket.Close();
    m_ctx.connected = false;
    m_ctx.connectionClosed = true;
    m_timer2.stop();

    // Up to 26 waits; the state is tested after each of the first 25.
    for (int call = 1; call <= 26; ++call) {
        WaitWithEvents(m_closeWaitMs);
        if (call <= 25 && m_socket.State() == Winsock1::Closed)
            break;
    }
    if (m_socket.State() == Winsock1::Closed && m_reconnecting == 0) {
        m_runLog.report(RunText::userConnectionClosed());
    }
    if (m_reconnecting != 0)
        return;
    if (m_checkRunActive > 0 || m_deleteRunActive > 0)
        postContinuation();
}

bool Engine::offerCertificateTrust()
{
    std::optional<UnverifiedCertificate> refused;
    refused.swap(m_refusedCertificate);
    if (!refused || !m_trust || m_cancelRequested == 1 || m_closing >= 1)
        return false;
    QString error;
    if (m_trust->askToTrust(*refused, &error))
        return true;
    if (!error.isEmpty())
        m_runLog.append(RunText::trustNotSaved(error));
    return false;
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
            if (offerCertificateTrust()) {
                // The same account again, now that its certificate is trusted.
                if (m_checkRunActive > 0)
                    openAccount();
                else if (m_deleteRunActive > 0)
                    startDeleteAccount();
                return;
            }
            if (m_checkRunActive > 0)
                CheckRun();
            if (m_reconnecting == 0 && m_deleteRunActive > 0)
                DeleteRun();
        },
        Qt::QueuedConnection);
}
