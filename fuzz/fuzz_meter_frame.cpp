// The meter reply decoder: any bytes in, a reading out; the display text built from it
// fits the five-digit display and its point, whatever came in.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "core/instruments/meter_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const dmm::BryMenReading reading = dmm::DecodeBryMen(data, size);
    const dmm::BryMenDisplay display = dmm::DisplayOf(reading);
    if (reading.overload && display.caption != "OL") std::abort();
    if (display.dotCount < 0 || display.dotCount > static_cast<int>(display.caption.size()))
        std::abort();
    if (!reading.overload && std::isnan(reading.value)) std::abort();
    const size_t start = dmm::FindBryMenStart(data, size);
    if (start > size) std::abort();
    return 0;
}
