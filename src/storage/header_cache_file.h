#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The header cache file of the data folder: per mailbox (server, port, user
// name, never a password) the header blocks the server sent, by unique id.
// Binary, little-endian:
//   magic (8 bytes), format version (u32), mailbox count (u32),
//   per mailbox: server (u32 length + UTF-8), port (i32),
//                user name (u32 length + UTF-8), header count (u32),
//                per header: unique id (u32 length + bytes),
//                            header block (u32 length + bytes),
//   CRC-32 of everything before it (u32).
// A cache can always be fetched again, so a file that is not read whole, for
// whatever reason, is thrown away rather than repaired.

inline const QString HeaderCacheFileName = QStringLiteral("header-cache.bin");
constexpr quint32 HeaderCacheFileVersion = 1;

struct CachedHeader
{
    QByteArray uid;
    QByteArray block;

    bool operator==(const CachedHeader&) const = default;
};

struct CachedMailbox
{
    QString server;
    qint32 port = 0;
    QString userName;
    QList<CachedHeader> headers;

    bool operator==(const CachedMailbox&) const = default;
};

// The bytes a file of these mailboxes holds (20 + 16 per mailbox + 8 per
// header + the texts, ids and blocks).
QByteArray encodeHeaderCacheFile(const QList<CachedMailbox>& mailboxes);

// The mailboxes of a whole file of this format version; nullopt (with the
// reason) for anything else: another magic or version, a wrong checksum, a
// length or count running past the end, bytes left over.
std::optional<QList<CachedMailbox>> decodeHeaderCacheFile(const QByteArray& bytes,
                                                          QString* error = nullptr);

// Reads the file at path. A missing file is an empty cache and true. A file
// larger than maxBytes, anything but a regular file, or one that does not
// decode gives an empty cache, false and the reason. A file open to others
// is made owner-only first.
bool readHeaderCacheFile(const QString& path, qint64 maxBytes, QList<CachedMailbox>* mailboxes,
                         QString* error = nullptr);

// Replaces the file atomically and owner-only; a link at the path is
// replaced, never written through.
bool writeHeaderCacheFile(const QString& path, const QList<CachedMailbox>& mailboxes,
                          QString* error = nullptr);
