#include "gui/app/t_restore_win.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLayout>
#include <QMdiSubWindow>
#include <QScreen>

#include "core/app/atomic_write.h"
#include "gui/app/child_windows.h"
#include "gui/app/t_main_panel.h"

namespace dmm::gui {
namespace {

// The program's file name without its extension.
constexpr char kProgramName[] = "dmmbench";

WindowPlacement::State StateOf(const QWidget& w) {
    if (w.isMaximized()) return WindowPlacement::State::Maximized;
    if (w.isMinimized()) return WindowPlacement::State::Minimized;
    return WindowPlacement::State::Normal;
}

// A window the user can resize (a fixed-size dialog keeps its designed size).
bool Sizeable(const QWidget& w) {
    return w.minimumSize() != w.maximumSize();
}

void SetState(QWidget& w, WindowPlacement::State state) {
    switch (state) {
        case WindowPlacement::State::Maximized:
            w.showMaximized();
            break;
        case WindowPlacement::State::Minimized:
            w.showMinimized();
            break;
        case WindowPlacement::State::Normal:
            break;
    }
}

}  // namespace

TRestoreWin::TRestoreWin(TMainPanel& mainPanel) : QObject(&mainPanel), main_(mainPanel) {
    setObjectName("RestoreWin1");
}

void TRestoreWin::SetExtName(const QString& extension) {
    extName_ = extension.isEmpty() ? QString::fromLatin1(kDefaultPlacementExtension) : extension;
}

QString TRestoreWin::FileName(const QString& folder) const {
    return QDir(folder).filePath(PlacementFileName(QString::fromLatin1(kProgramName), extName_));
}

WindowPlacement TRestoreWin::PlacementOf(const QString& name, QWidget* window) const {
    // A child window is placed by its frame inside the main window, when it has one.
    QWidget* frame = window;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget())) frame = sub;
    WindowPlacement e;
    e.name = name;
    const QRect r =
        frame->isMaximized() || frame->isMinimized() ? frame->normalGeometry() : frame->geometry();
    const QRect bounds = r.isValid() ? r : frame->geometry();
    e.left = bounds.left();
    e.top = bounds.top();
    e.width = bounds.width();
    e.height = bounds.height();
    e.state = StateOf(*frame);
    e.visible = frame->isVisible();
    return e;
}

void TRestoreWin::Save(const QString& folder) {
    if (!Enabled) return;
    std::vector<WindowPlacement> windows = {PlacementOf(main_.objectName(), &main_)};
    for (const ChildWindowInfo& info : ChildWindowTable()) {
        const QString name = QString::fromLatin1(info.className);
        if (QWidget* w = main_.Child(name)) windows.push_back(PlacementOf(name, w));
    }
    entries_ = MergePlacements(entries_, windows);
    // A file that cannot be written is skipped: the windows simply open as designed.
    QString error;
    WriteFileAtomically(FileName(folder), FormatPlacementFile(entries_), error);
}

void TRestoreWin::Load(const QString& folder) {
    if (!Enabled) return;
    QFile file(FileName(folder));
    if (!file.open(QIODevice::ReadOnly)) return;
    entries_ = ReadPlacementFile(file.readAll());
    Apply();
}

void TRestoreWin::Apply() {
    std::vector<QRect> screens;
    if (QScreen* primary = QGuiApplication::primaryScreen())
        screens.push_back(primary->availableGeometry());
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen())
            screens.push_back(screen->availableGeometry());
    }
    if (screens.empty()) screens.push_back(QRect(0, 0, 1280, 1024));
    // A window of its own goes onto the screen that shows most of where it was.
    auto screenOf = [&screens](const QRect& saved) {
        return screens[static_cast<size_t>(ScreenOfWindow(saved, screens))];
    };
    if (const WindowPlacement* e = FindPlacement(entries_, main_.objectName())) {
        const QRect screen = screenOf(e->Bounds());
        main_.setGeometry(RestoredBounds(*e, main_.size(), Sizeable(main_), screen));
        KeepInside(main_, screen);
        SetState(main_, e->state);
    }
    // Child windows live in the main window's client area: that is their screen, at the
    // size the restored main window gives it.
    if (QLayout* layout = main_.layout()) layout->activate();
    if (QLayout* layout = main_.centralWidget()->layout()) layout->activate();
    const QRect area(QPoint(0, 0), main_.mdiArea()->viewport()->size());
    for (const ChildWindowInfo& info : ChildWindowTable()) {
        const QString name = QString::fromLatin1(info.className);
        QWidget* w = main_.Child(name);
        const WindowPlacement* e = w ? FindPlacement(entries_, name) : nullptr;
        if (!e) continue;
        const bool sizeable = Sizeable(*w);
        if (main_.StandsAlone(w)) {
            // A dialog of its own is placed on the screen, beside the main window.
            const QRect screen = screenOf(e->Bounds());
            w->setGeometry(RestoredBounds(*e, w->size(), sizeable, screen));
            KeepInside(*w, screen);
            if (AutoShow && e->visible) main_.ShowChild(w, info.slot, true);
            continue;
        }
        const QRect bounds = RestoredBounds(*e, w->size(), sizeable, area);
        // A window of fixed size keeps its designed size: only its place comes back.
        main_.PlaceChild(w, sizeable ? bounds : QRect(bounds.topLeft(), QSize()));
        auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget());
        if (sub) KeepInside(*sub, area);
        if (AutoShow && e->visible) main_.ShowChild(w, info.slot, true);
        if (sub) SetState(*sub, e->state);
    }
}

void TRestoreWin::KeepInside(QWidget& window, const QRect& area) {
    // The frame may come out larger than asked (its least size, a frame around a fixed
    // size): the window moves so that what it really covers is on the screen.
    const QRect covered = window.isWindow() ? window.frameGeometry() : window.geometry();
    const QPoint to = PlaceWhollyInside(covered, area);
    if (to != covered.topLeft()) window.move(window.pos() + (to - covered.topLeft()));
}

}  // namespace dmm::gui
