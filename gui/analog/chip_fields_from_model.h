#pragma once

#include "core/chip/chip_model.h"
#include "gui/analog/panel_fields.h"

namespace dmm::gui {

// The block panels' view of a loaded chip description: every field of the directory
// with its position and panel data. Cheap enough to make on either thread.
ChipFieldsSnapshot ChipFieldsFromModel(const TChipModel& model);

}  // namespace dmm::gui
