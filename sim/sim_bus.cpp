#include "sim/sim_bus.h"

#include <algorithm>
#include <cstring>

namespace dmm::sim {
namespace {

class SimBulkDevice final : public BulkDevice {
  public:
    SimBulkDevice(SimBoard& board, SlotIdentity identity) : board_(board), identity_(identity) {}

    bool ReadDeviceDescriptor(DeviceDescriptorBlock& out) override {
        out = MakeDeviceDescriptor(identity_.vendorId, identity_.productId, identity_.release);
        return true;
    }
    bool ReadPipes(std::vector<PipeInfo>& out) override {
        out = BoardPipes();
        return true;
    }
    bool BulkWrite(uint8_t /*endpoint*/, const uint8_t* data, size_t n) override {
        lastError_ = board_.Receive(data, n) ? 0 : kErrorDeviceGone;
        return lastError_ == 0;
    }
    bool BulkRead(uint8_t /*endpoint*/, uint8_t* data, size_t capacity, size_t& received) override {
        lastError_ = board_.Reply(data, capacity, received) ? 0 : kErrorTimeout;
        return lastError_ == 0;
    }
    int LastError() const override { return lastError_; }

  private:
    static constexpr int kErrorTimeout = 121;      // "semaphore timeout"
    static constexpr int kErrorDeviceGone = 1167;  // "device not connected"
    SimBoard& board_;
    SlotIdentity identity_;
    int lastError_ = 0;
};

class SimHidDevice final : public HidDevice {
  public:
    SimHidDevice(SimBoard& board, SlotIdentity identity) : board_(board), identity_(identity) {}

    bool GetAttributes(HidAttributes& out) override {
        out = {65, 65, identity_.vendorId, identity_.productId, identity_.release};
        return true;
    }
    bool WriteReport(const uint8_t* report, size_t length) override {
        if (length < 1) return false;
        lastError_ = board_.Receive(report + 1, std::min<size_t>(length - 1, 64)) ? 0 : 1167;
        return lastError_ == 0;
    }
    bool ReadReport(uint8_t* report, size_t length, size_t& received) override {
        received = 0;
        if (length < 1) return false;
        std::memset(report, 0, length);
        size_t payload = 0;
        lastError_ = board_.Reply(report + 1, std::min<size_t>(length - 1, 64), payload) ? 0 : 121;
        if (lastError_ != 0) return false;
        // The board fills whole reports; a reply the board cut short ends early.
        received = board_.LastReplyWasCut() ? payload + 1 : length;
        return true;
    }
    int LastError() const override { return lastError_; }

  private:
    SimBoard& board_;
    SlotIdentity identity_;
    int lastError_ = 0;
};

}  // namespace

DeviceDescriptorBlock MakeDeviceDescriptor(uint16_t vendorId, uint16_t productId,
                                           uint16_t release) {
    DeviceDescriptorBlock block{};
    const uint8_t descriptor[18] = {18,
                                    0x01,
                                    0x00,
                                    0x02,
                                    0xFF,
                                    0x00,
                                    0x00,
                                    64,
                                    static_cast<uint8_t>(vendorId),
                                    static_cast<uint8_t>(vendorId >> 8),
                                    static_cast<uint8_t>(productId),
                                    static_cast<uint8_t>(productId >> 8),
                                    static_cast<uint8_t>(release),
                                    static_cast<uint8_t>(release >> 8),
                                    1,
                                    2,
                                    0,
                                    1};
    std::memcpy(block.data(), descriptor, sizeof descriptor);
    return block;
}

std::vector<PipeInfo> BoardPipes() {
    return {PipeInfo{64, 0x81, 0, 2, 1, 4096, 0}, PipeInfo{64, 0x01, 0, 2, 2, 4096, 0}};
}

void SimBus::AddBulk(int number, SimBoard& board, SlotIdentity identity) {
    bulk_[number] = {&board, identity};
}

void SimBus::AddHid(int index, SimBoard& board, SlotIdentity identity) {
    hid_[index] = {&board, identity};
}

void SimBus::RemoveAll() {
    bulk_.clear();
    hid_.clear();
}

std::unique_ptr<BulkDevice> SimBus::OpenBulk(int deviceNumber) {
    ++bulkOpenAttempts_;
    auto it = bulk_.find(deviceNumber);
    if (it == bulk_.end() || it->second.board->faults().disconnected) return nullptr;
    return std::make_unique<SimBulkDevice>(*it->second.board, it->second.identity);
}

std::unique_ptr<HidDevice> SimBus::OpenHid(int index) {
    ++hidOpenAttempts_;
    auto it = hid_.find(index);
    if (it == hid_.end() || it->second.board->faults().disconnected) return nullptr;
    return std::make_unique<SimHidDevice>(*it->second.board, it->second.identity);
}

}  // namespace dmm::sim
