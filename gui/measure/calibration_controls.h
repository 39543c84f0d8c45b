#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <span>

#include "gui/analog/segment_display.h"

namespace dmm::gui {

// Controls the calibration windows share: the range keys painted like the original's
// panels (the chosen one in the active-caption colours), keys that stay lowered while
// their procedure runs, and the eight-digit live display.

// A key of a calibration window, named by its control name.
QPushButton* AddKey(QWidget* parent, const QString& name, const QString& caption, const QRect& r);
// The chosen key (-1: none) in the active-caption colours, the others in the button face.
void PaintRangeKeys(std::span<QPushButton* const> keys, int chosen);
// A key shown pressed (a running step, a calibration in progress) or raised.
void Lower(QPushButton* key, bool lowered);
QLineEdit* AddEntry(QWidget* parent, const QString& name, const QString& text, const QRect& r);
// The live reading: eight digits, blue on the button face.
TLcdArray* AddLiveDisplay(QWidget* parent, const QString& name, const QRect& r);

}  // namespace dmm::gui
