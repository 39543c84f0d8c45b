#include <QImage>
#include <QTest>

#include <vector>

#include "gui/analog/segment_display.h"
#include "gui/analog/segment_geometry.h"
#include "gui/analog/segment_glyphs.h"
#include "support/qtest_registry.h"

namespace dmm::test {

using gui::kGlyphBlank;
using gui::kGlyphMinus;
using Cells = std::vector<int>;

namespace {
constexpr int B = kGlyphBlank;
constexpr int O = 12 + ('O' - 'A');
constexpr int L = 12 + ('L' - 'A');
}  // namespace

// The seven-segment displays: how captions become glyphs, where the segments lie, and
// what gets painted.
class SegmentDisplayTest : public QObject {
    Q_OBJECT
  private slots:
    void lcdTextLayoutRightAlignsAndCuts() {
        gui::TLcdArray lcd;
        lcd.SetDigit(8);
        lcd.SetCaption("-1234");
        QCOMPARE(lcd.Glyphs(), (Cells{B, B, B, kGlyphMinus, 1, 2, 3, 4}));
        lcd.SetCaption("OL");
        QCOMPARE(lcd.Glyphs(), (Cells{B, B, B, B, B, B, O, L}));
        lcd.SetCaption("ol");  // lower case shows the same letters
        QCOMPARE(lcd.Glyphs(), (Cells{B, B, B, B, B, B, O, L}));
        lcd.SetCaption("123456789");  // longer than the display: the first eight characters
        QCOMPARE(lcd.Glyphs(), (Cells{1, 2, 3, 4, 5, 6, 7, 8}));
        lcd.SetCaption("1.5 *");  // the point takes a cell of its own, unknown characters are blank
        QCOMPARE(lcd.Glyphs(), (Cells{B, B, B, 1, gui::kGlyphPoint, 5, B, B}));
        // The same caption set twice is laid out again (the LCD relays out on every call).
        lcd.SetCaption("7");
        lcd.SetCaption("7");
        QCOMPARE(lcd.Glyphs().back(), 7);
    }

    void lcdNumericLayoutBlanksLeadingZeros() {
        gui::TLcdArray lcd;
        lcd.SetDigit(6);
        lcd.SetDotCount(2);
        lcd.SetLeftZero(false);
        lcd.SetCaption("5");
        QCOMPARE(lcd.Glyphs(), (Cells{B, B, B, 0, 0, 5}));  // " 0.05": the unit digit stays
        QCOMPARE(lcd.PointCell(), 3);
        lcd.SetCaption("-5");
        QCOMPARE(lcd.Glyphs(), (Cells{B, B, kGlyphMinus, 0, 0, 5}));
        lcd.SetCaption("-123456");  // no cell for the sign
        QCOMPARE(lcd.Glyphs(), Cells(6, kGlyphMinus));
        lcd.SetCaption("1234567");
        QCOMPARE(lcd.Glyphs(), Cells(6, kGlyphMinus));
        lcd.SetCaption("x");
        QCOMPARE(lcd.Glyphs(), Cells(6, B));
        lcd.SetDotCount(0);
        lcd.SetCaption("0");
        QCOMPARE(lcd.Glyphs(), (Cells{B, B, B, B, B, 0}));
        QCOMPARE(lcd.PointCell(), -1);
    }

    void ledLayoutPadsAroundThePoint() {
        gui::TLedArray led;
        led.SetDigit(5);
        led.SetDotCount(2);
        led.SetCaption("1.5");
        QCOMPARE(led.Glyphs(), (Cells{0, 1, 5, 0, 0}));
        QCOMPARE(led.PointCell(), 1);
        led.SetDotCount(1);
        led.SetCaption("12.3");  // two integer digits where one is allowed
        QCOMPARE(led.Glyphs(), Cells(5, B));
        led.SetDotCount(3);
        led.SetLeftZero(false);
        led.SetCaption("1.5");
        QCOMPARE(led.Glyphs(), (Cells{1, 5, 0, 0, 0}));
        led.SetLeftZero(true);  // the layout follows the mode at once
        QCOMPARE(led.Glyphs(), (Cells{0, 0, 1, 5, 0}));
        led.SetCaption("OL");  // an overloaded meter stays legible, with a capital O
        QCOMPARE(led.Glyphs(), (Cells{B, B, B, 0, L}));
        QCOMPARE(gui::kSegmentGlyphs[0], uint8_t{0x3F});
        led.SetDotCount(0);
        QCOMPARE(led.PointCell(), -1);
    }

    void digitAboveTenIsIgnored() {
        gui::TLcdArray lcd;
        lcd.SetDigit(10);
        QCOMPARE(lcd.Digit(), 10);
        lcd.SetDigit(11);
        QCOMPARE(lcd.Digit(), 10);
        QCOMPARE(static_cast<int>(lcd.Glyphs().size()), 10);
        gui::TLedArray led;
        led.SetDigit(11);
        QCOMPARE(led.Digit(), 1);
    }

    void defaultsOfBothDisplays() {
        for (gui::SegmentDisplay* display :
             std::initializer_list<gui::SegmentDisplay*>{new gui::TLcdArray, new gui::TLedArray}) {
            QCOMPARE(display->size(), QSize(40, 60));
            QCOMPARE(display->OnColor(), QColor(Qt::blue));
            QCOMPARE(display->OffColor(), QColor(Qt::black));
            QCOMPARE(display->BackColor(), QColor(Qt::black));
            QCOMPARE(display->SegWidth(), 6);
            QCOMPARE(display->Margin(), 4);
            QCOMPARE(display->Caption(), QString("0"));
            QCOMPARE(display->Digit(), 1);
            QCOMPARE(display->DotCount(), 0);
            QVERIFY(display->LeftZero());
            delete display;
        }
    }

    // Hand-computed corners of the default 40 x 60 cell (margin 4, segment 6): gap 1,
    // cell width 40, half segment 3, middle offset 22.
    void geometryOfTheDefaultCell() {
        const gui::SegmentLayout layout = gui::ComputeSegmentLayout({40, 60}, 4, 6, 1);
        QCOMPARE(layout.gap, 1);
        QCOMPARE(layout.cellWidth, 40);
        QCOMPARE(layout.middle, 22);
        const gui::SegmentCell& cell = layout.cells.at(0);
        QCOMPARE(cell.segments[0],
                 QPolygon({{7, 7}, {10, 4}, {23, 4}, {26, 7}, {23, 10}, {10, 10}}));
        QCOMPARE(cell.segments[3],
                 QPolygon({{7, 51}, {10, 48}, {23, 48}, {26, 51}, {23, 54}, {10, 54}}));
        QCOMPARE(cell.segments[6],
                 QPolygon({{7, 29}, {10, 26}, {23, 26}, {26, 29}, {23, 32}, {10, 32}}));
        QCOMPARE(cell.point, QPolygon({{30, 50}, {30, 56}, {36, 56}, {36, 50}}));
    }

    // Whatever the size: cells side by side without overlap, every segment inside the
    // control, horizontal segments stacked top-middle-bottom, vertical ones left and right.
    void geometryStaysInsideAndOrdered() {
        for (const auto& [size, margin, seg, digits] :
             std::vector<std::tuple<QSize, int, int, int>>{{{160, 36}, 1, 3, 8},
                                                           {{40, 60}, 4, 6, 1},
                                                           {{300, 80}, 4, 6, 10},
                                                           {{120, 40}, 2, 4, 5}}) {
            const gui::SegmentLayout layout = gui::ComputeSegmentLayout(size, margin, seg, digits);
            QCOMPARE(static_cast<int>(layout.cells.size()), digits);
            const QRect bounds(QPoint(0, 0), size);
            int previousRight = -1;
            for (const gui::SegmentCell& cell : layout.cells) {
                QRect cellBounds;
                for (const QPolygon& segment : cell.segments) {
                    QCOMPARE(segment.size(), 6);
                    QVERIFY(bounds.contains(segment.boundingRect()));
                    cellBounds |= segment.boundingRect();
                }
                QVERIFY(bounds.contains(cell.point.boundingRect()));
                QVERIFY(cellBounds.left() > previousRight);
                previousRight = cellBounds.right();
                const auto centreY = [&](int k) {
                    return cell.segments[static_cast<size_t>(k)].boundingRect().center().y();
                };
                const auto centreX = [&](int k) {
                    return cell.segments[static_cast<size_t>(k)].boundingRect().center().x();
                };
                QVERIFY(centreY(0) < centreY(6) && centreY(6) < centreY(3));
                QVERIFY(centreY(1) < centreY(2) && centreY(5) < centreY(4));
                QVERIFY(centreX(5) < centreX(1) && centreX(4) < centreX(2));
            }
        }
    }

    // Lit segments in the on colour, unlit in the off colour, the point only where asked.
    void paintsLitAndUnlitSegments() {
        gui::TLcdArray lcd;
        lcd.resize(80, 60);
        lcd.SetDigit(2);
        lcd.SetOnColor(Qt::red);
        lcd.SetOffColor(Qt::darkGray);
        lcd.SetBackColor(Qt::white);
        lcd.SetDotCount(1);
        lcd.SetCaption("17");
        QImage image(lcd.size(), QImage::Format_RGB32);
        lcd.render(&image);
        const gui::SegmentLayout& layout = lcd.Layout();
        // The bitmap is copied in at (1, 1).
        const auto pixel = [&](const QPolygon& polygon) {
            return QColor(image.pixel(polygon.boundingRect().center() + QPoint(1, 1)));
        };
        const gui::SegmentCell& one = layout.cells.at(0);
        const gui::SegmentCell& seven = layout.cells.at(1);
        QCOMPARE(pixel(one.segments[1]), QColor(Qt::red));       // "1": right segments lit
        QCOMPARE(pixel(one.segments[0]), QColor(Qt::darkGray));  // top unlit
        QCOMPARE(pixel(seven.segments[0]), QColor(Qt::red));     // "7": top lit
        QCOMPARE(pixel(seven.segments[6]), QColor(Qt::darkGray));
        QCOMPARE(pixel(one.point), QColor(Qt::red));  // the point before the last digit
        QCOMPARE(pixel(seven.point), QColor(Qt::white));
    }
};

DMM_QTEST(SegmentDisplayTest);

}  // namespace dmm::test

#include "segment_display_test.moc"
