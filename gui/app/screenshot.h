#pragma once

#include <QString>
#include <QStringList>

namespace dmm::gui {

class TMainPanel;

// Opens the given tool windows, triggers the given menu items, then clicks the given
// buttons ("TAnxADC/CatchADC1": window class / button name), a short pause after each;
// waits delayMs, saves a picture of the main window to file and quits the program.
void ScheduleScreenshot(TMainPanel& panel, const QString& file, const QStringList& windows,
                        const QStringList& menuItems, const QStringList& clicks, int delayMs);

}  // namespace dmm::gui
