#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The server certificates the user chose to trust although the system's
// trusted certificates do not vouch for them: per server and port, the
// SHA-256 digest of exactly one certificate. Kept in a text file of the
// data folder, written whole and owner-only.
class TrustedCertificates
{
public:
    static inline const QString FileName = QStringLiteral("trusted-certificates.txt");

    struct Entry
    {
        QString server; // lower-case
        int port = 0;
        QByteArray sha256; // 32 bytes
    };

    // A missing file is an empty list. A file that cannot be read or is not
    // ours gives an empty list and false with the reason.
    bool load(const QString& path, QString* error = nullptr);
    // Adds or replaces the entry of server and port and writes the file.
    bool store(const QString& path, const Entry& entry, QString* error = nullptr);

    // The digest trusted for server and port; empty when none.
    QByteArray sha256For(const QString& server, int port) const;
    const QList<Entry>& entries() const { return m_entries; }

    static QByteArray encode(const QList<Entry>& entries);
    static bool decode(const QByteArray& text, QList<Entry>* entries);

private:
    QList<Entry> m_entries;
};
