#pragma once

#include <QString>

#include <array>
#include <cstdint>

#include "core/link/stnd.h"

namespace dmm {

// A colour as the Windows program stores it in .ram files: 0x00BBGGRR. Values with a
// high byte are Windows system colours.
using TColor = int32_t;
inline constexpr TColor kDefaultMarkColour = 0x808080;  // gray

// What the user keeps on one RAM cell besides its value: a coloured mark and a hint.
struct RamCellNote {
    bool marked = false;
    TColor colour = kDefaultMarkColour;
    bool hinted = false;
    QString hint;

    bool operator==(const RamCellNote&) const = default;
};

// Marks and hints of every address of the chip's address space.
using RamNotes = std::array<RamCellNote, kRegisterImageSize>;

}  // namespace dmm
