#pragma once

#include "platform/hid_board_bus.h"
#include "platform/usb_board_bus.h"

namespace dmm::platform {

// The real boards of this machine: bulk devices through libusb, HID devices through hidapi.
class SystemBoardBus final : public BoardBus {
  public:
    std::unique_ptr<BulkDevice> OpenBulk(int deviceNumber) override {
        return usb_.OpenBulk(deviceNumber);
    }
    std::unique_ptr<HidDevice> OpenHid(int index) override { return hid_.OpenHid(index); }

  private:
    UsbBoardBus usb_;
    HidBoardBus hid_;
};

}  // namespace dmm::platform
