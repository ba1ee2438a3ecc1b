#pragma once
// Window geometry is designed in twips (1/1440 inch); the screen's logical
// DPI turns it into pixels (15 twips per pixel at 96 DPI).

#include <QtGlobal>
#include <cmath>

namespace pm {

constexpr int kTwipsPerInch = 1440;

inline int twipsToPixels(int twips, qreal dpi)
{
    return int(std::lround(twips * dpi / kTwipsPerInch));
}

inline int pixelsToTwips(int pixels, qreal dpi)
{
    return int(std::lround(pixels * kTwipsPerInch / dpi));
}

}  // namespace pm
