#pragma once

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QSslError>
#include <optional>

class QSslSocket;

// A server certificate that the system's trusted certificates do not
// vouch for, with the reasons.
struct UnverifiedCertificate
{
    QString host;
    int port = 0;
    QSslCertificate certificate;
    QString reason;
};

// The program's one TCP client socket. Plain TCP, or TLS from the first
// byte on port 995; a plain connection can be upgraded (STLS). Certificates
// are verified against the system's trusted certificates, or accepted when
// they are exactly the one the user chose to trust for this server. Events
// are raised only for the connection in progress: a close made by the
// program raises none, and a connection lost before it was announced is
// reported as an error.
class MailSocket : public QObject
{
    Q_OBJECT
public:
    enum StateCode {
        Closed = 0,
        ResolvingHost = 4,
        Connecting = 6,
        ConnectedState = 7,
        Closing = 8,
    };

    // The most bytes held unread by the socket at once.
    static constexpr qint64 ReadSliceBytes = 256 * 1024;

    explicit MailSocket(QObject* parent = nullptr);
    ~MailSocket() override;

    // 0 closed, 7 connected (for TLS: once the handshake is done), other
    // values in between.
    int state() const;
    static constexpr int TlsPort = 995;

    // Starts connecting. False when the request fails at once (a port
    // outside 1..65535 or an empty host); error then describes why.
    // acceptedSha256: the SHA-256 digest of a certificate the user trusts
    // for this server and port, accepted although unverified (empty: none).
    bool connectTo(const QString& host, qint32 port, QString* error = nullptr,
                   const QByteArray& acceptedSha256 = {});
    // Upgrades the plain connection to TLS (STLS); tlsStarted follows, or
    // errorRaised with tls set.
    void startTls();
    bool isEncrypted() const;
    // "TLS 1.3" and the like, once encrypted.
    QString protocolName() const;
    // The certificate the last connection refused, if it refused one.
    const std::optional<UnverifiedCertificate>& unverifiedCertificate() const
    {
        return m_unverified;
    }
    void sendData(const QByteArray& bytes);
    // Everything that has arrived since the last read.
    QByteArray takeData();
    qint64 bytesAvailable() const;
    // Closes at once, raising no close event.
    void close();
    QString remoteHostIp() const;

signals:
    void connectedToServer();
    void dataArrived(qint64 bytesTotal);
    void closedByServer();
    // The STLS upgrade is done.
    void tlsStarted();
    // tls: the handshake or the certificate check failed.
    void errorRaised(int number, const QString& description, bool tls);

private:
    void onConnected();
    void onDisconnected();
    void onErrorOccurred(int error);
    void onSslErrors(const QList<QSslError>& errors);
    void raiseError(int number, const QString& description, bool tls);
    void resetSocket();

    QSslSocket* m_socket = nullptr;
    QString m_host;
    int m_port = 0;
    QByteArray m_acceptedSha256;
    std::optional<UnverifiedCertificate> m_unverified;
    bool m_tls = false;         // TLS from the first byte
    bool m_upgrading = false;   // STLS handshake under way
    bool m_announced = false;   // connectedToServer raised for this connection
    bool m_errorRaised = false; // errorRaised raised for this connection
    QString m_sslReason;
    QByteArray m_readBuffer; // see takeData()
};
