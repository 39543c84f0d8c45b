#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <vector>

namespace dmm::gui {

// Colours, pens and fonts of the block diagrams: black ink on white paper with pale
// block fills, as a datasheet draws them; the selected signal path in blue.
struct DiagramStyle {
    QColor paper{255, 255, 255};
    QColor ink{31, 41, 55};
    QColor blockFill{241, 245, 249};
    QColor frame{148, 163, 184};    // dashed group frames
    QColor signalText{55, 65, 81};  // net and pin names
    QColor muted{156, 163, 175};    // parts that are out of the path
    QColor active{29, 78, 216};     // the path a selector or switch has chosen
    qreal line = 1.3;
};
const DiagramStyle& DefaultDiagramStyle();

enum class TextRole {
    Title,   // the block's name in a corner of its frame
    Block,   // name inside a block
    Signal,  // net, pin and option names
    Note,    // small print: divider ratios, units
};
QFont DiagramFont(TextRole role);

// Which way a multiplexer or amplifier points: its output side.
enum class Facing { Right, Left, Down, Up };

// Draws the pieces of a block diagram. Shared by every block panel, so that all of them
// look alike: wires and junctions, multiplexers, buffers, amplifiers, switches, the
// chopper, resistors, capacitors, blocks, group frames and signal names.
class DiagramPainter {
  public:
    explicit DiagramPainter(QPainter& painter, const DiagramStyle& style = DefaultDiagramStyle());

    QPainter& painter() { return p_; }
    const DiagramStyle& style() const { return style_; }

    // Orthogonal wire through the points; active draws it in the path colour.
    void Wire(std::initializer_list<QPointF> points, bool active = false);
    void Wire(const std::vector<QPointF>& points, bool active = false);
    // A wire ending in an arrow head at its last point.
    void Arrow(std::initializer_list<QPointF> points, bool active = false);
    void ArrowHead(QPointF tip, QPointF from, bool active = false);
    // A junction dot where wires connect.
    void Dot(QPointF at, bool active = false);
    // A small open circle: a pin at the edge of the block.
    void PinCircle(QPointF at);

    // A rectangle with its name centred (and a second line below it).
    void Block(const QRectF& r, const QString& name, const QString& second = {});
    // A dashed frame around a group of parts, titled in its top-left corner.
    void Frame(const QRectF& r, const QString& title);

    // A multiplexer: a trapezoid with its wide side at the inputs. selected >= 0 draws the
    // internal connection from that input (of count) to the output in the path colour.
    void Mux(const QRectF& r, int inputs, int selected, Facing facing = Facing::Right);
    // Where input k of a mux drawn in r lies (on its wide side) and where its output is.
    static QPointF MuxInput(const QRectF& r, int inputs, int k, Facing facing = Facing::Right);
    static QPointF MuxOutput(const QRectF& r, Facing facing = Facing::Right);

    // A unity-gain buffer triangle; a greyed one is bypassed.
    void Buffer(const QRectF& r, bool inPath, Facing facing = Facing::Right);
    // An amplifier triangle with a label; differential draws two inputs and two outputs.
    void Amplifier(const QRectF& r, const QString& label, bool differential);
    // A comparator: a triangle with + and - inputs and the hysteresis mark.
    void Comparator(const QRectF& r);
    // A quartz crystal between two terminals.
    void Crystal(QPointF from, QPointF to);
    // A square wave inside r: a clock or a pulse train.
    void PulseTrain(const QRectF& r, int periods = 3, bool active = false);
    // A truth table: a header row and rows of cells. The first column is firstColumn wide,
    // the others share the rest; highlightRow (when >= 0) is marked in the path colour.
    void Table(const QRectF& r, const QStringList& header, const std::vector<QStringList>& rows,
               int highlightRow = -1, double firstColumn = 0);
    // The summing node: a circle with a sigma.
    void SummingNode(QPointF centre, qreal radius);

    // A switch between two terminals: closed draws the blade on the contact.
    void Switch(QPointF from, QPointF to, bool closed);
    // The chopper: two inputs, two outputs, straight through or crossed.
    void Chopper(const QRectF& r, bool crossed);
    void Resistor(QPointF from, QPointF to);
    void Capacitor(QPointF from, QPointF to);
    void Ground(QPointF at);
    // A clock input: a small triangle on the block's edge.
    void ClockPin(QPointF at, Facing inward);

    void Text(const QRectF& r, const QString& text, TextRole role = TextRole::Signal,
              Qt::Alignment align = Qt::AlignCenter);
    // Text placed beside a point, on the given side of it (AboveRight: above the point,
    // starting at it).
    enum class Side { Right, Left, Above, Below, Centre, AboveRight, BelowRight };
    void TextAt(QPointF at, const QString& text, Side side = Side::Right,
                TextRole role = TextRole::Signal);

  private:
    QPen LinePen(bool active = false) const;
    // Leads from both ends to two plates gap either side of the middle, half long each
    // side, drawn extra wider than a wire.
    void Plates(QPointF from, QPointF to, double gap, double half, double extra);

    QPainter& p_;
    const DiagramStyle& style_;
};

}  // namespace dmm::gui
