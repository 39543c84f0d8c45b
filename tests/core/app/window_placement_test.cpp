#include <gtest/gtest.h>

#include "core/app/window_placement.h"

namespace dmm {
namespace {

TEST(ClampToScreen, KeepsWindowsOnTheScreen) {
    const QSize screen(1920, 1080);
    // Inside: unchanged.
    EXPECT_EQ(ClampToScreen(QRect(100, 50, 800, 600), screen), QRect(100, 50, 800, 600));
    // Larger than the screen: cut to the screen size.
    EXPECT_EQ(ClampToScreen(QRect(0, 0, 4000, 3000), screen).size(), screen);
    // Starting within the last 20 pixels: moved to 20 pixels inside the edge.
    EXPECT_EQ(ClampToScreen(QRect(1910, 1075, 800, 600), screen).topLeft(), QPoint(1900, 1060));
    // Starting beyond the screen: pulled back so that it ends at the edge.
    EXPECT_EQ(ClampToScreen(QRect(2500, 1500, 800, 600), screen).topLeft(), QPoint(1120, 480));
}

}  // namespace
}  // namespace dmm
