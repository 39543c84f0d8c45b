#include "headless/link_operations.h"

#include <sstream>

#include "core/link/number_text.h"
#include "headless/number_rules.h"

namespace dmm::headless {
namespace {

Done CheckAddress(int64_t address, int64_t count) {
    const std::string refusal = BlockRefusal(address, count);
    if (refusal.empty()) return {};
    return Refused(refusal);
}

}  // namespace

std::string BlockRefusal(int64_t address, int64_t count) {
    if (address >= 0 && address + count <= kRegisterImageSize) return {};
    std::ostringstream message;
    message << "address range 0x" << HexText32(static_cast<uint32_t>(address)) << " + " << count
            << " lies outside the chip's 0x000..0x3FF";
    return message.str();
}

Result<BoardDescription> ScanBoard(HeadlessBench& bench) {
    if (Done open = bench.EnsureBoard(); !open) return open.failure();
    BoardLink& link = bench.core().link();
    const Devc& devc = link.devc();
    BoardDescription board;
    board.hid = link.HidMode();
    if (board.hid) {
        const HidAttributes& a = link.hidAttributes();
        board.vendorId = a.vendorId;
        board.productId = a.productId;
        board.release = a.versionNumber;
        board.reportLength = a.inputReportLength;
    } else {
        board.deviceName = devc.deviceName;
        board.vendorId = devc.VendorId();
        board.productId = devc.ProductId();
        board.pipeIn = devc.pipes[0].endpointAddress;
        board.pipeOut = devc.pipes[1].endpointAddress;
        board.packetSize = devc.maximumPacketSize;
    }
    if (!link.ReadBoardInfo(board.info))
        return LinkFailure("the board did not answer the info request");
    return board;
}

Result<std::vector<uint8_t>> ReadChipBytes(HeadlessBench& bench, int64_t address, int64_t count) {
    if (count < 1 || count > 255) return Refused("COUNT must be 1..255");
    if (Done in = CheckAddress(address, count); !in) return in.failure();
    if (Done link = bench.EnsureChipLink(); !link) return link.failure();
    ChipAccess& chip = bench.core().chip();
    if (!chip.ReadChip(static_cast<uint16_t>(address), static_cast<int>(count)))
        return bench.ChipFailure("chip read failed");
    const uint8_t* data = chip.buffer().data();
    return std::vector<uint8_t>(data, data + count);
}

Done WriteChipBytes(HeadlessBench& bench, int64_t address, std::span<const TypedNumber> bytes) {
    if (bytes.size() > 255) return Refused("at most 255 bytes per write");
    if (Done in = CheckAddress(address, static_cast<int64_t>(bytes.size())); !in) return in;
    ChipAccess& chip = bench.core().chip();
    const size_t offset = WriteDataOffset(chip.target().interfaceKind);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i].value < 0 || bytes[i].value > 255)
            return Refused("byte out of range: " + bytes[i].text);
        if (offset + i >= chip.buffer().size()) return Refused("too many bytes");
    }
    if (Done link = bench.EnsureChipLink(); !link) return link;
    for (size_t i = 0; i < bytes.size(); ++i)
        chip.buffer()[offset + i] = static_cast<uint8_t>(bytes[i].value);
    if (!chip.WriteChip(static_cast<uint16_t>(address), static_cast<int>(bytes.size())))
        return bench.ChipFailure("chip write failed");
    return {};
}

Result<uint8_t> WriteChipRegister(HeadlessBench& bench, int64_t address, int64_t value) {
    if (value < 0 || value > 255) return Refused("BYTE must be 0..255");
    if (Done in = CheckAddress(address, 1); !in) return in.failure();
    if (Done link = bench.EnsureChipLink(); !link) return link.failure();
    ChipAccess& chip = bench.core().chip();
    if (!chip.WriteRegister(static_cast<uint16_t>(address), static_cast<uint8_t>(value)))
        return bench.ChipFailure("register write failed");
    const uint8_t readBack = chip.GetRegImage(static_cast<int>(address));
    // Read-only or unimplemented bits: the chip kept something else than was written.
    if (readBack != value) {
        bench.hooks().Say("register " + HexStr(static_cast<uint16_t>(address), 3) + " reads back " +
                          HexStr(readBack, 2) + ", not the " +
                          HexStr(static_cast<uint16_t>(value), 2) + " written");
    }
    return readBack;
}

}  // namespace dmm::headless
