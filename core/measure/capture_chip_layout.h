#pragma once

#include "core/chip/chip_model.h"
#include "core/measure/capture_settings.h"

namespace dmm {

// Fills what a capture needs to know about the loaded chip: the interrupt-flag register
// and each source's flag bit, and the four gain fields with their gain tables.
void ApplyChipLayout(const TChipModel& model, CaptureSettings& settings);

}  // namespace dmm
