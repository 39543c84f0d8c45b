#include "gui/app/screenshot.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

#include "core/analog/block_field_ops.h"
#include "core/app/bench.h"
#include "gui/app/t_main_panel.h"

namespace dmm::gui {
namespace {

constexpr int kStepMs = 400;

void TriggerMenuItem(TMainPanel& panel, const QString& item) {
    if (QAction* action = panel.MenuItem(item))
        action->trigger();
    else
        std::fprintf(stderr, "no menu item %s\n", qPrintable(item));
}

void SetField(Bench& bench, const QString& assignment) {
    const QStringList parts = assignment.split('=');
    if (parts.size() != 2) {
        std::fprintf(stderr, "not NAME=VALUE: %s\n", qPrintable(assignment));
        return;
    }
    const std::string name = parts[0].toStdString();
    const int value = parts[1].toInt(nullptr, 0);
    bench.Post([name, value](Bench& b) {
        const TRegField* field = b.core().chipModel().Field(name);
        if (!field || !field->IsDefined() || !WriteFieldValue(b.chip(), *field, value)) {
            std::fprintf(stderr, "cannot set %s\n", name.c_str());
        }
    });
}

void OpenWindows(TMainPanel& panel, const QStringList& windows) {
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
}

// "WINDOW/BUTTON" clicks a button; "WINDOW/COMBO=INDEX" chooses an item of a combo box
// ("WINDOW/COMBO=popup" opens its list), "WINDOW/EDIT=TEXT" types into a field.
void Click(TMainPanel& panel, const QString& click) {
    const QStringList parts = click.split('/');
    QWidget* window = parts.size() == 2 ? panel.Child(parts[0]) : nullptr;
    const QStringList choice = parts.size() == 2 ? parts[1].split('=') : QStringList();
    if (window && choice.size() == 2) {
        if (auto* combo = window->findChild<QComboBox*>(choice[0])) {
            if (choice[1] == QLatin1String("popup"))
                combo->showPopup();
            else
                combo->setCurrentIndex(choice[1].toInt());
            return;
        }
        if (auto* edit = window->findChild<QLineEdit*>(choice[0])) {
            edit->setText(choice[1]);
            return;
        }
    }
    auto* button = window ? window->findChild<QAbstractButton*>(parts[1]) : nullptr;
    if (button)
        button->click();
    else
        std::fprintf(stderr, "no button %s\n", qPrintable(click));
}

}  // namespace

void ScheduleScreenshot(TMainPanel& panel, Bench& bench, const ScreenshotPlan& plan) {
    // A picture of a usual desktop size, whatever the screen of the platform plugin.
    panel.resize(1280, 860);
    int at = 300;
    auto step = [&](auto action) {
        QTimer::singleShot(at, &panel, action);
        at += kStepMs;
    };
    for (const QString& item : plan.menuItems)
        step([&panel, item] { TriggerMenuItem(panel, item); });
    for (const QString& field : plan.fields) step([&bench, field] { SetField(bench, field); });
    for (const QString& item : plan.laterMenuItems)
        step([&panel, item] { TriggerMenuItem(panel, item); });
    step([&panel, windows = plan.windows] { OpenWindows(panel, windows); });
    for (const QString& click : plan.clicks) step([&panel, click] { Click(panel, click); });

    QTimer::singleShot(at + plan.delayMs, &panel, [&panel, plan] {
        QWidget* target = &panel;
        if (plan.windowOnly && !plan.windows.isEmpty()) {
            if (QWidget* window = panel.Child(plan.windows.front())) {
                // A child window in its frame; a dialog of its own as it stands.
                target =
                    window->isWindow() || !window->parentWidget() ? window : window->parentWidget();
            }
        }
        QPixmap picture = target->grab();
        // An open list is a window of its own: it is drawn where it stands over the target,
        // on a picture large enough for both.
        if (QWidget* popup = QApplication::activePopupWidget()) {
            const QRect list(popup->mapToGlobal(QPoint(0, 0)) - target->mapToGlobal(QPoint(0, 0)),
                             popup->size());
            const QRect area = picture.rect().united(list);
            QPixmap both(area.size());
            both.fill(target->palette().color(QPalette::Window));
            QPainter painter(&both);
            painter.drawPixmap(-area.topLeft(), picture);
            painter.drawPixmap(list.topLeft() - area.topLeft(), popup->grab());
            painter.end();
            picture = both;
        }
        const bool saved = picture.save(plan.file);
        if (!saved) std::fprintf(stderr, "cannot write %s\n", qPrintable(plan.file));
        QApplication::exit(saved ? 0 : 1);
    });
}

}  // namespace dmm::gui
