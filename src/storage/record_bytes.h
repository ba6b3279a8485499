#pragma once

#include <QByteArray>
#include <QtEndian>
#include <bit>
#include <cstdint>
#include <cstring>

// Little-endian access to fixed offsets of a record buffer. Callers make
// sure the buffer holds offset + size bytes.
namespace recordbytes {

template <typename T> T readInt(const QByteArray& bytes, int offset)
{
    return qFromLittleEndian<T>(bytes.constData() + offset);
}

template <typename T> void writeInt(QByteArray& bytes, int offset, T value)
{
    qToLittleEndian<T>(value, bytes.data() + offset);
}

inline float readFloat(const QByteArray& bytes, int offset)
{
    return std::bit_cast<float>(readInt<std::uint32_t>(bytes, offset));
}

inline void writeFloat(QByteArray& bytes, int offset, float value)
{
    writeInt<std::uint32_t>(bytes, offset, std::bit_cast<std::uint32_t>(value));
}

// Copies at most width bytes of the field; a shorter field is padded.
inline void writeRaw(QByteArray& bytes, int offset, const QByteArray& field, int width,
                     char pad = ' ')
{
    const int n = field.size() < width ? int(field.size()) : width;
    std::memset(bytes.data() + offset, pad, size_t(width));
    std::memcpy(bytes.data() + offset, field.constData(), size_t(n));
}

} // namespace recordbytes
