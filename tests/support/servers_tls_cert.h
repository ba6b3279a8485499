#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QSslKey>
#include <QString>

// Server certificates for the tests, made by tests/support/system_ca.sh,
// which ctest runs before any test. It installs a throw-away test CA into
// the system trust store, so a client with the default TLS configuration
// trusts a Trusted server exactly as a user's machine trusts a real one.
enum class TestCertificate {
    Trusted,        // signed by the test CA: localhost, 127.0.0.1, 127.0.0.2
    Expired,        // signed by the test CA, same names, validity wholly in the past
    WrongHost,      // signed by the test CA, only wrong.localhost
    SelfSigned,     // its own issuer: localhost, 127.0.0.1
    UntrustedIssuer // signed by a CA installed nowhere: localhost, 127.0.0.1, 127.0.0.2
};

struct TestCertificateFiles
{
    QString certPath;
    QString keyPath;
    QSslCertificate certificate;
    QSslKey key;
    QString error; // empty when the certificate is usable

    bool isValid() const { return error.isEmpty(); }
};

// Read once per process; `error` names the missing file and the remedy.
const TestCertificateFiles& testCertificate(TestCertificate which);
// What a client with the default configuration finds wrong with each
// certificate when it connects to "localhost": the rows of the rig tests.
struct CertificateVerdict
{
    const char* name;
    TestCertificate certificate;
    QList<QSslError::SslError> errors;
};
QList<CertificateVerdict> certificateVerdicts();

// The installed test CA; null when the files are missing.
QSslCertificate testCaCertificate();
// The folder system_ca.sh writes into.
QString testCaDirectory();
// "TLS errors: [text; text]", for messages of failed checks.
QString describeSslErrors(const QList<QSslError::SslError>& errors);

// Older names, for tests written when the rig added its own certificate to
// the client's CA list: the Trusted certificate and its files.
using LocalhostCertificate = TestCertificateFiles;
const LocalhostCertificate& localhostCertificate();
