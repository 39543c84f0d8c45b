#pragma once

namespace dmm {
class Bench;
}

namespace dmm::gui {

class TMainPanel;

// Creates the tool windows that this build has and hands them to the main window, which
// places them (until then a tool's place holds a PendingToolWindow). Called once, right
// after the main window is created and before the activation step.
void InstallToolWindows(TMainPanel& panel, Bench& bench);

}  // namespace dmm::gui
