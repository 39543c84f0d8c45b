#pragma once

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QRectF>
#include <QWidget>

#include <functional>

#include "gui/analog/diagram_painter.h"

namespace dmm::gui {

// The colours that show a state on the block panels: "chosen" is black with text in the
// window colour; "not chosen" is the window colour (on/off panels and labels) or the
// button face (option labels) with black text.
QColor WindowColour();
QColor ButtonFaceColour();

// A clickable text control laid over a block diagram: an on/off panel (framed, like a
// small key) or a flat cell (option labels, on/off labels, derived readouts).
class BoundLabel : public QLabel {
    Q_OBJECT
  public:
    // Panel: an on/off key; Cell: an option or on/off label; Readout: text on the
    // diagram; Display: a framed value box for live readings.
    enum class Shape { Panel, Cell, Readout, Display };

    BoundLabel(const QString& name, const QString& caption, Shape shape, QWidget* parent);

    // Paints the control in the given colours (kept in the palette as well).
    void Paint(const QColor& background, const QColor& text);
    void PaintChosen(bool chosen, const QColor& offBackground);
    QColor Background() const { return background_; }
    QColor Foreground() const { return foreground_; }
    Shape shape() const { return shape_; }
    // Where the text is drawn: a display keeps a margin at both ends.
    QRect TextArea() const;

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    Shape shape_;
    QColor background_;
    QColor foreground_;
    bool hover_ = false;
};

// A titled group of controls on the diagram (a dashed frame, like the diagram's own
// groups), painted on white so that it stands above anything drawn under it.
class DiagramGroup : public QFrame {
    Q_OBJECT
  public:
    DiagramGroup(const QString& name, const QString& title, const QRect& geometry, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString title_;
};

// A part of the diagram drawn in code that shows one state of a switch, a buffer or the
// chopper. Pictures of the two states of a part lie on top of each other and only one is
// visible; clicking the visible one changes the field behind it.
class DiagramPicture : public QWidget {
    Q_OBJECT
  public:
    // Paints the part inside the picture's own rectangle (0, 0, width, height).
    using PaintFunction = std::function<void(DiagramPainter&, const QRectF&)>;

    DiagramPicture(const QString& name, const QRect& geometry, PaintFunction paint,
                   QWidget* parent);
    void SetClickable(bool clickable);

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    PaintFunction paint_;
    bool clickable_ = true;
    bool hover_ = false;
};

}  // namespace dmm::gui
