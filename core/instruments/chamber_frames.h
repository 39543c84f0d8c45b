#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/app/user_numbers.h"

// The climate chamber controller's framed protocol: ASCII between STX and CR LF, numbers
// as four upper-case hexadecimal digits (negative values in two's complement), counts as
// two decimal digits. Pure functions.
namespace dmm {

inline constexpr char kChamberStx = 0x02;
inline constexpr int kChamberMaxWords = 99;

// STX "01WSD," nn "," AAAA ("," WWWW)... CR LF: 5 x (n + 1) + 11 bytes.
std::string ChamberWriteFrame(uint16_t address, const std::vector<uint16_t>& words);
// STX "01RSD," nn "," AAAA CR LF: 16 bytes.
std::string ChamberReadFrame(uint16_t address, int count);
// Bytes a read reply of count words takes: 5 x n + 11.
inline size_t ChamberReadReplySize(int count) {
    return 5 * static_cast<size_t>(count) + 11;
}

// The controller's acceptance as the original checks it: STX first, "OK" at bytes 7 and 8.
bool ChamberReplyOk(const uint8_t* reply, size_t n);
// The words of a read reply: STX "01RSD,OK" then "," WWWW for each word. The reply may
// follow noise (it is found by its STX); nullopt unless all count words are there.
std::optional<std::vector<uint16_t>> ParseChamberReadReply(const uint8_t* reply, size_t n,
                                                           int count);

// What the chamber can take: the frame carries whole degrees and percent in tenths, as
// signed 16-bit words, so a temperature from -3276 to 3276 degC; a relative humidity from
// 0 to 100 %; ramps that are rates, so never negative, and no larger than a word carries.
inline constexpr RealRule kChamberTemperatureRule{
    "a chamber temperature", -3276, 3276, false, false, "T", "\u00B0C"};
inline constexpr RealRule kChamberHumidityRule{
    "a relative humidity", 0, 100, false, false, "H", "%"};
inline constexpr RealRule kChamberTemperatureRampRule{
    "a temperature ramp", 0, 3276, false, false, "ramp", "\u00B0C/min"};
inline constexpr RealRule kChamberHumidityRampRule{
    "a humidity ramp", 0, 3276, false, false, "ramp", "%/min"};

// The set points and ramps of one load, checked before anything is sent.
struct ChamberSetPoints {
    double temperature = 0;
    double humidity = 0;
    double temperatureRamp = 0;
    double humidityRamp = 5;
};
// Empty when the chamber can take them all; else what it cannot take, the first refused
// value named: "humidity: 120 is not a relative humidity (0 <= H <= 100 %)".
std::string ChamberSetPointRefusal(const ChamberSetPoints& points);

// A step-table value as a set-point word: rounded down to a whole number, times ten,
// in two's complement (-5.0 gives 0xFFCE). Only for values ChamberSetPointRefusal passes:
// anything else is clamped to what a word holds.
uint16_t ChamberSetPointWord(double value);
// A reading word as a signed number of tenths.
inline int16_t ChamberSigned(uint16_t word) {
    return static_cast<int16_t>(word);
}

// The chamber's registers this program uses.
inline constexpr uint16_t kChamberTemperature = 0x0001;  // 2 words: present value, ...
inline constexpr uint16_t kChamberHumidity = 0x0005;     // 2 words
inline constexpr uint16_t kChamberIdentity = 0x0010;
inline constexpr uint16_t kChamberCommand = 0x0101;   // 1 run, 4 stop
inline constexpr uint16_t kChamberSetPoint = 0x0102;  // temperature, humidity (tenths)
inline constexpr uint16_t kChamberRamp = 0x0106;      // temperature, humidity ramps (tenths)
inline constexpr uint16_t kChamberMode = 0x0200;      // 0 before a run
inline constexpr uint16_t kChamberRunCode = 0x0001;
inline constexpr uint16_t kChamberStopCode = 0x0004;

}  // namespace dmm
