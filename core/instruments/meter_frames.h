#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The handheld reference meter's (BryMen) serial frames. Pure functions.
//
// Request: DLE STX, three zero bytes, their XOR, DLE ETX. Reply, 22 bytes from its DLE STX:
//   4 flag byte A (bit 0 AC, 1 DC, 2 volt, 3 farad, 4 diode, 5 degC, 6 degF, 7 ohm)
//   5 flag byte B (bit 1 ampere, 2 hertz, 3 percent, 5 decibel)
//   8..15 the reading as text ("-" in byte 8 when negative, a "." for the decimals)
//   17 exponent sign ("+" or "-"), 18 exponent digit, 20..21 DLE ETX.
namespace dmm {

inline constexpr std::array<uint8_t, 8> kBryMenRequest = {0x10, 0x02, 0x00, 0x00,
                                                          0x00, 0x00, 0x10, 0x03};
inline constexpr size_t kBryMenFrameSize = 22;
inline constexpr uint8_t kDle = 0x10;
inline constexpr uint8_t kStx = 0x02;
inline constexpr uint8_t kEtx = 0x03;

// Where the first DLE STX starts, or n when there is none.
size_t FindBryMenStart(const uint8_t* data, size_t n);
// True when a DLE ETX follows the DLE STX at start.
bool HasBryMenEnd(const uint8_t* data, size_t n, size_t start);

// One decoded reading.
struct BryMenReading {
    double value = 0;
    bool negative = false;
    int pointPosition = 0;  // index of "." within bytes 9..15, or 0
    int integerDigits = 0;  // digits in front of the "." (all of them without a point)
    std::string digits;     // bytes 9..15 without blanks and without the point
    bool exponentNegative = false;
    int exponent = 0;
    bool overload = false;  // a short reply or a reading that is no number
    uint8_t flagsA = 0;
    uint8_t flagsB = 0;
};

// Decodes the reply from its DLE STX on (noise in front of it is skipped).
BryMenReading DecodeBryMen(const uint8_t* data, size_t n);

// "AC ", "DC " (not with ohm) and the units in flag order ("V", "F", "D", "℃", "℉",
// "Ω", "A", "Hz", "%", "dB"), without a prefix: the drift test's unit text.
std::string BryMenUnitText(uint8_t flagsA, uint8_t flagsB);

// What the meter window shows for a reading, on its five-digit display.
inline constexpr int kBryMenDisplayDigits = 5;
struct BryMenDisplay {
    std::string unit;     // "DC mV", "kΩ"
    std::string caption;  // the digits with their point: "1234.5", or "OL"
    int dotCount = 0;     // digits in front of the point (the LED display's point cell)
    bool negative = false;
};
BryMenDisplay DisplayOf(const BryMenReading& reading);

}  // namespace dmm
