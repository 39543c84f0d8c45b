#include "core/link/parallel_link.h"

#include <algorithm>
#include <vector>

namespace dmm {
namespace {

// What an empty bus reads: no register answers at the address.
constexpr uint8_t kEmptyBus = 0xFF;
// Extended control register: the mode field (bits 7..5) and its bidirectional byte mode.
constexpr uint8_t kEcrModeMask = 0xE0;
constexpr uint8_t kEcrByteMode = 0x20;
// Control bits the preparation keeps (interrupt enable and the unused top bits); the
// direction bit 5 is cleared (data lines driven) and the lines end with the frame line
// and the initialise line high.
constexpr uint8_t kControlKeptByInit = 0xD0;
constexpr uint8_t kControlAfterInit = 0x06;

}  // namespace

uint16_t LptPortBase(int itemIndex) {
    if (itemIndex == 1 || itemIndex == 2) return kLptPortBases[static_cast<size_t>(itemIndex)];
    return kLptPortBases[0];
}

int LptItemIndex(uint16_t base) {
    const auto at = std::find(kLptPortBases.begin(), kLptPortBases.end(), base);
    return at == kLptPortBases.end() ? 0 : static_cast<int>(at - kLptPortBases.begin());
}

bool IsLptPortBase(uint16_t base) {
    return std::find(kLptPortBases.begin(), kLptPortBases.end(), base) != kLptPortBases.end();
}

ParallelLink::ParallelLink(ParallelPortBus* bus) : bus_(bus) {}

ParallelLink::~ParallelLink() = default;

std::string ParallelLink::PortName() const {
    return port_ ? port_->Name() : std::string();
}

void ParallelLink::Report(const std::string& text, bool failure) {
    if (statusHandler_) statusHandler_(text, failure);
}

void ParallelLink::Lose(const std::string& why) {
    port_.reset();
    lastError_ = why.empty() ? "the parallel port stopped answering" : why;
    Report(lastError_, true);
}

void ParallelLink::Close() {
    port_.reset();
}

bool ParallelLink::ParOpen() {
    // An open port is a usable one: callers learn whether they can go on, not whether
    // this call did the opening.
    if (port_ && openBase_ == PortBase) return true;
    port_.reset();
    if (!bus_) {
        lastError_ = "no parallel port can be reached on this system";
        Report(lastError_, true);
        return false;
    }
    std::string why;
    port_ = bus_->Open(PortBase, why);
    if (!port_) {
        lastError_ = why.empty() ? "the parallel port cannot be opened" : why;
        Report(lastError_, true);
        return false;
    }
    openBase_ = PortBase;
    lastError_.clear();
    Report(port_->Name() + " On Line", false);
    return true;
}

bool ParallelLink::ParInit() {
    ParOpen();
    const uint16_t base = PortBase;
    // Other bases belong to ports whose registers are not known to be a printer port's.
    if (!IsLptPortBase(base)) return IsOpen();
    const uint16_t ecr = static_cast<uint16_t>(base + kExtendedControlOffset);
    const uint8_t e = ParReadPort(ecr);
    ParWritePort(ecr, static_cast<uint8_t>((e & ~kEcrModeMask) | kEcrByteMode));
    const uint16_t control = static_cast<uint16_t>(base + kControlOffset);
    const uint8_t c = ParReadPort(control);
    ParWritePort(base, 0);
    ParWritePort(control, static_cast<uint8_t>((c & kControlKeptByInit) | kControlAfterInit));
    return IsOpen();
}

bool ParallelLink::RegisterAt(uint16_t port, PortRegister& reg) const {
    if (!port_) return false;
    switch (static_cast<uint16_t>(port - openBase_)) {
        case 0:
            reg = PortRegister::Data;
            return true;
        case kStatusOffset:
            reg = PortRegister::Status;
            return true;
        case kControlOffset:
            reg = PortRegister::Control;
            return true;
        case kExtendedControlOffset:
            reg = PortRegister::ExtendedControl;
            return true;
        default:
            return false;
    }
}

uint8_t ParallelLink::ParReadPort(uint16_t port) {
    PortRegister reg{};
    if (!RegisterAt(port, reg)) return kEmptyBus;
    uint8_t value = 0;
    if (port_->Read(reg, value)) return value;
    Lose(port_->LastError());
    return kEmptyBus;
}

void ParallelLink::ParWritePort(uint16_t port, uint8_t value) {
    PortRegister reg{};
    if (!RegisterAt(port, reg)) return;
    if (!port_->Write(reg, value)) Lose(port_->LastError());
}

void ParallelLink::ParSendByte(uint16_t port, uint8_t value) {
    const uint16_t control = static_cast<uint16_t>(port + kControlOffset);
    uint8_t c = ParReadPort(control);
    for (int bit = 7; bit >= 0; --bit) {
        c = static_cast<uint8_t>((c & ~kControlDataOut) | ((value >> bit) & 1));
        ParWritePort(control, c);
        ParWritePort(control, static_cast<uint8_t>(c | kControlClock));
        c = static_cast<uint8_t>(c & ~kControlClock);
        ParWritePort(control, c);
    }
}

uint8_t ParallelLink::ParReceiveByte(uint16_t port) {
    const uint16_t control = static_cast<uint16_t>(port + kControlOffset);
    const uint16_t status = static_cast<uint16_t>(port + kStatusOffset);
    uint8_t c = ParReadPort(control);
    uint8_t result = 0;
    for (int i = 0; i < 8; ++i) {
        c = static_cast<uint8_t>(c | kControlClock);
        ParWritePort(control, c);
        if (ParReadPort(status) & kStatusDataIn)
            result = static_cast<uint8_t>(result | (0x80 >> i));
        c = static_cast<uint8_t>(c & ~kControlClock);
        ParWritePort(control, c);
    }
    return result;
}

void ParallelLink::ParStart(uint16_t port) {
    const uint16_t control = static_cast<uint16_t>(port + kControlOffset);
    uint8_t c = ParReadPort(control);
    c = static_cast<uint8_t>((c | kControlFrame) & ~kControlClock & ~kControlDataOut);
    ParWritePort(control, c);
    ParWritePort(control, static_cast<uint8_t>(c & ~kControlFrame));
}

void ParallelLink::ParEnd(uint16_t port) {
    const uint16_t control = static_cast<uint16_t>(port + kControlOffset);
    ParWritePort(control, static_cast<uint8_t>(ParReadPort(control) | kControlFrame));
}

void ParallelLink::ParDelay(uint16_t port, uint16_t count) {
    // Once the port is lost the reads cannot wait for anything: stop at once.
    for (int i = 0; i <= count && IsOpen(); ++i) ParReadPort(port);
}

bool ParallelLink::EnsureOpenAtBase() {
    if (port_ && openBase_ == PortBase) return true;
    return ParInit();
}

void ParallelLink::SendFrameHeader(uint8_t command, uint16_t address) {
    const uint16_t p = PortBase;
    ParStart(p);
    ParDelay(p, kFrameDelayReads);
    ParSendByte(p, command);
    ParDelay(p, kFrameDelayReads);
    ParSendByte(p, static_cast<uint8_t>(address & 0xFF));
    ParDelay(p, kFrameDelayReads);
    ParSendByte(p, static_cast<uint8_t>(address >> 8));
    ParDelay(p, kFrameDelayReads);
}

bool ParallelLink::ReadChipFrame(uint16_t address, int count, uint8_t* out) {
    if (count < 1 || !EnsureOpenAtBase()) return false;
    const uint8_t header[] = {kParallelReadCommand, static_cast<uint8_t>(address & 0xFF),
                              static_cast<uint8_t>(address >> 8)};
    if (trace_) trace_->OnPacket(true, header, sizeof header);
    const uint16_t p = PortBase;
    SendFrameHeader(kParallelReadCommand, address);
    for (int i = 0; i < count; ++i) {
        out[i] = ParReceiveByte(p);
        ParDelay(p, kFrameDelayReads);
    }
    ParEnd(p);
    if (!IsOpen()) return false;
    if (trace_) trace_->OnPacket(false, out, static_cast<size_t>(count));
    return true;
}

bool ParallelLink::WriteChipFrame(uint16_t address, int count, const uint8_t* data) {
    if (count < 1 || !EnsureOpenAtBase()) return false;
    if (trace_) {
        std::vector<uint8_t> frame = {kParallelWriteCommand, static_cast<uint8_t>(address & 0xFF),
                                      static_cast<uint8_t>(address >> 8)};
        frame.insert(frame.end(), data, data + count);
        trace_->OnPacket(true, frame.data(), frame.size());
    }
    const uint16_t p = PortBase;
    SendFrameHeader(kParallelWriteCommand, address);
    for (int i = 0; i < count; ++i) {
        ParSendByte(p, data[i]);
        ParDelay(p, kFrameDelayReads);
    }
    ParEnd(p);
    return IsOpen();
}

}  // namespace dmm
