#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/app/user_numbers.h"

// The arithmetic of the program counter: the gate counter's reload, the frequency, duty
// and capacitance figures of one counter report, and the capacitance ranges. Pure
// functions and tables; the bench-side ProCounter drives the chip with them.
namespace dmm {

// The three counters are 24 bits wide; the gate counter CTA counts up from its reload
// value to this span.
inline constexpr double kCounterSpan = 16777216.0;

// The reload bytes of the gate counter, CTA<15:8> and CTA<23:16>, and the gate length
// they give in system clocks.
struct CounterReload {
    uint8_t r1 = 0;  // written to CTA1
    uint8_t r2 = 0;  // written to CTA2
    double offset = kCounterSpan;
};

// The numbers typed into the counter window (and dmmctl counter): the reload bytes in
// hexadecimal, the system clock and the Q factor of the capacitance figure.
inline constexpr WholeRule kReloadByteRule{"a reload byte", 0,     0xFF, "CTA", "",
                                           WholeForm::Hex,  false, 2};
inline constexpr RealRule kSystemClockRule{"a system clock", 0, 1e9, true, false, "f", "Hz", true};
inline constexpr RealRule kQFactorRule{"a Q factor", 0, 1e9, true, false, "Q"};

// The offset 2^24 - (R2 x 65536 + R1 x 256). R1 is written to CTA1, which holds bits 15..8
// of the counter, so it weighs 256 (CTA0 starts from 0).
double ReloadOffset(uint8_t r1, uint8_t r2);
// The reload from the two hexadecimal entries; nothing, and why in *refusal ("CTA<15:8>:
// 1C0 is not a reload byte (...)"), when one is not a byte in hexadecimal.
std::optional<CounterReload> ReloadFromTexts(std::string_view cta1Text, std::string_view cta2Text,
                                             std::string* refusal = nullptr);
// "CTAI = 0x" with the offset over 256 in four hexadecimal digits and its low byte in two.
QString ReloadStatusText(double offset);

// One counter report: the nine bytes from CTC0 on (CTC, CTB, CTA, each low byte first).
struct CounterCounts {
    uint32_t highTime = 0;  // C: system clocks with the input high
    uint32_t periods = 0;   // B: input periods
    uint32_t gate = 0;      // A: system clocks past the reload offset
};
CounterCounts DecodeCounts(const std::array<uint8_t, 9>& bytes);

// The texts of one report. nullopt: the entry keeps what it shows.
struct CounterReading {
    std::optional<QString> frequency;    // EFRE, Hz
    std::optional<QString> duty;         // EDUTY, %
    std::optional<QString> highTime;     // EDUTYUS, microseconds
    std::optional<QString> capacitance;  // PCAP, Q / frequency
};
// The dashes an entry shows when it has no figure.
inline constexpr char kNoFigure[] = "------";
// T = A + offset; F = B / T x clock; duty = C / T x 100; high time = duty / (F x 100) s;
// capacitance = Q / F. A clock or Q that is not a number (nullopt) gives dashes where it
// is needed, never a figure computed from 0.
CounterReading ComputeReading(const CounterCounts& counts, double offset,
                              std::optional<double> clockHz, std::optional<double> q);

// The system clock and Q entries read: nothing for an entry that is refused, and the
// refusals of both, named by their captions, in refusal ("" when both are numbers).
struct CounterFactors {
    std::optional<double> clockHz;
    std::optional<double> q;
    QString refusal;
};
CounterFactors ReadCounterFactors(const QString& systemClock, const QString& q);

// The reference resistor the F bank's register byte closes: 4 "1K", 8 "10K", 16 "100K",
// 32 "1M", 128 "10M"; any other byte shows nothing.
QString ReferenceResistorText(uint8_t bankByte);

// The five capacitance ranges: each writes one block of 21 bytes to registers 0x1E..0x32
// and sets the Q factor.
struct CapacitanceRange {
    const char* button;   // objectName
    const char* caption;  // button text
    uint8_t resistor;     // register 0x2C (the F bank: which charge resistor is closed)
    uint8_t opAmps;       // register 0x20
    uint8_t opAmpInputs;  // register 0x21
    const char* q;        // the Q factor it sets
    // What one count of Q / frequency is on this range: the range reads 500 at its full
    // scale (the button's caption).
    const char* unit;
};
inline constexpr uint16_t kRangeBlockAddress = 0x1E;
inline constexpr int kRangeBlockSize = 21;
std::span<const CapacitanceRange> CapacitanceRanges();
std::array<uint8_t, kRangeBlockSize> RangeBlock(const CapacitanceRange& range);

}  // namespace dmm
