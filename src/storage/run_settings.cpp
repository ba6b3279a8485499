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
    s.WindowLeft = r.WindowLeft;
    s.WindowTop = r.WindowTop;
    s.WindowWidth = r.WindowWidth;
    s.WindowHeight = r.WindowHeight;
    s.ServerTimeout = Milliseconds(r.serverTimeoutMs());
    s.MailColumnWidths = r.MailColumnWidths;
    s.AccountColumnWidths = r.AccountColumnWidths;
    s.RecheckIntervalMinutes = r.RecheckIntervalMinutes;
    s.FirstRunMarker = readFlag(r.FirstRunMarker, nonZeroFlag);
    s.TextFontName = r.TextFontName.trimmed();
    s.TextFontBold = readFlag(r.TextFontBold, boldFlag);
    s.TextFontSize = r.TextFontSize;
    s.DateStyle = static_cast<DateStyle>(r.DateStyle);
    s.UseApop = readFlag(r.UseApop, nonZeroFlag);
    s.LogSplit = readFlag(r.LogSplit, nonZeroFlag);
    s.TrayInEffect = readFlag(r.TrayOnClose, boxFlag);
    s.ApopSecret = unscrambleSecret(fromAnsi(r.ScrambledApopSecret));
    s.RunPassword = unscramblePassword(fromAnsi(r.ScrambledRunPassword));
}

// "Not >= 0" also catches NaN.
bool isNonNegative(double value)
{
    return value >= 0;
}

void applyWindowEdges(RunSettings& s, const std::optional<ScreenFacts>& screen)
{
    if (!isNonNegative(s.WindowLeft))
        s.WindowLeft = 0;
    if (!isNonNegative(s.WindowTop))
        s.WindowTop = 0;
    if (screen) {
        if (s.WindowLeft > screen->widthTwips - edgeMarginTwips)
            s.WindowLeft = 0;
        if (s.WindowTop > screen->heightTwips - edgeMarginTwips)
            s.WindowTop = 0;
    }
    // A damaged file must not hand the window a size it cannot convert.
    if (!std::isfinite(s.WindowWidth))
        s.WindowWidth = RunSettings::firstRunWindowWidth;
    if (!std::isfinite(s.WindowHeight))
        s.WindowHeight = RunSettings::firstRunWindowHeight;
}

void applyFont(RunSettings& s, const FontFacts& fonts)
{
    const TextFont font = chooseTextFont({s.TextFontName, s.TextFontSize, s.TextFontBold}, fonts);
    s.TextFontName = font.name;
    s.TextFontSize = font.size;
    s.TextFontBold = font.bold;
}

void applyTimeout(RunSettings& s)
{
    const double seconds = roundHalfToEven(s.ServerTimeout.count() / 1000.0);
    if (seconds < minTimeoutSeconds) {
        s.ServerTimeoutSeconds = minTimeoutSeconds;
        s.ServerTimeout = std::chrono::seconds(minTimeoutSeconds);
    } else if (seconds > maxTimeoutSeconds) {
        s.ServerTimeoutSeconds = maxTimeoutSeconds;
        s.ServerTimeout = std::chrono::seconds(maxTimeoutSeconds);
    } else {
        s.ServerTimeoutSeconds = std::int32_t(seconds);
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
    {&SettingsRecord::CheckSelectedOnly, &RunSettings::CheckSelectedOnly},
    {&SettingsRecord::AutoCheckOnOpen, &RunSettings::AutoCheckOnOpen},
    {&SettingsRecord::UseRetr, &RunSettings::UseRetr},
    {&SettingsRecord::DeleteEnabled, &RunSettings::DeleteEnabled},
    {&SettingsRecord::PlaySound, &RunSettings::PlaySound},
    {&SettingsRecord::TrayOnClose, &RunSettings::TrayOnClose},
    {&SettingsRecord::AutoStartTimer, &RunSettings::AutoStartTimer},
    {&SettingsRecord::ToolTipsOff, &RunSettings::ToolTipsOff},
    {&SettingsRecord::ContinuousAlarm, &RunSettings::ContinuousAlarm},
    {&SettingsRecord::IdleIfOffline, &RunSettings::IdleIfOffline},
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
    if (isBelowAsSent(s.DateStyle))
        s.DateStyle = DateStyle::AsSent;
    applyWindowEdges(s, screen);
    applyFont(s, fonts);
    if (s.RecheckIntervalMinutes > 9999 || s.RecheckIntervalMinutes < 1)
        s.RecheckIntervalMinutes = defaultIntervalMinutes;
    s.TrayOnClose = s.TrayInEffect;
    applyTimeout(s);
    applyWidthDefaults(s.MailColumnWidths, defaultMailColumnWidths);
    applyWidthDefaults(s.AccountColumnWidths, defaultAccountColumnWidths);
    return s;
}

SettingsRecord RunSettings::toRecord(const RandomUnit& random) const
{
    SettingsRecord r = readRecord;
    r.WindowLeft = WindowLeft;
    r.WindowTop = WindowTop;
    r.WindowWidth = WindowWidth;
    r.WindowHeight = WindowHeight;
    r.ServerTimeoutFixed = toFixedPoint(ServerTimeout);
    r.MailColumnWidths = MailColumnWidths;
    r.AccountColumnWidths = AccountColumnWidths;
    r.RecheckIntervalMinutes = RecheckIntervalMinutes;
    for (const BoxField& field : boxFields)
        r.*field.stored = writeFlag(this->*field.typed, readRecord.*field.stored, boxFlag);
    r.UseApop = writeFlag(UseApop, readRecord.UseApop, nonZeroFlag);
    r.ScrambledApopSecret = toAnsi(scrambleSecret(ApopSecret, random));
    r.FirstRunMarker = writeFlag(FirstRunMarker, readRecord.FirstRunMarker, nonZeroFlag);
    r.TextFontName = TextFontName;
    r.TextFontBold = writeFlag(TextFontBold, readRecord.TextFontBold, boldFlag);
    r.TextFontSize = TextFontSize;
    r.DateStyle = static_cast<std::int32_t>(DateStyle);
    r.ScrambledRunPassword = toAnsi(scramblePassword(RunPassword, random));
    r.LogSplit = writeFlag(LogSplit, readRecord.LogSplit, nonZeroFlag);
    return r;
}

void RunSettings::restorePage1Defaults()
{
    CheckSelectedOnly = false;
    AutoCheckOnOpen = false;
    PlaySound = false;
    ContinuousAlarm = false;
    IdleIfOffline = false;
    RecheckIntervalMinutes = defaultIntervalMinutes;
    AutoStartTimer = false;
    DeleteEnabled = false;
}

void RunSettings::restorePage2Defaults()
{
    TrayOnClose = false;
    DateStyle = ::DateStyle::AsSent;
    ServerTimeoutSeconds = defaultTimeoutSeconds;
    ServerTimeout = std::chrono::seconds(defaultTimeoutSeconds);
    ToolTipsOff = false;
}

void RunSettings::restorePage3Defaults()
{
    UseRetr = false;
    UseApop = false;
    ApopSecret.clear();
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
