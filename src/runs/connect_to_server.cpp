// Connectivity, dial-up and the connect of the socket.
#include "platform/connectivity.h"
#include "platform/prompter.h"
#include "platform/wait_with_events.h"
#include "runs/certificate_trust.h"
#include "runs/engine.h"
#include "storage/run_settings.h"

#include <QCoreApplication>
#include <QEventLoop>

void Engine::ConnectToServer(const QString& server, qint32 port)
{
    int flags = 0;
    const bool online = isOnline(&flags);
    m_connectedByModem = (flags & Connectivity::ModemConnection) ? 1 : 0;
    if (!online) {
        if (m_connectedByModem == 1) {
            m_connectivity.InternetAutodial();
        } else if (m_prompter.askYesNo(RunText::title, RunText::dialUpQuestion())) {
            m_connectivity.InternetAutodial();
        }
    }

    m_ctx.state = SessionState::AwaitGreeting;
    m_reconnecting = 1;
    CloseConnection();
    WaitWithEvents(m_reconnectPauseMs);
    m_reconnecting = 0;

    m_ctx.connectionClosed = false;
    m_ctx.connected = false;
    m_session.begin();
    m_sessionBytes = 0;
    m_sessionEndLogged = false;
    m_replyAwaited = false;
    m_refusedCertificate.reset();
    m_acceptedDeleteRows.clear();
    QByteArray acceptedSha256;
    if (m_trust) {
        acceptedSha256 = m_trust->acceptedSha256(server, port);
        if (const std::optional<QString> warning = m_trust->takeLoadWarning())
            m_runLog.append(*warning);
    }
    m_inConnectWait = true;
    QString error;
    if (!m_socket.Connect(server, port, &error, acceptedSha256))
        Winsock1_Error(0, error, false);
    QCoreApplication::processEvents();
    const bool connected = waitForConnect();
    m_inConnectWait = false;

    if (connected) {
        m_runLog.report(RunText::connected(m_socket.RemoteHostIP()));
        if (m_socket.isEncrypted())
            m_runLog.report(RunText::secured(m_socket.protocolName()));
        // The watchdog guards the session from the connection on, so a
        // server that never greets is dropped too.
        m_ctx.lastArrivalTick = tickNow();
        markReplyAwaited();
        m_timer2.start();
        readArrivals();
        return;
    }
    m_ctx.connectionClosed = false;
    m_runLog.report(RunText::notConnected());
    CloseConnection();
}

bool Engine::waitForConnect()
{
    // Until the socket reports the outcome, but never longer than the
    // server time-out: a connect that hangs counts as failed.
    const auto decided = [this] { return m_ctx.connectionClosed || m_ctx.connected; };
    if (!decided()) {
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        const auto quitWhenDecided = [&] {
            if (decided())
                loop.quit();
        };
        const auto c1 = connect(&m_socket, &Winsock1::connectEvent, &loop, quitWhenDecided,
                                Qt::QueuedConnection);
        const auto c2 =
            connect(&m_socket, &Winsock1::errorEvent, &loop, quitWhenDecided, Qt::QueuedConnection);
        const auto c3 =
            connect(&m_socket, &Winsock1::closeEvent, &loop, quitWhenDecided, Qt::QueuedConnection);
        limit.start(int(qBound<double>(1, m_settings.ServerTimeoutMs, 24.0 * 3600 * 1000)));
        loop.exec();
        disconnect(c1);
        disconnect(c2);
        disconnect(c3);
    }
    if (m_ctx.connectionClosed)
        return false;
    if (m_ctx.connected)
        return true;
    m_socket.Close(); // the time-out: give the attempt up without an event
    return false;
}
