#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace dmm {

// One calibration set: the chip's calibration registers and a two-point calibration of
// the ADC1 or RMS path. Kept in "VZCONFIG-<n>.txt", 75 lines:
//   1..64  "AAAA VV": address (4 upper-case hex digits), space, value (2 hex digits);
//          the used entries first, the rest "0000 00"
//   65 reference text, 66 unit, 67 ADC choice ("%4d": 0 ADC1, 1 RMS), 68 name,
//   69 ADC1 gain reading, 70 RMS gain reading ("%f"), 71 full-scale limit text,
//   72 ADC1 offset, 73 RMS offset ("%f"), 74 cancel offset ("%4d"), 75 average times ("%4d")
inline constexpr int kConfigSetRegisterLines = 64;
inline constexpr int kConfigSetLines = 75;
inline constexpr int kConfigSetSlots = 10;

struct RegisterPair {
    uint16_t address = 0;
    uint8_t value = 0;
    bool operator==(const RegisterPair&) const = default;
};

struct ConfigSet {
    std::array<RegisterPair, kConfigSetRegisterLines> registers{};
    QString reference = QStringLiteral("40000");
    QString unit = QStringLiteral("mV");
    int adcChoice = 0;  // 0 ADC1, 1 RMS
    QString name = QStringLiteral("~KV");
    double adc1Gain = 0.0;
    double rmsGain = 0.0;
    QString scale = QStringLiteral("66000");
    double adc1Offset = 0.0;
    double rmsOffset = 0.0;
    int cancelOffset = 0;
    int averageTimes = 5;
    bool operator==(const ConfigSet&) const = default;
};

// The file name of slot n (0..9).
QString ConfigSetFileName(int slot);

// The file's bytes, lines ended with CR LF.
QByteArray WriteConfigSet(const ConfigSet& set);
// Reads a set as far as the file goes: missing lines keep the defaults, register lines
// are read by character position (1..4 address, 6..7 value, hexadecimal; a line that is
// not one reads as zero). The average times outside 3..200 become 5.
ConfigSet ReadConfigSet(const QByteArray& bytes);
// How many register lines the file actually had (for applying only those).
int RegisterLinesIn(const QByteArray& bytes);
// Why the bytes are not a set (empty when they are one): 75 lines (blank lines after them
// aside), lines 1..64 register lines, a number where the set holds one. Anything else
// named like a set (a note, a damaged copy) is refused rather than read as zeros.
QString ConfigSetFault(const QByteArray& bytes);
// Larger than any set: such a file is refused without reading it.
inline constexpr qint64 kConfigSetMaxBytes = 64 * 1024;

// The average count as the measurement uses it: outside 3..200 it becomes 5.
int ValidAverageTimes(int n);
// The number of decimals of the live display: the length of the scale text minus the
// number of leading digits of the reference text, 0 when below 1.
int DisplayDecimals(const QString& scale, const QString& reference);

}  // namespace dmm
