#include "platform/winsock1.h"

#include <QSslConfiguration>
#include <QSslSocket>
#include <QStringList>

Winsock1::Winsock1(QObject* parent) : QObject(parent)
{
    resetSocket();
}

Winsock1::~Winsock1()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

void Winsock1::resetSocket()
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
        if (m_tls)
            onConnected();
    });
    connect(m_socket, &QSslSocket::readyRead, this, [this] {
        if (m_announced)
            emit dataArrival(m_socket->bytesAvailable());
    });
    connect(m_socket, &QSslSocket::disconnected, this, &Winsock1::onDisconnected);
    connect(m_socket, &QSslSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError e) { onErrorOccurred(int(e)); });
    connect(m_socket, &QSslSocket::sslErrors, this, &Winsock1::onSslErrors);
}

int Winsock1::State() const
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

bool Winsock1::Connect(const QString& host, qint32 port, QString* error)
{
    resetSocket();
    m_announced = false;
    m_errorRaised = false;
    m_sslReason.clear();
    if (port < 1 || port > 65535 || host.trimmed().isEmpty()) {
        if (error)
            *error = port < 1 || port > 65535 ? QStringLiteral("Invalid port %1").arg(port)
                                              : QStringLiteral("No host");
        return false;
    }
    m_tls = m_tlsPorts.contains(port);
    if (m_tls) {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        QList<QSslCertificate> cas = config.caCertificates();
        cas.append(m_extraCas);
        config.setCaCertificates(cas);
        config.setPeerVerifyMode(QSslSocket::VerifyPeer);
        m_socket->setSslConfiguration(config);
        m_socket->connectToHostEncrypted(host, quint16(port));
    } else {
        m_socket->connectToHost(host, quint16(port));
    }
    return true;
}

void Winsock1::SendData(const QByteArray& bytes)
{
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->write(bytes);
}

QByteArray Winsock1::GetData()
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

qint64 Winsock1::bytesAvailable() const
{
    return m_socket->bytesAvailable();
}

void Winsock1::Close()
{
    m_socket->disconnect(this);
    m_socket->abort();
    m_announced = false;
    resetSocket();
}

QString Winsock1::RemoteHostIP() const
{
    return m_socket->peerAddress().toString();
}

void Winsock1::addCaCertificates(const QList<QSslCertificate>& certificates)
{
    m_extraCas.append(certificates);
}

void Winsock1::onConnected()
{
    if (m_announced || m_errorRaised)
        return;
    m_announced = true;
    emit connectEvent();
}

void Winsock1::onDisconnected()
{
    if (m_announced) {
        m_announced = false;
        emit closeEvent();
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

void Winsock1::onErrorOccurred(int error)
{
    const auto code = QAbstractSocket::SocketError(error);
    // A peer close of an announced connection is the close event's business.
    if (code == QAbstractSocket::RemoteHostClosedError && (m_announced || !m_tls))
        return;
    const bool tlsFailure = m_tls && !m_announced &&
                            (code == QAbstractSocket::SslHandshakeFailedError ||
                             code == QAbstractSocket::SslInternalError ||
                             code == QAbstractSocket::SslInvalidUserDataError ||
                             code == QAbstractSocket::RemoteHostClosedError);
    QString description = m_socket->errorString();
    if (tlsFailure && !m_sslReason.isEmpty())
        description = m_sslReason;
    raiseError(error, description, tlsFailure);
}

void Winsock1::onSslErrors(const QList<QSslError>& errors)
{
    QStringList texts;
    for (const QSslError& e : errors)
        texts.append(e.errorString());
    m_sslReason = texts.join(QStringLiteral("; "));
}

void Winsock1::raiseError(int number, const QString& description, bool tls)
{
    if (m_errorRaised)
        return;
    m_errorRaised = true;
    emit errorEvent(number, description, tls);
}
