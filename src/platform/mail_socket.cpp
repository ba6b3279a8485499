#include "platform/mail_socket.h"

#include "platform/diagnostics.h"

#include <QCryptographicHash>
#include <QSslSocket>
#include <QStringList>

MailSocket::MailSocket(QObject* parent) : QObject(parent)
{
    // The name the program's texts give the socket ("..Winsock1 Error").
    setObjectName(QStringLiteral("Winsock1"));
    resetSocket();
}

MailSocket::~MailSocket()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

void MailSocket::resetSocket()
{
    // A fresh socket per connection: nothing of an earlier connection
    // (buffered bytes, a pending handshake, queued signals) can leak into
    // the next one.
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
    }
    m_socket = new QSslSocket(this);
    // Bytes are taken from the kernel in slices of bounded size: a reply of
    // many megabytes then passes through the same small buffer (kept in the
    // cache, no fresh pages per arrival) instead of piling up unread.
    m_socket->setReadBufferSize(ReadSliceBytes);
    connect(m_socket, &QSslSocket::connected, this, [this] {
        if (!m_tls)
            onConnected();
    });
    connect(m_socket, &QSslSocket::encrypted, this, [this] {
        qCDebug(lcPlatform) << "encrypted:" << protocolName() << "with" << m_host << m_port;
        if (m_upgrading) {
            m_upgrading = false;
            emit tlsStarted();
        } else if (m_tls) {
            onConnected();
        }
    });
    connect(m_socket, &QSslSocket::readyRead, this, [this] {
        if (m_announced)
            emit dataArrived(m_socket->bytesAvailable());
    });
    connect(m_socket, &QSslSocket::disconnected, this, &MailSocket::onDisconnected);
    connect(m_socket, &QSslSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError e) { onErrorOccurred(int(e)); });
    connect(m_socket, &QSslSocket::sslErrors, this, &MailSocket::onSslErrors);
}

int MailSocket::state() const
{
    switch (m_socket->state()) {
    case QAbstractSocket::UnconnectedState:
        return Closed;
    case QAbstractSocket::HostLookupState:
        return ResolvingHost;
    case QAbstractSocket::ConnectingState:
        return Connecting;
    case QAbstractSocket::ConnectedState:
        return (!m_tls || m_socket->isEncrypted()) ? ConnectedState : Connecting;
    case QAbstractSocket::ClosingState:
        return Closing;
    default:
        return Connecting;
    }
}

bool MailSocket::connectTo(const QString& host, qint32 port, QString* error,
                           const QByteArray& acceptedSha256)
{
    resetSocket();
    m_announced = false;
    m_errorRaised = false;
    m_upgrading = false;
    m_sslReason.clear();
    m_unverified.reset();
    m_host = host;
    m_port = port;
    m_acceptedSha256 = acceptedSha256;
    if (port < 1 || port > 65535 || host.trimmed().isEmpty()) {
        if (error)
            *error = port < 1 || port > 65535 ? QStringLiteral("Invalid port %1").arg(port)
                                              : QStringLiteral("No host");
        return false;
    }
    m_tls = port == TlsPort;
    qCDebug(lcPlatform) << "connecting to" << host << port << (m_tls ? "with TLS" : "plain")
                        << (acceptedSha256.isEmpty() ? "" : "(a user-trusted certificate)");
    // The default configuration is left as it is: it loads the system's
    // trusted certificates on demand, and setting a CA list of our own
    // would switch that off.
    if (m_tls) {
        m_socket->connectToHostEncrypted(host, quint16(port));
    } else {
        m_socket->connectToHost(host, quint16(port));
    }
    return true;
}

void MailSocket::sendData(const QByteArray& bytes)
{
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->write(bytes);
}

QByteArray MailSocket::takeData()
{
    // One buffer serves every read while no caller still holds the last
    // one: the slices of a long reply then reuse the same memory instead of
    // fresh pages from the allocator for each.
    const qint64 available = m_socket->bytesAvailable();
    if (available <= 0)
        return m_socket->readAll();
    m_readBuffer.resize(available);
    const qint64 got = m_socket->read(m_readBuffer.data(), available);
    m_readBuffer.resize(qMax<qint64>(0, got));
    return m_readBuffer;
}

qint64 MailSocket::bytesAvailable() const
{
    return m_socket->bytesAvailable();
}

void MailSocket::close()
{
    m_socket->disconnect(this);
    m_socket->abort();
    m_announced = false;
    resetSocket();
}

QString MailSocket::remoteHostIp() const
{
    return m_socket->peerAddress().toString();
}

void MailSocket::startTls()
{
    if (m_socket->state() != QAbstractSocket::ConnectedState || m_socket->isEncrypted())
        return;
    m_upgrading = true;
    m_sslReason.clear();
    m_socket->startClientEncryption();
}

bool MailSocket::isEncrypted() const
{
    return m_socket->isEncrypted();
}

QString MailSocket::protocolName() const
{
    switch (m_socket->sessionProtocol()) {
    case QSsl::TlsV1_3:
        return QStringLiteral("TLS 1.3");
    case QSsl::TlsV1_2:
        return QStringLiteral("TLS 1.2");
    default:
        return QStringLiteral("TLS");
    }
}

void MailSocket::onConnected()
{
    if (m_announced || m_errorRaised)
        return;
    m_announced = true;
    emit connectedToServer();
}

void MailSocket::onDisconnected()
{
    if (m_announced) {
        m_announced = false;
        emit closedByServer();
        return;
    }
    // An upgrade the peer broke off is a TLS failure of the session.
    if (m_upgrading) {
        m_upgrading = false;
        raiseError(int(QAbstractSocket::SslHandshakeFailedError),
                   m_sslReason.isEmpty() ? QStringLiteral("The server broke off the handshake")
                                         : m_sslReason,
                   true);
        if (m_announced) {
            m_announced = false;
            emit closedByServer();
        }
        return;
    }
    // Lost before the connection was announced (a TLS handshake the peer
    // broke off): the connect attempt failed.
    if (m_tls && !m_sslReason.isEmpty())
        raiseError(int(QAbstractSocket::SslHandshakeFailedError), m_sslReason, true);
    else
        raiseError(int(QAbstractSocket::RemoteHostClosedError),
                   QStringLiteral("The remote host closed the connection"), m_tls);
}

void MailSocket::onErrorOccurred(int error)
{
    const auto code = QAbstractSocket::SocketError(error);
    const bool handshaking = (m_tls && !m_announced) || m_upgrading;
    // A peer close of an announced connection is the close event's business.
    if (code == QAbstractSocket::RemoteHostClosedError && !handshaking && (m_announced || !m_tls))
        return;
    const bool tlsFailure = handshaking && (code == QAbstractSocket::SslHandshakeFailedError ||
                                            code == QAbstractSocket::SslInternalError ||
                                            code == QAbstractSocket::SslInvalidUserDataError ||
                                            code == QAbstractSocket::RemoteHostClosedError);
    QString description = m_socket->errorString();
    if (tlsFailure && !m_sslReason.isEmpty())
        description = m_sslReason;
    raiseError(error, description, tlsFailure);
}

void MailSocket::onSslErrors(const QList<QSslError>& errors)
{
    const QSslCertificate presented = m_socket->peerCertificate();
    if (!m_acceptedSha256.isEmpty() && !presented.isNull() &&
        presented.digest(QCryptographicHash::Sha256) == m_acceptedSha256) {
        // Exactly the certificate the user chose to trust for this server.
        qCDebug(lcPlatform) << "certificate of" << m_host << m_port
                            << "unverified but trusted by the user";
        m_socket->ignoreSslErrors(errors);
        return;
    }
    QStringList texts;
    for (const QSslError& e : errors)
        texts.append(e.errorString());
    m_sslReason = texts.join(QStringLiteral("; "));
    qCDebug(lcPlatform) << "certificate of" << m_host << m_port << "refused:" << m_sslReason;
    if (!presented.isNull())
        m_unverified = UnverifiedCertificate{m_host, m_port, presented, m_sslReason};
}

void MailSocket::raiseError(int number, const QString& description, bool tls)
{
    if (m_errorRaised)
        return;
    m_errorRaised = true;
    qCDebug(lcPlatform) << "error" << number << (tls ? "(TLS)" : "") << description << "on"
                        << m_host << m_port;
    emit errorRaised(number, description, tls);
}
