#include "core/link/chip_access.h"

#include <algorithm>

#include "core/link/number_text.h"

namespace dmm {
namespace {

constexpr int64_t kFrameWaitMs = 50;
constexpr int64_t kCalibrationSettleMs = 1000;
constexpr uint16_t kPairLow = 0x1A;
constexpr uint16_t kPairHigh = 0x1B;
constexpr int kMaxFrameCount = 255;
// The sleep register, and where the DMM frame reaches it. The DMM frame of 0xFD arrives
// at 0x7D (its doubled address byte drops the top bit), so DMM chips keep their sleep
// key at 0x7D; it is sent there by name rather than through the wrap.
constexpr uint16_t kSleepAddress = 0xFD;
constexpr uint16_t kDmmSleepAddress = 0x7D;
constexpr uint8_t kSleepKey = 0xA5;

}  // namespace

ChipAccess::ChipAccess(STND& target, BoardLink& link, Clock& clock)
    : target_(target), link_(link), clock_(clock), rs232_(target.rs232, link.buffer(), clock) {}

FrameOptions ChipAccess::Options() const {
    return {Photo, IsRxModel(ChipTitle)};
}

uint8_t ChipAccess::GetRegImage(int address) const {
    if (address < 0 || address >= kRegisterImageSize) return 0;
    return target_.RegisterImage[static_cast<size_t>(address)];
}

void ChipAccess::SetRegImage(int address, uint8_t value) {
    if (address < 0 || address >= kRegisterImageSize) return;
    target_.RegisterImage[static_cast<size_t>(address)] = value;
}

bool ChipAccess::Fail(std::string reason) {
    lastFailure_ = std::move(reason);
    if (OnFailure) OnFailure(lastFailure_);
    return false;
}

bool ChipAccess::ExchangeFrame(size_t sendCount, size_t receiveCount) {
    if (!link_.SendPacket(sendCount) || !link_.ReceivePacket(receiveCount)) return false;
    if (link_.lastReceivedCount() < receiveCount) {
        return Fail("The board's reply was short: " + std::to_string(link_.lastReceivedCount()) +
                    " of " + std::to_string(receiveCount) + " bytes");
    }
    return true;
}

bool ChipAccess::Acceptable(bool read, uint16_t address, int count, const FrameSizes& sizes) {
    const InterfaceKind kind = target_.interfaceKind;
    const char* verb = read ? "read" : "written";
    if (count < 1 || count > kMaxFrameCount) {
        return Fail("A count of " + std::to_string(count) + " cannot be " + verb +
                    ": one frame carries 1 to 255 bytes");
    }
    if (kind == InterfaceKind::DMM && address + count > kDmmAddressSpace) {
        // Its doubled address byte would silently land on another register.
        const std::string where = count == 1
                                      ? "Address " + HexStr(address, 3)
                                      : "Addresses " + HexStr(address, 3) + " to " +
                                            HexStr(static_cast<uint16_t>(address + count - 1), 3);
        return Fail(where + " cannot be " + verb +
                    " over the DMM interface: it reaches 000 to 07F");
    }
    const size_t capacity = link_.PacketCapacity();
    if (sizes.send > capacity || sizes.receive > capacity) {
        const bool hid = link_.HidMode();
        const size_t n = std::max(sizes.send, sizes.receive);
        return Fail(std::string(hid ? "A HID board carries " : "The transfer buffer holds ") +
                    std::to_string(capacity) + " bytes a packet: a " + std::to_string(n) +
                    "-byte " + (sizes.send > capacity ? "request" : "reply") + " is refused");
    }
    return true;
}

void ChipAccess::WaitAfterFrame() {
    DelayMs(clock_, kFrameWaitMs);
}

bool ChipAccess::ReadChip(uint16_t address, int count) {
    lastFailure_.clear();
    const InterfaceKind kind = target_.interfaceKind;
    if (kind == InterfaceKind::RS232) return ReadChipRs232(address, count);
    if (kind == InterfaceKind::Parallel) return ReadChipParallel(address, count);
    if (!UsesBoard(kind)) return false;
    TransferBuffer& buffer = link_.buffer();
    // As for writes: nothing in the buffer changes until the request is known to fit.
    uint8_t header[8] = {};
    const FrameSizes sizes = BuildReadFrame(
        kind, Options(), address, static_cast<uint8_t>(std::clamp(count, 0, 255)), header);
    if (!Acceptable(true, address, count, sizes)) return false;
    std::copy(header, header + sizes.send, buffer.begin());

    switch (kind) {
        case InterfaceKind::SPI:
        case InterfaceKind::Special:
            if (!target_.devc.connected) return false;
            if (!ExchangeFrame(sizes.send, sizes.receive)) return false;
            WaitAfterFrame();
            return true;
        case InterfaceKind::UART:
            if (!ExchangeFrame(sizes.send, sizes.receive)) return false;
            if (buffer[static_cast<size_t>(count)] != kUartReadAck) return false;
            WaitAfterFrame();
            return true;
        case InterfaceKind::DMM:
            return ExchangeFrame(sizes.send, sizes.receive);
        default:
            return false;
    }
}

bool ChipAccess::WriteChip(uint16_t address, int count) {
    lastFailure_.clear();
    const InterfaceKind kind = target_.interfaceKind;
    if (kind == InterfaceKind::RS232) return WriteChipRs232(address, count);
    if (kind == InterfaceKind::Parallel) return WriteChipParallel(address, count);
    if (!UsesBoard(kind)) return false;
    TransferBuffer& buffer = link_.buffer();
    const size_t dataEnd = WriteDataOffset(kind) + static_cast<size_t>(std::max(count, 0));
    // The header goes to a scratch copy until the request is known to fit, so a refused
    // request leaves the caller's data where it was.
    uint8_t header[8] = {};
    FrameSizes sizes = BuildWriteFrame(kind, Options(), address,
                                       static_cast<uint8_t>(std::clamp(count, 0, 255)), header);
    if (dataEnd > buffer.size()) sizes.send = dataEnd;
    if (!Acceptable(false, address, count, sizes)) return false;
    std::copy(header, header + WriteDataOffset(kind), buffer.begin());

    switch (kind) {
        case InterfaceKind::SPI:
        case InterfaceKind::Special:
            if (!ExchangeFrame(sizes.send, sizes.receive)) return false;
            WaitAfterFrame();
            return true;
        case InterfaceKind::UART:
            if (!ExchangeFrame(sizes.send, sizes.receive)) return false;
            if (buffer[0] != kUartWriteAck) return false;
            WaitAfterFrame();
            return true;
        case InterfaceKind::DMM:
            return ExchangeFrame(sizes.send, sizes.receive);
        default:
            return false;
    }
}

bool ChipAccess::SleepChip() {
    const InterfaceKind kind = target_.interfaceKind;
    link_.buffer()[WriteDataOffset(kind)] = kSleepKey;
    return WriteChip(kind == InterfaceKind::DMM ? kDmmSleepAddress : kSleepAddress, 1);
}

void ChipAccess::RememberFunctionCopy(uint16_t address, uint8_t value) {
    FunctionRegisterCopy& copy = SelectedCopy();
    if (address >= 0x3C && address <= 0x40)
        copy[address - 0x3C] = value;
    else if (address == 0x30)
        copy[5] = value;
}

bool ChipAccess::WriteRegister(uint16_t address, uint8_t value) {
    if (!WriteAndReadBack(address, value)) return false;
    if (link_.ResetPulses() != resetPulsesSeen_) {
        // The chip was reset on purpose: what was written before is gone by design.
        resetPulsesSeen_ = link_.ResetPulses();
        written_.reset();
    }
    if (address < written_.size()) written_.set(address);
    return true;
}

std::optional<std::vector<uint16_t>> ChipAccess::RegistersLost() {
    std::vector<uint16_t> lost;
    if (link_.ResetPulses() != resetPulsesSeen_) return lost;
    for (size_t a = 0; a < written_.size(); ++a) {
        if (!written_.test(a)) continue;
        const auto address = static_cast<uint16_t>(a);
        if (!ReadChip(address, 1)) return std::nullopt;
        if (buffer()[0] != GetRegImage(address)) lost.push_back(address);
    }
    return lost;
}

bool ChipAccess::WriteAndReadBack(uint16_t address, uint8_t value) {
    TransferBuffer& buffer = link_.buffer();
    if (target_.interfaceKind == InterfaceKind::DMM) {
        buffer[4] = value;
        if (!WriteChip(address, 1) || !ReadChip(address, 1)) return false;
        UpdateRegister(address, buffer[0]);
        // The DMM kind keeps its copies too: "Restore ADC" must not write back stale bytes.
        RememberFunctionCopy(address, value);
        return true;
    }
    if (target_.interfaceKind == InterfaceKind::UART && !link_.SetupUartLink()) return false;

    buffer[5] = value;
    if (address == 0x31 || address == 0x32) {
        // These calibration registers answer late: the write's result is not trusted,
        // the read-back a second later is.
        WriteChip(address, 1);
        DelayMs(clock_, kCalibrationSettleMs);
        if (!ReadChip(address, 1)) return false;
    } else if (address == kPairHigh) {
        // The pair 0x1A/0x1B is always written together; 0x1B reads as 0 afterwards.
        buffer[5] = GetRegImage(kPairLow);
        buffer[6] = value;
        if (!WriteChip(kPairLow, 2)) return false;
        buffer[0] = 0;
    } else {
        if (!WriteChip(address, 1) || !ReadChip(address, 1)) return false;
    }
    UpdateRegister(address, buffer[0]);
    RememberFunctionCopy(address, value);
    return true;
}

void ChipAccess::UpdateRegister(int address, uint8_t value) {
    SetRegImage(address, value);
    RefreshPanels();
}

void ChipAccess::SubscribeRefresh(PanelOrder order, RefreshHandler handler) {
    auto at = std::upper_bound(refreshHandlers_.begin(), refreshHandlers_.end(), order,
                               [](PanelOrder o, const auto& entry) { return o < entry.first; });
    refreshHandlers_.insert(at, {order, std::move(handler)});
}

void ChipAccess::RefreshPanels() {
    for (auto& [order, handler] : refreshHandlers_) handler();
}

void ChipAccess::RefreshPanels(std::span<const PanelOrder> order) {
    for (PanelOrder wanted : order) {
        for (auto& [panel, handler] : refreshHandlers_) {
            if (panel == wanted) handler();
        }
    }
}

bool ReadRamIntoImage(ChipAccess& chip) {
    if (!chip.ReadChip(0, kReadRamBytes)) return false;
    for (int i = 0; i < kReadRamBytes; ++i)
        chip.SetRegImage(i, chip.buffer()[static_cast<size_t>(i)]);
    chip.target().registerImageRead = true;
    chip.RefreshPanels();
    return true;
}

}  // namespace dmm
