#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Number <-> text conversions shared by every panel. Text to number is strict: one
// character outside the allowed set makes the whole result 0, as panels rely on.
namespace dmm {

// Decimal digits with an optional leading "-".
int64_t DecText(std::string_view text);
// Digits 0-9, A-F, a-f.
int64_t HexText(std::string_view text);
// Characters "0" and "1".
int64_t BinText(std::string_view text);

// Upper-case hexadecimal of the 16-bit value, left-padded with "0" to width (never cut).
std::string HexStr(uint16_t value, int width);
// Decimal of the 16-bit value, left-padded with "0" to width.
std::string DecStr(uint16_t value, int width);
// Binary of the 16-bit value, left-padded with "0" to width; 0 with width 0 is empty.
std::string BinStr(uint16_t value, int width);
// Upper-case hexadecimal of a 32-bit value without leading zeros; "0" for 0.
std::string HexText32(uint32_t value);

}  // namespace dmm
