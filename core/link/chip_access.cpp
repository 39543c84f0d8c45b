#include "core/link/chip_access.h"

#include <algorithm>

namespace dmm {
namespace {

constexpr int64_t kFrameWaitMs = 50;
constexpr int64_t kCalibrationSettleMs = 1000;
constexpr uint16_t kPairLow = 0x1A;
constexpr uint16_t kPairHigh = 0x1B;
// The DMM frame carries the address doubled in one byte: only 0x00..0x7F can be reached.
constexpr int kDmmAddressSpace = 0x80;

// A DMM frame for an address beyond its reach would silently land on another register.
bool OutOfDmmReach(InterfaceKind kind, uint16_t address, int count) {
    return kind == InterfaceKind::DMM && address + count > kDmmAddressSpace;
}

}  // namespace

ChipAccess::ChipAccess(STND& target, BoardLink& link, Clock& clock)
    : target_(target), link_(link), clock_(clock) {}

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

bool ChipAccess::ExchangeFrame(size_t sendCount, size_t receiveCount) {
    return link_.SendPacket(sendCount) && link_.ReceivePacket(receiveCount);
}

void ChipAccess::WaitAfterFrame() {
    DelayMs(clock_, kFrameWaitMs);
}

bool ChipAccess::ReadChip(uint16_t address, int count) {
    const InterfaceKind kind = target_.interfaceKind;
    if (kind == InterfaceKind::Parallel) return ReadChipParallel(address, count);
    if (count < 1 || count > 255 || !UsesBoard(kind) || OutOfDmmReach(kind, address, count))
        return false;
    TransferBuffer& buffer = link_.buffer();
    const FrameSizes sizes =
        BuildReadFrame(kind, Options(), address, static_cast<uint8_t>(count), buffer.data());
    if (sizes.receive > buffer.size()) return false;

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
    const InterfaceKind kind = target_.interfaceKind;
    if (kind == InterfaceKind::Parallel) return WriteChipParallel(address, count);
    if (count < 1 || count > 255 || !UsesBoard(kind) || OutOfDmmReach(kind, address, count))
        return false;
    TransferBuffer& buffer = link_.buffer();
    if (WriteDataOffset(kind) + static_cast<size_t>(count) > buffer.size()) return false;
    const FrameSizes sizes =
        BuildWriteFrame(kind, Options(), address, static_cast<uint8_t>(count), buffer.data());

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

void ChipAccess::RememberFunctionCopy(uint16_t address, uint8_t value) {
    FunctionRegisterCopy& copy = SelectedCopy();
    if (address >= 0x3C && address <= 0x40)
        copy[address - 0x3C] = value;
    else if (address == 0x30)
        copy[5] = value;
}

bool ChipAccess::WriteRegister(uint16_t address, uint8_t value) {
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

}  // namespace dmm
