#include "runs/certificate_trust.h"

#include "platform/program_title.h"
#include "platform/prompter.h"
#include "runs/run_texts.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QStringList>

namespace {

QString names(const QStringList& parts)
{
    return parts.isEmpty() ? QStringLiteral("(none)") : parts.join(QStringLiteral(", "));
}

} // namespace

CertificateTrust::CertificateTrust(const QString& filePath, Prompter* askVia)
    : m_path(filePath), m_prompter(askVia)
{
}

void CertificateTrust::ensureLoaded()
{
    if (m_loaded)
        return;
    m_loaded = true;
    QString error;
    if (!m_store.load(m_path, &error))
        m_loadWarning = QStringLiteral("..Trusted Certificates Not Read (") + error +
                        QStringLiteral("): Only The System's Certificates Are Trusted");
}

QByteArray CertificateTrust::acceptedSha256(const QString& server, int port)
{
    ensureLoaded();
    return m_store.sha256For(server, port);
}

std::optional<QString> CertificateTrust::takeLoadWarning()
{
    std::optional<QString> warning = m_loadWarning;
    m_loadWarning.reset();
    return warning;
}

QString CertificateTrust::fingerprint(const QSslCertificate& certificate)
{
    const QByteArray digest = certificate.digest(QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toHex(':').toUpper());
}

QString CertificateTrust::describe(const UnverifiedCertificate& u)
{
    const QSslCertificate& c = u.certificate;
    return QStringLiteral("Server: %1:%2\nReason: %3\nSubject: %4\nIssuer: %5\n"
                          "Valid From: %6\nValid Until: %7\nSHA-256: %8")
        .arg(u.host)
        .arg(u.port)
        .arg(u.reason,
             names(c.subjectInfo(QSslCertificate::CommonName) +
                   c.subjectInfo(QSslCertificate::Organization)),
             names(c.issuerInfo(QSslCertificate::CommonName) +
                   c.issuerInfo(QSslCertificate::Organization)),
             c.effectiveDate().toUTC().toString(Qt::ISODate),
             c.expiryDate().toUTC().toString(Qt::ISODate), fingerprint(c));
}

bool CertificateTrust::trust(const UnverifiedCertificate& u, QString* error)
{
    ensureLoaded();
    return m_store.store(m_path,
                         TrustedCertificates::Entry{
                             u.host, u.port, u.certificate.digest(QCryptographicHash::Sha256)},
                         error);
}

bool CertificateTrust::askToTrust(const UnverifiedCertificate& u, QString* error)
{
    if (!m_prompter)
        return false;
    const QString asked = u.host.toLower() + QLatin1Char(' ') + QString::number(u.port) +
                          QLatin1Char(' ') + fingerprint(u.certificate);
    if (m_refused.contains(asked))
        return false;
    ensureLoaded();
    const bool changed = !m_store.sha256For(u.host, u.port).isEmpty();
    const QString opening =
        changed
            ? QStringLiteral("The Certificate Of This Server Has CHANGED Since You Trusted It.\n"
                             "Trust Only If You Know Why It Changed.\n\n")
            : QStringLiteral("The Server's Certificate Could Not Be Verified.\n\n");
    const QString question = opening + describe(u) +
                             QStringLiteral("\n\nTrust This Certificate For This Server And Port?");
    if (!m_prompter->askYesNo(programTitle(), question)) {
        m_refused.insert(asked);
        return false;
    }
    return trust(u, error);
}
