#pragma once

#include <QRectF>

#include "gui/analog/diagram_painter.h"

// Pictures of the parts that show a state, painted inside their own rectangle so that
// the block panels can lay them over the diagram and swap them (DiagramPicture).
namespace dmm::gui::parts {

// A switch across the rectangle: terminals near the two ends of its long side, wire
// stubs out to the edges. Vertical when the rectangle is taller than wide.
void SwitchPicture(DiagramPainter& d, const QRectF& r, bool closed);

// A unity buffer with a bypass switch beside it. The signal runs left to right through
// the rectangle; bypassAbove puts the bypass above the signal line (else below).
// buffered: the buffer is in the path and the bypass is open; otherwise the bypass
// switch is closed and the buffer is out of the path.
void BufferWithBypass(DiagramPainter& d, const QRectF& r, bool bypassAbove, bool buffered);
// Where the signal line crosses a BufferWithBypass picture, from its top.
double BufferLineOffset(const QRectF& r, bool bypassAbove);

// The chopper with its two lines entering at a quarter and three quarters of the height.
void ChopperPicture(DiagramPainter& d, const QRectF& r, bool crossed);

}  // namespace dmm::gui::parts
