#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace dmm::gui {

// Seven-segment glyphs. Bit 0 top, 1 upper right, 2 lower right, 3 bottom, 4 lower left,
// 5 upper left, 6 middle; bit 7 marks the point glyph, which lights no segment.
inline constexpr int kGlyphCount = 39;
inline constexpr int kLedGlyphCount = 12;  // digits, point and blank
inline constexpr int kGlyphPoint = 10;
inline constexpr int kGlyphBlank = 11;
inline constexpr int kGlyphMinus = 38;
inline constexpr int kMaxDigits = 10;

extern const std::array<uint8_t, kGlyphCount> kSegmentGlyphs;

// Glyph index of one caption character: digits, letters (either case), "." and "-";
// anything else is blank.
int GlyphIndexOf(QChar c);

// Caption layouts: one glyph index per cell, cell 0 leftmost; `digits` cells.

// Text mode of the LCD: the caption right-aligned, leading cells blank; a caption longer
// than the display shows its first characters.
std::vector<int> LcdTextGlyphs(const QString& caption, int digits);

// Numeric mode of the LCD: the caption as an integer, zero-padded, with the zeros left of
// the digit before the point blanked and a minus sign in front of the first shown digit.
std::vector<int> LcdNumberGlyphs(const QString& caption, int digits, int dotCount);

// The LED layout: digits around a point at position dotCount (cells before the point).
std::vector<int> LedGlyphs(const QString& caption, int digits, int dotCount, bool leftZero);

}  // namespace dmm::gui
