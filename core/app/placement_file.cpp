#include "core/app/placement_file.h"

#include <QList>

#include <algorithm>

namespace dmm {
namespace {

QList<QByteArray> Lines(const QByteArray& file) {
    QList<QByteArray> lines = file.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QByteArray& line : lines)
        if (line.endsWith('\r')) line.chop(1);
    return lines;
}

WindowPlacement::State StateOfCode(int code) {
    return code == 1   ? WindowPlacement::State::Maximized
           : code == 2 ? WindowPlacement::State::Minimized
                       : WindowPlacement::State::Normal;
}

}  // namespace

QByteArray FormatPlacementFile(const std::vector<WindowPlacement>& entries) {
    QByteArray out;
    out += kPlacementVersion;
    out += "\r\n";
    const size_t count = std::min<size_t>(entries.size(), kMaxPlacements);
    out += QByteArray::number(static_cast<qulonglong>(count)) + "\r\n";
    for (size_t i = 0; i < count; ++i) {
        const WindowPlacement& e = entries[i];
        out += e.name.toUtf8() + "\r\n";
        QByteArray numbers;
        for (int v :
             {e.left, e.top, e.width, e.height, static_cast<int>(e.state), e.visible ? 1 : 0}) {
            // A number as wide as its field keeps a blank in front: run together with the
            // one before it (-8 and 12345), both would read back wrong.
            const QByteArray digits = QByteArray::number(v);
            if (!numbers.isEmpty() && digits.size() >= 5) numbers += ' ';
            numbers += digits.rightJustified(5, ' ');
        }
        out += numbers + "\r\n";
    }
    return out;
}

std::vector<WindowPlacement> ReadPlacementFile(const QByteArray& file) {
    std::vector<WindowPlacement> entries;
    const QList<QByteArray> lines = Lines(file);
    if (lines.isEmpty() || lines[0] != kPlacementVersion) return entries;
    bool ok = false;
    const int count = lines.size() > 1 ? lines[1].trimmed().toInt(&ok) : 0;
    if (!ok) return entries;
    qsizetype at = 2;
    for (int i = 0; i < std::min(count, kMaxPlacements); ++i) {
        if (at + 1 >= lines.size()) break;
        WindowPlacement e;
        e.name = QString::fromUtf8(lines[at]);
        const QList<QByteArray> words = lines[at + 1].simplified().split(' ');
        if (words.size() < 6) break;
        int values[6] = {};
        bool all = true;
        for (int k = 0; k < 6; ++k) {
            bool good = false;
            values[k] = words[k].toInt(&good);
            all = all && good;
        }
        if (!all) break;
        e.left = values[0];
        e.top = values[1];
        e.width = values[2];
        e.height = values[3];
        e.state = StateOfCode(values[4]);
        e.visible = values[5] == 1;
        entries.push_back(e);
        at += 2;
    }
    return entries;
}

void RememberPlacement(std::vector<WindowPlacement>& entries, const WindowPlacement& entry) {
    for (WindowPlacement& e : entries) {
        if (e.name == entry.name) {
            e = entry;
            return;
        }
    }
    if (static_cast<int>(entries.size()) < kMaxPlacements) entries.push_back(entry);
}

const WindowPlacement* FindPlacement(const std::vector<WindowPlacement>& entries,
                                     const QString& name) {
    for (const WindowPlacement& e : entries)
        if (e.name == name) return &e;
    return nullptr;
}

std::vector<WindowPlacement> MergePlacements(const std::vector<WindowPlacement>& entries,
                                             const std::vector<WindowPlacement>& windows) {
    std::vector<WindowPlacement> merged;
    for (const WindowPlacement& w : windows) RememberPlacement(merged, w);
    for (const WindowPlacement& e : entries) {
        if (!FindPlacement(merged, e.name)) RememberPlacement(merged, e);
    }
    return merged;
}

namespace {

// One axis: the start that keeps [start, start + size) within [lo, lo + room).
int StartInside(int start, int size, int lo, int room) {
    if (size >= room) return lo;
    return std::clamp(start, lo, lo + room - size);
}

}  // namespace

QPoint PlaceWhollyInside(const QRect& window, const QRect& area) {
    return QPoint(StartInside(window.left(), window.width(), area.left(), area.width()),
                  StartInside(window.top(), window.height(), area.top(), area.height()));
}

QRect RestoredBounds(const WindowPlacement& entry, const QSize& designedSize, bool sizeable,
                     const QRect& area) {
    QSize size = designedSize;
    // A saved size that is no size (a damaged file) leaves the designed one.
    if (sizeable && entry.width > 0 && entry.height > 0)
        size = QSize(entry.width, entry.height).boundedTo(area.size());
    const QRect bounds(QPoint(entry.left, entry.top), size);
    return QRect(PlaceWhollyInside(bounds, area), size);
}

int ScreenOfWindow(const QRect& window, const std::vector<QRect>& screens) {
    int best = 0;
    qint64 bestArea = 0;
    for (size_t i = 0; i < screens.size(); ++i) {
        const QRect shown = window.intersected(screens[i]);
        const qint64 area = shown.isEmpty() ? 0 : qint64(shown.width()) * shown.height();
        if (area > bestArea) {
            bestArea = area;
            best = static_cast<int>(i);
        }
    }
    return best;
}

QString PlacementFileName(const QString& programName, const QString& extension) {
    return programName + "." +
           (extension.isEmpty() ? QString::fromLatin1(kDefaultPlacementExtension) : extension);
}

}  // namespace dmm
