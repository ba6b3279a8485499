#include "storage/trusted_certificates.h"

#include "storage/atomic_file.h"

#include <QFileInfo>

namespace {

const QByteArray formatLine("# Quorvamel trusted certificates 1");
// A few hundred servers at most; anything much larger is not our file.
constexpr qint64 MaxFileBytes = 1024 * 1024;
constexpr qsizetype DigestBytes = 32;

} // namespace

QByteArray TrustedCertificates::encode(const QList<Entry>& entries)
{
    QByteArray text = formatLine + '\n';
    for (const Entry& e : entries)
        text += QByteArray(e.server.toUtf8()).toPercentEncoding() + ' ' +
                QByteArray::number(e.port) + ' ' + e.sha256.toHex() + '\n';
    return text;
}

bool TrustedCertificates::decode(const QByteArray& text, QList<Entry>* entries)
{
    const QList<QByteArray> lines = text.split('\n');
    if (lines.value(0).trimmed() != formatLine)
        return false;
    QList<Entry> read;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.split(' ');
        bool portOk = false;
        const int port = fields.value(1).toInt(&portOk);
        const QByteArray digest = QByteArray::fromHex(fields.value(2));
        if (fields.size() != 3 || fields[0].isEmpty() || !portOk || port < 1 || port > 65535 ||
            digest.size() != DigestBytes || fields[2].size() != 2 * DigestBytes)
            return false;
        read.append(
            Entry{QString::fromUtf8(QByteArray::fromPercentEncoding(fields[0])), port, digest});
    }
    *entries = read;
    return true;
}

bool TrustedCertificates::load(const QString& path, QString* error)
{
    m_entries.clear();
    if (!QFileInfo::exists(path))
        return true;
    QByteArray text;
    if (!readFileHead(path, MaxFileBytes + 1, text, error))
        return false;
    if (text.size() > MaxFileBytes || !decode(text, &m_entries)) {
        m_entries.clear();
        if (error)
            *error = QStringLiteral("not a list of trusted certificates");
        return false;
    }
    return true;
}

bool TrustedCertificates::store(const QString& path, const Entry& entry, QString* error)
{
    QList<Entry> updated = m_entries;
    const QString server = entry.server.toLower();
    updated.removeIf([&](const Entry& e) { return e.server == server && e.port == entry.port; });
    updated.append(Entry{server, entry.port, entry.sha256});
    if (!writeFileAtomically(path, encode(updated), error))
        return false;
    m_entries = updated;
    return true;
}

QByteArray TrustedCertificates::sha256For(const QString& server, int port) const
{
    const QString name = server.toLower();
    for (const Entry& e : m_entries) {
        if (e.server == name && e.port == port)
            return e.sha256;
    }
    return {};
}
