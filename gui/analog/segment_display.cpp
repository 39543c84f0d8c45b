#include "gui/analog/segment_display.h"

#include <QPainter>
#include <QPixmap>

#include "gui/analog/segment_glyphs.h"

namespace dmm::gui {

SegmentDisplay::SegmentDisplay(QWidget* parent) : QWidget(parent) {
    resize(40, 60);
    layout_ = ComputeSegmentLayout(size(), margin_, segWidth_, digit_);
}

void SegmentDisplay::SetOnColor(const QColor& color) {
    if (color == onColor_) return;
    onColor_ = color;
    update();
}

void SegmentDisplay::SetOffColor(const QColor& color) {
    if (color == offColor_) return;
    offColor_ = color;
    update();
}

void SegmentDisplay::SetBackColor(const QColor& color) {
    if (color == backColor_) return;
    backColor_ = color;
    update();
}

void SegmentDisplay::SetSegWidth(int width) {
    if (width == segWidth_) return;
    segWidth_ = width;
    Relayout();
}

void SegmentDisplay::SetMargin(int margin) {
    if (margin == margin_) return;
    margin_ = margin;
    Relayout();
}

void SegmentDisplay::SetDigit(int digits) {
    if (digits == digit_ || digits > kMaxDigits || digits < 1) return;
    digit_ = digits;
    // The caption is laid out again too: its glyphs depend on the number of cells.
    LayOutCaption();
    Relayout();
}

// Point position and layout mode shape the glyphs as well, so the caption is laid out
// again at once instead of waiting for the next caption.
void SegmentDisplay::SetDotCount(int count) {
    if (count == dotCount_) return;
    dotCount_ = count;
    LayOutCaption();
    update();
}

void SegmentDisplay::SetLeftZero(bool leftZero) {
    if (leftZero == leftZero_) return;
    leftZero_ = leftZero;
    LayOutCaption();
    update();
}

void SegmentDisplay::Relayout() {
    layout_ = ComputeSegmentLayout(size(), margin_, segWidth_, digit_);
    update();
}

const SegmentLayout& SegmentDisplay::Layout() {
    if (layout_.size != size() || static_cast<int>(layout_.cells.size()) != digit_) {
        layout_ = ComputeSegmentLayout(size(), margin_, segWidth_, digit_);
    }
    return layout_;
}

void SegmentDisplay::paintEvent(QPaintEvent*) {
    const SegmentLayout& layout = Layout();
    QPixmap bitmap(size());
    bitmap.fill(backColor_);
    {
        QPainter painter(&bitmap);
        painter.setPen(backColor_);
        for (size_t i = 0; i < layout.cells.size(); ++i) {
            const int glyph = i < glyphs_.size() ? glyphs_[i] : kGlyphBlank;
            const uint8_t bits = kSegmentGlyphs[static_cast<size_t>(glyph)];
            for (int k = 0; k < 7; ++k) {
                painter.setBrush((bits >> k) & 1 ? onColor_ : offColor_);
                painter.drawPolygon(layout.cells[i].segments[static_cast<size_t>(k)]);
            }
        }
        const int point = PointCell();
        if (point >= 0 && point < static_cast<int>(layout.cells.size())) {
            painter.setBrush(onColor_);
            painter.drawPolygon(layout.cells[static_cast<size_t>(point)].point);
        }
    }
    QPainter(this).drawPixmap(1, 1, bitmap);
}

TLcdArray::TLcdArray(QWidget* parent) : SegmentDisplay(parent) {
    LayOutCaption();
}

void TLcdArray::SetCaption(const QString& caption) {
    caption_ = caption;
    LayOutCaption();
    update();
}

int TLcdArray::PointCell() const {
    return DotCount() != 0 ? Digit() - DotCount() - 1 : -1;
}

void TLcdArray::LayOutCaption() {
    glyphs_ = LeftZero() ? LcdTextGlyphs(caption_, Digit())
                         : LcdNumberGlyphs(caption_, Digit(), DotCount());
}

TLedArray::TLedArray(QWidget* parent) : SegmentDisplay(parent) {
    LayOutCaption();
}

void TLedArray::SetCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    LayOutCaption();
    update();
}

int TLedArray::PointCell() const {
    return DotCount() != 0 ? DotCount() - 1 : -1;
}

void TLedArray::LayOutCaption() {
    glyphs_ = LedGlyphs(caption_, Digit(), DotCount(), LeftZero());
}

}  // namespace dmm::gui
