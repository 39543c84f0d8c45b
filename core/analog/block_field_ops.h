#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

#include "core/chip/reg_field.h"

namespace dmm {

class ChipAccess;

// What the analog block panels do to the chip. Thread: the bench thread (or a test's).

// Read-modify-write of one field: the register byte from the image with the field set
// to value, written with WriteRegister (read back into the image, panels refreshed).
// False, and the image unchanged, when the field is unbound or the write fails.
bool WriteFieldValue(ChipAccess& chip, const TRegField& field, int value);
// Inverts a one-bit field as the image holds it (0 becomes 1, anything else 0).
bool ToggleField(ChipAccess& chip, const TRegField& field);

// ADC output bits: the divisor 2^(24 - bits) that scales a 24-bit result to b bits.
int64_t OutputBitsDivisor(int bits);

// Capture thresholds: a signed 16-bit value in a low/high register pair.
inline constexpr int kThresholdMin = -32768;
inline constexpr int kThresholdMax = 32767;
// The entry's text as a threshold; nothing for text that is no decimal integer or lies
// outside -32768..32767.
std::optional<int> ParseThreshold(const QString& text);
// The signed value a low/high byte pair holds.
int ThresholdFromBytes(uint8_t low, uint8_t high);

enum class ThresholdWrite { Written, Unbound, WriteFailed, ReadBackDiffers };
// Writes the value low byte first, reads the pair back and, when it matches, stores the
// two bytes in the image (without a panel refresh: nothing else changed).
ThresholdWrite WriteThreshold(ChipAccess& chip, const TRegField& low, const TRegField& high,
                              int value);

// Peak hold: six result bytes from register 0x0E, minimum first, each three bytes low
// byte first. The chip keeps them with 6 bits less resolution than a 24-bit result (5
// when it holds ADC1's peaks).
inline constexpr uint16_t kPeakHoldAddress = 0x0E;
struct PeakHold {
    int64_t minimum = 0;
    int64_t maximum = 0;
};
PeakHold DecodePeakHold(const std::array<uint8_t, 6>& bytes, bool adc1Source, int64_t divisor);
// Reads the six bytes and decodes them; nothing when the read fails.
std::optional<PeakHold> ReadPeakHold(ChipAccess& chip, bool adc1Source, int64_t divisor);

}  // namespace dmm
