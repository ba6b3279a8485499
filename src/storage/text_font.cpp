#include "storage/text_font.h"

namespace {

constexpr float defaultSize = 8;
constexpr float largestSize = 12;

QString withoutTrailingBlanks(QString text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

} // namespace

TextFont chooseTextFont(TextFont stored, const FontFacts& fonts)
{
    stored.name = withoutTrailingBlanks(stored.name);
    if (fonts.installedFamilies.isEmpty() || fonts.isInstalled(stored.name)) {
        // Written so that a size that is not a number counts as too small.
        if (!(stored.size >= 2))
            stored.size = defaultSize;
        else if (stored.size > largestSize)
            stored.size = largestSize;
        return stored;
    }
    // The system's own interface font beats the alphabetically first family,
    // which may well be a symbol font.
    TextFont fallback{fonts.systemDefaultFamily, defaultSize, false};
    for (const char* family : {"MS Sans Serif", "Arial", "Verdana"}) {
        if (fonts.isInstalled(QLatin1String(family))) {
            fallback.name = QLatin1String(family);
            break;
        }
    }
    if (fallback.name.isEmpty())
        fallback.name = fonts.installedFamilies.first();
    return fallback;
}
