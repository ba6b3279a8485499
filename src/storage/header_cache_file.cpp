#include "storage/header_cache_file.h"

#include "storage/atomic_file.h"
#include "storage/file_checks.h"

#include <QtEndian>
#include <limits>
#include <zlib.h>

namespace {

// Binary from the first byte; the line ends and the ^Z show a file that
// went through a text conversion.
const QByteArray magic("QVHC\r\n\x1a\n", 8);
constexpr qsizetype ChecksumBytes = 4;
constexpr qsizetype FileHeadBytes = 8 + 4 + 4;
// The fewest bytes a mailbox and a header take: their length and count
// fields. A count larger than the rest of the file could hold is damage.
constexpr qsizetype MinMailboxBytes = 16;
constexpr qsizetype MinHeaderBytes = 8;

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// CRC-32 (zlib's, of zip and PNG): it catches every burst of damage up to
// 32 bits and all but one in 2^32 others, at a small share of a read's cost.
quint32 crc32Of(const char* data, qsizetype size)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    for (qsizetype done = 0; done < size;) {
        const auto chunk = uInt(qMin<qsizetype>(size - done, std::numeric_limits<uInt>::max()));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data + done), chunk);
        done += chunk;
    }
    return quint32(crc);
}

void appendU32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendBytes(QByteArray& out, const QByteArray& bytes)
{
    appendU32(out, quint32(bytes.size()));
    out.append(bytes);
}

// Reads fields off the front of the body; every length is checked against
// the bytes that remain before anything is copied.
class FieldReader
{
public:
    FieldReader(const char* data, qsizetype size) : m_data(data), m_size(size) {}

    qsizetype remaining() const { return m_size - m_pos; }

    bool u32(quint32* value)
    {
        if (remaining() < 4)
            return false;
        *value = qFromLittleEndian<quint32>(m_data + m_pos);
        m_pos += 4;
        return true;
    }
    bool bytes(QByteArray* out)
    {
        quint32 length = 0;
        if (!u32(&length) || qsizetype(length) > remaining())
            return false;
        *out = QByteArray(m_data + m_pos, qsizetype(length));
        m_pos += qsizetype(length);
        return true;
    }
    // A count of items of at least minBytes each that the rest can hold.
    bool count(quint32* value, qsizetype minBytes)
    {
        return u32(value) && qsizetype(*value) <= remaining() / minBytes;
    }

private:
    const char* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

bool readMailbox(FieldReader& reader, CachedMailbox* mailbox)
{
    QByteArray server, userName;
    quint32 port = 0, headerCount = 0;
    if (!reader.bytes(&server) || !reader.u32(&port) || !reader.bytes(&userName) ||
        !reader.count(&headerCount, MinHeaderBytes))
        return false;
    mailbox->server = QString::fromUtf8(server);
    mailbox->port = qint32(port);
    mailbox->userName = QString::fromUtf8(userName);
    mailbox->headers.reserve(headerCount);
    for (quint32 i = 0; i < headerCount; ++i) {
        CachedHeader header;
        if (!reader.bytes(&header.uid) || !reader.bytes(&header.block))
            return false;
        mailbox->headers.append(std::move(header));
    }
    return true;
}

} // namespace

QByteArray encodeHeaderCacheFile(const QList<CachedMailbox>& mailboxes)
{
    qsizetype size = FileHeadBytes + ChecksumBytes;
    for (const CachedMailbox& m : mailboxes) {
        size += MinMailboxBytes + 3 * (m.server.size() + m.userName.size());
        for (const CachedHeader& h : m.headers)
            size += MinHeaderBytes + h.uid.size() + h.block.size();
    }
    QByteArray out;
    out.reserve(size);
    out.append(magic);
    appendU32(out, HeaderCacheFileVersion);
    appendU32(out, quint32(mailboxes.size()));
    for (const CachedMailbox& m : mailboxes) {
        appendBytes(out, m.server.toUtf8());
        appendU32(out, quint32(m.port));
        appendBytes(out, m.userName.toUtf8());
        appendU32(out, quint32(m.headers.size()));
        for (const CachedHeader& h : m.headers) {
            appendBytes(out, h.uid);
            appendBytes(out, h.block);
        }
    }
    appendU32(out, crc32Of(out.constData(), out.size()));
    return out;
}

std::optional<QList<CachedMailbox>> decodeHeaderCacheFile(const QByteArray& bytes, QString* error)
{
    if (bytes.size() < FileHeadBytes + ChecksumBytes || !bytes.startsWith(magic)) {
        setError(error, QStringLiteral("not a header cache file"));
        return std::nullopt;
    }
    const auto version = qFromLittleEndian<quint32>(bytes.constData() + magic.size());
    if (version != HeaderCacheFileVersion) {
        setError(error, QStringLiteral("header cache file of format version %1").arg(version));
        return std::nullopt;
    }
    const qsizetype bodySize = bytes.size() - ChecksumBytes;
    if (crc32Of(bytes.constData(), bodySize) !=
        qFromLittleEndian<quint32>(bytes.constData() + bodySize)) {
        setError(error, QStringLiteral("header cache file damaged"));
        return std::nullopt;
    }
    FieldReader reader(bytes.constData() + magic.size() + 4, bodySize - magic.size() - 4);
    QList<CachedMailbox> mailboxes;
    quint32 mailboxCount = 0;
    bool whole = reader.count(&mailboxCount, MinMailboxBytes);
    for (quint32 i = 0; whole && i < mailboxCount; ++i) {
        CachedMailbox mailbox;
        whole = readMailbox(reader, &mailbox);
        mailboxes.append(std::move(mailbox));
    }
    if (!whole || reader.remaining() != 0) {
        setError(error, QStringLiteral("header cache file damaged"));
        return std::nullopt;
    }
    return mailboxes;
}

bool readHeaderCacheFile(const QString& path, qint64 maxBytes, QList<CachedMailbox>* mailboxes,
                         QString* error)
{
    mailboxes->clear();
    const PathKind kind = pathKind(path);
    if (kind == PathKind::Missing)
        return true;
    QByteArray bytes;
    if (kind == PathKind::RegularFile && !makeFileOwnerOnly(path, error))
        return false;
    if (!readFileHead(path, maxBytes + 1, bytes, error))
        return false;
    if (bytes.size() > maxBytes) {
        setError(error, QStringLiteral("header cache file larger than %1 bytes").arg(maxBytes));
        return false;
    }
    std::optional<QList<CachedMailbox>> decoded = decodeHeaderCacheFile(bytes, error);
    if (!decoded)
        return false;
    *mailboxes = std::move(*decoded);
    return true;
}

bool writeHeaderCacheFile(const QString& path, const QList<CachedMailbox>& mailboxes,
                          QString* error)
{
    return writeFileAtomically(path, encodeHeaderCacheFile(mailboxes), error,
                               SaveDurability::Rebuildable);
}
