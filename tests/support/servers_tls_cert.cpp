#include "support/servers_tls_cert.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

LocalhostCertificate makeCertificate(const QTemporaryDir& dir)
{
    LocalhostCertificate made;
    if (!dir.isValid()) {
        made.error = QStringLiteral("cannot create a temporary folder for the certificate");
        return made;
    }
    made.certPath = dir.filePath(QStringLiteral("localhost.crt"));
    made.keyPath = dir.filePath(QStringLiteral("localhost.key"));
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650", "-subj",
                   "/CN=localhost", "-addext", "subjectAltName=DNS:localhost", "-keyout",
                   made.keyPath, "-out", made.certPath});
    if (!openssl.waitForStarted(10000)) {
        made.error = QStringLiteral("cannot run openssl: ") + openssl.errorString();
        return made;
    }
    openssl.waitForFinished(60000);
    const QByteArray output = openssl.readAll();
    if (openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0) {
        made.error = QStringLiteral("openssl failed: ") + QString::fromLocal8Bit(output);
        return made;
    }
    made.certificate = QSslCertificate(readAll(made.certPath), QSsl::Pem);
    made.key = QSslKey(readAll(made.keyPath), QSsl::Rsa, QSsl::Pem);
    if (made.certificate.isNull() || made.key.isNull())
        made.error = QStringLiteral("openssl wrote a certificate or key Qt cannot read");
    return made;
}

} // namespace

const LocalhostCertificate& localhostCertificate()
{
    // The folder lives as long as the process: Dovecot reads the files
    // again at every start.
    static QTemporaryDir dir;
    static const LocalhostCertificate made = makeCertificate(dir);
    return made;
}
