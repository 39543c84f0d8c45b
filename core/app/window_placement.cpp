#include "core/app/window_placement.h"

namespace dmm {
namespace {

// One axis: size clamped to the screen; a start beyond the screen pulls the window
// back so that it ends at the edge, a start within the last 20 pixels moves to 20 inside.
void ClampAxis(int& start, int& size, int screen) {
    constexpr int kVisibleMargin = 20;
    if (size > screen) size = screen;
    if (start > screen)
        start = screen - size;
    else if (start > screen - kVisibleMargin)
        start = screen - kVisibleMargin;
}

}  // namespace

QRect ClampToScreen(const QRect& window, const QSize& screen) {
    int left = window.left(), top = window.top(), width = window.width(), height = window.height();
    ClampAxis(left, width, screen.width());
    ClampAxis(top, height, screen.height());
    return QRect(left, top, width, height);
}

}  // namespace dmm
