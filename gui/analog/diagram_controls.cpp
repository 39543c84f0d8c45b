#include "gui/analog/diagram_controls.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

namespace dmm::gui {

QColor WindowColour() {
    return QApplication::palette().color(QPalette::Base);
}
QColor ButtonFaceColour() {
    return QApplication::palette().color(QPalette::Button);
}

BoundLabel::BoundLabel(const QString& name, const QString& caption, Shape shape, QWidget* parent)
    : QLabel(caption, parent), shape_(shape) {
    setObjectName(name);
    setAlignment(Qt::AlignCenter);
    QFont font = DiagramFont(TextRole::Signal);
    font.setBold(shape == Shape::Panel);
    setFont(font);
    const bool clickable = shape == Shape::Panel || shape == Shape::Cell;
    if (clickable) setCursor(Qt::PointingHandCursor);
    Paint(shape == Shape::Cell ? ButtonFaceColour() : WindowColour(), Qt::black);
}

void BoundLabel::Paint(const QColor& background, const QColor& text) {
    if (background == background_ && text == foreground_) return;
    background_ = background;
    foreground_ = text;
    QPalette colours = palette();
    colours.setColor(QPalette::Window, background);
    colours.setColor(QPalette::WindowText, text);
    setPalette(colours);
    update();
}

void BoundLabel::PaintChosen(bool chosen, const QColor& offBackground) {
    if (chosen)
        Paint(Qt::black, WindowColour());
    else
        Paint(offBackground, Qt::black);
}

void BoundLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const DiagramStyle& style = DefaultDiagramStyle();
    QColor border = shape_ == Shape::Panel ? style.ink : style.frame;
    if (!isEnabled()) border = style.muted;
    const bool clickable = shape_ == Shape::Panel || shape_ == Shape::Cell;
    if (hover_ && isEnabled() && clickable) border = style.active;
    if (shape_ == Shape::Readout) {
        painter.fillRect(rect(), background_);
    } else if (shape_ == Shape::Display) {
        painter.setPen(QPen(style.frame, 1.0));
        painter.setBrush(background_);
        painter.drawRoundedRect(box, 2, 2);
    } else {
        painter.setPen(QPen(border, shape_ == Shape::Panel ? 1.2 : 1.0));
        painter.setBrush(isEnabled() ? background_ : ButtonFaceColour());
        painter.drawRoundedRect(box, shape_ == Shape::Panel ? 3 : 2,
                                shape_ == Shape::Panel ? 3 : 2);
    }
    painter.setFont(font());
    painter.setPen(isEnabled() ? foreground_ : style.muted);
    painter.drawText(TextArea(), static_cast<int>(alignment()), text());
}

QRect BoundLabel::TextArea() const {
    return shape_ == Shape::Display ? rect().adjusted(6, 0, -6, 0) : rect();
}

void BoundLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void BoundLabel::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QLabel::enterEvent(event);
}

void BoundLabel::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QLabel::leaveEvent(event);
}

DiagramGroup::DiagramGroup(const QString& name, const QString& title, const QRect& geometry,
                           QWidget* parent)
    : QFrame(parent), title_(title) {
    setObjectName(name);
    setGeometry(geometry);
}

void DiagramGroup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), DefaultDiagramStyle().paper);
    DiagramPainter diagram(painter);
    // The title sits on the top edge; the frame starts half a title line down.
    const double top = 8;
    diagram.Frame(QRectF(0.5, top, width() - 1.0, height() - top - 0.5), title_);
}

DiagramPicture::DiagramPicture(const QString& name, const QRect& geometry, PaintFunction paint,
                               QWidget* parent)
    : QWidget(parent), paint_(std::move(paint)) {
    setObjectName(name);
    setGeometry(geometry);
    setCursor(Qt::PointingHandCursor);
}

void DiagramPicture::SetClickable(bool clickable) {
    clickable_ = clickable;
    setCursor(clickable ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void DiagramPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DiagramPainter diagram(painter);
    if (hover_ && clickable_ && isEnabled()) {
        QColor halo = diagram.style().active;
        halo.setAlpha(28);
        painter.setPen(Qt::NoPen);
        painter.setBrush(halo);
        painter.drawRoundedRect(QRectF(rect()), 4, 4);
    }
    if (!isEnabled()) painter.setOpacity(0.45);
    if (paint_) paint_(diagram, QRectF(rect()));
}

void DiagramPicture::mouseReleaseEvent(QMouseEvent* event) {
    if (clickable_ && event->button() == Qt::LeftButton &&
        rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    QWidget::mouseReleaseEvent(event);
}

void DiagramPicture::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QWidget::enterEvent(event);
}

void DiagramPicture::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QWidget::leaveEvent(event);
}

}  // namespace dmm::gui
