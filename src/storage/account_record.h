#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// One 454-byte record of pop3user.ini.
struct AccountRecord
{
    static constexpr int Size = 454;

    QString displayName;       // 64
    QString userName;          // 64
    QString scrambledPassword; // 64, never trimmed
    QString serverName;        // 256
    std::int32_t port = 0;
    std::int16_t checked = 0;

    // Decodes up to Size bytes; missing bytes of a short final record read
    // as spaces (text) and zero (numbers).
    static AccountRecord decode(const QByteArray& bytes);
    QByteArray encode() const;

    // The bytes cut or completed to Size, missing bytes as decode reads them.
    static QByteArray completeBytes(const QByteArray& bytes);
};
