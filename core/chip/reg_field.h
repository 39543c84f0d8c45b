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
    // Bits outside the 8-bit register are cut off, so a record with an out-of-range width
    // or shift can never shift by more than the type allows.
    uint8_t Mask() const {
        if (width <= 0 || shift < 0 || shift > 7) return 0;
        const unsigned ones = width >= 8 ? 0xFFu : (1u << width) - 1u;
        return static_cast<uint8_t>(ones << shift);
    }
    // The field's value inside a register byte.
    int Extract(uint8_t registerValue) const {
        const uint8_t mask = Mask();
        return mask == 0 ? 0 : (registerValue & mask) >> shift;
    }
    // The register byte with the field set to v (other bits kept).
    uint8_t Insert(uint8_t registerValue, int v) const {
        const uint8_t mask = Mask();
        if (mask == 0) return registerValue;
        return static_cast<uint8_t>((registerValue & ~mask) |
                                    ((static_cast<unsigned>(v) << shift) & mask));
    }
    // Number of values the field can take (2^width; 0 for an unbound field).
    int OptionCount() const { return width <= 0 ? 0 : 1 << (width > 8 ? 8 : width); }
};

}  // namespace dmm
