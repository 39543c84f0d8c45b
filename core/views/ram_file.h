#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

#include "core/views/ram_notes.h"

namespace dmm {

// A ".ram" file: the values of chip addresses 0..511 and their marks and hints.
//
// Text lines ending in CR LF: 512 value lines (two hexadecimal digits, or "-" for an
// address the chip does not implement), then three lines per address 0..511: the mark
// and hint flags as two integers right-aligned in two characters (" 1 0"), the mark
// colour as a decimal integer (0x00BBGGRR), and the hint text.
inline constexpr int kRamFileAddresses = 512;

struct RamFileContents {
    std::array<std::optional<uint8_t>, kRamFileAddresses> values{};  // nullopt: "-"
    std::array<RamCellNote, kRamFileAddresses> notes{};
};

struct RamFileParse {
    bool ok = false;
    QString error;  // what is wrong and on which line, when !ok
    RamFileContents contents;
};

// The file's bytes. Hint texts are written in Big5 (the Windows program's code page);
// one with a character Big5 lacks is written as a UTF-8 byte-order mark and UTF-8.
// Line breaks inside a hint become spaces.
QByteArray FormatRamFile(const RamFileContents& contents);

// Checks the whole file before anything is taken from it: it must hold all 512 values
// and all 512 records, every value must be "-" or one or two hexadecimal digits, every
// flag line two integers and every colour line one. Lines may end in CR LF or LF; lines
// after the last record are ignored.
RamFileParse ParseRamFile(const QByteArray& bytes);

// Writes the file through a temporary file that replaces path only when complete, so a
// failure leaves an existing file as it was. false with a message on failure.
bool WriteRamFile(const QString& path, const RamFileContents& contents, QString& error);
// Reads and checks a file; nothing is applied by this call.
RamFileParse ReadRamFile(const QString& path);

}  // namespace dmm
