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
    return same(a.windowLeft, b.windowLeft) && same(a.windowTop, b.windowTop) &&
           same(a.windowWidth, b.windowWidth) && same(a.windowHeight, b.windowHeight) &&
           same(a.ServerTimeoutMs, b.ServerTimeoutMs) &&
           same(a.mailColumnWidths, b.mailColumnWidths) &&
           same(a.accountColumnWidths, b.accountColumnWidths) &&
           a.recheckIntervalMinutes == b.recheckIntervalMinutes &&
           a.checkSelectedOnly == b.checkSelectedOnly && a.autoCheckOnOpen == b.autoCheckOnOpen &&
           a.useRetr == b.useRetr && a.deleteEnabled == b.deleteEnabled &&
           a.playSound == b.playSound && a.useApop == b.useApop && a.trayOnClose == b.trayOnClose &&
           a.firstRunMarker == b.firstRunMarker && a.textFontName == b.textFontName &&
           a.textFontBold == b.textFontBold && same(a.textFontSize, b.textFontSize) &&
           a.dateStyle == b.dateStyle && a.autoStartTimer == b.autoStartTimer &&
           a.toolTipsOff == b.toolTipsOff && a.continuousAlarm == b.continuousAlarm &&
           a.idleIfOffline == b.idleIfOffline && a.logSplit == b.logSplit &&
           a.trayInEffect == b.trayInEffect && a.serverTimeoutSeconds == b.serverTimeoutSeconds &&
           a.apopSecret == b.apopSecret && a.runPassword == b.runPassword;
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
    FUZZ_CHECK(s.dateStyle >= 1);
    FUZZ_CHECK(s.recheckIntervalMinutes >= 1 && s.recheckIntervalMinutes <= 9999);
    FUZZ_CHECK(s.serverTimeoutSeconds >= 5 && s.serverTimeoutSeconds <= 600);
    // Half-way rounds to even in the default rounding mode.
    FUZZ_CHECK(std::nearbyint(s.ServerTimeoutMs / 1000.0) == s.serverTimeoutSeconds);
    FUZZ_CHECK(s.windowLeft >= 0 && s.windowTop >= 0);
    if (screen) {
        FUZZ_CHECK(s.windowLeft == 0 || s.windowLeft <= screen->widthTwips - 3000);
        FUZZ_CHECK(s.windowTop == 0 || s.windowTop <= screen->heightTwips - 3000);
    }
    FUZZ_CHECK(std::isfinite(s.windowWidth) && std::isfinite(s.windowHeight));
    for (float w : s.mailColumnWidths)
        FUZZ_CHECK(w >= 0);
    for (float w : s.accountColumnWidths)
        FUZZ_CHECK(w >= 0);
    FUZZ_CHECK(s.textFontSize >= 2 && s.textFontSize <= 12);
    FUZZ_CHECK(fonts.isInstalled(s.textFontName) || s.textFontName == systemFamily);
    FUZZ_CHECK(s.trayOnClose == s.trayInEffect);
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
        fonts.installedFamilies << record.textFontName.trimmed();
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
