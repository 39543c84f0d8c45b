#include "gui/app/screenshot.h"

#include <QApplication>
#include <QAbstractButton>
#include <QAction>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

#include "gui/app/t_main_panel.h"

namespace dmm::gui {

void ScheduleScreenshot(TMainPanel& panel, const QString& file, const QStringList& windows,
                        const QStringList& menuItems, const QStringList& clicks, int delayMs) {
    // A picture of a usual desktop size, whatever the screen of the platform plugin.
    panel.resize(1280, 860);
    int at = 300;
    for (const QString& item : menuItems) {
        QTimer::singleShot(at, &panel, [&panel, item] {
            if (QAction* action = panel.MenuItem(item)) action->trigger();
            else std::fprintf(stderr, "no menu item %s\n", qPrintable(item));
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
    for (const QString& click : clicks) {
        at += 400;
        QTimer::singleShot(at, &panel, [&panel, click] {
            const QStringList parts = click.split('/');
            QWidget* window = parts.size() == 2 ? panel.Child(parts[0]) : nullptr;
            auto* button = window ? window->findChild<QAbstractButton*>(parts[1]) : nullptr;
            if (button) button->click();
            else std::fprintf(stderr, "no button %s\n", qPrintable(click));
        });
    }
    QTimer::singleShot(at + delayMs, &panel, [&panel, file] {
        const bool saved = panel.grab().save(file);
        if (!saved) std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        QApplication::exit(saved ? 0 : 1);
    });
}

}  // namespace dmm::gui
