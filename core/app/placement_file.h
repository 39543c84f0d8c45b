#pragma once

#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

namespace dmm {

// Where a window was, as the placement file (".wst" beside the settings) keeps it.
struct WindowPlacement {
    enum class State { Normal = 0, Maximized = 1, Minimized = 2 };
    QString name;  // the window's object name
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    State state = State::Normal;
    bool visible = false;

    QRect Bounds() const { return QRect(left, top, width, height); }
};

inline constexpr char kPlacementVersion[] = "1.10";
inline constexpr int kMaxPlacements = 40;
inline constexpr char kDefaultPlacementExtension[] = "wst";

// The file: version, count, then per window its name and six numbers right-aligned in 5
// characters (left, top, width, height, state code, visible). CR LF lines.
QByteArray FormatPlacementFile(const std::vector<WindowPlacement>& entries);
// The entries of a file: none for another version; at most 40; reading stops at the
// first entry that cannot be read (the ones before it are kept).
std::vector<WindowPlacement> ReadPlacementFile(const QByteArray& file);

// Adds or replaces a window's entry (found by name); a new one is dropped when 40 exist.
void RememberPlacement(std::vector<WindowPlacement>& entries, const WindowPlacement& entry);
const WindowPlacement* FindPlacement(const std::vector<WindowPlacement>& entries,
                                     const QString& name);

// Where a restored window goes: a window whose border cannot be sized keeps its designed
// size; a normal sizeable window is brought onto the screen (no larger than it, pulled
// back when it starts within 20 pixels of the right or bottom edge or beyond).
QRect RestoredBounds(const WindowPlacement& entry, const QSize& designedSize, bool sizeable,
                     const QSize& screen);

// The placement file of a settings folder: the program's name with the extension, which
// is "wst" again when empty.
QString PlacementFileName(const QString& programName, const QString& extension);

}  // namespace dmm
