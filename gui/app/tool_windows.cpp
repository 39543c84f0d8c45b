#include "gui/app/tool_windows.h"

#include "core/app/bench.h"
#include "gui/app/t_main_panel.h"

namespace dmm::gui {

void InstallToolWindows(TMainPanel& panel, Bench& bench) {
    // One line per tool window: panel.SetChild("TClassName", new TClassName(bench, ...));
    (void)panel;
    (void)bench;
}

}  // namespace dmm::gui
