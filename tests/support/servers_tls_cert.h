#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>

// A self-signed certificate for "localhost" (CN and subjectAltName), made
// once per process with the openssl tool into a private temporary folder.
// Servers in tests present it; clients trust it by adding `certificate` to
// their CA list and connecting to "localhost".
struct LocalhostCertificate
{
    QString certPath;
    QString keyPath;
    QSslCertificate certificate;
    QSslKey key;
    QString error; // empty when the certificate is usable

    bool isValid() const { return error.isEmpty(); }
};

const LocalhostCertificate& localhostCertificate();
