#pragma once

#include <QRect>
#include <QRectF>
#include <cmath>

// Window geometry is reasoned about in twips (1/1440 inch) and crosses to
// the screen at a fixed 15 twips per pixel.
constexpr int TwipsPerPixel = 15;

// Rounds to the nearest pixel, halves to even.
inline int twipsToPixels(double twips)
{
    return int(std::nearbyint(twips / TwipsPerPixel));
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
