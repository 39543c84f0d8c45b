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
// The entries to save: every window of the program as it is now, then the other entries
// (names of windows this build does not have) in the room that is left, so that stale
// names never keep a window of the program from being saved.
std::vector<WindowPlacement> MergePlacements(const std::vector<WindowPlacement>& entries,
                                             const std::vector<WindowPlacement>& windows);
const WindowPlacement* FindPlacement(const std::vector<WindowPlacement>& entries,
                                     const QString& name);

// Where a restored window goes: a window whose border cannot be sized keeps its designed
// size, a sizeable one takes the saved size but no more than the area; then the window
// is moved, in any state, so that it lies wholly within the area (its top-left corner
// inside when it is larger than the area). The area is the screen's available geometry,
// or the main window's client area for a window placed in it.
QRect RestoredBounds(const WindowPlacement& entry, const QSize& designedSize, bool sizeable,
                     const QRect& area);
// The least move that brings a window wholly into the area; a window larger than the
// area keeps its size and gets the area's top-left corner on that axis.
QPoint PlaceWhollyInside(const QRect& window, const QRect& area);
// The screen (index into screens, the primary first) that shows most of a window; the
// primary when none shows any of it.
int ScreenOfWindow(const QRect& window, const std::vector<QRect>& screens);

// The placement file of a settings folder: the program's name with the extension, which
// is "wst" again when empty.
QString PlacementFileName(const QString& programName, const QString& extension);

}  // namespace dmm
