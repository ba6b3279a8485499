// The header cache file as read from a damaged or hostile file. A first
// byte of 0 hands the rest over as the whole file; any other value puts the
// magic and version in front and the right checksum behind it, so the
// fields themselves are reached past the checksum.
#include "fuzz_check.h"
#include "storage/header_cache_file.h"
#include "support/common_crc32.h"

#include <QtEndian>
#include <cstddef>
#include <cstdint>

namespace {

QByteArray sealed(const QByteArray& fields)
{
    QByteArray file("QVHC\r\n\x1a\n", 8);
    char word[4];
    qToLittleEndian(HeaderCacheFileVersion, word);
    file.append(word, 4).append(fields);
    qToLittleEndian(bitwiseCrc32(file), word);
    return file.append(word, 4);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);
    const QByteArray file = data[0] == 0 ? rest : sealed(rest);
    const std::optional<QList<CachedMailbox>> decoded = decodeHeaderCacheFile(file);
    if (!decoded)
        return 0;
    // Nothing read is larger than what it was read from.
    qsizetype held = 0;
    for (const CachedMailbox& m : *decoded) {
        for (const CachedHeader& h : m.headers)
            held += h.uid.size() + h.block.size();
    }
    FUZZ_CHECK(held <= file.size());
    // What was read is written back and read again unchanged.
    const QByteArray again = encodeHeaderCacheFile(*decoded);
    const std::optional<QList<CachedMailbox>> reread = decodeHeaderCacheFile(again);
    FUZZ_CHECK(reread && *reread == *decoded);
    // Damage anywhere in a good file is noticed.
    QByteArray flipped = again;
    flipped[qsizetype(data[0]) % flipped.size()] ^= 0x10;
    FUZZ_CHECK(!decodeHeaderCacheFile(flipped));
    return 0;
}
