#include <gtest/gtest.h>

#include "core/app/placement_file.h"
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

// Wherever the file says a window was, it comes back wholly on the area it is placed in:
// sizeable or not, in any state, however far off or negative.
TEST(RestoredBounds, EveryWindowComesBackWhollyOnItsArea) {
    const QRect area(0, 0, 1280, 800);
    using State = WindowPlacement::State;
    for (State state : {State::Normal, State::Maximized, State::Minimized}) {
        for (QPoint at : {QPoint(5000, 5000), QPoint(-999, -999), QPoint(1000, 700)}) {
            const WindowPlacement e{"TADS", at.x(), at.y(), 600, 400, state, true};
            for (bool sizeable : {true, false}) {
                const QRect r = RestoredBounds(e, QSize(420, 380), sizeable, area);
                EXPECT_TRUE(area.contains(r)) << at.x() << ',' << at.y() << ' ' << sizeable;
                EXPECT_EQ(r.size(), sizeable ? QSize(600, 400) : QSize(420, 380));
            }
        }
    }
    // A sizeable window wider than the area takes its width; a fixed one that is wider
    // keeps its size with its left edge on the area's.
    WindowPlacement wide{"TAnxADC", 900, 10, 1900, 300, State::Normal, true};
    EXPECT_EQ(RestoredBounds(wide, QSize(), true, area), QRect(0, 10, 1280, 300));
    EXPECT_EQ(RestoredBounds(wide, QSize(1500, 300), false, area).topLeft(), QPoint(0, 10));
    // A second screen left of the primary one.
    const QRect left(-1920, 0, 1920, 1080);
    EXPECT_EQ(RestoredBounds(wide, QSize(), true, left), QRect(-1900, 10, 1900, 300));
}

TEST(PlaceWhollyInside, MovesAsLittleAsItCan) {
    const QRect area(0, 0, 1000, 700);
    EXPECT_EQ(PlaceWhollyInside(QRect(100, 100, 300, 200), area), QPoint(100, 100));
    EXPECT_EQ(PlaceWhollyInside(QRect(900, 650, 300, 200), area), QPoint(700, 500));
    EXPECT_EQ(PlaceWhollyInside(QRect(-50, -1, 300, 200), area), QPoint(0, 0));
}

TEST(ScreenOfWindow, TheScreenShowingMostOfItElseThePrimary) {
    const std::vector<QRect> screens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    EXPECT_EQ(ScreenOfWindow(QRect(1800, 100, 600, 400), screens), 1);
    EXPECT_EQ(ScreenOfWindow(QRect(100, 100, 600, 400), screens), 0);
    EXPECT_EQ(ScreenOfWindow(QRect(5000, 5000, 600, 400), screens), 0);
}

// A file full of names this build has no window for (40, the most it holds) gives way:
// the program's windows are saved, and the stale names keep what room is left.
TEST(MergePlacements, StaleNamesGiveWayToTheProgramsWindows) {
    std::vector<WindowPlacement> stale;
    for (int i = 0; i < kMaxPlacements; ++i)
        stale.push_back(
            {QString("TOld%1").arg(i), i, i, 10, 10, WindowPlacement::State::Normal, true});
    const std::vector<WindowPlacement> windows = {
        {"TMainPanel", 1, 2, 800, 600, WindowPlacement::State::Normal, true},
        {"TADS", 3, 4, 500, 400, WindowPlacement::State::Normal, false},
        {"TOld5", 9, 9, 99, 99, WindowPlacement::State::Normal, false}};
    const std::vector<WindowPlacement> saved = MergePlacements(stale, windows);
    ASSERT_EQ(saved.size(), static_cast<size_t>(kMaxPlacements));
    for (const WindowPlacement& w : windows) {
        const WindowPlacement* found = FindPlacement(saved, w.name);
        ASSERT_TRUE(found) << w.name.toStdString();
        EXPECT_EQ(found->Bounds(), w.Bounds());
    }
    EXPECT_TRUE(FindPlacement(saved, "TOld0"));
    EXPECT_FALSE(FindPlacement(saved, "TOld39"));
}

}  // namespace
}  // namespace dmm
