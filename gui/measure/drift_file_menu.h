#pragma once

namespace dmm {
class Bench;
}

namespace dmm::gui {

class TFLUKE;
class TFPower;
class TMainPanel;
class TTMP;

// The File menu's step-table items ("Save Reg", "Download Reg", "Save Fluke", "DownLoad
// Fluke", "Save Power", "Download Power") on the temperature test's mode table and the
// instruments' step windows. The files are read and written on the bench thread, in the
// bench directory; the grids are filled from what comes back.
void ConnectDriftFileMenu(TMainPanel& panel, Bench& bench, TTMP& tmp, TFLUKE& fluke,
                          TFPower& power);

}  // namespace dmm::gui
