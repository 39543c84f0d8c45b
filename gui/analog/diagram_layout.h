#pragma once

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QStringList>

#include <vector>

#include "gui/analog/diagram_painter.h"

// Layout helpers of the block panels: columns of option labels beside multiplexers, and
// the item texts of the panels' combo boxes.
namespace dmm::gui::layout {

// A point, short to write in the long lists of wire corners.
inline QPointF P(double x, double y) {
    return {x, y};
}

inline constexpr int kLabelWidth = 50;
inline constexpr int kLabelHeight = 13;
inline constexpr int kLabelPitch = 14;

// "000" to "111" style items: count entries of digits binary digits, with optional
// prefix and suffix ("SAD1FP<" ... ">").
QStringList BinaryItems(int count, int digits, const QString& prefix = {},
                        const QString& suffix = {});
// stem0, stem1, ...
QStringList NumberedNames(const QString& stem, int count);
// A column of count option labels starting at (x, top).
std::vector<QRect> LabelColumn(int x, int top, int count, int width = kLabelWidth);
// The vertical centre of label k of a column.
double LabelCentre(int top, int k);
// The multiplexer that takes a column of count labels, between x = left and right.
QRectF MuxBesideLabels(int left, int right, int top, int count);

}  // namespace dmm::gui::layout
