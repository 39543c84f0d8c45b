#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/app/user_numbers.h"
#include "core/calsets/config_set_file.h"
#include "core/instruments/instruments.h"

// The rules of the numbers a bench driven without windows is given (dmmctl's options and
// arguments, a script's arguments) where no core object owns one: each front end reads
// its numbers against these, so that both refuse the same values in the same words.
namespace dmm::headless {

inline constexpr WholeRule kByteCountRule{"a number of bytes", 1, 255};
inline constexpr WholeRule kByteRule{"a byte", 0, 0xFF, "BYTE", "", WholeForm::Any, true};
inline constexpr WholeRule kReadingCountRule{"a number of readings", 1, 100000};
inline constexpr WholeRule kChipLineRule{"a line of the chip list", 0, 0xFFFF};
// What any field may take before the loaded chip says how wide it is.
inline constexpr WholeRule kFieldValueRule{"a field value", 0,   0xFF, "VALUE", "",
                                           WholeForm::Any,  true};
inline constexpr WholeRule kCalSetSlotRule{"a slot", 0, kConfigSetSlots - 1};
// Meter channels as dmmctl's meter verb counts them (from 0) and as the drift test does
// (from 1).
inline constexpr WholeRule kMeterChannelRule{"a meter channel", 0, kMeterChannelCount - 1};
inline constexpr WholeRule kDriftMeterRule{"a meter channel", 1, kMeterChannelCount};
inline constexpr WholeRule kPortBaseRule{"a port base", 0, 0xFFFF};
inline constexpr WholeRule kBaudRule{"a baud rate", 1, 1000000};
inline constexpr WholeRule kSimLatencyRule{"an exchange latency in milliseconds", 0, 1000};
inline constexpr RealRule kSimSpeedRule{"a clock speed", 1, 1000, false, false, "N"};

// One of the analysis window's capture lengths (64, 128, ... 65536), as ReadWhole takes
// it; nullopt and the refusal otherwise.
std::optional<int64_t> ReadCaptureLength(std::string_view text, std::string* refusal = nullptr);

// Why a block of count bytes from address does not fit the chip's 0x000..0x3FF; empty
// when it does.
std::string BlockRefusal(int64_t address, int64_t count);

}  // namespace dmm::headless
