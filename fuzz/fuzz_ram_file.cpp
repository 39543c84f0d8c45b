// The .ram reader: any bytes in, a verdict out; a file it accepts must survive being
// written and read again unchanged.
#include <cstdint>
#include <cstdlib>

#include "core/views/ram_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const dmm::RamFileParse first = dmm::ParseRamFile(bytes);
    if (!first.ok) return 0;

    const QByteArray written = dmm::FormatRamFile(first.contents);
    const dmm::RamFileParse second = dmm::ParseRamFile(written);
    if (!second.ok) std::abort();
    for (size_t a = 0; a < first.contents.values.size(); ++a) {
        const dmm::RamCellNote& was = first.contents.notes[a];
        const dmm::RamCellNote& is = second.contents.notes[a];
        if (first.contents.values[a] != second.contents.values[a] || was.marked != is.marked ||
            was.hinted != is.hinted || was.colour != is.colour) {
            std::abort();
        }
    }
    // Hints may be normalised once (line breaks become spaces), never twice.
    if (dmm::FormatRamFile(second.contents) != written) std::abort();
    return 0;
}
