#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/analog/block_field_ops.h"
#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"
#include "sim/sim_dmm_chip.h"
#include "support/sim_fixture.h"

namespace dmm::test {

// The demo DMM chip, from the shipped description.
inline std::unique_ptr<sim::SimChip> MakeDemoChip() {
    std::string error;
    auto chip = sim::SimDmmChip::FromDescriptionFile(
        FindFileCaseInsensitive(IncludeDirectory(ShippedDataDirectory()), sim::kDemoDmmDescription),
        &error);
    EXPECT_NE(chip, nullptr) << error;
    return chip;
}

// The demo DMM chip on the simulated board, on virtual time, with the program's own model
// of it loaded from the shipped description: fields are set the way the panels set them.
struct DemoChipBench {
    DemoChipBench() : f(MakeDemoChip()) {
        EXPECT_TRUE(f.Open());
        f.core.target().chipIndex = 0;
        EXPECT_EQ(
            GetSELUP(IncludeDirectory(ShippedDataDirectory()), f.core.chipModel(), f.core.chip()),
            1);
        chip().nodes().noise = false;
        // The image starts as the chip is (the crystal runs from power-up).
        EXPECT_TRUE(ReadRamIntoImage(access()));
        f.trace.Clear();
    }

    sim::SimDmmChip& chip() { return static_cast<sim::SimDmmChip&>(f.sim.chip()); }
    ChipAccess& access() { return f.core.chip(); }
    const TRegField& Field(const char* name) { return *f.core.chipModel().Field(name); }
    // Read-modify-write of the field's register, as a panel does it.
    void Set(const char* name, int value) {
        ASSERT_TRUE(WriteFieldValue(access(), Field(name), value)) << name;
    }
    // The field as the chip holds it now (read over the link).
    int Get(const char* name) {
        const TRegField& field = Field(name);
        EXPECT_TRUE(access().ReadChip(static_cast<uint16_t>(field.registerIndex), 1));
        return field.Extract(access().buffer()[0]);
    }

    SimFixture f;
};

}  // namespace dmm::test
