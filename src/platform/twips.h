#pragma once

#include <QRect>
#include <cmath>

namespace tarnwick {

inline constexpr double kTwipsPerPixel = 15.0;

inline int TwipsToPixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

inline QRect TwipsRect(int left, int top, int width, int height) {
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

inline QRect TwipsToPixels(const QRect& twips) {
    return TwipsRect(twips.left(), twips.top(), twips.width(), twips.height());
}

}  // namespace tarnwick
