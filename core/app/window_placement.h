#pragma once

#include <QRect>
#include <QSize>

namespace dmm {

// Brings a main window back onto the screen: never larger than the screen, and at least
// 20 pixels of it inside the right and bottom edges.
QRect ClampToScreen(const QRect& window, const QSize& screen);

// The main window's client area never shrinks below this.
inline constexpr int kMinimumClientWidth = 240;
inline constexpr int kMinimumClientHeight = 300;

}  // namespace dmm
