#pragma once

#include "platform/date_style.h"
#include "platform/durations.h"
#include "storage/scramble.h"
#include "storage/settings_record.h"
#include "storage/text_font.h"

#include <QRectF>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

// What the loader needs to know about the screen, in twips.
struct ScreenFacts
{
    double widthTwips = 0;
    double heightTwips = 0;
};

// The window's settings in memory: one variable per record field (same
// names, the plain run password and secret instead of their scrambled
// forms, yes/no fields as bool, the date style as DateStyle, the server
// time-out as a duration) plus the values derived at load. Default values
// are those of a fresh installation.
struct RunSettings
{
    static constexpr std::array<float, 6> defaultMailColumnWidths{1440, 1440, 2000,
                                                                  3300, 2200, 1440};
    static constexpr std::array<float, 4> defaultAccountColumnWidths{1440, 1440, 1440, 1440};
    static constexpr float firstRunWindowWidth = 10230;
    static constexpr float firstRunWindowHeight = 5265;

    float windowLeft = 0;
    float windowTop = 0;
    float windowWidth = firstRunWindowWidth;
    float windowHeight = firstRunWindowHeight;
    Milliseconds serverTimeout{180000};
    std::array<float, 6> mailColumnWidths = defaultMailColumnWidths;
    std::array<float, 4> accountColumnWidths = defaultAccountColumnWidths;
    std::int32_t recheckIntervalMinutes = 30;
    bool checkSelectedOnly = false;
    bool autoCheckOnOpen = false;
    bool useRetr = false;
    bool deleteEnabled = false;
    bool playSound = false;
    bool useApop = false;
    bool trayOnClose = false;
    // The window has been placed once.
    bool firstRunMarker = false;
    QString textFontName = QStringLiteral("MS Sans Serif");
    bool textFontBold = false;
    float textFontSize = 8;
    ::DateStyle dateStyle = ::DateStyle::AsSent;
    bool autoStartTimer = false;
    bool toolTipsOff = false;
    bool continuousAlarm = false;
    bool idleIfOffline = false;
    bool logSplit = false;

    // trayOnClose as read: decides how this run of the program closes.
    bool trayInEffect = false;
    std::int32_t serverTimeoutSeconds = 180;
    QString apopSecret;
    QString runPassword;

    // The record as read; its reserved fields are written back unchanged, and
    // so is a stored yes/no whose reading the run did not change (a stored 2
    // reads as "no" and stays 2).
    SettingsRecord readRecord;

    // Copies the record and applies the load rules. Without screen facts the
    // window edges are only kept non-negative.
    static RunSettings fromRecord(const SettingsRecord& record,
                                  const std::optional<ScreenFacts>& screen, const FontFacts& fonts);

    // The record to save: every variable, the secrets scrambled afresh,
    // trayOnClose (not trayInEffect), reserved fields as read.
    SettingsRecord toRecord(const RandomUnit& random = {}) const;

    // The values of the three "Defaults" buttons (pages P. 1, P. 2, P. 3).
    void restorePage1Defaults();
    void restorePage2Defaults();
    void restorePage3Defaults();

    // The first placement of the window (twips) inside the work area, or the
    // fixed fallback when the work area is unknown.
    static QRectF firstWindowPlacement(const std::optional<QRectF>& workAreaTwips);
};
