#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>

namespace dmm::gui {

// Colours and font shared by the register and RAM panels (the Windows palette's names).
namespace panel_colour {
inline const QColor kBlue(0x00, 0x00, 0xFF);
inline const QColor kWhite(0xFF, 0xFF, 0xFF);
inline const QColor kBlack(0x00, 0x00, 0x00);
inline const QColor kSilver(0xC0, 0xC0, 0xC0);
inline const QColor kButtonFace(0xF0, 0xF0, 0xF0);
inline const QColor kYellow(0xFF, 0xFF, 0x00);
inline const QColor kGreen(0x00, 0x80, 0x00);
inline const QColor kRed(0xFF, 0x00, 0x00);
}  // namespace panel_colour

// "Courier New" 11 bold, or the system's fixed-pitch font where Courier New is missing.
QFont PanelFont();

// A flat panel that acts on a mouse press: the page and bank tabs, the status strip.
// Raised or lowered, with a background colour.
class ClickPanel : public QLabel {
    Q_OBJECT
  public:
    explicit ClickPanel(const QString& text, QWidget* parent = nullptr);
    void SetLook(bool raised, const QColor& background, const QColor& text = panel_colour::kBlack);
    bool Raised() const { return raised_; }
    QColor Background() const { return background_; }
    QColor TextColour() const { return textColour_; }

  signals:
    void Clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    bool raised_ = true;
    QColor background_;
    QColor textColour_;
};

}  // namespace dmm::gui

namespace dmm::gui {

// A framed group of labels that acts as one on a mouse press anywhere inside it (the
// register panel's " Work:" and " IND0: M[...]=..." groups).
class ClickFrame : public QFrame {
    Q_OBJECT
  public:
    explicit ClickFrame(QWidget* parent = nullptr);
    // Adds a child; its mouse presses go to the frame.
    template <typename W>
    W* Add(W* child) {
        child->setAttribute(Qt::WA_TransparentForMouseEvents);
        AddToLayout(child);
        return child;
    }

  signals:
    void Clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void AddToLayout(QWidget* child);
};

// Sets a value panel of the status strip: white on blue when highlighted, else blue on
// white.
void ShowStripValue(QLabel* panel, const QString& text, bool highlighted);

}  // namespace dmm::gui
