#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

// The single 614-byte record of quorvamel.ini. Field names follow the
// record layout; all multi-byte values are little-endian.
struct SettingsRecord
{
    static constexpr int Size = 614;

    float WindowLeft = 0;
    float WindowTop = 0;
    float WindowWidth = 0;
    float WindowHeight = 0;
    // Milliseconds, stored as a 64-bit fixed-point number (value x 10000).
    std::int64_t ServerTimeoutFixed = 180000LL * 10000;
    std::array<float, 6> MailColumnWidths{1440, 1440, 2000, 3300, 2200, 1440};
    std::array<float, 4> AccountColumnWidths{1440, 1440, 1440, 1440};
    std::int32_t RecheckIntervalMinutes = 30;
    std::int16_t CheckSelectedOnly = 0;
    std::int16_t AutoCheckOnOpen = 0;
    std::int16_t UseRetr = 0;
    std::int16_t DeleteEnabled = 0;
    QByteArray Reserved64 = QByteArray(48, ' ');
    std::int16_t PlaySound = 0;
    std::int16_t UseApop = 0;
    QByteArray ScrambledApopSecret = QByteArray(256, ' '); // raw 256 bytes
    std::int16_t TrayOnClose = 0;
    std::int32_t FirstRunMarker = 0;
    QByteArray Reserved378 = QByteArray(12, '\0');
    QString TextFontName = QStringLiteral("MS Sans Serif"); // untrimmed as read
    std::int16_t TextFontBold = 0;
    float TextFontSize = 8;
    std::int32_t DateStyle = 1;
    std::int16_t AutoStartTimer = 0;
    std::int16_t ToolTipsOff = 0;
    QByteArray ScrambledRunPassword = QByteArray(64, ' '); // raw 64 bytes
    std::int16_t ContinuousAlarm = 0;
    std::int16_t IdleIfOffline = 0;
    std::int16_t LogSplit = 0;

    double serverTimeoutMs() const { return double(ServerTimeoutFixed) / 10000.0; }
    void setServerTimeoutMs(std::int64_t ms) { ServerTimeoutFixed = ms * 10000; }

    // Decodes exactly Size bytes; returns false (record untouched) otherwise.
    bool decode(const QByteArray& bytes);
    QByteArray encode() const;

    // The record of a fresh installation: the defaults, window fields 0,
    // empty run password and secret.
    static SettingsRecord templateRecord();
};
