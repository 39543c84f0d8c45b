#include "core/link/board_link.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace dmm {
namespace {

constexpr uint8_t kCommandPrefix = 0xF9;
constexpr uint8_t kCommandSignature = 0xAC;
constexpr uint8_t kCommandAnnounce = 0x02;
constexpr uint8_t kCommandConnect = 0x01;
constexpr uint8_t kCommandConfirm = 0x04;
constexpr uint8_t kCommandHidConfirm = 0x06;
constexpr uint8_t kCommandInfo = 0x05;
constexpr uint8_t kCommandDmmMode = 0x10;
constexpr uint16_t kBoardAnswers = 0xFFFF;
constexpr uint16_t kGiveUpConnection = 0xFFFF;

}  // namespace

int32_t SignExtend24(uint32_t raw) {
    raw &= 0xFFFFFF;
    return (raw & 0x800000) ? static_cast<int32_t>(raw) - 0x1000000 : static_cast<int32_t>(raw);
}

BoardLink::BoardLink(Devc& devc, BoardBus& bus, Clock& clock)
    : devc_(devc), bus_(bus), clock_(clock) {}

void BoardLink::Trace(bool outgoing, size_t n) {
    if (trace_) trace_->OnPacket(outgoing, buffer_.data(), std::min(n, buffer_.size()));
}

bool BoardLink::SendPacket(size_t n) {
    if (!devc_.HandleValid()) return false;
    if (hidMode_ && devc_.hid) {
        // A HID board always takes a full output report: report id 0, then 64 payload bytes.
        const size_t length = std::max<size_t>(hidAttributes_.outputReportLength, 1);
        std::vector<uint8_t> report(std::max(length, kHidPayloadSize + 1), 0);
        std::memcpy(report.data() + 1, buffer_.data(), kHidPayloadSize);
        Trace(true, std::min(n, kHidPayloadSize));
        if (!devc_.hid->WriteReport(report.data(), length)) {
            LoseLink();
            return false;
        }
        IdleTicks = 0;
        return true;
    }
    // Refusing an oversized count protects the memory behind the buffer.
    if (n > buffer_.size()) return false;
    if (!devc_.bulk || devc_.pipes[1].endpointAddress >= 0x80) {
        LoseLink();
        return false;
    }
    Trace(true, n);
    if (!devc_.bulk->BulkWrite(devc_.pipes[1].endpointAddress, buffer_.data(), n)) {
        LoseLink();
        return false;
    }
    IdleTicks = 0;
    return true;
}

bool BoardLink::ReceivePacket(size_t n) {
    lastReceived_ = 0;
    if (!devc_.HandleValid()) return false;
    if (hidMode_ && devc_.hid) {
        const size_t length = std::max<size_t>(hidAttributes_.inputReportLength, 1);
        std::vector<uint8_t> report(std::max(length, kHidPayloadSize + 1), 0);
        size_t received = 0;
        if (!devc_.hid->ReadReport(report.data(), length, received)) {
            lastError_ = devc_.hid->LastError();
            LoseLink();
            return false;
        }
        // The report id byte is dropped; only the 64 payload bytes are used.
        std::memcpy(buffer_.data(), report.data() + 1, kHidPayloadSize);
        lastReceived_ = std::min(received > 0 ? received - 1 : 0, kHidPayloadSize);
        Trace(false, std::min(n, kHidPayloadSize));
        IdleTicks = 0;
        return true;
    }
    if (n > buffer_.size()) return false;
    if (!devc_.bulk || devc_.pipes[0].endpointAddress < 0x80) {
        LoseLink();
        return false;
    }
    size_t received = 0;
    if (!devc_.bulk->BulkRead(devc_.pipes[0].endpointAddress, buffer_.data(), n, received)) {
        lastError_ = devc_.bulk->LastError();
        LoseLink();
        return false;
    }
    lastReceived_ = std::min(received, n);
    Trace(false, lastReceived_);
    IdleTicks = 0;
    return true;
}

void BoardLink::LoseLink() {
    if (devc_.connected) ++linkLosses_;
    CloseBoard();
}

void BoardLink::CloseBoard() {
    if (devc_.bulk)
        lastError_ = devc_.bulk->LastError();
    else if (devc_.hid)
        lastError_ = devc_.hid->LastError();
    devc_.bulk.reset();
    devc_.hid.reset();
    devc_.deviceName.clear();
    devc_.linkMarker = -1;
    devc_.portMarker = -1;
    devc_.openMarker = 0;
    for (size_t at : {8, 10, 12}) {
        devc_.deviceDescriptor[at] = 0;
        devc_.deviceDescriptor[at + 1] = 0;
    }
    devc_.connected = false;
}

size_t BoardLink::PacketCapacity() const {
    return hidMode_ ? kHidPacketBytes : buffer_.size();
}

bool BoardLink::Exchange(size_t sendCount, size_t receiveCount) {
    return Exchange(sendCount, receiveCount, receiveCount);
}

bool BoardLink::Exchange(size_t sendCount, size_t receiveCount, size_t minimum) {
    return SendPacket(sendCount) && ReceivePacket(receiveCount) && lastReceived_ >= minimum;
}

bool BoardLink::BoardCommand(uint8_t code, uint16_t& word) {
    buffer_[0] = kCommandPrefix;
    buffer_[1] = code;
    buffer_[2] = static_cast<uint8_t>(word & 0xFF);
    buffer_[3] = static_cast<uint8_t>(word >> 8);
    if (!Exchange(4, 8)) return false;
    word = static_cast<uint16_t>(buffer_[0] | (buffer_[1] << 8));
    return true;
}

bool BoardLink::CheckBoard() {
    if (!devc_.connected) return false;
    buffer_[0] = kCommandPrefix;
    buffer_[1] = kCommandSignature;
    if (!Exchange(2, 8)) return false;
    return std::memcmp(buffer_.data(), kBoardSignature, 8) == 0;
}

void BoardLink::MarkConnected() {
    devc_.connected = true;
    devc_.linkMarker = 1;
    devc_.openMarker = 1;
}

bool BoardLink::StartLink() {
    // Only byte 3 of the first reply is used; the board may answer fewer than 64 bytes.
    constexpr size_t kUsedReplyBytes = 4;
    buffer_[0] = 0xC5;
    buffer_[1] = 0xFF;
    buffer_[2] = 0x01;
    buffer_[3] = 0x00;
    if (!Exchange(4, 64, kUsedReplyBytes)) return false;
    // Byte 3 keeps what the first reply left there.
    buffer_[0] = 0xC5;
    buffer_[1] = 0xFF;
    buffer_[2] = 0x00;
    return Exchange(4, 64, 1);
}

bool BoardLink::StartNewConnection() {
    if (!StartLink()) return false;
    // A capture cut off by a lost link left the board streaming.
    if (streamMayBeOn_) AdcStreamControl(streamPhoto_, false, 0);
    return devc_.connected;
}

bool BoardLink::TryBulkDevice(int number, uint8_t& status) {
    devc_.bulk = bus_.OpenBulk(number);
    if (!devc_.bulk) return false;
    devc_.deviceName = "VzUSB-" + std::to_string(number);

    DeviceDescriptorBlock descriptor{};
    if (!devc_.bulk->ReadDeviceDescriptor(descriptor)) return false;
    devc_.deviceDescriptor = descriptor;
    if (devc_.VendorId() != kBulkVendorId || devc_.ProductId() != kBulkProductId) return false;

    std::vector<PipeInfo> pipes;
    if (!devc_.bulk->ReadPipes(pipes)) return false;
    for (size_t i = 0; i < 2; ++i) devc_.pipes[i] = i < pipes.size() ? pipes[i] : PipeInfo{};
    devc_.maximumPacketSize = devc_.pipes[0].maximumPacketSize;

    uint16_t word = 0;
    if (!BoardCommand(kCommandAnnounce, word) || word != kBoardAnswers) return false;

    MarkConnected();
    uint16_t connectReply = static_cast<uint16_t>(number);
    BoardCommand(kCommandConnect, connectReply);
    BoardCommand(kCommandConfirm, connectReply);
    status = kOpenStatusNewlyOpened;
    return StartNewConnection();
}

bool BoardLink::TryHidDevice(int index, uint8_t& status) {
    devc_.hid = bus_.OpenHid(index);
    if (!devc_.hid) return false;
    HidAttributes attributes{};
    if (!devc_.hid->GetAttributes(attributes)) return false;
    if (attributes.vendorId != kHidVendorId || attributes.productId != kHidProductId ||
        attributes.versionNumber != kHidVersion) {
        return false;
    }
    hidAttributes_ = attributes;
    hidMode_ = true;
    uint16_t word = 0;
    if (!BoardCommand(kCommandAnnounce, word) || word != kBoardAnswers) return false;

    MarkConnected();
    uint16_t reply = static_cast<uint16_t>(index);
    BoardCommand(kCommandConnect, reply);
    BoardCommand(kCommandConfirm, reply);
    BoardCommand(kCommandHidConfirm, reply);
    status = kOpenStatusNewlyOpened;
    const uint16_t packetSize = attributes.inputReportLength > 0
                                    ? static_cast<uint16_t>(attributes.inputReportLength - 1)
                                    : 0;
    for (auto& pipe : devc_.pipes) pipe.maximumPacketSize = packetSize;
    devc_.maximumPacketSize = packetSize;
    return StartNewConnection();
}

bool BoardLink::OpenBoard(uint8_t& status) {
    status = kOpenStatusNone;
    if (devc_.HandleValid() && CheckBoard()) {
        status = kOpenStatusAnswered;
        return true;
    }
    // Connected but with a wrong signature: no new search until the link is closed.
    if (devc_.connected) return false;

    hidMode_ = false;
    for (int n = 0; n < kBulkDeviceCount; ++n) {
        if (TryBulkDevice(n, status)) return true;
        CloseBoard();
    }
    for (int i = 0; i < kHidDeviceCount; ++i) {
        if (TryHidDevice(i, status)) return true;
        CloseBoard();
        hidMode_ = false;
    }
    status = kOpenStatusNone;
    return false;
}

void BoardLink::ReleaseBoard() {
    if (!devc_.HandleValid() || !devc_.connected) return;
    uint16_t word = kGiveUpConnection;
    BoardCommand(kCommandConnect, word);
    CloseBoard();
}

bool BoardLink::ResetTarget() {
    for (auto [level, waitMs] : {std::pair{1, 100}, std::pair{0, 100}, std::pair{1, 2000}}) {
        buffer_[0] = 0xB5;
        buffer_[1] = 0x01;
        buffer_[2] = static_cast<uint8_t>(level);
        if (!Exchange(3, 1)) return false;
        DelayMs(clock_, waitMs);
    }
    ++resetPulses_;
    return true;
}

bool BoardLink::ReadBoardStatus(uint8_t& a, uint8_t& b, uint8_t& c) {
    buffer_[0] = 0xB5;
    buffer_[1] = 0x07;
    buffer_[2] = 0x00;
    if (!Exchange(3, 4)) return false;
    a = buffer_[1];
    b = buffer_[2];
    c = buffer_[3];
    return true;
}

bool BoardLink::ReadBoardInfo(std::string& text) {
    buffer_[0] = kCommandPrefix;
    buffer_[1] = kCommandInfo;
    std::fill(buffer_.begin() + 2, buffer_.begin() + 8, 0);
    if (!Exchange(8, 8)) return false;
    text.assign(reinterpret_cast<const char*>(buffer_.data()), 8);
    return true;
}

bool BoardLink::SetDmmMode(bool on) {
    buffer_[0] = kCommandPrefix;
    buffer_[1] = kCommandDmmMode;
    buffer_[2] = on ? 1 : 0;
    return Exchange(3, 8);
}

bool BoardLink::SetupUartLink() {
    if (!devc_.HandleValid()) return false;
    static constexpr uint8_t kFrame[] = {0xC0, 0x00, 0x00, 0x06, 0x81, 0x02};
    std::copy(std::begin(kFrame), std::end(kFrame), buffer_.begin());
    return Exchange(sizeof kFrame, 1);
}

bool BoardLink::AdcStreamControl(bool photo, bool enable, uint8_t value) {
    buffer_[0] = 0xC3;
    buffer_[1] = 0x00;
    buffer_[2] = photo ? 1 : 0;
    buffer_[3] = enable ? 1 : 0;
    buffer_[4] = enable ? value : 0;
    if (enable) {
        streamMayBeOn_ = true;
        streamPhoto_ = photo;
    }
    if (!Exchange(5, 64, 2)) return false;
    const bool acknowledged = buffer_[0] == 0xFA && buffer_[1] == 0xAA;
    if (acknowledged && !enable) streamMayBeOn_ = false;
    return acknowledged;
}

int BoardLink::AdcStreamRead(AdcStreamRecords& out) {
    out.count = 0;
    buffer_[0] = 0xC3;
    buffer_[1] = 0x01;
    if (!Exchange(2, 64, 2)) return 0;
    const int announced = buffer_[0];
    out.status = buffer_[1];
    out.count = announced > AdcStreamRecords::kMaxRecords ? 0 : announced;
    // Records beyond the bytes that arrived would be the previous reply's.
    if (lastReceived_ < 2 + AdcStreamRecords::kRecordSize * static_cast<size_t>(out.count))
        out.count = 0;
    for (int k = 0; k < out.count; ++k) {
        const size_t first = 2 + AdcStreamRecords::kRecordSize * static_cast<size_t>(k);
        for (int j = 0; j < AdcStreamRecords::kRecordSize; ++j) {
            out.records[k][j] = buffer_[first + AdcStreamRecords::kRecordSize - 1 - j];
        }
    }
    return out.count;
}

bool BoardLink::ReadAdcConversion(InterfaceKind kind, bool photo, uint8_t function,
                                  uint16_t address, int32_t& first, int32_t& second) {
    uint8_t prefix;
    if (kind == InterfaceKind::SPI)
        prefix = photo ? 0xBD : 0xBB;
    else
        prefix = photo ? 0xBE : 0xBA;
    const uint8_t frame[] = {prefix,
                             static_cast<uint8_t>(kind == InterfaceKind::Special ? 1 : 0),
                             function,
                             static_cast<uint8_t>(address & 0xFF),
                             static_cast<uint8_t>(address >> 8),
                             0xF0,
                             0x00,
                             0x08,
                             0x64};
    std::copy(std::begin(frame), std::end(frame), buffer_.begin());
    if (!Exchange(sizeof frame, 7)) return false;
    first = SignExtend24(buffer_[1] | (buffer_[2] << 8) | (buffer_[3] << 16));
    second = SignExtend24(buffer_[4] | (buffer_[5] << 8) | (buffer_[6] << 16));
    return true;
}

}  // namespace dmm
