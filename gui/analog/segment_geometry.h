#pragma once

#include <QPolygon>
#include <QRect>
#include <QSize>

#include <array>
#include <vector>

namespace dmm::gui {

// Where the segments of one digit cell lie. Segment k is bit k of a glyph.
struct SegmentCell {
    int x0 = 0;
    std::array<QPolygon, 7> segments;
    QPolygon point;  // the decimal point square
};

// The layout of a row of seven-segment cells, computed for a control size.
struct SegmentLayout {
    QSize size;
    int gap = 0;  // between cells
    int cellWidth = 0;
    int halfSeg = 0;  // half the segment thickness
    int middle = 0;   // vertical offset of the middle segment
    std::vector<SegmentCell> cells;
};

// Segments are hexagons with pointed ends, so that neighbours meet in mitred corners.
SegmentLayout ComputeSegmentLayout(QSize size, int margin, int segWidth, int digits);

}  // namespace dmm::gui
