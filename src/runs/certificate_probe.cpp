#include "runs/certificate_probe.h"

#include <QDeadlineTimer>
#include <QSslSocket>
#include <QStringList>

namespace {

// A hostile server must not make us hold more than this.
constexpr qint64 MaxLineBytes = 64 * 1024;
constexpr qint64 MaxCapaBytes = 1024 * 1024;

// One line without its CR LF; false with error set on time-out, close or a
// line too long.
bool readLine(QSslSocket& socket, const QDeadlineTimer& deadline, QByteArray* line, QString* error)
{
    while (!socket.canReadLine()) {
        if (socket.bytesAvailable() >= MaxLineBytes) {
            *error = QStringLiteral("the server sent a line over 64 KB");
            return false;
        }
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime()))) {
            *error = socket.state() == QAbstractSocket::ConnectedState
                         ? QStringLiteral("no reply from the server within the time-out")
                         : QStringLiteral("the server closed the connection");
            return false;
        }
    }
    *line = socket.readLine(MaxLineBytes + 1);
    while (line->endsWith('\n') || line->endsWith('\r'))
        line->chop(1);
    return true;
}

bool readOk(QSslSocket& socket, const QDeadlineTimer& deadline, const char* what, QString* error)
{
    QByteArray line;
    if (!readLine(socket, deadline, &line, error))
        return false;
    if (line.startsWith("+OK"))
        return true;
    *error = QStringLiteral("%1 refused: %2").arg(QLatin1String(what), QString::fromLatin1(line));
    return false;
}

bool send(QSslSocket& socket, const QDeadlineTimer& deadline, const QByteArray& command,
          QString* error)
{
    socket.write(command);
    while (socket.bytesToWrite() > 0) {
        if (deadline.hasExpired() || !socket.waitForBytesWritten(int(deadline.remainingTime()))) {
            *error = socket.errorString();
            return false;
        }
    }
    return true;
}

// The plain part before STLS: greeting, CAPA (must list STLS), STLS.
bool negotiateStls(QSslSocket& socket, const QDeadlineTimer& deadline, QString* error)
{
    static const QString noTls = QStringLiteral("the server offers no TLS on this port");
    if (!readOk(socket, deadline, "greeting", error) || !send(socket, deadline, "CAPA\r\n", error))
        return false;
    QByteArray line;
    if (!readLine(socket, deadline, &line, error))
        return false;
    if (!line.startsWith("+OK")) {
        *error = noTls;
        return false;
    }
    bool stls = false;
    qint64 total = 0;
    for (;;) {
        if (!readLine(socket, deadline, &line, error))
            return false;
        total += line.size() + 2;
        if (total > MaxCapaBytes) {
            *error = QStringLiteral("the server's capability list is over 1 MB");
            return false;
        }
        if (line == ".")
            break;
        stls = stls || line.trimmed().toUpper() == "STLS";
    }
    if (!stls) {
        *error = noTls;
        return false;
    }
    return send(socket, deadline, "STLS\r\n", error) && readOk(socket, deadline, "STLS", error);
}

} // namespace

CertificateProbeResult probeCertificate(const QString& host, int port, int timeoutMs)
{
    CertificateProbeResult result;
    const QDeadlineTimer deadline(timeoutMs);
    QSslSocket socket;
    socket.setReadBufferSize(MaxLineBytes);
    QList<QSslError> errors;
    QSslCertificate presented;
    QObject::connect(&socket, &QSslSocket::sslErrors, [&](const QList<QSslError>& list) {
        errors = list;
        presented = socket.peerCertificate();
    });

    const bool tlsPort = port == MailSocket::TlsPort;
    if (tlsPort)
        socket.connectToHostEncrypted(host, quint16(port));
    else
        socket.connectToHost(host, quint16(port));
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
        result.error = socket.errorString();
        return result;
    }
    if (!tlsPort) {
        if (!negotiateStls(socket, deadline, &result.error))
            return result;
        // Plain bytes after the STLS answer must not count as encrypted.
        socket.readAll();
        socket.startClientEncryption();
    }
    const bool encrypted = socket.waitForEncrypted(int(deadline.remainingTime()));
    if (encrypted && errors.isEmpty()) {
        result.verified = true;
    } else if (!errors.isEmpty() && !presented.isNull()) {
        QStringList texts;
        for (const QSslError& e : errors)
            texts.append(e.errorString());
        result.unverified =
            UnverifiedCertificate{host, port, presented, texts.join(QStringLiteral("; "))};
    } else {
        result.error = socket.errorString();
    }
    if (encrypted) {
        // Closed politely, so the server sees its handshake completed.
        socket.disconnectFromHost();
        if (socket.state() != QAbstractSocket::UnconnectedState)
            socket.waitForDisconnected(int(qMin<qint64>(deadline.remainingTime(), 1000)));
    }
    socket.abort();
    return result;
}
