#include "support/servers_pop3_peer.h"

#include "support/servers_tls_cert.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>

namespace {

constexpr int kMaxCommandLine = 64 * 1024;
constexpr qint64 kEndlessBacklog = 1 << 20; // never queue more than this for a slow reader
constexpr int kEndlessTickMs = 10;

QString printable(const QByteArray& bytes)
{
    QString text;
    for (char c : bytes) {
        const uchar u = uchar(c);
        if (u >= 0x20 && u != 0x7f)
            text += QChar(u);
        else
            text += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
    }
    return text;
}

// One line of the transcript per line sent; a piece without its line end
// is marked, so split arrivals stay visible.
QStringList describeSent(const QByteArray& chunk)
{
    QStringList lines;
    qsizetype from = 0;
    while (from < chunk.size()) {
        const qsizetype lf = chunk.indexOf('\n', from);
        if (lf < 0) {
            lines.append(QStringLiteral("S: ") + printable(chunk.mid(from)) + QStringLiteral(" ~"));
            break;
        }
        QByteArray line = chunk.mid(from, lf - from);
        const bool crlf = line.endsWith('\r');
        if (crlf)
            line.chop(1);
        lines.append(QStringLiteral("S: ") + printable(line) +
                     (crlf ? QString() : QStringLiteral(" [bare LF]")));
        from = lf + 1;
    }
    return lines;
}

// Accepts connections as QSslSocket in plain mode, so a script can start
// TLS on them later (STLS).
class UpgradableServer : public QTcpServer
{
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* socket = new QSslSocket(this);
        if (socket->setSocketDescriptor(descriptor))
            addPendingConnection(socket);
        else
            delete socket;
    }
};

} // namespace

// Plays one script on one accepted socket.
class PeerConnection : public QObject
{
public:
    PeerConnection(ScriptedPop3Peer* peer, QSslSocket* socket, const Pop3Script& script, int number)
        : QObject(peer), m_peer(peer), m_socket(socket), m_script(script), m_number(number)
    {
        m_socket->setParent(this);
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &PeerConnection::onTimer);
        connect(m_socket, &QIODevice::readyRead, this, &PeerConnection::onReadyRead);
        connect(m_socket, &QAbstractSocket::disconnected, this, &PeerConnection::onDisconnected);
        connect(m_socket, &QSslSocket::encrypted, this, &PeerConnection::onEncrypted);
        connect(m_socket, &QAbstractSocket::errorOccurred, this,
                [this] { onHandshakeFailed(m_socket->errorString()); });
        QTimer::singleShot(0, this, &PeerConnection::advance);
    }

    bool isDone() const { return m_done; }
    bool isOpen() const { return !m_clientClosed && !m_peerClosed; }

private:
    using Step = Pop3Script::Step;

    const Step* current() const
    {
        return m_index < m_script.steps().size() ? &m_script.steps()[m_index] : nullptr;
    }

    bool inTerminalStep() const
    {
        const Step* step = current();
        return step && (step->kind == Step::Silence || step->kind == Step::Endless);
    }

    void fail(const QString& text)
    {
        m_peer->recordFailure(QStringLiteral("connection %1: %2").arg(m_number).arg(text));
        m_failed = true;
        m_timer.stop();
        // End the conversation so the client under test moves on instead
        // of waiting for its own time-out.
        if (!m_peerClosed && !m_clientClosed) {
            m_peerClosed = true;
            m_socket->abort();
        }
    }

    void onReadyRead()
    {
        if (m_readingHeld)
            return;
        m_input += m_socket->readAll();
        qsizetype lf;
        while ((lf = m_input.indexOf('\n')) >= 0) {
            QByteArray line = m_input.left(lf);
            m_input.remove(0, lf + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            else
                m_peer->recordFailure(
                    QStringLiteral("connection %1: command not ended by CR LF: %2")
                        .arg(m_number)
                        .arg(printable(line)));
            receiveLine(QString::fromLatin1(line));
        }
        if (m_input.size() > kMaxCommandLine)
            fail(QStringLiteral("the client sent %1 bytes without a line end").arg(m_input.size()));
    }

    void receiveLine(const QString& line)
    {
        const bool early = m_sending && !m_failed;
        m_peer->record(
            QStringLiteral("C: ") + line +
            (early ? QStringLiteral("   [sent before the reply was complete]") : QString()));
        m_peer->recordCommand(line);
        if (m_failed)
            return;
        if (m_done || inTerminalStep()) {
            if (!m_script.toleratesExtraCommands())
                fail(QStringLiteral("unexpected command after the end of the script: ") + line);
            return;
        }
        m_received.enqueue(line);
        if (!m_sending && !m_timer.isActive())
            advance();
    }

    void onDisconnected()
    {
        if (m_handshaking) {
            onHandshakeFailed(QStringLiteral("the client closed the connection"));
            return;
        }
        m_timer.stop();
        if (m_peerClosed)
            return;
        m_clientClosed = true;
        m_peer->record(QStringLiteral("-- connection %1 closed by the client").arg(m_number));
        if (m_failed || m_done)
            return;
        advance();
    }

    // Runs steps until one has to wait for the client or a timer.
    void advance()
    {
        m_sending = false;
        while (!m_failed && !m_done) {
            const Step* step = current();
            if (!step) {
                m_done = true;
                return;
            }
            if (!runStep(*step))
                return;
            ++m_index;
        }
    }

    // True when the step is over and the next may run.
    bool runStep(const Step& step)
    {
        switch (step.kind) {
        case Step::Expect:
        case Step::ExpectMatch:
            return takeExpected(step);
        case Step::Answer:
            return takeExpected(step) && sendAnswer(step.respond(m_lastTaken));
        case Step::Send:
            m_chunk = 0;
            return sendNextChunk(step);
        case Step::Pause:
            m_timer.start(step.delayMs);
            return false;
        case Step::HoldReading:
            m_peer->record(QStringLiteral("-- reading held %1 ms").arg(step.delayMs));
            m_readingHeld = true;
            m_socket->setReadBufferSize(1);
            m_timer.start(step.delayMs);
            return false;
        case Step::Silence:
            m_peer->record(QStringLiteral("-- silence"));
            m_done = true;
            return false;
        case Step::Endless:
            startEndless(step);
            m_done = true;
            return false;
        case Step::Close:
            m_peer->record(QStringLiteral("-- connection %1 closed by the peer").arg(m_number));
            m_peerClosed = true;
            m_socket->disconnectFromHost();
            return true;
        case Step::ClientCloses:
            if (!m_received.isEmpty()) {
                fail(QStringLiteral("expected the client to close, got: ") + m_received.head());
                return false;
            }
            return m_clientClosed || m_tlsFailed;
        case Step::StartTls:
            return startTls();
        }
        return true;
    }

    bool takeExpected(const Step& step)
    {
        const QString wanted = step.kind == Step::Expect ? QStringLiteral("\"%1\"").arg(step.line)
                                                         : QStringLiteral("/%1/").arg(step.line);
        while (!m_received.isEmpty()) {
            const QString line = m_received.dequeue();
            const bool ok =
                step.kind == Step::Expect ? line == step.line : step.match.match(line).hasMatch();
            m_lastTaken = line;
            if (!ok && line == QLatin1String("CAPA")) {
                answerUnscriptedCapa();
                continue;
            }
            if (!ok)
                fail(QStringLiteral("expected %1, got \"%2\"").arg(wanted, line));
            return ok;
        }
        if (m_clientClosed || m_peerClosed || m_tlsFailed)
            fail(QStringLiteral("the connection closed while the script expected ") + wanted);
        return false;
    }

    bool sendAnswer(const QByteArray& reply)
    {
        if (m_clientClosed || m_peerClosed || m_tlsFailed)
            return true;
        m_socket->write(reply);
        m_socket->flush();
        for (const QString& line : describeSent(reply))
            m_peer->record(line);
        return true;
    }

    // As a server from before CAPA existed would answer.
    void answerUnscriptedCapa()
    {
        if (m_clientClosed || m_peerClosed || m_tlsFailed)
            return;
        const QByteArray reply = Pop3Reply::err("unknown command");
        m_socket->write(reply);
        m_socket->flush();
        for (const QString& line : describeSent(reply))
            m_peer->record(line);
    }

    bool startTls()
    {
        if (m_clientClosed || m_peerClosed || m_tlsFailed)
            return true; // an expect after it reports the closed connection
        if (m_socket->mode() != QSslSocket::UnencryptedMode) {
            fail(QStringLiteral("startTls() on a connection that is already encrypted"));
            return false;
        }
        const TestCertificateFiles& cert = testCertificate(m_peer->m_certificate);
        if (!cert.isValid()) {
            fail(cert.error);
            return false;
        }
        m_socket->setSslConfiguration(m_peer->tlsConfiguration());
        m_peer->record(QStringLiteral("-- connection %1: TLS handshake").arg(m_number));
        m_handshaking = true;
        m_socket->startServerEncryption();
        return false;
    }

    void onEncrypted()
    {
        if (!m_handshaking)
            return;
        m_handshaking = false;
        m_peer->record(QStringLiteral("-- connection %1: TLS established").arg(m_number));
        ++m_index;
        advance();
    }

    void onHandshakeFailed(const QString& why)
    {
        if (!m_handshaking)
            return;
        m_handshaking = false;
        m_tlsFailed = true;
        m_peer->recordHandshakeFailure(why);
        m_timer.stop();
        m_socket->abort();
        ++m_index;
        advance();
    }

    bool sendNextChunk(const Step& step)
    {
        if (m_clientClosed || m_peerClosed || m_tlsFailed)
            return true; // what is left cannot arrive; an expect after it reports that
        const QByteArray& chunk = step.chunks[m_chunk];
        m_socket->write(chunk);
        m_socket->flush();
        if (!step.label.isEmpty())
            m_peer->record(QStringLiteral("S: ") + step.label);
        else
            for (const QString& line : describeSent(chunk))
                m_peer->record(line);
        if (++m_chunk < step.chunks.size()) {
            m_sending = true;
            m_timer.start(step.delayMs);
            return false;
        }
        return true;
    }

    void startEndless(const Step& step)
    {
        m_peer->record(
            QStringLiteral("S: <endless: %1 then \"%2\" repeated>")
                .arg(printable(step.chunks.value(0).left(40)), printable(step.unit.left(20))));
        m_socket->write(step.chunks.value(0));
        m_endlessPerTick =
            qMax<qint64>(step.unit.size(), qint64(step.bytesPerSecond) * kEndlessTickMs / 1000);
        m_timer.setSingleShot(false);
        m_timer.start(kEndlessTickMs);
    }

    void endlessTick(const Step& step)
    {
        if (m_clientClosed || m_peerClosed) {
            m_timer.stop();
            return;
        }
        if (m_socket->bytesToWrite() > kEndlessBacklog)
            return;
        qint64 written = 0;
        while (written < m_endlessPerTick) {
            m_socket->write(step.unit);
            written += step.unit.size();
        }
        m_peer->m_endlessBytes += written;
    }

    void onTimer()
    {
        const Step* step = current();
        if (!step || m_failed)
            return;
        if (step->kind == Step::Endless) {
            endlessTick(*step);
            return;
        }
        if (step->kind == Step::Send && !sendNextChunk(*step))
            return; // more chunks to come
        if (step->kind == Step::HoldReading) {
            ++m_index;
            m_readingHeld = false;
            m_socket->setReadBufferSize(0);
            m_peer->record(QStringLiteral("-- reading again"));
            onReadyRead(); // lines read may advance the script themselves
            if (!m_sending && !m_timer.isActive())
                advance();
            return;
        }
        if (step->kind == Step::Pause || step->kind == Step::Send)
            ++m_index;
        advance();
    }

    ScriptedPop3Peer* m_peer;
    QSslSocket* m_socket;
    Pop3Script m_script;
    int m_number;
    qsizetype m_index = 0;
    qsizetype m_chunk = 0;
    qint64 m_endlessPerTick = 0;
    QTimer m_timer;
    QByteArray m_input;
    QQueue<QString> m_received;
    QString m_lastTaken; // the line the last expect took
    bool m_sending = false;
    bool m_done = false;
    bool m_failed = false;
    bool m_clientClosed = false;
    bool m_peerClosed = false;
    bool m_handshaking = false;
    bool m_tlsFailed = false;
    bool m_readingHeld = false;
};

ScriptedPop3Peer::ScriptedPop3Peer(Transport transport, QObject* parent)
    : QObject(parent), m_transport(transport)
{
}

ScriptedPop3Peer::~ScriptedPop3Peer() = default;

void ScriptedPop3Peer::addScript(const Pop3Script& script)
{
    m_scripts.enqueue(script);
    ++m_scriptsQueued;
}

QSslCertificate ScriptedPop3Peer::caCertificate()
{
    return testCaCertificate();
}

QSslConfiguration ScriptedPop3Peer::tlsConfiguration() const
{
    const TestCertificateFiles& cert = testCertificate(m_certificate);
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(cert.certificate);
    config.setPrivateKey(cert.key);
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    return config;
}

void ScriptedPop3Peer::recordHandshakeFailure(const QString& why)
{
    ++m_handshakeFailures;
    record(QStringLiteral("-- TLS handshake failed: ") + why);
}

bool ScriptedPop3Peer::listen(quint16 port)
{
    if (m_transport == Transport::Tls) {
        const TestCertificateFiles& cert = testCertificate(m_certificate);
        if (!cert.isValid()) {
            m_error = cert.error;
            return false;
        }
        auto* server = new QSslServer(this);
        server->setSslConfiguration(tlsConfiguration());
        connect(server, &QSslServer::errorOccurred, this,
                [this](QSslSocket* socket, QAbstractSocket::SocketError) {
                    recordHandshakeFailure(socket->errorString());
                });
        m_server = server;
    } else {
        m_server = new UpgradableServer(this);
    }
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this,
            &ScriptedPop3Peer::acceptPending);
    if (!m_server->listen(QHostAddress::LocalHost, port)) {
        m_error = m_server->errorString();
        return false;
    }
    return true;
}

quint16 ScriptedPop3Peer::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

void ScriptedPop3Peer::acceptPending()
{
    while (auto* socket = qobject_cast<QSslSocket*>(m_server->nextPendingConnection())) {
        const int number = ++m_connectionCount;
        if (m_scripts.isEmpty()) {
            recordFailure(QStringLiteral("connection %1 has no script").arg(number));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        record(QStringLiteral("-- connection %1%2")
                   .arg(number)
                   .arg(m_transport == Transport::Tls ? QStringLiteral(" (TLS)") : QString()));
        m_connections.append(new PeerConnection(this, socket, m_scripts.dequeue(), number));
    }
}

void ScriptedPop3Peer::recordFailure(const QString& text)
{
    m_failures.append(text);
    record(QStringLiteral("!! ") + text);
}

void ScriptedPop3Peer::recordCommand(const QString& line)
{
    m_commands.append(line);
}

int ScriptedPop3Peer::openConnectionCount() const
{
    int open = 0;
    for (const auto& connection : m_connections)
        open += connection && connection->isOpen();
    return open;
}

bool ScriptedPop3Peer::isDone() const
{
    if (!m_failures.isEmpty() || !m_scripts.isEmpty())
        return false;
    for (const auto& connection : m_connections)
        if (connection && !connection->isDone())
            return false;
    return true;
}

bool ScriptedPop3Peer::waitUntilDone(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!isDone() && m_failures.isEmpty() && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return isDone();
}

QString ScriptedPop3Peer::report() const
{
    QStringList lines;
    if (!m_scripts.isEmpty())
        lines.append(QStringLiteral("%1 of %2 scripts never got a connection")
                         .arg(m_scripts.size())
                         .arg(m_scriptsQueued));
    for (const auto& connection : m_connections)
        if (connection && !connection->isDone() && m_failures.isEmpty())
            lines.append(QStringLiteral("a script did not reach its end"));
    lines += m_failures;
    lines.append(QStringLiteral("transcript:"));
    lines += m_transcript;
    return lines.join(QLatin1Char('\n'));
}
