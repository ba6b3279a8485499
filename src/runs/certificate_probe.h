#pragma once

#include "platform/mail_socket.h"

#include <QString>
#include <optional>

// What a server shows a session of ours: its certificate, and whether the
// system's trusted certificates vouch for it.
struct CertificateProbeResult
{
    // Set when verification failed and a certificate was presented.
    std::optional<UnverifiedCertificate> unverified;
    // The system's trusted certificates vouch for the certificate.
    bool verified = false;
    // Why no certificate was obtained; empty otherwise.
    QString error;
};

// Reaches the server as a session does (TLS from the first byte on port
// 995, CAPA and STLS on any other port) with the default TLS configuration,
// and ends the connection once the handshake is over. Blocking: needs no
// event loop. timeoutMs bounds the whole probe.
CertificateProbeResult probeCertificate(const QString& host, int port, int timeoutMs);
