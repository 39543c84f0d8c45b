#pragma once

#include "core/app/settings_file.h"

namespace dmm::gui {

class TMainPanel;

// The windows' part of the settings file: the item indexes, texts and pages that live in
// the tool windows' controls, and the product variant's captions and panels.
// GUI thread. The bench's part is Bench::TakeSettings / Bench::ApplySettings.

// Writes what the windows hold over config.
void TakeWindowSettings(TMainPanel& panel, VzAdcConfig& config);
// Sets the controls as config says and runs the change handlers the settings file runs
// (which pass the choices on to the bench).
void ApplyWindowSettings(TMainPanel& panel, const VzAdcConfig& config);

}  // namespace dmm::gui
