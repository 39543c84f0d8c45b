#include "gui/analog/segment_geometry.h"

namespace dmm::gui {

SegmentLayout ComputeSegmentLayout(QSize size, int margin, int segWidth, int digits) {
    SegmentLayout layout;
    layout.size = size;
    const int m = margin;
    const int s = segWidth;
    const int n = digits > 0 ? digits : 1;
    const int height = size.height();
    layout.gap = (m + s) / 10;
    const int g = layout.gap;
    layout.cellWidth = (size.width() - g * (n - 1)) / n;
    const int w = layout.cellWidth;
    layout.halfSeg = s / 2;
    const int h = layout.halfSeg;
    layout.middle = height / 2 - m - s / 2 - 1;
    const int y = layout.middle;

    layout.cells.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        SegmentCell& cell = layout.cells[static_cast<size_t>(i)];
        const int x0 = i * (w + g);
        cell.x0 = x0;
        const int xl = x0 + m + h;
        const int xr = x0 + w - m - s - g - h;
        const QPoint tl(xl, m + h), ml(xl, m + y + h), bl(xl, height - m - h - 2);
        const QPoint tr(xr, m + h), mr(xr, m + y + h), br(xr, height - m - h - 2);
        const int xa = x0 + m + s;
        const int xb = x0 + w - m - 2 * s - g;
        const int xc = x0 + w - m - s - g;
        const int bottomInner = height - m - s - 2;
        const int bottomOuter = height - m - 2;
        cell.segments[0] = QPolygon({tl, {xa, m}, {xb, m}, tr, {xb, m + s}, {xa, m + s}});
        cell.segments[1] = QPolygon({tr, {xb, m + s}, {xb, m + y}, mr, {xc, m + y}, {xc, m + s}});
        cell.segments[2] = QPolygon(
            {mr, {xc, y + m + s}, {xc, bottomInner}, br, {xb, bottomInner}, {xb, y + m + s}});
        cell.segments[3] = QPolygon(
            {bl, {xa, bottomInner}, {xb, bottomInner}, br, {xb, bottomOuter}, {xa, bottomOuter}});
        cell.segments[4] = QPolygon({ml,
                                     {x0 + m, y + m + s},
                                     {x0 + m, bottomInner},
                                     bl,
                                     {xa, bottomInner},
                                     {xa, y + m + s}});
        cell.segments[5] =
            QPolygon({tl, {x0 + m, m + s}, {x0 + m, m + y}, ml, {xa, m + y}, {xa, m + s}});
        cell.segments[6] =
            QPolygon({ml, {xa, m + y}, {xb, m + y}, mr, {xb, m + s + y}, {xa, m + s + y}});
        const int px = x0 + w - m;
        cell.point = QPolygon({{px - s, height - m - s},
                               {px - s, height - m},
                               {px, height - m},
                               {px, height - m - s}});
    }
    return layout;
}

}  // namespace dmm::gui
