#include "gui/analog/diagram_parts.h"

namespace dmm::gui::parts {

void SwitchPicture(DiagramPainter& d, const QRectF& r, bool closed) {
    const bool vertical = r.height() > r.width();
    QPointF edgeA, edgeB, a, b;
    if (vertical) {
        edgeA = {r.center().x(), r.top()};
        edgeB = {r.center().x(), r.bottom()};
        a = edgeA + QPointF(0, 4);
        b = edgeB - QPointF(0, 4);
    } else {
        edgeA = {r.left(), r.center().y()};
        edgeB = {r.right(), r.center().y()};
        a = edgeA + QPointF(4, 0);
        b = edgeB - QPointF(4, 0);
    }
    d.Wire({edgeA, a}, closed);
    d.Wire({b, edgeB}, closed);
    d.Switch(a, b, closed);
}

double BufferLineOffset(const QRectF& r, bool bypassAbove) {
    return bypassAbove ? r.height() - 14 : 14;
}

void BufferWithBypass(DiagramPainter& d, const QRectF& r, bool bypassAbove, bool buffered) {
    const double line = r.top() + BufferLineOffset(r, bypassAbove);
    const double bypass = bypassAbove ? r.top() + 7 : r.bottom() - 7;
    const double left = r.left();
    const double right = r.right();
    const double tapIn = left + 6;
    const double tapOut = right - 6;
    const double triangleLeft = left + 16;
    const double triangleRight = right - 18;
    const double half = 11;
    const double switchA = left + r.width() * 0.32;
    const double switchB = right - r.width() * 0.32;

    // Through the buffer.
    d.Wire({{left, line}, {triangleLeft, line}}, buffered);
    d.Wire({{triangleRight, line}, {right, line}}, buffered);
    d.Buffer(QRectF(triangleLeft, line - half, triangleRight - triangleLeft, 2 * half), buffered);
    // Around it.
    d.Wire({{tapIn, line}, {tapIn, bypass}, {switchA, bypass}}, !buffered);
    d.Wire({{switchB, bypass}, {tapOut, bypass}, {tapOut, line}}, !buffered);
    d.Switch({switchA, bypass}, {switchB, bypass}, !buffered);
    d.Dot({tapIn, line}, !buffered);
    d.Dot({tapOut, line}, !buffered);
}

void ChopperPicture(DiagramPainter& d, const QRectF& r, bool crossed) {
    d.Chopper(r, crossed);
}

}  // namespace dmm::gui::parts
