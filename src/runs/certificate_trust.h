#pragma once

#include "platform/mail_socket.h"
#include "storage/trusted_certificates.h"

#include <QSet>
#include <QString>
#include <optional>

class Prompter;

// The user's say over certificates the system does not vouch for: which
// one is accepted for a server, and (in the window) the question whether
// to trust one. The command-line check never asks.
class CertificateTrust
{
public:
    // askVia: null when no question may be asked.
    CertificateTrust(const QString& filePath, Prompter* askVia);

    // The digest the user trusts for server and port; empty when none.
    QByteArray acceptedSha256(const QString& server, int port);
    // Once, when the file could not be read: the log line that says so.
    std::optional<QString> takeLoadWarning();

    // Asks whether to trust the certificate; true once it is stored. A
    // certificate refused once is not asked about again while the program
    // runs, so timed re-checks do not pile up questions.
    bool askToTrust(const UnverifiedCertificate& unverified, QString* error);

    // What a user needs to decide: server, reason, subject, issuer,
    // validity and fingerprint, one per line.
    static QString describe(const UnverifiedCertificate& unverified);
    // "AB:CD:..." of the certificate's SHA-256 digest.
    static QString fingerprint(const QSslCertificate& certificate);

    // Stores the certificate for its server and port.
    bool trust(const UnverifiedCertificate& unverified, QString* error);

private:
    void ensureLoaded();

    QString m_path;
    Prompter* m_prompter;
    TrustedCertificates m_store;
    bool m_loaded = false;
    std::optional<QString> m_loadWarning;
    QSet<QString> m_refused; // "server port digest" answered No
};
