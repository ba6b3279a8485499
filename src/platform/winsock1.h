#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QSslCertificate>
#include <QSslError>

class QSslSocket;

// The program's one TCP client socket. Plain TCP, or TLS from the first
// byte for ports in the TLS port set. Events are raised only for the
// connection in progress: a close made by the program raises none, and a
// connection lost before it was announced is reported as an error.
class Winsock1 : public QObject
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

    explicit Winsock1(QObject* parent = nullptr);
    ~Winsock1() override;

    // 0 closed, 7 connected (for TLS: once the handshake is done), other
    // values in between.
    int State() const;
    // Starts connecting. False when the request fails at once (a port
    // outside 1..65535 or an empty host); error then describes why.
    bool Connect(const QString& host, qint32 port, QString* error = nullptr);
    void SendData(const QByteArray& bytes);
    // Everything that has arrived since the last read.
    QByteArray GetData();
    qint64 bytesAvailable() const;
    // Closes at once, raising no close event.
    void Close();
    QString RemoteHostIP() const;

    void setTlsPorts(const QSet<int>& ports) { m_tlsPorts = ports; }
    QSet<int> tlsPorts() const { return m_tlsPorts; }
    // Certificates trusted in addition to the system's.
    void addCaCertificates(const QList<QSslCertificate>& certificates);

signals:
    void connectEvent();
    void dataArrival(qint64 bytesTotal);
    void closeEvent();
    // tls: the handshake or the certificate check failed.
    void errorEvent(int number, const QString& description, bool tls);

private:
    void onConnected();
    void onDisconnected();
    void onErrorOccurred(int error);
    void onSslErrors(const QList<QSslError>& errors);
    void raiseError(int number, const QString& description, bool tls);
    void resetSocket();

    QSslSocket* m_socket = nullptr;
    QSet<int> m_tlsPorts{995};
    QList<QSslCertificate> m_extraCas;
    bool m_tls = false;
    bool m_announced = false;   // connectEvent raised for this connection
    bool m_errorRaised = false; // errorEvent raised for this connection
    QString m_sslReason;
    QByteArray m_readBuffer; // see GetData()
};
