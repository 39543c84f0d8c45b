#include "gui/views/panel_style.h"

namespace dmm::gui {

QFont PanelFont() {
    QFont font(QStringLiteral("Courier New"), 11, QFont::Bold);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

ClickPanel::ClickPanel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setFrameShape(QFrame::Panel);
    setLineWidth(1);
    setAutoFillBackground(true);
    setAlignment(Qt::AlignCenter);
    SetLook(true, panel_colour::kButtonFace);
}

void ClickPanel::SetLook(bool raised, const QColor& background, const QColor& text) {
    raised_ = raised;
    background_ = background;
    textColour_ = text;
    setFrameShadow(raised ? QFrame::Raised : QFrame::Sunken);
    QPalette p = palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, text);
    setPalette(p);
}

void ClickPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit Clicked();
    QLabel::mousePressEvent(event);
}

}  // namespace dmm::gui

#include <QHBoxLayout>

namespace dmm::gui {

ClickFrame::ClickFrame(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);
}

void ClickFrame::AddToLayout(QWidget* child) {
    layout()->addWidget(child);
}

void ClickFrame::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit Clicked();
    QFrame::mousePressEvent(event);
}

void ShowStripValue(QLabel* panel, const QString& text, bool highlighted) {
    // Only what changed is set: every refresh passes here, and a repaint costs more.
    if (panel->text() != text) panel->setText(text);
    const QColor background = highlighted ? panel_colour::kBlue : panel_colour::kWhite;
    const QColor foreground = highlighted ? panel_colour::kWhite : panel_colour::kBlue;
    QPalette p = panel->palette();
    if (p.color(QPalette::Window) == background && p.color(QPalette::WindowText) == foreground)
        return;
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, foreground);
    panel->setPalette(p);
}

}  // namespace dmm::gui
