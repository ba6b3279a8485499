#include "support/servers_tls_cert.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <array>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString missing(const QString& path)
{
    return QStringLiteral("cannot read %1: run the tests through ctest so the test CA is installed")
        .arg(path);
}

TestCertificateFiles load(const QString& name)
{
    const QDir dir(testCaDirectory());
    TestCertificateFiles files;
    files.certPath = dir.filePath(name + QStringLiteral(".crt"));
    files.keyPath = dir.filePath(name + QStringLiteral(".key"));
    files.certificate = QSslCertificate(readAll(files.certPath), QSsl::Pem);
    files.key = QSslKey(readAll(files.keyPath), QSsl::Ec, QSsl::Pem);
    if (files.certificate.isNull())
        files.error = missing(files.certPath);
    else if (files.key.isNull())
        files.error = missing(files.keyPath);
    return files;
}

} // namespace

QString testCaDirectory()
{
    return QStringLiteral(QUORVAMEL_TEST_CA_DIR);
}

const TestCertificateFiles& testCertificate(TestCertificate which)
{
    // The same names as in system_ca.sh, in the order of the enum.
    static const std::array<TestCertificateFiles, 5> all{
        load(QStringLiteral("trusted")), load(QStringLiteral("expired")),
        load(QStringLiteral("wronghost")), load(QStringLiteral("selfsigned")),
        load(QStringLiteral("untrusted"))};
    return all[size_t(which)];
}

QSslCertificate testCaCertificate()
{
    static const QSslCertificate ca(readAll(QDir(testCaDirectory()).filePath("ca.crt")), QSsl::Pem);
    return ca;
}

QString describeSslErrors(const QList<QSslError::SslError>& errors)
{
    QStringList texts;
    for (QSslError::SslError error : errors)
        texts.append(QSslError(error).errorString());
    return QStringLiteral("TLS errors: [") + texts.join(QStringLiteral("; ")) + QLatin1Char(']');
}

const LocalhostCertificate& localhostCertificate()
{
    return testCertificate(TestCertificate::Trusted);
}

QList<CertificateVerdict> certificateVerdicts()
{
    return {
        {"trusted", TestCertificate::Trusted, {}},
        {"expired", TestCertificate::Expired, {QSslError::CertificateExpired}},
        {"wrong host", TestCertificate::WrongHost, {QSslError::HostNameMismatch}},
        {"self-signed", TestCertificate::SelfSigned, {QSslError::SelfSignedCertificate}},
        {"issuer not installed",
         TestCertificate::UntrustedIssuer,
         {QSslError::UnableToGetLocalIssuerCertificate, QSslError::UnableToVerifyFirstCertificate}},
    };
}
