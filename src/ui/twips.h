#pragma once

#include <QRect>
#include <QRectF>
#include <algorithm>
#include <cmath>

// Window geometry is reasoned about in twips (1/1440 inch) and crosses to
// the screen at a fixed 15 twips per pixel.
constexpr int TwipsPerPixel = 15;

// The largest pixel distance a twips value crosses to: an X11 coordinate
// or size fits in 16 bits, and anything beyond is a damaged value.
constexpr int MaxPixels = 32767;

// Rounds to the nearest pixel, halves to even. The value is clamped to
// +-MaxPixels before it becomes an int (NaN gives 0): a stored number
// from a damaged file must not overflow the conversion.
inline int twipsToPixels(double twips)
{
    const double pixels = std::nearbyint(twips / TwipsPerPixel);
    if (std::isnan(pixels))
        return 0;
    return int(std::clamp(pixels, double(-MaxPixels), double(MaxPixels)));
}

inline double pixelsToTwips(int pixels)
{
    return double(pixels) * TwipsPerPixel;
}

// A rectangle in twips.
struct TwipsRect
{
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

inline QRect twipsRect(double left, double top, double width, double height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

inline QRectF toRectF(const TwipsRect& rect)
{
    return QRectF(rect.left, rect.top, rect.width, rect.height);
}

inline TwipsRect toTwipsRect(const QRectF& rect)
{
    return {rect.left(), rect.top(), rect.width(), rect.height()};
}
