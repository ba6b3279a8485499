#include "storage/run_settings.h"

#include "platform/codepage.h"
#include "storage/rounding.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double edgeMarginTwips = 3000;
constexpr std::int32_t defaultIntervalMinutes = 30;
constexpr std::int32_t minTimeoutSeconds = 5;
constexpr std::int32_t maxTimeoutSeconds = 600;
constexpr std::int32_t defaultTimeoutSeconds = 180;

// How a stored yes/no field reads and what the program writes for "yes"
// ("no" is always 0). The check boxes are on only at exactly 1; the log
// layout and the first-run marker take any non-zero value; the font
// dialog's bold flag is -1. APOP is used on any non-zero value, so its box
// shows that too.
struct FlagCoding
{
    std::int32_t yes;
    bool anyNonZeroIsYes;
};
constexpr FlagCoding boxFlag{1, false};
constexpr FlagCoding nonZeroFlag{1, true};
constexpr FlagCoding boldFlag{-1, true};

bool readFlag(std::int32_t stored, FlagCoding coding)
{
    return coding.anyNonZeroIsYes ? stored != 0 : stored == 1;
}

// An unchanged reading writes back the stored value itself, so an odd value
// the user never touched survives byte for byte.
template <typename Int> Int writeFlag(bool value, Int asRead, FlagCoding coding)
{
    if (readFlag(asRead, coding) == value)
        return asRead;
    return Int(value ? coding.yes : 0);
}

void copyFields(RunSettings& s, const SettingsRecord& r)
{
    s.windowLeft = r.windowLeft;
    s.windowTop = r.windowTop;
    s.windowWidth = r.windowWidth;
    s.windowHeight = r.windowHeight;
    s.serverTimeout = Milliseconds(r.serverTimeoutMs());
    s.mailColumnWidths = r.mailColumnWidths;
    s.accountColumnWidths = r.accountColumnWidths;
    s.recheckIntervalMinutes = r.recheckIntervalMinutes;
    s.firstRunMarker = readFlag(r.firstRunMarker, nonZeroFlag);
    s.textFontName = r.textFontName.trimmed();
    s.textFontBold = readFlag(r.textFontBold, boldFlag);
    s.textFontSize = r.textFontSize;
    s.dateStyle = static_cast<DateStyle>(r.dateStyle);
    s.useApop = readFlag(r.useApop, nonZeroFlag);
    s.logSplit = readFlag(r.logSplit, nonZeroFlag);
    s.trayInEffect = readFlag(r.trayOnClose, boxFlag);
    s.apopSecret = unscrambleSecret(fromAnsi(r.scrambledApopSecret));
    s.runPassword = unscramblePassword(fromAnsi(r.scrambledRunPassword));
}

// "Not >= 0" also catches NaN.
bool isNonNegative(double value)
{
    return value >= 0;
}

void applyWindowEdges(RunSettings& s, const std::optional<ScreenFacts>& screen)
{
    if (!isNonNegative(s.windowLeft))
        s.windowLeft = 0;
    if (!isNonNegative(s.windowTop))
        s.windowTop = 0;
    if (screen) {
        if (s.windowLeft > screen->widthTwips - edgeMarginTwips)
            s.windowLeft = 0;
        if (s.windowTop > screen->heightTwips - edgeMarginTwips)
            s.windowTop = 0;
    }
    // A damaged file must not hand the window a size it cannot convert.
    if (!std::isfinite(s.windowWidth))
        s.windowWidth = RunSettings::firstRunWindowWidth;
    if (!std::isfinite(s.windowHeight))
        s.windowHeight = RunSettings::firstRunWindowHeight;
}

void applyFont(RunSettings& s, const FontFacts& fonts)
{
    const TextFont font = chooseTextFont({s.textFontName, s.textFontSize, s.textFontBold}, fonts);
    s.textFontName = font.name;
    s.textFontSize = font.size;
    s.textFontBold = font.bold;
}

void applyTimeout(RunSettings& s)
{
    const double seconds = roundHalfToEven(s.serverTimeout.count() / 1000.0);
    if (seconds < minTimeoutSeconds) {
        s.serverTimeoutSeconds = minTimeoutSeconds;
        s.serverTimeout = std::chrono::seconds(minTimeoutSeconds);
    } else if (seconds > maxTimeoutSeconds) {
        s.serverTimeoutSeconds = maxTimeoutSeconds;
        s.serverTimeout = std::chrono::seconds(maxTimeoutSeconds);
    } else {
        s.serverTimeoutSeconds = std::int32_t(seconds);
    }
}

template <size_t N>
void applyWidthDefaults(std::array<float, N>& widths, const std::array<float, N>& defaults)
{
    for (size_t i = 0; i < N; ++i) {
        if (!isNonNegative(widths[i]))
            widths[i] = defaults[i];
    }
}

std::int64_t toFixedPoint(Milliseconds span)
{
    const double fixed = std::round(span.count() * 10000.0);
    if (!(fixed > double(std::numeric_limits<std::int64_t>::min())))
        return std::numeric_limits<std::int64_t>::min();
    if (!(fixed < double(std::numeric_limits<std::int64_t>::max())))
        return std::numeric_limits<std::int64_t>::max();
    return std::int64_t(fixed);
}

// The settings shown as check boxes, read and written by boxFlag.
struct BoxField
{
    std::int16_t SettingsRecord::*stored;
    bool RunSettings::*typed;
};
// clang-format off
constexpr BoxField boxFields[] = {
    {&SettingsRecord::checkSelectedOnly, &RunSettings::checkSelectedOnly},
    {&SettingsRecord::autoCheckOnOpen, &RunSettings::autoCheckOnOpen},
    {&SettingsRecord::useRetr, &RunSettings::useRetr},
    {&SettingsRecord::deleteEnabled, &RunSettings::deleteEnabled},
    {&SettingsRecord::playSound, &RunSettings::playSound},
    {&SettingsRecord::trayOnClose, &RunSettings::trayOnClose},
    {&SettingsRecord::autoStartTimer, &RunSettings::autoStartTimer},
    {&SettingsRecord::toolTipsOff, &RunSettings::toolTipsOff},
    {&SettingsRecord::continuousAlarm, &RunSettings::continuousAlarm},
    {&SettingsRecord::idleIfOffline, &RunSettings::idleIfOffline},
};
// clang-format on

} // namespace

RunSettings RunSettings::fromRecord(const SettingsRecord& record,
                                    const std::optional<ScreenFacts>& screen,
                                    const FontFacts& fonts)
{
    RunSettings s;
    s.readRecord = record;
    copyFields(s, record);
    for (const BoxField& field : boxFields)
        s.*field.typed = readFlag(record.*field.stored, boxFlag);
    if (isBelowAsSent(s.dateStyle))
        s.dateStyle = DateStyle::AsSent;
    applyWindowEdges(s, screen);
    applyFont(s, fonts);
    if (s.recheckIntervalMinutes > 9999 || s.recheckIntervalMinutes < 1)
        s.recheckIntervalMinutes = defaultIntervalMinutes;
    s.trayOnClose = s.trayInEffect;
    applyTimeout(s);
    applyWidthDefaults(s.mailColumnWidths, defaultMailColumnWidths);
    applyWidthDefaults(s.accountColumnWidths, defaultAccountColumnWidths);
    return s;
}

SettingsRecord RunSettings::toRecord(const RandomUnit& random) const
{
    SettingsRecord r = readRecord;
    r.windowLeft = windowLeft;
    r.windowTop = windowTop;
    r.windowWidth = windowWidth;
    r.windowHeight = windowHeight;
    r.serverTimeoutFixed = toFixedPoint(serverTimeout);
    r.mailColumnWidths = mailColumnWidths;
    r.accountColumnWidths = accountColumnWidths;
    r.recheckIntervalMinutes = recheckIntervalMinutes;
    for (const BoxField& field : boxFields)
        r.*field.stored = writeFlag(this->*field.typed, readRecord.*field.stored, boxFlag);
    r.useApop = writeFlag(useApop, readRecord.useApop, nonZeroFlag);
    r.scrambledApopSecret = toAnsi(scrambleSecret(apopSecret, random));
    r.firstRunMarker = writeFlag(firstRunMarker, readRecord.firstRunMarker, nonZeroFlag);
    r.textFontName = textFontName;
    r.textFontBold = writeFlag(textFontBold, readRecord.textFontBold, boldFlag);
    r.textFontSize = textFontSize;
    r.dateStyle = static_cast<std::int32_t>(dateStyle);
    r.scrambledRunPassword = toAnsi(scramblePassword(runPassword, random));
    r.logSplit = writeFlag(logSplit, readRecord.logSplit, nonZeroFlag);
    return r;
}

void RunSettings::restorePage1Defaults()
{
    checkSelectedOnly = false;
    autoCheckOnOpen = false;
    playSound = false;
    continuousAlarm = false;
    idleIfOffline = false;
    recheckIntervalMinutes = defaultIntervalMinutes;
    autoStartTimer = false;
    deleteEnabled = false;
}

void RunSettings::restorePage2Defaults()
{
    trayOnClose = false;
    dateStyle = ::DateStyle::AsSent;
    serverTimeoutSeconds = defaultTimeoutSeconds;
    serverTimeout = std::chrono::seconds(defaultTimeoutSeconds);
    toolTipsOff = false;
}

void RunSettings::restorePage3Defaults()
{
    useRetr = false;
    useApop = false;
    apopSecret.clear();
}

QRectF RunSettings::firstWindowPlacement(const std::optional<QRectF>& workArea)
{
    constexpr double twipsPerPixel = 15;
    if (!workArea)
        return QRectF(60 * twipsPerPixel, 60 * twipsPerPixel, 6600, 5400);
    double width = firstRunWindowWidth;
    double height = firstRunWindowHeight;
    if (workArea->width() < width)
        width = std::max(0.0, workArea->width() - 1800);
    if (workArea->height() < height)
        height = std::max(0.0, workArea->height() - 1200);
    const double left = workArea->left() + (workArea->width() - width) / 2;
    const double top = workArea->top() + (workArea->height() - height) / 2;
    return QRectF(left, top, width, height);
}
