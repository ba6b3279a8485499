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

    float windowLeft = 0;
    float windowTop = 0;
    float windowWidth = 0;
    float windowHeight = 0;
    // Milliseconds, stored as a 64-bit fixed-point number (value x 10000).
    std::int64_t serverTimeoutFixed = 180000LL * 10000;
    std::array<float, 6> mailColumnWidths{1440, 1440, 2000, 3300, 2200, 1440};
    std::array<float, 4> accountColumnWidths{1440, 1440, 1440, 1440};
    std::int32_t recheckIntervalMinutes = 30;
    std::int16_t checkSelectedOnly = 0;
    std::int16_t autoCheckOnOpen = 0;
    std::int16_t useRetr = 0;
    std::int16_t deleteEnabled = 0;
    QByteArray reserved64 = QByteArray(48, ' ');
    std::int16_t playSound = 0;
    std::int16_t useApop = 0;
    QByteArray scrambledApopSecret = QByteArray(256, ' '); // raw 256 bytes
    std::int16_t trayOnClose = 0;
    std::int32_t firstRunMarker = 0;
    QByteArray reserved378 = QByteArray(12, '\0');
    QString textFontName = QStringLiteral("MS Sans Serif"); // untrimmed as read
    std::int16_t textFontBold = 0;
    float textFontSize = 8;
    std::int32_t dateStyle = 1;
    std::int16_t autoStartTimer = 0;
    std::int16_t toolTipsOff = 0;
    QByteArray scrambledRunPassword = QByteArray(64, ' '); // raw 64 bytes
    std::int16_t continuousAlarm = 0;
    std::int16_t idleIfOffline = 0;
    std::int16_t logSplit = 0;

    double serverTimeoutMs() const { return double(serverTimeoutFixed) / 10000.0; }
    void setServerTimeoutMs(std::int64_t ms) { serverTimeoutFixed = ms * 10000; }

    // Decodes exactly Size bytes; returns false (record untouched) otherwise.
    bool decode(const QByteArray& bytes);
    QByteArray encode() const;

    // The record of a fresh installation: the defaults, window fields 0,
    // empty run password and secret.
    static SettingsRecord templateRecord();
};
