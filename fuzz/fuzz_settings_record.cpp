// The settings record as read from a damaged or hostile file: decoding,
// the load rules, and saving and loading again.
#include "fuzz_check.h"
#include "storage/run_settings.h"
#include "storage/settings_record.h"

#include <QtEndian>
#include <bit>
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr int fontNameAt = 390;
constexpr int fontNameEnd = 518;
const QLatin1String systemFamily("Sans Default");

bool same(float a, float b)
{
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

bool same(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

template <size_t N> bool same(const std::array<float, N>& a, const std::array<float, N>& b)
{
    for (size_t i = 0; i < N; ++i) {
        if (!same(a[i], b[i]))
            return false;
    }
    return true;
}

bool sameSettings(const RunSettings& a, const RunSettings& b)
{
    return same(a.WindowLeft, b.WindowLeft) && same(a.WindowTop, b.WindowTop) &&
           same(a.WindowWidth, b.WindowWidth) && same(a.WindowHeight, b.WindowHeight) &&
           same(a.ServerTimeoutMs, b.ServerTimeoutMs) &&
           same(a.MailColumnWidths, b.MailColumnWidths) &&
           same(a.AccountColumnWidths, b.AccountColumnWidths) &&
           a.RecheckIntervalMinutes == b.RecheckIntervalMinutes &&
           a.CheckSelectedOnly == b.CheckSelectedOnly && a.AutoCheckOnOpen == b.AutoCheckOnOpen &&
           a.UseRetr == b.UseRetr && a.DeleteEnabled == b.DeleteEnabled &&
           a.PlaySound == b.PlaySound && a.UseApop == b.UseApop && a.TrayOnClose == b.TrayOnClose &&
           a.FirstRunMarker == b.FirstRunMarker && a.TextFontName == b.TextFontName &&
           a.TextFontBold == b.TextFontBold && same(a.TextFontSize, b.TextFontSize) &&
           a.DateStyle == b.DateStyle && a.AutoStartTimer == b.AutoStartTimer &&
           a.ToolTipsOff == b.ToolTipsOff && a.ContinuousAlarm == b.ContinuousAlarm &&
           a.IdleIfOffline == b.IdleIfOffline && a.LogSplit == b.LogSplit &&
           a.TrayInEffect == b.TrayInEffect && a.ServerTimeoutSeconds == b.ServerTimeoutSeconds &&
           a.ApopSecret == b.ApopSecret && a.RunPassword == b.RunPassword;
}

// The same filler on every save, so two saves can be compared byte for byte.
RandomUnit fixedFiller()
{
    auto n = std::make_shared<int>(0);
    return [n] { return double((*n)++ % 97) / 97.0; };
}

void checkLoadRules(const RunSettings& s, const std::optional<ScreenFacts>& screen,
                    const FontFacts& fonts)
{
    FUZZ_CHECK(s.DateStyle >= 1);
    FUZZ_CHECK(s.RecheckIntervalMinutes >= 1 && s.RecheckIntervalMinutes <= 9999);
    FUZZ_CHECK(s.ServerTimeoutSeconds >= 5 && s.ServerTimeoutSeconds <= 600);
    // Half-way rounds to even in the default rounding mode.
    FUZZ_CHECK(std::nearbyint(s.ServerTimeoutMs / 1000.0) == s.ServerTimeoutSeconds);
    FUZZ_CHECK(s.WindowLeft >= 0 && s.WindowTop >= 0);
    if (screen) {
        FUZZ_CHECK(s.WindowLeft == 0 || s.WindowLeft <= screen->widthTwips - 3000);
        FUZZ_CHECK(s.WindowTop == 0 || s.WindowTop <= screen->heightTwips - 3000);
    }
    FUZZ_CHECK(std::isfinite(s.WindowWidth) && std::isfinite(s.WindowHeight));
    for (float w : s.MailColumnWidths)
        FUZZ_CHECK(w >= 0);
    for (float w : s.AccountColumnWidths)
        FUZZ_CHECK(w >= 0);
    FUZZ_CHECK(s.TextFontSize >= 2 && s.TextFontSize <= 12);
    FUZZ_CHECK(fonts.isInstalled(s.TextFontName) || s.TextFontName == systemFamily);
    FUZZ_CHECK(s.TrayOnClose == s.TrayInEffect);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray untouched = SettingsRecord().encode();
    SettingsRecord record;
    FUZZ_CHECK(record.decode(input) == (size == SettingsRecord::Size));
    if (size != SettingsRecord::Size)
        FUZZ_CHECK(record.encode() == untouched);

    // Any input makes a record: its first 614 bytes; what follows picks the
    // screen and the installed fonts.
    QByteArray bytes = input.left(SettingsRecord::Size);
    bytes.append(QByteArray(SettingsRecord::Size - bytes.size(), '\0'));
    const QByteArray extra = input.mid(SettingsRecord::Size);
    FUZZ_CHECK(record.decode(bytes));

    // Decoding keeps every byte: what is read is what is written back.
    const QByteArray encoded = record.encode();
    FUZZ_CHECK(encoded.size() == SettingsRecord::Size);
    FUZZ_CHECK(encoded.left(fontNameAt) == bytes.left(fontNameAt));
    FUZZ_CHECK(encoded.mid(fontNameEnd) == bytes.mid(fontNameEnd));
    SettingsRecord again;
    FUZZ_CHECK(again.decode(encoded) && again.encode() == encoded);

    const std::uint8_t choice = extra.isEmpty() ? 0 : std::uint8_t(extra.at(0));
    std::optional<ScreenFacts> screen;
    if (choice & 1) {
        const std::int32_t w =
            extra.size() >= 5 ? qFromLittleEndian<std::int32_t>(extra.constData() + 1) : 0;
        screen = ScreenFacts{double(w % 100000), double((w / 7) % 100000)};
    }
    FontFacts fonts;
    fonts.systemDefaultFamily = systemFamily;
    if (choice & 2)
        fonts.installedFamilies << record.TextFontName.trimmed();
    if (choice & 4)
        fonts.installedFamilies << QStringLiteral("Arial");

    const RunSettings loaded = RunSettings::fromRecord(record, screen, fonts);
    checkLoadRules(loaded, screen, fonts);

    // Saving and loading again changes nothing, and the next save is the
    // same bytes; the reserved fields travel unchanged.
    const QByteArray saved = loaded.toRecord(fixedFiller()).encode();
    FUZZ_CHECK(saved.mid(64, 48) == bytes.mid(64, 48));
    FUZZ_CHECK(saved.mid(378, 12) == bytes.mid(378, 12));
    SettingsRecord savedRecord;
    FUZZ_CHECK(savedRecord.decode(saved));
    const RunSettings reloaded = RunSettings::fromRecord(savedRecord, screen, fonts);
    FUZZ_CHECK(sameSettings(loaded, reloaded));
    FUZZ_CHECK(reloaded.toRecord(fixedFiller()).encode() == saved);
    return 0;
}
