#include "gui/app/screenshot.h"

#include <QAction>
#include <QApplication>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

#include "gui/app/t_main_panel.h"

namespace dmm::gui {

void ScheduleScreenshot(TMainPanel& panel, const QString& file, const QStringList& windows,
                        const QStringList& menuItems, int delayMs, bool windowOnly) {
    int at = 300;
    for (const QString& item : menuItems) {
        QTimer::singleShot(at, &panel, [&panel, item] {
            if (QAction* action = panel.MenuItem(item))
                action->trigger();
            else
                std::fprintf(stderr, "no menu item %s\n", qPrintable(item));
        });
        at += 400;
    }
    QTimer::singleShot(at, &panel, [&panel, windows] {
        int offset = 0;
        for (const QString& name : windows) {
            QWidget* window = panel.Child(name);
            if (!window) {
                std::fprintf(stderr, "no window %s\n", qPrintable(name));
                continue;
            }
            panel.ShowChild(window, -1, true);
            if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget())) {
                sub->move(offset, offset);
                offset += 40;
            }
        }
    });
    QTimer::singleShot(at + delayMs, &panel, [&panel, file, windows, windowOnly] {
        QWidget* target = &panel;
        if (windowOnly && !windows.isEmpty()) {
            if (QWidget* window = panel.Child(windows.front())) {
                target = window->parentWidget() ? window->parentWidget() : window;
            }
        }
        const bool saved = target->grab().save(file);
        if (!saved) std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        QApplication::exit(saved ? 0 : 1);
    });
}

}  // namespace dmm::gui
