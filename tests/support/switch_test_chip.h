#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"
#include "sim/switch_test_firmware.h"

namespace dmm::test {

// The RX405 with its switch test firmware, laid out by the shipped description.
inline std::unique_ptr<sim::SwitchTestFirmware> ShippedSwitchTestChip() {
    std::string error;
    auto chip = sim::SwitchTestFirmware::FromDescriptionFile(
        FindFileCaseInsensitive(IncludeDirectory(ShippedDataDirectory()),
                                sim::kSwitchTestDescription),
        &error);
    EXPECT_TRUE(chip) << error;
    return chip;
}

}  // namespace dmm::test
