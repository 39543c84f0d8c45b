#include "gui/analog/diagram_painter.h"

#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace dmm::gui {
namespace {

// Rotates v by degrees (screen coordinates: positive turns clockwise).
QPointF Rotated(QPointF v, double degrees) {
    const double a = degrees * M_PI / 180.0;
    return {v.x() * std::cos(a) - v.y() * std::sin(a), v.x() * std::sin(a) + v.y() * std::cos(a)};
}

double Length(QPointF v) {
    return std::hypot(v.x(), v.y());
}

}  // namespace

const DiagramStyle& DefaultDiagramStyle() {
    static const DiagramStyle style;
    return style;
}

QFont DiagramFont(TextRole role) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    switch (role) {
        case TextRole::Title:
            font.setPixelSize(12);
            font.setBold(true);
            break;
        case TextRole::Block:
            font.setPixelSize(11);
            font.setBold(true);
            break;
        case TextRole::Signal:
            font.setPixelSize(10);
            break;
        case TextRole::Note:
            font.setPixelSize(9);
            break;
    }
    return font;
}

DiagramPainter::DiagramPainter(QPainter& painter, const DiagramStyle& style)
    : p_(painter), style_(style) {
    p_.setRenderHint(QPainter::Antialiasing, true);
    p_.setRenderHint(QPainter::TextAntialiasing, true);
}

QPen DiagramPainter::LinePen(bool active) const {
    QPen pen(active ? style_.active : style_.ink, active ? style_.line + 0.5 : style_.line);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

void DiagramPainter::Wire(std::initializer_list<QPointF> points, bool active) {
    Wire(std::vector<QPointF>(points), active);
}

void DiagramPainter::Wire(const std::vector<QPointF>& points, bool active) {
    if (points.size() < 2) return;
    p_.save();
    p_.setPen(LinePen(active));
    p_.setBrush(Qt::NoBrush);
    p_.drawPolyline(points.data(), static_cast<int>(points.size()));
    p_.restore();
}

void DiagramPainter::Arrow(std::initializer_list<QPointF> points, bool active) {
    const std::vector<QPointF> list(points);
    if (list.size() < 2) return;
    // The line stops where the head begins, so that the tip stays sharp.
    std::vector<QPointF> shaft = list;
    const QPointF tip = list.back();
    const QPointF from = list[list.size() - 2];
    const QPointF direction = tip - from;
    const double length = Length(direction);
    if (length > 0) shaft.back() = tip - direction / length * 6.0;
    Wire(shaft, active);
    ArrowHead(tip, from, active);
}

void DiagramPainter::ArrowHead(QPointF tip, QPointF from, bool active) {
    const QPointF direction = tip - from;
    const double length = Length(direction);
    if (length <= 0) return;
    const QPointF back = direction / length * 7.0;
    const QPointF side = Rotated(back, 90) * 0.45;
    p_.save();
    p_.setPen(Qt::NoPen);
    p_.setBrush(active ? style_.active : style_.ink);
    p_.drawPolygon(QPolygonF({tip, tip - back + side, tip - back - side}));
    p_.restore();
}

void DiagramPainter::Dot(QPointF at, bool active) {
    p_.save();
    p_.setPen(Qt::NoPen);
    p_.setBrush(active ? style_.active : style_.ink);
    p_.drawEllipse(at, 2.6, 2.6);
    p_.restore();
}

void DiagramPainter::PinCircle(QPointF at) {
    p_.save();
    p_.setPen(QPen(style_.ink, 1.0));
    p_.setBrush(style_.paper);
    p_.drawEllipse(at, 2.5, 2.5);
    p_.restore();
}

void DiagramPainter::Block(const QRectF& r, const QString& name, const QString& second) {
    p_.save();
    p_.setPen(LinePen());
    p_.setBrush(style_.blockFill);
    p_.drawRoundedRect(r, 3, 3);
    p_.setPen(style_.ink);
    if (second.isEmpty()) {
        p_.setFont(DiagramFont(TextRole::Block));
        p_.drawText(r, Qt::AlignCenter, name);
    } else {
        const QRectF top(r.left(), r.top(), r.width(), r.height() / 2);
        const QRectF bottom(r.left(), r.center().y(), r.width(), r.height() / 2);
        p_.setFont(DiagramFont(TextRole::Block));
        p_.drawText(top, Qt::AlignHCenter | Qt::AlignBottom, name);
        p_.setFont(DiagramFont(TextRole::Note));
        p_.setPen(style_.signalText);
        p_.drawText(bottom.adjusted(0, 2, 0, 0), Qt::AlignHCenter | Qt::AlignTop, second);
    }
    p_.restore();
}

void DiagramPainter::Frame(const QRectF& r, const QString& title) {
    p_.save();
    QPen pen(style_.frame, 1.0, Qt::DashLine);
    p_.setPen(pen);
    p_.setBrush(Qt::NoBrush);
    p_.drawRoundedRect(r, 5, 5);
    if (!title.isEmpty()) {
        p_.setFont(DiagramFont(TextRole::Title));
        const QFontMetricsF metrics(p_.font());
        const QRectF label(r.left() + 8, r.top() - metrics.height() / 2,
                           metrics.horizontalAdvance(title) + 8, metrics.height());
        p_.fillRect(label, style_.paper);
        p_.setPen(style_.ink);
        p_.drawText(label, Qt::AlignCenter, title);
    }
    p_.restore();
}

QPointF DiagramPainter::MuxInput(const QRectF& r, int inputs, int k, Facing facing) {
    const int n = inputs > 0 ? inputs : 1;
    switch (facing) {
        case Facing::Right:
            return {r.left(), r.top() + (k + 0.5) * r.height() / n};
        case Facing::Left:
            return {r.right(), r.top() + (k + 0.5) * r.height() / n};
        case Facing::Down:
            return {r.left() + (k + 0.5) * r.width() / n, r.top()};
        case Facing::Up:
            return {r.left() + (k + 0.5) * r.width() / n, r.bottom()};
    }
    return r.center();
}

QPointF DiagramPainter::MuxOutput(const QRectF& r, Facing facing) {
    switch (facing) {
        case Facing::Right:
            return {r.right(), r.center().y()};
        case Facing::Left:
            return {r.left(), r.center().y()};
        case Facing::Down:
            return {r.center().x(), r.bottom()};
        case Facing::Up:
            return {r.center().x(), r.top()};
    }
    return r.center();
}

void DiagramPainter::Mux(const QRectF& r, int inputs, int selected, Facing facing) {
    // The narrow side is inset by a fifth of the wide one on both ends.
    const double insetY = r.height() * 0.12;
    const double insetX = r.width() * 0.12;
    QPolygonF shape;
    switch (facing) {
        case Facing::Right:
            shape << r.topLeft() << QPointF(r.right(), r.top() + insetY)
                  << QPointF(r.right(), r.bottom() - insetY) << r.bottomLeft();
            break;
        case Facing::Left:
            shape << QPointF(r.left(), r.top() + insetY) << r.topRight() << r.bottomRight()
                  << QPointF(r.left(), r.bottom() - insetY);
            break;
        case Facing::Down:
            shape << r.topLeft() << r.topRight() << QPointF(r.right() - insetX, r.bottom())
                  << QPointF(r.left() + insetX, r.bottom());
            break;
        case Facing::Up:
            shape << QPointF(r.left() + insetX, r.top()) << QPointF(r.right() - insetX, r.top())
                  << r.bottomRight() << r.bottomLeft();
            break;
    }
    p_.save();
    p_.setPen(LinePen());
    p_.setBrush(style_.blockFill);
    p_.drawPolygon(shape);
    if (selected >= 0 && selected < inputs) {
        const QPointF in = MuxInput(r, inputs, selected, facing);
        const QPointF out = MuxOutput(r, facing);
        // From just inside the input pin to just inside the output.
        const QPointF inward = (out - in) / std::max(1.0, Length(out - in)) * 3.0;
        p_.setPen(LinePen(true));
        p_.drawLine(in + inward, out - inward);
        p_.setPen(Qt::NoPen);
        p_.setBrush(style_.active);
        p_.drawEllipse(in + inward, 1.8, 1.8);
    }
    p_.restore();
}

void DiagramPainter::Buffer(const QRectF& r, bool inPath, Facing facing) {
    QPolygonF shape;
    if (facing == Facing::Left) {
        shape << r.topRight() << r.bottomRight() << QPointF(r.left(), r.center().y());
    } else {
        shape << r.topLeft() << r.bottomLeft() << QPointF(r.right(), r.center().y());
    }
    p_.save();
    QPen pen = LinePen();
    if (!inPath) {
        pen.setColor(style_.muted);
        pen.setStyle(Qt::DashLine);
    }
    p_.setPen(pen);
    p_.setBrush(inPath ? QBrush(style_.blockFill) : QBrush(Qt::NoBrush));
    p_.drawPolygon(shape);
    p_.setFont(DiagramFont(TextRole::Note));
    p_.setPen(inPath ? style_.ink : style_.muted);
    const QRectF label = facing == Facing::Left
                             ? QRectF(r.center().x() - 2, r.top(), r.width() / 2, r.height())
                             : QRectF(r.left() + 1, r.top(), r.width() / 2, r.height());
    p_.drawText(label, Qt::AlignCenter, QStringLiteral("1"));
    p_.restore();
}

void DiagramPainter::Amplifier(const QRectF& r, const QString& label, bool differential) {
    const double h = r.height();
    QPolygonF shape;
    if (differential) {
        shape << r.topLeft() << QPointF(r.right(), r.center().y() - h * 0.14)
              << QPointF(r.right(), r.center().y() + h * 0.14) << r.bottomLeft();
    } else {
        shape << r.topLeft() << QPointF(r.right(), r.center().y()) << r.bottomLeft();
    }
    p_.save();
    p_.setPen(LinePen());
    p_.setBrush(style_.blockFill);
    p_.drawPolygon(shape);
    p_.setFont(DiagramFont(TextRole::Note));
    p_.setPen(style_.ink);
    p_.drawText(QRectF(r.left() + 3, r.top() + h * 0.16, 10, 14), Qt::AlignCenter,
                QStringLiteral("+"));
    p_.drawText(QRectF(r.left() + 3, r.bottom() - h * 0.16 - 14, 10, 14), Qt::AlignCenter,
                QStringLiteral("\u2212"));
    p_.setFont(DiagramFont(TextRole::Block));
    p_.drawText(QRectF(r.left() + 6, r.top(), r.width() * 0.6, h), Qt::AlignCenter, label);
    p_.restore();
}

void DiagramPainter::Comparator(const QRectF& r) {
    Amplifier(r, QString(), false);
    // The hysteresis mark: two steps facing each other.
    const QPointF c(r.left() + r.width() * 0.36, r.center().y());
    const double w = 5, h = 4;
    p_.save();
    p_.setPen(QPen(style_.ink, 1.0));
    p_.setBrush(Qt::NoBrush);
    p_.drawPolyline(QPolygonF({c + QPointF(-w - 2, h), c + QPointF(w - 2, h),
                               c + QPointF(w - 2, -h), c + QPointF(w + 2, -h)}));
    p_.drawPolyline(QPolygonF({c + QPointF(-w - 2, h), c + QPointF(-w + 2, h),
                               c + QPointF(-w + 2, -h), c + QPointF(w + 2, -h)}));
    p_.restore();
}

void DiagramPainter::Crystal(QPointF from, QPointF to) {
    const QPointF span = to - from;
    const double length = Length(span);
    if (length <= 0) return;
    // Two plates with the quartz between them.
    Plates(from, to, 7.0, 8.0, 0.6);
    const QPointF unit = span / length;
    const QPointF normal = Rotated(unit, 90);
    const QPointF middle = (from + to) / 2;
    p_.save();
    p_.setPen(LinePen());
    p_.setBrush(style_.blockFill);
    p_.drawPolygon(
        QPolygonF({middle - unit * 3.5 - normal * 6.0, middle + unit * 3.5 - normal * 6.0,
                   middle + unit * 3.5 + normal * 6.0, middle - unit * 3.5 + normal * 6.0}));
    p_.restore();
}

void DiagramPainter::PulseTrain(const QRectF& r, int periods, bool active) {
    const int n = std::max(1, periods);
    const double step = r.width() / n;
    QPolygonF wave;
    for (int i = 0; i < n; ++i) {
        const double x = r.left() + i * step;
        wave << QPointF(x, r.bottom()) << QPointF(x, r.top()) << QPointF(x + step / 2, r.top())
             << QPointF(x + step / 2, r.bottom()) << QPointF(x + step, r.bottom());
    }
    p_.save();
    QPen pen = LinePen(active);
    pen.setWidthF(1.1);
    p_.setPen(pen);
    p_.setBrush(Qt::NoBrush);
    p_.drawPolyline(wave);
    p_.restore();
}

void DiagramPainter::Table(const QRectF& r, const QStringList& header,
                           const std::vector<QStringList>& rows, int highlightRow,
                           double firstColumn) {
    const int columns = static_cast<int>(header.size());
    if (columns == 0) return;
    const double rowHeight = r.height() / (static_cast<double>(rows.size()) + 1);
    const double first = firstColumn > 0 ? firstColumn : r.width() / columns;
    const double other = columns > 1 ? (r.width() - first) / (columns - 1) : 0;
    auto cell = [&](int row, int column) {
        const double x = column == 0 ? r.left() : r.left() + first + (column - 1) * other;
        return QRectF(x, r.top() + row * rowHeight, column == 0 ? first : other, rowHeight);
    };
    p_.save();
    p_.setBrush(style_.blockFill);
    p_.setPen(Qt::NoPen);
    p_.drawRect(QRectF(r.left(), r.top(), r.width(), rowHeight));
    if (highlightRow >= 0 && highlightRow < static_cast<int>(rows.size())) {
        QColor mark = style_.active;
        mark.setAlpha(40);
        p_.setBrush(mark);
        p_.drawRect(
            QRectF(r.left(), r.top() + (highlightRow + 1) * rowHeight, r.width(), rowHeight));
    }
    p_.setBrush(Qt::NoBrush);
    p_.setPen(QPen(style_.frame, 0.8));
    p_.drawRect(r);
    for (size_t i = 1; i <= rows.size(); ++i)
        p_.drawLine(QPointF(r.left(), r.top() + i * rowHeight),
                    QPointF(r.right(), r.top() + i * rowHeight));
    for (int c = 1; c < columns; ++c) {
        const double x = cell(0, c).left();
        p_.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
    }
    p_.setFont(DiagramFont(TextRole::Note));
    for (int c = 0; c < columns; ++c) {
        p_.setPen(style_.ink);
        p_.drawText(cell(0, c), Qt::AlignCenter, header[c]);
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        const bool marked = static_cast<int>(i) == highlightRow;
        p_.setPen(marked ? style_.active : style_.signalText);
        for (int c = 0; c < columns && c < rows[i].size(); ++c)
            p_.drawText(cell(static_cast<int>(i) + 1, c), Qt::AlignCenter, rows[i][c]);
    }
    p_.restore();
}

void DiagramPainter::SummingNode(QPointF centre, qreal radius) {
    p_.save();
    p_.setPen(LinePen());
    p_.setBrush(style_.paper);
    p_.drawEllipse(centre, radius, radius);
    p_.setFont(DiagramFont(TextRole::Block));
    p_.setPen(style_.ink);
    p_.drawText(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
                Qt::AlignCenter, QStringLiteral("\u03A3"));
    p_.restore();
}

void DiagramPainter::Switch(QPointF from, QPointF to, bool closed) {
    const QPointF span = to - from;
    const double length = Length(span);
    if (length <= 0) return;
    const QPointF unit = span / length;
    const double r = 2.2;
    const QPointF pivot = from + unit * r;
    const QPointF contact = to - unit * r;
    // An open blade is lifted by 28 degrees, away from the drawing's lower right.
    const QPointF blade = closed ? contact : pivot + Rotated(contact - pivot, -28) * 0.96;
    p_.save();
    QPen pen = LinePen(closed);
    pen.setCapStyle(Qt::RoundCap);
    p_.setPen(pen);
    p_.drawLine(pivot, blade);
    p_.setPen(QPen(style_.ink, 1.1));
    p_.setBrush(style_.paper);
    p_.drawEllipse(from, r, r);
    p_.drawEllipse(to, r, r);
    p_.restore();
}

void DiagramPainter::Chopper(const QRectF& r, bool crossed) {
    const double upper = r.top() + r.height() * 0.25;
    const double lower = r.bottom() - r.height() * 0.25;
    const double left = r.left() + 8;
    const double right = r.right() - 8;
    p_.save();
    p_.setPen(LinePen());
    p_.setBrush(style_.blockFill);
    p_.drawRoundedRect(r, 3, 3);
    p_.setPen(LinePen());
    p_.drawLine(QPointF(r.left(), upper), QPointF(left, upper));
    p_.drawLine(QPointF(r.left(), lower), QPointF(left, lower));
    p_.drawLine(QPointF(right, upper), QPointF(r.right(), upper));
    p_.drawLine(QPointF(right, lower), QPointF(r.right(), lower));
    QPen path = LinePen(true);
    path.setCapStyle(Qt::RoundCap);
    p_.setPen(path);
    if (crossed) {
        p_.drawLine(QPointF(left, upper), QPointF(right, lower));
        p_.drawLine(QPointF(left, lower), QPointF(right, upper));
    } else {
        p_.drawLine(QPointF(left, upper), QPointF(right, upper));
        p_.drawLine(QPointF(left, lower), QPointF(right, lower));
    }
    p_.setPen(QPen(style_.ink, 1.1));
    p_.setBrush(style_.paper);
    for (QPointF at : {QPointF(left, upper), QPointF(left, lower), QPointF(right, upper),
                       QPointF(right, lower)}) {
        p_.drawEllipse(at, 2.2, 2.2);
    }
    p_.restore();
}

void DiagramPainter::Resistor(QPointF from, QPointF to) {
    const QPointF span = to - from;
    const double length = Length(span);
    if (length <= 0) return;
    const QPointF unit = span / length;
    const QPointF normal = Rotated(unit, 90);
    const double lead = length * 0.2;
    const int peaks = 6;
    const double step = (length - 2 * lead) / peaks;
    QPolygonF zigzag;
    zigzag << from << from + unit * lead;
    for (int i = 0; i < peaks; ++i) {
        const double side = (i % 2 == 0) ? 4.0 : -4.0;
        zigzag << from + unit * (lead + step * (i + 0.5)) + normal * side;
    }
    zigzag << to - unit * lead << to;
    p_.save();
    p_.setPen(LinePen());
    p_.setBrush(Qt::NoBrush);
    p_.drawPolyline(zigzag);
    p_.restore();
}

void DiagramPainter::Capacitor(QPointF from, QPointF to) {
    Plates(from, to, 2.5, 7.0, 0.9);
}

void DiagramPainter::Plates(QPointF from, QPointF to, double gap, double half, double extra) {
    const QPointF span = to - from;
    const double length = Length(span);
    if (length <= 0) return;
    const QPointF unit = span / length;
    const QPointF normal = Rotated(unit, 90) * half;
    const QPointF middle = (from + to) / 2;
    const QPointF a = middle - unit * gap;
    const QPointF b = middle + unit * gap;
    p_.save();
    p_.setPen(LinePen());
    p_.drawLine(from, a);
    p_.drawLine(b, to);
    QPen plate = LinePen();
    plate.setWidthF(style_.line + extra);
    p_.setPen(plate);
    p_.drawLine(a - normal, a + normal);
    p_.drawLine(b - normal, b + normal);
    p_.restore();
}

void DiagramPainter::Ground(QPointF at) {
    p_.save();
    p_.setPen(LinePen());
    p_.drawLine(at, at + QPointF(0, 5));
    for (int i = 0; i < 3; ++i) {
        const double half = 7.0 - 2.5 * i;
        const double y = at.y() + 5 + 3 * i;
        p_.drawLine(QPointF(at.x() - half, y), QPointF(at.x() + half, y));
    }
    p_.restore();
}

void DiagramPainter::ClockPin(QPointF at, Facing inward) {
    QPointF tip = at;
    QPointF base1 = at, base2 = at;
    switch (inward) {
        case Facing::Down:
            tip += QPointF(0, 7);
            base1 += QPointF(-5, 0);
            base2 += QPointF(5, 0);
            break;
        case Facing::Up:
            tip += QPointF(0, -7);
            base1 += QPointF(-5, 0);
            base2 += QPointF(5, 0);
            break;
        case Facing::Right:
            tip += QPointF(7, 0);
            base1 += QPointF(0, -5);
            base2 += QPointF(0, 5);
            break;
        case Facing::Left:
            tip += QPointF(-7, 0);
            base1 += QPointF(0, -5);
            base2 += QPointF(0, 5);
            break;
    }
    p_.save();
    p_.setPen(QPen(style_.ink, 1.0));
    p_.setBrush(Qt::NoBrush);
    p_.drawPolyline(QPolygonF({base1, tip, base2}));
    p_.restore();
}

void DiagramPainter::Text(const QRectF& r, const QString& text, TextRole role,
                          Qt::Alignment align) {
    p_.save();
    p_.setFont(DiagramFont(role));
    p_.setPen(role == TextRole::Signal || role == TextRole::Note ? style_.signalText : style_.ink);
    p_.drawText(r, static_cast<int>(align), text);
    p_.restore();
}

void DiagramPainter::TextAt(QPointF at, const QString& text, Side side, TextRole role) {
    const QFontMetricsF metrics(DiagramFont(role));
    const double w = metrics.horizontalAdvance(text) + 2;
    const double h = metrics.height();
    QRectF box(at.x() - w / 2, at.y() - h / 2, w, h);
    switch (side) {
        case Side::Right:
            box.moveLeft(at.x() + 3);
            break;
        case Side::Left:
            box.moveRight(at.x() - 3);
            break;
        case Side::Above:
            box.moveBottom(at.y() - 1);
            break;
        case Side::Below:
            box.moveTop(at.y() + 1);
            break;
        case Side::Centre:
            break;
        case Side::AboveRight:
            box.moveBottom(at.y() - 1);
            box.moveLeft(at.x());
            break;
        case Side::BelowRight:
            box.moveTop(at.y() + 1);
            box.moveLeft(at.x());
            break;
    }
    Text(box, text, role, Qt::AlignCenter);
}

}  // namespace dmm::gui
