#pragma once

#include <cstdint>

namespace dmm {

// A named bit field of a chip register, bound by the chip description's field sections.
// An undefined field (defined == 0) is not on this chip: panels disable its controls.
struct TRegField {
    int registerIndex = 0;  // chip address of the register
    int width = 0;          // bits
    int shift = 0;          // position of the lowest bit
    int value = 0;          // last value shown
    int defined = 0;        // 1 once the description named it

    bool IsDefined() const { return defined != 0 && width > 0; }
    uint8_t Mask() const { return static_cast<uint8_t>(((1u << width) - 1u) << shift); }
    // The field's value inside a register byte.
    int Extract(uint8_t registerValue) const { return (registerValue & Mask()) >> shift; }
    // The register byte with the field set to v (other bits kept).
    uint8_t Insert(uint8_t registerValue, int v) const {
        return static_cast<uint8_t>((registerValue & ~Mask()) | ((static_cast<unsigned>(v) << shift) & Mask()));
    }
};

}  // namespace dmm
