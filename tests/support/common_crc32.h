#pragma once

// CRC-32 (the zlib polynomial) bit by bit: the slow, obvious way, which the
// code under test does not take, to seal files the tests and fuzzers make.
#include <QByteArray>

inline quint32 bitwiseCrc32(const QByteArray& bytes)
{
    quint32 c = 0xffffffffU;
    for (const char byte : bytes) {
        c ^= quint8(byte);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ ((c & 1) != 0 ? 0xedb88320U : 0);
    }
    return ~c;
}
