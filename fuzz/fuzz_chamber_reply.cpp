// The chamber reply parser: any bytes in, the words or nothing out; a reply built from
// the words it found parses to the same words.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/instruments/chamber_frames.h"
#include "core/link/number_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int count = data[0] % 12 + 1;
    const auto words = dmm::ParseChamberReadReply(data + 1, size - 1, count);
    dmm::ChamberReplyOk(data + 1, size - 1);
    if (!words) return 0;
    if (static_cast<int>(words->size()) != count) std::abort();
    std::string reply = "\x02" "01RSD,OK";
    for (uint16_t w : *words) reply += "," + dmm::HexStr(w, 4);
    reply += "\r\n";
    const auto again = dmm::ParseChamberReadReply(reinterpret_cast<const uint8_t*>(reply.data()),
                                                  reply.size(), count);
    if (!again || *again != *words) std::abort();
    if (!dmm::ChamberReplyOk(reinterpret_cast<const uint8_t*>(reply.data()), reply.size()))
        std::abort();
    return 0;
}
