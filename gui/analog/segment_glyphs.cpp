#include "gui/analog/segment_glyphs.h"

#include <algorithm>

namespace dmm::gui {

const std::array<uint8_t, kGlyphCount> kSegmentGlyphs = {
    0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F,  // 0..9
    0x80, 0x00,                                                  // point, blank
    0x77, 0x7C, 0x39, 0x5E, 0x79, 0x71, 0x6F, 0x76, 0x04, 0x0E,  // A..J
    0x70, 0x38, 0x57, 0x54, 0x5C, 0x73, 0x67, 0x50, 0x6D, 0x78,  // K..T
    0x1C, 0x3E, 0x3E, 0x76, 0x6E, 0x5B,                          // U..Z
    0x40,                                                        // minus
};

int GlyphIndexOf(QChar c) {
    const char16_t u = c.unicode();
    // ':' follows '9' and lands on the point glyph, as the character arithmetic gives.
    if (u >= u'0' && u <= u':') return u - u'0';
    if (u >= u'A' && u <= u'Z') return 12 + (u - u'A');
    if (u >= u'a' && u <= u'z') return 12 + (u - u'a');
    if (u == u'.') return kGlyphPoint;
    if (u == u'-') return kGlyphMinus;
    return kGlyphBlank;
}

std::vector<int> LcdTextGlyphs(const QString& caption, int digits) {
    const int n = std::clamp(digits, 0, kMaxDigits);
    std::vector<int> cells(static_cast<size_t>(n), kGlyphBlank);
    const int length = static_cast<int>(caption.size());
    const int shown = std::min(length, n);
    const int first = n - shown;  // short captions fill the rightmost cells
    for (int k = 0; k < shown; ++k)
        cells[static_cast<size_t>(first + k)] = GlyphIndexOf(caption[k]);
    return cells;
}

std::vector<int> LcdNumberGlyphs(const QString& caption, int digits, int dotCount) {
    const int n = std::clamp(digits, 0, kMaxDigits);
    std::vector<int> cells(static_cast<size_t>(n), kGlyphBlank);
    bool ok = false;
    const qlonglong value = caption.trimmed().toLongLong(&ok);
    // A caption that is no integer shows nothing rather than a made-up number.
    if (!ok || n == 0) return cells;

    QString text = QString::number(value < 0 ? -value : value);
    if (text.size() > n) {
        // More digits than cells: dashes rather than a truncated, wrong number.
        std::fill(cells.begin(), cells.end(), kGlyphMinus);
        return cells;
    }
    if (text.size() < n) text = QString(n - text.size(), u'0') + text;
    // Cells left of the integer digit in front of the point show their zeros blank.
    const int unitCell = std::clamp(n - 1 - dotCount, 0, n - 1);
    int firstShown = 0;
    while (firstShown < unitCell && text[firstShown] == u'0') ++firstShown;
    if (value < 0 && firstShown == 0) {
        // No cell is left for the sign: dashes, as for any other overflow.
        std::fill(cells.begin(), cells.end(), kGlyphMinus);
        return cells;
    }
    for (int k = firstShown; k < n; ++k) cells[static_cast<size_t>(k)] = GlyphIndexOf(text[k]);
    if (value < 0) cells[static_cast<size_t>(firstShown - 1)] = kGlyphMinus;
    return cells;
}

std::vector<int> LedGlyphs(const QString& caption, int digits, int dotCount, bool leftZero) {
    const int n = std::clamp(digits, 0, kMaxDigits);
    std::vector<int> cells(static_cast<size_t>(n), kGlyphBlank);
    const int point = static_cast<int>(caption.indexOf(u'.'));
    const QString before = point < 0 ? caption : caption.left(point);
    const QString after = point < 0 ? QString() : caption.mid(point + 1);
    const auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    // No caption, no reading: blank cells rather than zeros that look like one.
    if (caption.isEmpty()) return cells;
    if (!std::all_of(before.begin(), before.end(), isDigit) ||
        !std::all_of(after.begin(), after.end(), isDigit)) {
        // Not a number ("OL" from an overloaded meter, a sign): shown as text, right-aligned,
        // so that the reading is still legible. A capital O is drawn as one (the zero's
        // segments): the letter table's O is a small one, and "oL" is no meter's overload.
        cells = LcdTextGlyphs(caption, n);
        const int first = n - static_cast<int>(std::min<qsizetype>(caption.size(), n));
        for (int k = first; k < n; ++k)
            if (caption[k - first] == u'O') cells[static_cast<size_t>(k)] = 0;
        return cells;
    }

    const int length = static_cast<int>(caption.size());
    const int p = point < 0 ? length + 1 : point + 1;  // 1-based position of the point
    const int d = dotCount != 0 ? dotCount : length;
    if (d < p - 1) return cells;  // more integer digits than the point position allows

    QString shown;
    if (leftZero && d >= p) shown = QString(d - p + 1, u'0');
    shown += before + after;
    if (shown.size() < n) shown += QString(n - shown.size(), u'0');
    for (int k = 0; k < n; ++k) cells[static_cast<size_t>(k)] = GlyphIndexOf(shown[k]);
    return cells;
}

}  // namespace dmm::gui
