// The calibration-set reader: any bytes in, a verdict out; a set it accepts, written and
// read again, is still a set and comes back as it was written.
#include <cstdint>
#include <cstdlib>

#include "core/calsets/config_set_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!dmm::ConfigSetFault(bytes).isEmpty()) return 0;
    // Numbers are normalised once ("%f", six decimals), never twice.
    const QByteArray written = dmm::WriteConfigSet(dmm::ReadConfigSet(bytes));
    if (!dmm::ConfigSetFault(written).isEmpty()) std::abort();
    if (dmm::WriteConfigSet(dmm::ReadConfigSet(written)) != written) std::abort();
    return 0;
}
