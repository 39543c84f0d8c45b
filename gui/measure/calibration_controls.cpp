#include "gui/measure/calibration_controls.h"

#include <QPalette>

#include "gui/analog/diagram_controls.h"
#include "gui/analog/diagram_painter.h"

namespace dmm::gui {

QPushButton* AddKey(QWidget* parent, const QString& name, const QString& caption, const QRect& r) {
    auto* key = new QPushButton(caption, parent);
    key->setObjectName(name);
    key->setFont(DiagramFont(TextRole::Block));
    key->setGeometry(r);
    key->setAutoFillBackground(true);
    return key;
}

void PaintRangeKeys(std::span<QPushButton* const> keys, int chosen) {
    for (size_t i = 0; i < keys.size(); ++i) {
        QPushButton* key = keys[i];
        if (!key) continue;
        const bool on = static_cast<int>(i) == chosen;
        QPalette p = key->palette();
        p.setColor(QPalette::Button,
                   on ? p.color(QPalette::Active, QPalette::Highlight) : ButtonFaceColour());
        p.setColor(QPalette::ButtonText,
                   on ? p.color(QPalette::Active, QPalette::HighlightedText) : QColor(Qt::black));
        key->setPalette(p);
        key->setProperty("chosen", on);
    }
}

void Lower(QPushButton* key, bool lowered) {
    if (key) key->setDown(lowered);
}

QLineEdit* AddEntry(QWidget* parent, const QString& name, const QString& text, const QRect& r) {
    auto* entry = new QLineEdit(text, parent);
    entry->setObjectName(name);
    entry->setFont(DiagramFont(TextRole::Signal));
    entry->setGeometry(r);
    return entry;
}

TLcdArray* AddLiveDisplay(QWidget* parent, const QString& name, const QRect& r) {
    auto* lcd = new TLcdArray(parent);
    lcd->setObjectName(name);
    lcd->setGeometry(r);
    lcd->SetDigit(8);
    lcd->SetDotCount(0);
    lcd->SetLeftZero(false);
    lcd->SetSegWidth(3);
    lcd->SetMargin(1);
    lcd->SetOnColor(Qt::blue);
    lcd->SetOffColor(ButtonFaceColour());
    lcd->SetBackColor(ButtonFaceColour());
    lcd->SetCaption("0");
    return lcd;
}

}  // namespace dmm::gui
