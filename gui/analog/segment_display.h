#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <vector>

#include "gui/analog/segment_geometry.h"

namespace dmm::gui {

// A row of seven-segment digits drawn in code. The LCD and LED displays share the
// geometry, colours and painting; they differ in how the caption becomes glyphs and in
// which cell carries the decimal point.
class SegmentDisplay : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor OnColor READ OnColor WRITE SetOnColor)
    Q_PROPERTY(QColor OffColor READ OffColor WRITE SetOffColor)
    Q_PROPERTY(QColor BackColor READ BackColor WRITE SetBackColor)
    Q_PROPERTY(int SegWidth READ SegWidth WRITE SetSegWidth)
    Q_PROPERTY(int Margin READ Margin WRITE SetMargin)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int Digit READ Digit WRITE SetDigit)
    Q_PROPERTY(int DotCount READ DotCount WRITE SetDotCount)
    Q_PROPERTY(bool LeftZero READ LeftZero WRITE SetLeftZero)
  public:
    QColor OnColor() const { return onColor_; }
    QColor OffColor() const { return offColor_; }
    QColor BackColor() const { return backColor_; }
    int SegWidth() const { return segWidth_; }
    int Margin() const { return margin_; }
    QString Caption() const { return caption_; }
    int Digit() const { return digit_; }
    int DotCount() const { return dotCount_; }
    bool LeftZero() const { return leftZero_; }

    void SetOnColor(const QColor& color);
    void SetOffColor(const QColor& color);
    void SetBackColor(const QColor& color);
    void SetSegWidth(int width);
    void SetMargin(int margin);
    // Values above ten digits are ignored.
    void SetDigit(int digits);
    void SetDotCount(int count);
    void SetLeftZero(bool leftZero);
    virtual void SetCaption(const QString& caption) = 0;

    // The glyph index of every cell (cell 0 leftmost) and the cell that shows the
    // decimal point (-1: none).
    const std::vector<int>& Glyphs() const { return glyphs_; }
    virtual int PointCell() const = 0;
    // The layout for the current size (computed now if the size changed).
    const SegmentLayout& Layout();

    QSize sizeHint() const override { return {40, 60}; }

  protected:
    explicit SegmentDisplay(QWidget* parent);
    void paintEvent(QPaintEvent* event) override;
    // Lays the caption out into glyphs for the current settings.
    virtual void LayOutCaption() = 0;
    void Relayout();

    QString caption_ = QStringLiteral("0");
    std::vector<int> glyphs_;

  private:
    QColor onColor_ = Qt::blue;
    QColor offColor_ = Qt::black;
    QColor backColor_ = Qt::black;
    int segWidth_ = 6;
    int margin_ = 4;
    int digit_ = 1;
    int dotCount_ = 0;
    bool leftZero_ = true;
    SegmentLayout layout_;
};

// The LCD display of the converter panels: digits, letters and "-"; the point sits in
// front of the last DotCount digits.
class TLcdArray : public SegmentDisplay {
    Q_OBJECT
  public:
    explicit TLcdArray(QWidget* parent = nullptr);
    void SetCaption(const QString& caption) override;
    int PointCell() const override;

  protected:
    void LayOutCaption() override;
};

// The LED display of the reference meters: digits around a point after the first
// DotCount cells, padded with zeros.
class TLedArray : public SegmentDisplay {
    Q_OBJECT
  public:
    explicit TLedArray(QWidget* parent = nullptr);
    void SetCaption(const QString& caption) override;
    int PointCell() const override;

  protected:
    void LayOutCaption() override;
};

}  // namespace dmm::gui
