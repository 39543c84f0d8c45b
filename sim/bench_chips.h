#pragma once

#include <QString>

#include <memory>
#include <string>
#include <string_view>

#include "sim/sim_chip.h"

namespace dmm::sim {

// The chips the simulated board can carry, by product name: the demo DMM front end
// (the default) and the demo microcontroller that runs the channel switch test.
inline constexpr char kDemoDmmChipName[] = "VZ6401";
inline constexpr char kSwitchTestChipName[] = "RX405";

// True for a name above (any case); an empty name means the default.
bool IsSimulatedChipName(std::string_view name);

// The chip of that name, laid out by its description in the bench directory's INCLUDE/,
// or the plain memory chip (with the reason in error) when that description cannot be
// used or the name is unknown.
std::unique_ptr<SimChip> MakeBenchChip(const QString& benchDir, std::string_view name,
                                       std::string* error);

}  // namespace dmm::sim
