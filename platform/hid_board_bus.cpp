#include "platform/hid_board_bus.h"

#include <hidapi/hidapi.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/link/board_link.h"

namespace dmm::platform {
namespace {

constexpr int kReadTimeoutMs = 2000;
// The board's reports: report id 0 followed by 64 payload bytes, both ways.
constexpr uint16_t kReportLength = 65;

class HidapiDevice final : public HidDevice {
  public:
    HidapiDevice(hid_device* device, HidAttributes attributes)
        : device_(device), attributes_(attributes) {}
    ~HidapiDevice() override { hid_close(device_); }

    bool GetAttributes(HidAttributes& out) override {
        out = attributes_;
        return true;
    }
    bool WriteReport(const uint8_t* report, size_t length) override {
        const int written = hid_write(device_, report, length);
        if (written < 0) {
            lastError_ = errno ? errno : EIO;
            return false;
        }
        // A request only partly sent would leave the board with half a frame.
        if (static_cast<size_t>(written) < length) {
            lastError_ = EIO;
            return false;
        }
        return true;
    }
    bool ReadReport(uint8_t* report, size_t length, size_t& received) override {
        received = 0;
        if (length < 1) return false;
        std::memset(report, 0, length);
        // hidraw delivers reports of id 0 without the id byte.
        const int got = hid_read_timeout(device_, report + 1, length - 1, kReadTimeoutMs);
        if (got <= 0) {
            lastError_ = got == 0 ? ETIMEDOUT : (errno ? errno : EIO);
            return false;
        }
        received = static_cast<size_t>(got) + 1;
        return true;
    }
    int LastError() const override { return lastError_; }

  private:
    hid_device* device_;
    HidAttributes attributes_;
    int lastError_ = 0;
};

}  // namespace

HidBoardBus::HidBoardBus() {
    initialised_ = hid_init() == 0;
}

HidBoardBus::~HidBoardBus() {
    if (initialised_) hid_exit();
}

std::unique_ptr<HidDevice> HidBoardBus::OpenHid(int index) {
    if (!initialised_ || index < 0) return nullptr;
    // Discovery asks for indexes 0, 1, 2, ... in turn: enumerate once per search, at index
    // 0, and not again for every further index when no board is present.
    if (index == 0 || !enumerated_) Enumerate();
    if (static_cast<size_t>(index) >= boards_.size()) return nullptr;
    const Found& found = boards_[static_cast<size_t>(index)];
    hid_device* device = hid_open_path(found.path.c_str());
    if (!device) return nullptr;
    return std::make_unique<HidapiDevice>(device, found.attributes);
}

void HidBoardBus::Enumerate() {
    enumerated_ = true;
    boards_.clear();
    hid_device_info* devices = hid_enumerate(kHidVendorId, kHidProductId);
    for (hid_device_info* info = devices; info; info = info->next) {
        boards_.push_back({info->path, HidAttributes{kReportLength, kReportLength, info->vendor_id,
                                                     info->product_id, info->release_number}});
    }
    hid_free_enumeration(devices);
}

}  // namespace dmm::platform
