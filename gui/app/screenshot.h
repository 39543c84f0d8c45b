#pragma once

#include <QString>
#include <QStringList>

namespace dmm {
class Bench;
}

namespace dmm::gui {

class TMainPanel;

// What a documentation picture shows, step by step: menu items triggered, register
// fields set ("ENAD_S=1"), more menu items ("Menu_ReadRAM" to read back what the chip made
// of them), tool windows opened, buttons clicked ("TAnxADC/CatchADC1": window class /
// button name) or combo items chosen ("TAnxADC/SpectrumWindow=2"), a pause after each;
// then a wait and the picture.
struct ScreenshotPlan {
    QString file;
    QStringList menuItems;
    QStringList fields;
    QStringList laterMenuItems;
    QStringList windows;
    QStringList clicks;
    int delayMs = 1500;
    bool windowOnly = false;  // only the first window of `windows`, in its frame
};

// Runs the plan, saves the picture and quits the program.
void ScheduleScreenshot(TMainPanel& panel, Bench& bench, const ScreenshotPlan& plan);

}  // namespace dmm::gui
